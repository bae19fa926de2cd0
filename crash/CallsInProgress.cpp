#include "CallsInProgress.h"

#include "../platform/ThreadId.h"
#include "../platform/ThreadPointer.h"

#include <thread>

CallsInProgress callsInProgress;

namespace
{
    // The thread pointer of a thread that found the table full: it is not
    // looked for again at every call.
    char noRecord;
    void* const noRecordMark = &noRecord;
}

CallsInProgress::Thread* CallsInProgress::thisThread() noexcept
{
    auto* mine = getThreadPointer();

    if (mine == nullptr)
        return claim();

    return mine == noRecordMark ? nullptr : static_cast<Thread*> (mine);
}

const CallsInProgress::Thread* CallsInProgress::findThisThread() const noexcept
{
    auto* mine = getThreadPointer();
    return mine == noRecordMark ? nullptr : static_cast<const Thread*> (mine);
}

int CallsInProgress::findFreeRecord (std::uint32_t self) noexcept
{
    for (int i = 0; i < maxThreads; ++i)
        if (std::uint32_t free = 0; threads[i].owner.load (std::memory_order_relaxed) == 0
                                      && threads[i].owner.compare_exchange_strong (free, self))
            return i;

    return -1;
}

// A thread's first call: once per thread, so a system call or two is allowed here.
CallsInProgress::Thread* CallsInProgress::claim() noexcept
{
    const auto self = currentThreadId();
    const auto index = findFreeRecord (self);

    if (index < 0)
    {
        setThreadPointer (noRecordMark);
        return nullptr;
    }

    auto& record = threads[index];
    record.depth.store (0, std::memory_order_relaxed);
    setThreadPointer (&record);

    if (auto hook = newThreadHook.load())
        hook (index);

    return &record;
}

bool CallsInProgress::snapshot (int index, Snapshot& out) const noexcept
{
    const auto& record = threads[index];

    // The owner writes without telling anyone: copy, and keep the copy only
    // where depth and the innermost start read the same before and after.
    for (int attempt = 0; attempt < 4; ++attempt)
    {
        out.threadId = record.owner.load (std::memory_order_acquire);
        const auto depth = record.depth.load (std::memory_order_acquire);

        if (out.threadId == 0 || depth == 0)
            return false;

        out.depth = (int) (depth < (std::uint32_t) maxDepth ? depth : (std::uint32_t) maxDepth);

        for (int i = 0; i < out.depth; ++i)
        {
            // Acquire, so that the checks below read no older than these (a plain move on x86).
            out.what[i] = record.frames[i].what.load (std::memory_order_acquire);
            out.since[i] = record.frames[i].since.load (std::memory_order_acquire);
        }

        if (record.depth.load (std::memory_order_relaxed) == depth
              && record.frames[out.depth - 1].since.load (std::memory_order_relaxed) == out.since[out.depth - 1])
            return true;
    }

    return false;
}

std::uint64_t CallsInProgress::nanosecondsSince (std::uint64_t since) noexcept
{
    const auto now = monotonicNanoseconds();
    const auto start = startOf (since);
    return start != 0 && now > start ? now - start : 0;
}

void CallsInProgress::stampUnknownStarts() noexcept
{
    const auto now = monotonicNanoseconds() | stampedBit;

    for (auto& record : threads)
    {
        if (record.owner.load (std::memory_order_relaxed) == 0)
            continue;

        const auto depth = record.depth.load (std::memory_order_acquire);

        // A frame its thread reuses meanwhile gets the stamp instead: still a
        // time by which that call had started.
        for (std::uint32_t i = 0; i < depth && i < (std::uint32_t) maxDepth; ++i)
            if (std::uint64_t unknown = 0; record.frames[i].since.load (std::memory_order_relaxed) == 0)
                record.frames[i].since.compare_exchange_strong (unknown, now, std::memory_order_relaxed);
    }
}

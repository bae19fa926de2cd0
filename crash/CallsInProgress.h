// CallsInProgress: which call each thread is in right now, and since when,
// for the crash and hang reports. Every thunk opens a Scope first thing:
// the thread's own record gets the call (its side, entry and opcode), the
// cycle counter's reading and the scope's stack address; nested calls (an
// audioMaster call inside a dispatcher call) stack up to maxDepth deep.
//
// A record is claimed on the thread's first call and found through a
// pointer of the thread's own (platform/ThreadPointer.h); the thread writes
// it with plain stores, and readers on other threads (the hang watch, a
// crash report) take what they find. A call that never returned through
// its scope (a host that catches the target's exception and goes on, a
// longjmp out of a signal handler) is recognised by its stack address at
// the thread's next call made from as high up its stack (as a host's next
// call is): a frame at or below the new one's is over.
#pragma once

#include "../platform/MonotonicClock.h"

#include <atomic>
#include <cstdint>

class CallsInProgress
{
public:
    enum Side : std::uint32_t
    {
        intoTarget = 0, // the host's call into the target (or into Tattlebox)
        intoHost = 1    // the target's call to the host
    };

    static constexpr int maxDepth = 16;
    static constexpr int maxThreads = 256;

    // A call in one word: side, AEffect function and opcode.
    static constexpr std::uint64_t describe (Side side, int function, std::int32_t opcode = 0) noexcept
    {
        return ((std::uint64_t) side << 40) | ((std::uint64_t) (std::uint8_t) function << 32) | (std::uint32_t) opcode;
    }

    static constexpr Side sideOf (std::uint64_t what) noexcept { return (Side) ((what >> 40) & 1); }
    static constexpr int functionOf (std::uint64_t what) noexcept { return (int) ((what >> 32) & 0xff); }
    static constexpr std::int32_t opcodeOf (std::uint64_t what) noexcept { return (std::int32_t) (std::uint32_t) what; }

    struct Frame
    {
        std::atomic<std::uint64_t> what { 0 };
        std::atomic<std::uint64_t> since { 0 }; // see startOf
        std::atomic<std::uintptr_t> stack { 0 };
    };

    struct alignas (64) Thread
    {
        std::atomic<std::uint32_t> owner { 0 }; // the system's thread id; 0: free
        std::atomic<std::uint32_t> depth { 0 }; // may exceed maxDepth: only the first frames are kept
        Frame frames[maxDepth];
    };

    // [any thread, realtime] A call in progress on this thread, from the
    // scope's construction to its end.
    class Scope
    {
    public:
        explicit Scope (std::uint64_t what) noexcept;
        ~Scope() { if (thread != nullptr) thread->depth.store (depthBefore, std::memory_order_release); }

        // The logger's clock reading (monotonicNanoseconds), where it took one.
        void startedAt (std::uint64_t nanoseconds) noexcept
        {
            if (nanoseconds != 0 && thread != nullptr && depthBefore < (std::uint32_t) maxDepth)
                thread->frames[depthBefore].since.store (nanoseconds, std::memory_order_relaxed);
        }

        Scope (const Scope&) = delete;
        Scope& operator= (const Scope&) = delete;

    private:
        Thread* thread;
        std::uint32_t depthBefore = 0;
    };

    // A frame's start: 0 where unknown yet, else monotonicNanoseconds(),
    // with this bit set where it is the hang watch's stamp, a time the call
    // had started by (at most a tenth of a second late).
    static constexpr std::uint64_t stampedBit = std::uint64_t (1) << 63;

    static constexpr std::uint64_t startOf (std::uint64_t since) noexcept { return since & ~stampedBit; }
    static constexpr bool isStamped (std::uint64_t since) noexcept { return (since & stampedBit) != 0; }

    // [any thread, realtime; signal handlers] How long ago a start was, in nanoseconds.
    static std::uint64_t nanosecondsSince (std::uint64_t since) noexcept;

    // [any thread] The hang watch: every frame without a start gets the time now, as a bound.
    void stampUnknownStarts() noexcept;

    // [any thread, realtime] This thread's record; nullptr where the table is full.
    Thread* thisThread() noexcept;
    // [signal handlers] The same, without claiming one: nullptr where the thread never called.
    const Thread* findThisThread() const noexcept;
    // [any thread] A record's place in the table.
    int indexOf (const Thread& record) const noexcept { return (int) (&record - threads); }
    // [any thread] The table, for readers; a record's owner 0 means free.
    const Thread& thread (int index) const noexcept { return threads[index]; }

    // [any thread] A stable copy of what one record holds: false where
    // its thread is in no call (or the copy kept changing under the reader).
    struct Snapshot
    {
        std::uint32_t threadId = 0;
        int depth = 0; // frames kept: at most maxDepth
        std::uint64_t what[maxDepth] {};
        std::uint64_t since[maxDepth] {};
    };

    bool snapshot (int index, Snapshot& out) const noexcept;

    // Called on a thread's first call, after its record is claimed (the
    // crash handlers give it a signal stack there); set at start-up.
    using ThreadHook = void (*) (int index) noexcept;
    void setNewThreadHook (ThreadHook hook) noexcept { newThreadHook.store (hook); }

private:
    Thread* claim() noexcept;
    int findFreeRecord (std::uint32_t self) noexcept;

    Thread threads[maxThreads];
    std::atomic<ThreadHook> newThreadHook { nullptr };
};

// The one table of this library.
extern CallsInProgress callsInProgress;

//==============================================================================
inline CallsInProgress::Scope::Scope (std::uint64_t what) noexcept
    : thread (callsInProgress.thisThread())
{
    if (thread == nullptr)
        return;

    const auto here = reinterpret_cast<std::uintptr_t> (this);
    auto depth = thread->depth.load (std::memory_order_relaxed);

    // Frames at or below this one's stack address are calls that are over.
    while (depth > 0 && depth <= (std::uint32_t) maxDepth
             && thread->frames[depth - 1].stack.load (std::memory_order_relaxed) <= here)
        --depth;

    depthBefore = depth;

    if (depth < (std::uint32_t) maxDepth)
    {
        auto& frame = thread->frames[depth];
        frame.what.store (what, std::memory_order_relaxed);
        frame.since.store (0, std::memory_order_relaxed); // see startedAt
        frame.stack.store (here, std::memory_order_relaxed);
    }

    thread->depth.store (depth + 1, std::memory_order_release);
}

#include "CallGate.h"
#include "../platform/ProcessBarrier.h"

#include <chrono>
#include <thread>

CallGate callGate;


bool CallGate::beginClose() noexcept
{
    int expected = hosting;
    return phase.compare_exchange_strong (expected, closing);
}

namespace
{
    // Whether owned slots may be written with plain moves: only where Close
    // can order them with the process-wide barrier. ThreadSanitizer cannot
    // follow that barrier, so its builds always add.
    bool barrierIsReady() noexcept
    {
       #if defined (__SANITIZE_THREAD__) || defined (_WIN32)
        return false;
       #else
        static const bool ready = enableProcessBarrier();
        return ready;
       #endif
    }
}

void CallGate::open() noexcept
{
    barrierIsReady(); // the system's barrier is readied here, not on a call's path

    for (auto& when : noted)
        for (auto& flag : when)
            flag.store (false, std::memory_order_relaxed);

    phase.store (hosting);
}

CallGate::Slot& CallGate::claimSlot() noexcept
{
    const auto self = currentThreadId();

    if (barrierIsReady())
        for (auto& slot : ownedSlots)
            if (std::uint32_t free = 0; slot.owner.load (std::memory_order_relaxed) == 0
                                          && slot.owner.compare_exchange_strong (free, self))
                return slot;

    return sharedSlots[self / threadIdStep % numSharedSlots];
}

std::uint64_t CallGate::sum() const noexcept
{
    // Plain stores of other threads, and their loads of the phase, are put
    // in order with this one's by the barrier. Each call leaves the slot it
    // entered, so the sum is exact.
    if (barrierIsReady())
        processWideBarrier();

    std::uint64_t total = 0;

    for (const auto& slot : ownedSlots)
        total += slot.calls.load();

    for (const auto& slot : sharedSlots)
        total += slot.calls.load();

    return total;
}

std::int64_t CallGate::callsInTarget() const noexcept
{
    return (std::int64_t) (std::int32_t) (sum() >> 32);
}

std::int64_t CallGate::callsInside() const noexcept
{
    return (std::int64_t) (std::int32_t) (sum() & 0xffffffffu);
}

std::int64_t CallGate::waitForCalls (bool inTarget, std::int64_t allowed, int timeoutMs) const noexcept
{
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds (timeoutMs);

    for (int round = 0;; ++round)
    {
        const auto left = (inTarget ? callsInTarget() : callsInside()) - allowed;

        if (left <= 0 || steady_clock::now() >= deadline)
            return left;

        // A block is over in a few milliseconds: yield first, then sleep.
        if (round < 100)
            std::this_thread::yield();
        else
            std::this_thread::sleep_for (microseconds (200));
    }
}

bool CallGate::firstTurnedBack (Phase when, int kind) noexcept
{
    if (kind < 0 || kind >= numKinds)
        return false;

    auto& flag = noted[when == closing ? 0 : 1][kind];
    return ! flag.load (std::memory_order_relaxed) && ! flag.exchange (true, std::memory_order_relaxed);
}

#include "CallGate.h"

#include <chrono>
#include <thread>

CallGate callGate;

void CallGate::open() noexcept
{
    for (auto& when : noted)
        for (auto& flag : when)
            flag.store (false, std::memory_order_relaxed);

    phase.store (hosting);
}

bool CallGate::beginClose() noexcept
{
    int expected = hosting;
    return phase.compare_exchange_strong (expected, closing);
}

std::uint64_t CallGate::sum() const noexcept
{
    // Each call leaves the shard it entered: the sum is exact, although a
    // single shard may read "negative" halves while its threads race.
    std::uint64_t total = 0;

    for (const auto& shard : shards)
        total += shard.calls.load();

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

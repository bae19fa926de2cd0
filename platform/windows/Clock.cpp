#include "../MonotonicClock.h"
#include "../ThreadId.h"
#include "../TimeOfDay.h"
#include "WindowsHeaders.h"

#include <atomic>
#include <cstdint>

std::uint32_t currentThreadId() noexcept
{
    return (std::uint32_t) ::GetCurrentThreadId();
}

std::uint32_t currentProcessId() noexcept
{
    return (std::uint32_t) ::GetCurrentProcessId();
}

namespace
{
    // FILETIME counts 100 ns ticks.
    constexpr std::int64_t ticksPerMillisecond = 10000, millisecondsPerDay = 86400000;
    constexpr std::int64_t unknownBias = INT64_MIN;

    // Local time minus UTC, in ticks. GetLocalTime would look the zone up at
    // every line, which Wine does under a critical section.
    std::atomic<std::int64_t> cachedBias { unknownBias };

    std::int64_t ticksOf (const FILETIME& time) noexcept
    {
        return (std::int64_t) (((std::uint64_t) time.dwHighDateTime << 32) | time.dwLowDateTime);
    }

    std::int64_t lookUpBias() noexcept
    {
        FILETIME utc {}, local {};
        ::GetSystemTimeAsFileTime (&utc);
        const auto bias = ::FileTimeToLocalFileTime (&utc, &local) ? ticksOf (local) - ticksOf (utc) : 0;
        cachedBias.store (bias, std::memory_order_relaxed);
        return bias;
    }
}

void refreshLocalTimeOffset() noexcept
{
    lookUpBias();
}

TimeOfDay localTimeOfDay() noexcept
{
    FILETIME now {};
    ::GetSystemTimeAsFileTime (&now);
    auto bias = cachedBias.load (std::memory_order_relaxed);

    if (bias == unknownBias)
        bias = lookUpBias();

    // Ticks since 1601: positive, whatever the bias.
    const auto millisecond = (int) ((ticksOf (now) + bias) / ticksPerMillisecond % millisecondsPerDay);
    return { millisecond / 3600000, millisecond / 60000 % 60, millisecond / 1000 % 60, millisecond % 1000 };
}

namespace
{
    // The counter's rate is fixed at boot: asked once, at load.
    const std::int64_t countsPerSecond = []
    {
        LARGE_INTEGER frequency {};
        ::QueryPerformanceFrequency (&frequency);
        return frequency.QuadPart > 0 ? (std::int64_t) frequency.QuadPart : (std::int64_t) 1;
    }();
}

std::uint64_t monotonicNanoseconds() noexcept
{
    LARGE_INTEGER now {};
    ::QueryPerformanceCounter (&now);

    // Whole seconds and the rest apart, so that the product never overflows.
    const auto counts = (std::uint64_t) now.QuadPart;
    const auto rate = (std::uint64_t) countsPerSecond;
    return counts / rate * 1000000000u + counts % rate * 1000000000u / rate + 1;
}

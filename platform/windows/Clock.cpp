#include "../MonotonicClock.h"
#include "../ThreadId.h"
#include "../TimeOfDay.h"
#include "WindowsHeaders.h"

std::uint32_t currentThreadId() noexcept
{
    return (std::uint32_t) ::GetCurrentThreadId();
}

TimeOfDay localTimeOfDay() noexcept
{
    SYSTEMTIME now {};
    ::GetLocalTime (&now);
    return { now.wHour, now.wMinute, now.wSecond, now.wMilliseconds };
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

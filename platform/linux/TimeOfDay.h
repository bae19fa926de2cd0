// The local wall-clock time of day for the log's time prefix. localtime_r
// takes glibc's time-zone lock, so the realtime path never calls it: it adds
// an offset from UTC that refreshLocalTimeOffset looks up off that path (at
// start-up, at the window's every tick, from the background writer). A
// daylight-saving change thus shows within one refresh period.
#pragma once

#include <atomic>
#include <ctime>

namespace timeOfDayDetail
{
    // Bit 32: an offset is known; low half: the offset in seconds. One
    // atomic word, so never torn.
    inline std::atomic<std::uint64_t> cachedOffset { 0 };
    constexpr std::uint64_t offsetKnown = std::uint64_t { 1 } << 32;

    inline std::int64_t floorDivide (std::int64_t value, std::int64_t divisor) noexcept
    {
        const auto quotient = value / divisor;
        return (value % divisor < 0) ? quotient - 1 : quotient;
    }

    // How often the zone was asked: the tests' proof that lines do not ask it.
    inline std::atomic<std::uint32_t> offsetLookUps { 0 };

    inline std::int32_t lookUpOffset (std::time_t secondsSinceEpoch) noexcept
    {
        offsetLookUps.fetch_add (1, std::memory_order_relaxed);
        std::tm local {};
        return ::localtime_r (&secondsSinceEpoch, &local) != nullptr ? static_cast<std::int32_t> (local.tm_gmtoff) : 0;
    }

    inline std::int32_t storeOffset (std::int32_t offset) noexcept
    {
        cachedOffset.store (offsetKnown | static_cast<std::uint32_t> (offset), std::memory_order_relaxed);
        return offset;
    }

    inline TimeOfDay withOffset (const std::timespec& moment, std::int32_t offset) noexcept
    {
        const auto local = static_cast<std::int64_t> (moment.tv_sec) + offset;
        const auto secondOfDay = static_cast<int> (local - floorDivide (local, 86400) * 86400);

        return { secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60,
                 static_cast<int> (moment.tv_nsec / 1000000) };
    }
}

// [any thread] Not on the realtime path: takes the time-zone lock.
inline void refreshLocalTimeOffset() noexcept
{
    timeOfDayDetail::storeOffset (timeOfDayDetail::lookUpOffset (std::time (nullptr)));
}

// [any thread] The local time of day at any moment, with that moment's own
// offset (daylight saving included); takes the time-zone lock.
inline TimeOfDay localTimeOfDay (const std::timespec& moment) noexcept
{
    return timeOfDayDetail::withOffset (moment, timeOfDayDetail::lookUpOffset (moment.tv_sec));
}

// [any thread, realtime] The local time of day now, with the cached offset;
// only a line written before the first refresh looks the offset up.
inline TimeOfDay localTimeOfDay() noexcept
{
    using namespace timeOfDayDetail;
    std::timespec now {};
    ::clock_gettime (CLOCK_REALTIME, &now);
    const auto cached = cachedOffset.load (std::memory_order_relaxed);
    const auto offset = (cached & offsetKnown) != 0 ? static_cast<std::int32_t> (static_cast<std::uint32_t> (cached))
                                                    : storeOffset (lookUpOffset (now.tv_sec));
    return withOffset (now, offset);
}

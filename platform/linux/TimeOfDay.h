// The local wall-clock time of day for the log's time prefix, without a lock
// on each call: localtime_r takes glibc's time-zone lock, so the offset from
// UTC is looked up once per minute and cached. Offsets change (daylight
// saving, zone rules) only on whole minutes, so the cached one is right for
// the whole minute it was looked up in.
#pragma once

#include <atomic>
#include <ctime>

namespace timeOfDayDetail
{
    // High half: the UTC minute the offset belongs to, plus one (0: none yet).
    // Low half: the offset in seconds. One atomic word, so never torn.
    inline std::atomic<std::uint64_t> cachedOffset { 0 };

    inline std::int64_t floorDivide (std::int64_t value, std::int64_t divisor) noexcept
    {
        const auto quotient = value / divisor;
        return (value % divisor < 0) ? quotient - 1 : quotient;
    }

    inline std::int32_t utcOffsetAt (std::time_t secondsSinceEpoch) noexcept
    {
        const auto minuteKey = static_cast<std::uint32_t> (floorDivide (secondsSinceEpoch, 60) + 1);
        const auto cached = cachedOffset.load (std::memory_order_relaxed);

        if (static_cast<std::uint32_t> (cached >> 32) == minuteKey)
            return static_cast<std::int32_t> (static_cast<std::uint32_t> (cached));

        std::tm local {};
        std::int32_t offset = 0;

        if (::localtime_r (&secondsSinceEpoch, &local) != nullptr)
            offset = static_cast<std::int32_t> (local.tm_gmtoff);

        cachedOffset.store ((static_cast<std::uint64_t> (minuteKey) << 32) | static_cast<std::uint32_t> (offset),
                            std::memory_order_relaxed);
        return offset;
    }
}

// [any thread, realtime] The local time of day at the given moment.
inline TimeOfDay localTimeOfDay (const std::timespec& now) noexcept
{
    using namespace timeOfDayDetail;
    const auto local = static_cast<std::int64_t> (now.tv_sec) + utcOffsetAt (now.tv_sec);
    const auto secondOfDay = static_cast<int> (local - floorDivide (local, 86400) * 86400);

    return { secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60,
             static_cast<int> (now.tv_nsec / 1000000) };
}

// [any thread, realtime] The local time of day now.
inline TimeOfDay localTimeOfDay() noexcept
{
    std::timespec now {};
    ::clock_gettime (CLOCK_REALTIME, &now);
    return localTimeOfDay (now);
}

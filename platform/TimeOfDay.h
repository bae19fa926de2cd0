// The local wall-clock time of day for the log's time prefix. The realtime
// path only adds a cached offset from UTC to the system's UTC time: looking
// the zone up takes a lock (glibc's, Wine's), so refreshLocalTimeOffset does
// it off that path, at start-up, at the window's ticks and from the
// background writer.
//
// [any thread] void refreshLocalTimeOffset() noexcept;
// [any thread, realtime] TimeOfDay localTimeOfDay() noexcept;
#pragma once

#include <cstdint>

struct TimeOfDay
{
    int hours, minutes, seconds, milliseconds;
};

#if defined (_WIN32)
 #include "windows/TimeOfDay.h"
#else
 #include "linux/TimeOfDay.h"
#endif

// The local wall-clock time of day for the log's time prefix. Inline and
// lock-free: a logged call on an audio thread asks for it.
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

// The monotonic clock that call durations are measured on, in nanoseconds
// from an arbitrary start; never 0, so that 0 can stand for "not timed".
#pragma once

#include <cstdint>

#if defined (_WIN32)
 // [any thread, realtime] QueryPerformanceCounter, scaled.
 std::uint64_t monotonicNanoseconds() noexcept;
#else
 #include <ctime>

 // [any thread, realtime] Through the vDSO: no system call.
 inline std::uint64_t monotonicNanoseconds() noexcept
 {
     std::timespec now {};
     ::clock_gettime (CLOCK_MONOTONIC, &now);
     return static_cast<std::uint64_t> (now.tv_sec) * 1000000000u + static_cast<std::uint64_t> (now.tv_nsec) + 1;
 }
#endif

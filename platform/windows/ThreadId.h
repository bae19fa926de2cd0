#pragma once

#include <cstdint>

// [any thread, realtime] The system's thread identifier, read from the thread's own
// block: cheap enough for every call. Out of line, so that the system's
// headers stay out of ours.
std::uint32_t currentThreadId() noexcept;
// [any thread] The process's identifier (a system call: not for the call paths).
std::uint32_t currentProcessId() noexcept;

// Windows thread ids are multiples of four.
constexpr std::uint32_t threadIdStep = 4;

// The debug-output channel: standard error on Linux, OutputDebugStringA on
// Windows. Each line and its line feed leave in one call, so that lines of
// different threads never mix. No allocation, no lock: safe on audio threads.
#pragma once

#include <cstddef>
#include <cstring>

// [any thread, realtime] length is the text's length without terminator; longer text than
// the logger's line limit is cut. A reader that went away never raises SIGPIPE:
// from then on nothing more is written there.
void writeDebugLine (const char* text, std::size_t length) noexcept;

enum class DebugOutputStatus { written, closed, stalled };

// [any thread] The background writer's: whole lines, each with its line feed,
// count bytes in all (at most debugOutputBatchBytes). Waits at most timeoutMs
// for the channel to take them (stalled: nothing was written, try again).
DebugOutputStatus writeDebugLines (const char* bytes, std::size_t count, int timeoutMs) noexcept;

// What a pipe takes in one piece: lines of several writers never mix.
constexpr std::size_t debugOutputBatchBytes = 4096;

// [any thread, realtime] True once, for the first write that found the
// channel closed for good (its reader gone), so that the other sinks can say so.
bool debugOutputJustClosed() noexcept;

// [any thread] The calling thread gets EPIPE instead of SIGPIPE (the writer's own thread).
void blockBrokenPipeSignal() noexcept;

namespace debugOutputDetail
{
    constexpr std::size_t maxText = 1023;

    // [any thread, realtime] The text, cut to maxText, then a line feed and a terminator,
    // into buffer (maxText + 2 bytes); the length with the line feed.
    inline std::size_t prepareLine (char* buffer, const char* text, std::size_t length) noexcept
    {
        if (text == nullptr)
            length = 0;

        if (length > maxText)
            length = maxText;

        if (length > 0)
            std::memcpy (buffer, text, length);

        buffer[length] = '\n';
        buffer[length + 1] = 0;
        return length + 1;
    }
}

// The debug-output channel: standard error on Linux, OutputDebugStringA on
// Windows. Each line and its line feed leave in one call, so that lines of
// different threads never mix. No allocation, no lock: safe on audio threads.
#pragma once

#include <cstddef>
#include <cstring>

// [any thread, realtime] length is the text's length without terminator; longer text than
// the logger's line limit is cut.
void writeDebugLine (const char* text, std::size_t length) noexcept;

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

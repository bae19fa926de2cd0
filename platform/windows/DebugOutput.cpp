#include "../DebugOutput.h"
#include "WindowsHeaders.h"

void writeDebugLine (const char* text, std::size_t length) noexcept
{
    // What the framework's Logger::outputDebugString does, without its heap
    // string and wide copy: the line, a line feed, one OutputDebugStringA.
    char buffer[debugOutputDetail::maxText + 2];
    debugOutputDetail::prepareLine (buffer, text, length);
    ::OutputDebugStringA (buffer);
}

// A debugger takes what it is given: no reader can go away, nothing stalls.
// One OutputDebugStringA per line, as the synchronous writer does.
DebugOutputStatus writeDebugLines (const char* bytes, std::size_t count, int) noexcept
{
    char buffer[debugOutputDetail::maxText + 2];

    for (std::size_t start = 0; start < count;)
    {
        std::size_t end = start;

        while (end < count && bytes[end] != '\n')
            ++end;

        debugOutputDetail::prepareLine (buffer, bytes + start, end - start);
        ::OutputDebugStringA (buffer);
        start = end + 1;
    }

    return DebugOutputStatus::written;
}

bool debugOutputJustClosed() noexcept { return false; }

void blockBrokenPipeSignal() noexcept {}

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

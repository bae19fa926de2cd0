#include "../DebugOutput.h"
#include "WindowsHeaders.h"

#include <cstring>

namespace
{
    constexpr std::size_t maxText = 1023;
}

void writeDebugLine (const char* text, std::size_t length) noexcept
{
    // What the framework's Logger::outputDebugString does, without its heap
    // string and wide copy: the line, a line feed, one OutputDebugStringA.
    char buffer[maxText + 2];

    if (text == nullptr)
        length = 0;

    if (length > maxText)
        length = maxText;

    std::memcpy (buffer, text, length);
    buffer[length] = '\n';
    buffer[length + 1] = 0;
    ::OutputDebugStringA (buffer);
}

#include "../DebugOutput.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace
{
    constexpr std::size_t maxText = 1023;
}

void writeDebugLine (const char* text, std::size_t length) noexcept
{
    // The line and its line feed go out together: one write, so lines of
    // different threads never interleave (stderr is unbuffered).
    char buffer[maxText + 1];

    if (text == nullptr)
        length = 0;

    if (length > maxText)
        length = maxText;

    std::memcpy (buffer, text, length);
    buffer[length] = '\n';

    const char* next = buffer;
    std::size_t left = length + 1;

    while (left > 0)
    {
        const ssize_t written = ::write (STDERR_FILENO, next, left);

        if (written < 0)
        {
            if (errno == EINTR)
                continue;

            return; // nobody listens: the line is lost without notice
        }

        next += written;
        left -= (std::size_t) written;
    }
}

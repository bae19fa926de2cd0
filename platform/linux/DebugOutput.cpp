#include "../DebugOutput.h"

#include <cerrno>
#include <unistd.h>

void writeDebugLine (const char* text, std::size_t length) noexcept
{
    // The line and its line feed go out together: one write, so lines of
    // different threads never interleave (stderr is unbuffered).
    char buffer[debugOutputDetail::maxText + 2];
    const char* next = buffer;
    std::size_t left = debugOutputDetail::prepareLine (buffer, text, length);

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

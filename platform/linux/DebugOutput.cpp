#include "../DebugOutput.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
    enum StandardErrorKind : int { unknown = 0, plain, pipeOrFifo, socketKind };

    std::atomic<int> standardErrorKind { unknown };
    std::atomic<bool> closedForGood { false };
    std::atomic<bool> closedNews { false };

    // Looked up once: only a pipe or a socket can lose its reader.
    StandardErrorKind kindOfStandardError() noexcept
    {
        auto kind = standardErrorKind.load (std::memory_order_relaxed);

        if (kind == unknown)
        {
            struct stat info {};
            kind = ::fstat (STDERR_FILENO, &info) != 0 ? plain
                 : S_ISFIFO (info.st_mode)            ? pipeOrFifo
                 : S_ISSOCK (info.st_mode)            ? socketKind
                                                      : plain;
            standardErrorKind.store (kind, std::memory_order_relaxed);
        }

        return (StandardErrorKind) kind;
    }

    void noteClosed() noexcept
    {
        if (! closedForGood.exchange (true))
            closedNews.store (true);
    }

    // A pipe whose reader went away raises SIGPIPE in the writing thread,
    // which kills a host that never expected Tattlebox to write anywhere.
    // The signal is blocked around the write and, where this write raised
    // it, taken back before the thread's mask is restored.
    ssize_t writeWithoutBrokenPipeSignal (const char* bytes, std::size_t count) noexcept
    {
        if (kindOfStandardError() == socketKind)
            return ::send (STDERR_FILENO, bytes, count, MSG_NOSIGNAL);

        if (kindOfStandardError() != pipeOrFifo)
            return ::write (STDERR_FILENO, bytes, count);

        sigset_t brokenPipe, previous, pending;
        sigemptyset (&brokenPipe);
        sigaddset (&brokenPipe, SIGPIPE);
        pthread_sigmask (SIG_BLOCK, &brokenPipe, &previous);
        sigpending (&pending);
        const bool wasPending = sigismember (&pending, SIGPIPE) == 1;

        const auto written = ::write (STDERR_FILENO, bytes, count);
        const auto error = errno;

        if (written < 0 && error == EPIPE && ! wasPending)
        {
            const timespec noWait {};
            sigtimedwait (&brokenPipe, nullptr, &noWait);
        }

        pthread_sigmask (SIG_SETMASK, &previous, nullptr);
        errno = error;
        return written;
    }

    // false: nothing more can go there.
    bool writeAll (const char* next, std::size_t left) noexcept
    {
        while (left > 0)
        {
            const ssize_t written = writeWithoutBrokenPipeSignal (next, left);

            if (written < 0)
            {
                if (errno == EINTR)
                    continue;

                if (errno == EPIPE)
                    noteClosed();

                return false; // nobody listens: the line is lost
            }

            next += written;
            left -= (std::size_t) written;
        }

        return true;
    }
}

void writeDebugLine (const char* text, std::size_t length) noexcept
{
    if (closedForGood.load (std::memory_order_relaxed))
        return;

    // The line and its line feed go out together: one write, so lines of
    // different threads never interleave (stderr is unbuffered).
    char buffer[debugOutputDetail::maxText + 2];
    writeAll (buffer, debugOutputDetail::prepareLine (buffer, text, length));
}

DebugOutputStatus writeDebugLines (const char* bytes, std::size_t count, int timeoutMs) noexcept
{
    if (closedForGood.load (std::memory_order_relaxed))
        return DebugOutputStatus::closed;

    // A full pipe or a stopped terminal must not hold the writer for ever:
    // it waits for room, bounded, and writes no more than a pipe takes whole.
    pollfd output { STDERR_FILENO, POLLOUT, 0 };

    for (;;)
    {
        const auto ready = ::poll (&output, 1, timeoutMs);

        if (ready > 0 || (ready < 0 && errno != EINTR))
            break;

        if (ready == 0)
            return DebugOutputStatus::stalled;
    }

    if (writeAll (bytes, count))
        return DebugOutputStatus::written;

    return closedForGood.load() ? DebugOutputStatus::closed : DebugOutputStatus::written;
}

bool debugOutputJustClosed() noexcept
{
    return closedNews.load (std::memory_order_relaxed) && closedNews.exchange (false);
}

void blockBrokenPipeSignal() noexcept
{
    sigset_t brokenPipe;
    sigemptyset (&brokenPipe);
    sigaddset (&brokenPipe, SIGPIPE);
    pthread_sigmask (SIG_BLOCK, &brokenPipe, nullptr);
}

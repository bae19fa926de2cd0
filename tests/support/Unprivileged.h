// Runs a piece of a test in a child process as nobody where the tests run as
// root: root may write into any folder, so root alone never meets a read-only
// one, as users do.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace testsupport
{

constexpr unsigned unprivilegedId = 65534; // nobody, and its group nogroup

// Gives a file or folder to nobody where the tests run as root, so that
// nobody may use it as its own (FileChecks.h refuses another user's files).
inline bool giveToUnprivileged (const char* path)
{
    return ::geteuid() != 0 || ::chown (path, unprivilegedId, unprivilegedId) == 0;
}

// What fn returned in the child; a text saying so when the child could not
// become nobody or did not finish.
inline std::string runUnprivileged (const std::function<std::string()>& fn)
{
    int fds[2];

    if (::pipe (fds) != 0)
        return "pipe failed";

    const auto child = ::fork();

    if (child == 0)
    {
        ::close (fds[0]);

        if (::geteuid() == 0 && (::setgid (unprivilegedId) != 0 || ::setuid (unprivilegedId) != 0))
            ::_exit (3);

        const auto report = fn();
        [[maybe_unused]] auto written = ::write (fds[1], report.data(), report.size());
        ::_exit (0);
    }

    ::close (fds[1]);
    std::string report;
    char chunk[512];

    for (ssize_t n; (n = ::read (fds[0], chunk, sizeof (chunk))) > 0;)
        report.append (chunk, (std::size_t) n);

    ::close (fds[0]);
    int status = 0;
    ::waitpid (child, &status, 0);

    if (WIFEXITED (status) && WEXITSTATUS (status) == 3)
        return "could not drop privileges";

    if (! WIFEXITED (status) || WEXITSTATUS (status) != 0)
        return "child failed, status " + std::to_string (status);

    return report;
}

} // namespace testsupport

#include "../AppendFile.h"
#include "OpenUnderRules.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

std::intptr_t AppendFile::openNative (FileFault& fault, std::int64_t& size, Identity& id) const noexcept
{
    struct stat info {};
    const auto fd = openUnderRules (path, O_WRONLY | O_APPEND | O_CREAT, 0644, fault, info);

    if (fd < 0)
        return invalidHandle;

    size = (std::int64_t) info.st_size;
    id = { (std::uint64_t) info.st_dev, (std::uint64_t) info.st_ino };
    return (std::intptr_t) fd;
}

bool AppendFile::append (const char* bytes, std::size_t count) const noexcept
{
    const Writer writer (writers);
    const auto fd = handle.load();

    if (fd == invalidHandle)
        return false;

    for (;;)
    {
        const auto written = ::write ((int) fd, bytes, count);

        if (written >= 0 || errno != EINTR)
            return written == (ssize_t) count;
    }
}

// Processes sharing the file take turns on its lock (advisory: their writes
// go on) from the look at the path to the new file, so that a process never
// renames the file another one has just started. One that finds the lock
// taken tries again later.
AppendFile::Switch AppendFile::startNewFile (FileFault& refusal) noexcept
{
    refusal = FileFault::none;

    if (switching.exchange (true))
        return Switch::failed;

    auto result = Switch::failed;
    const auto fd = handle.load();

    if (fd != invalidHandle && ::flock ((int) fd, LOCK_EX | LOCK_NB) == 0)
    {
        struct stat atPath {};
        const bool ours = ::lstat (path, &atPath) == 0
                       && Identity { (std::uint64_t) atPath.st_dev, (std::uint64_t) atPath.st_ino } == identity;
        auto opened = invalidHandle;
        std::int64_t size = 0;
        Identity id;

        if (! ours || ::rename (path, previousPath) == 0)
            opened = openNative (refusal, size, id); // where refused, lines go on into the renamed file

        ::flock ((int) fd, LOCK_UN);

        if (opened != invalidHandle && install (fd, opened, size, id))
            result = ours ? Switch::renamed : Switch::joined;
    }

    switching.store (false);
    return result;
}

void AppendFile::closeNative (std::intptr_t handle) noexcept
{
    ::close ((int) handle);
}

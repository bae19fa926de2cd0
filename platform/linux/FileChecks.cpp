#include "OpenUnderRules.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

FileFault faultOf (const struct stat& info) noexcept
{
    if (S_ISLNK (info.st_mode))
        return FileFault::symbolicLink;

    // A folder keeps the failure it always had.
    if (S_ISDIR (info.st_mode))
        return FileFault::cannotOpen;

    if (! S_ISREG (info.st_mode))
        return FileFault::notRegularFile;

    return info.st_uid == ::geteuid() ? FileFault::none : FileFault::foreignOwner;
}

int openUnderRules (const char* path, int flags, mode_t mode, FileFault& fault, struct stat& info) noexcept
{
    // O_NONBLOCK: a FIFO opens at once (or fails with ENXIO for a writer
    // without a reader) and is refused below; a regular file ignores it.
    const auto fd = ::open (path, flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode);

    if (fd < 0)
    {
        const auto error = errno;
        struct stat atPath {};

        // ELOOP is also what too many links on the way give; ENXIO what a FIFO does.
        if ((error == ELOOP || error == ENXIO) && ::lstat (path, &atPath) == 0 && faultOf (atPath) != FileFault::none)
            fault = faultOf (atPath);
        else
            fault = FileFault::cannotOpen;

        return -1;
    }

    fault = ::fstat (fd, &info) == 0 ? faultOf (info) : FileFault::cannotOpen;

    if (fault == FileFault::none && ::fcntl (fd, F_SETFL, ::fcntl (fd, F_GETFL) & ~O_NONBLOCK) == 0)
        return fd;

    if (fault == FileFault::none)
        fault = FileFault::cannotOpen;

    ::close (fd);
    return -1;
}

FileFault checkFileToReplace (const juce::File& file)
{
    struct stat info {};

    if (::lstat (file.getFullPathName().toRawUTF8(), &info) != 0)
        return FileFault::none;

    const auto fault = faultOf (info);
    return fault == FileFault::cannotOpen ? FileFault::none : fault;
}

FileFault readCheckedFile (const juce::File& file, juce::MemoryBlock& bytes, std::size_t maxBytes)
{
    bytes.reset();
    struct stat info {};
    FileFault fault;
    const auto fd = openUnderRules (file.getFullPathName().toRawUTF8(), O_RDONLY, 0, fault, info);

    if (fd < 0)
        return fault;

    char chunk[8192];

    for (;;)
    {
        const auto got = ::read (fd, chunk, sizeof (chunk));

        if (got < 0 && errno == EINTR)
            continue;

        if (got <= 0 || bytes.getSize() + (std::size_t) got > maxBytes)
        {
            if (got != 0)
            {
                bytes.reset();
                fault = FileFault::cannotOpen;
            }

            break;
        }

        bytes.append (chunk, (std::size_t) got);
    }

    ::close (fd);
    return fault;
}

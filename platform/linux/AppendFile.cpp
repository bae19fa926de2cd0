#include "../AppendFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::intptr_t AppendFile::openNative() const noexcept
{
    const auto fd = ::open (path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    return fd < 0 ? invalidHandle : (std::intptr_t) fd;
}

bool AppendFile::open (const juce::File& file)
{
    close();
    const auto name = file.getFullPathName();

    if (name.isEmpty() || (int) name.getNumBytesAsUTF8() + 3 >= maxPathBytes)
        return false;

    const auto bytes = std::strlen (name.toRawUTF8());
    std::memcpy (path, name.toRawUTF8(), bytes + 1);
    std::memcpy (previousPath, path, bytes);
    std::memcpy (previousPath + bytes, ".1", 3);
    const auto fd = openNative();

    if (fd == invalidHandle)
        return false;

    struct stat info {};
    openedSize = ::fstat ((int) fd, &info) == 0 ? (std::int64_t) info.st_size : 0;
    handle.store (fd, std::memory_order_release);
    return true;
}

bool AppendFile::append (const char* bytes, std::size_t count) const noexcept
{
    const auto fd = handle.load (std::memory_order_acquire);

    if (fd == invalidHandle)
        return false;

    for (;;)
    {
        const auto written = ::write ((int) fd, bytes, count);

        if (written >= 0 || errno != EINTR)
            return written == (ssize_t) count;
    }
}

bool AppendFile::startNewFile() noexcept
{
    if (! isOpen() || ::rename (path, previousPath) != 0)
        return false;

    const auto fd = openNative();

    if (fd == invalidHandle)
        return false; // lines go on into the renamed file

    retire (handle.exchange (fd, std::memory_order_acq_rel));
    return true;
}

void AppendFile::closeNative (std::intptr_t handle) noexcept
{
    ::close ((int) handle);
}

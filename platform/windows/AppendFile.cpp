#include "../AppendFile.h"
#include "WindowsHeaders.h"

#include <cstring>
#include <cwchar>

namespace
{
    const wchar_t* wide (const char* utf8Path, wchar_t* buffer, int size) noexcept
    {
        return ::MultiByteToWideChar (CP_UTF8, 0, utf8Path, -1, buffer, size) > 0 ? buffer : nullptr;
    }
}

std::intptr_t AppendFile::openNative() const noexcept
{
    wchar_t name[maxPathBytes];

    if (wide (path, name, maxPathBytes) == nullptr)
        return invalidHandle;

    // Appending access alone: the system puts every write at the end, also
    // with other processes writing the same file.
    auto file = ::CreateFileW (name, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? invalidHandle : (std::intptr_t) file;
}

bool AppendFile::open (const juce::File& file)
{
    close();
    const auto name = file.getFullPathName();

    if (name.isEmpty() || (int) name.getNumBytesAsUTF8() + 3 >= maxPathBytes)
        return false;

    std::strncpy (path, name.toRawUTF8(), sizeof (path) - 1);
    std::strncpy (previousPath, (name + ".1").toRawUTF8(), sizeof (previousPath) - 1);
    const auto opened = openNative();

    if (opened == invalidHandle)
        return false;

    LARGE_INTEGER size {};
    openedSize = ::GetFileSizeEx ((HANDLE) opened, &size) ? (std::int64_t) size.QuadPart : 0;
    handle.store (opened, std::memory_order_release);
    return true;
}

bool AppendFile::append (const char* bytes, std::size_t count) const noexcept
{
    const auto opened = handle.load (std::memory_order_acquire);
    DWORD written = 0;
    return opened != invalidHandle
        && ::WriteFile ((HANDLE) opened, bytes, (DWORD) count, &written, nullptr)
        && written == count;
}

bool AppendFile::startNewFile() noexcept
{
    wchar_t from[maxPathBytes], to[maxPathBytes];

    // FILE_SHARE_DELETE on every handle lets the open file be renamed.
    if (! isOpen() || wide (path, from, maxPathBytes) == nullptr || wide (previousPath, to, maxPathBytes) == nullptr
          || ! ::MoveFileExW (from, to, MOVEFILE_REPLACE_EXISTING))
        return false;

    const auto opened = openNative();

    if (opened == invalidHandle)
        return false;

    retire (handle.exchange (opened, std::memory_order_acq_rel));
    return true;
}

void AppendFile::closeNative (std::intptr_t handle) noexcept
{
    ::CloseHandle ((HANDLE) handle);
}

#include "../AppendFile.h"
#include "WindowsHeaders.h"

#include <cstring>
#include <cwchar>

namespace
{
    constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

    const wchar_t* wide (const char* utf8Path, wchar_t* buffer, int size) noexcept
    {
        return ::MultiByteToWideChar (CP_UTF8, 0, utf8Path, -1, buffer, size) > 0 ? buffer : nullptr;
    }

    bool getInformation (HANDLE file, BY_HANDLE_FILE_INFORMATION& info) noexcept
    {
        return ::GetFileInformationByHandle (file, &info) != 0;
    }

    // Renames the very file the handle is open on, so that no other process
    // can put another one at the path between the look and the rename. The
    // name is a full one in the verbatim form (\\?\C:\... or \\?\UNC\...),
    // which the system takes without resolving it against any folder.
    bool renameOpenFile (HANDLE file, const char* utf8Path, int maxChars) noexcept
    {
        constexpr int prefixChars = 8; // "\\?\UNC\"
        alignas (FILE_RENAME_INFO) char buffer[sizeof (FILE_RENAME_INFO) + (std::size_t) (maxChars + prefixChars) * sizeof (wchar_t)];
        std::memset (buffer, 0, sizeof (FILE_RENAME_INFO));
        auto* info = reinterpret_cast<FILE_RENAME_INFO*> (buffer);
        const bool unc = utf8Path[0] == '\\' && utf8Path[1] == '\\';
        const wchar_t* prefix = unc ? L"\\\\?\\UNC" : L"\\\\?\\";
        const auto prefixLength = (int) std::wcslen (prefix);
        std::wmemcpy (info->FileName, prefix, (std::size_t) prefixLength);
        const auto chars = ::MultiByteToWideChar (CP_UTF8, 0, unc ? utf8Path + 1 : utf8Path, -1,
                                                  info->FileName + prefixLength, maxChars);

        if (chars <= 0)
            return false;

        info->ReplaceIfExists = TRUE;
        info->RootDirectory = nullptr;
        info->FileNameLength = (DWORD) ((prefixLength + chars - 1) * (int) sizeof (wchar_t));
        return ::SetFileInformationByHandle (file, FileRenameInfo, info,
                                             (DWORD) (sizeof (FILE_RENAME_INFO) + info->FileNameLength)) != 0;
    }
}

std::intptr_t AppendFile::openNative (FileFault& fault, std::int64_t& size, Identity& id) const noexcept
{
    wchar_t name[maxPathBytes];
    fault = FileFault::cannotOpen;

    if (wide (path, name, maxPathBytes) == nullptr)
        return invalidHandle;

    // Appending access alone: the system puts every write at the end, also
    // with other processes writing the same file. A link or junction at the
    // path is opened itself, not followed, and refused.
    auto file = ::CreateFileW (name, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, shareAll, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);

    if (file == INVALID_HANDLE_VALUE)
        return invalidHandle;

    BY_HANDLE_FILE_INFORMATION info {};

    if (! getInformation (file, info))
        fault = FileFault::cannotOpen;
    else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        fault = FileFault::symbolicLink;
    else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || ::GetFileType (file) != FILE_TYPE_DISK)
        fault = FileFault::notRegularFile;
    else
        fault = FileFault::none;

    if (fault != FileFault::none)
    {
        ::CloseHandle (file);
        return invalidHandle;
    }

    size = (std::int64_t) (((std::uint64_t) info.nFileSizeHigh << 32) | info.nFileSizeLow);
    id = { info.dwVolumeSerialNumber, ((std::uint64_t) info.nFileIndexHigh << 32) | info.nFileIndexLow };
    return (std::intptr_t) file;
}

bool AppendFile::append (const char* bytes, std::size_t count) const noexcept
{
    const Writer writer (writers);
    const auto opened = handle.load();
    DWORD written = 0;
    return opened != invalidHandle
        && ::WriteFile ((HANDLE) opened, bytes, (DWORD) count, &written, nullptr)
        && written == count;
}

// The file at the path is opened to be renamed (DELETE access): a reader that
// holds it without FILE_SHARE_DELETE (an editor, a viewer) refuses that, and
// the switch fails until it lets go.
AppendFile::Switch AppendFile::startNewFile (FileFault& refusal) noexcept
{
    refusal = FileFault::none;

    if (switching.exchange (true))
        return Switch::failed;

    auto result = Switch::failed;
    const auto current = handle.load();
    wchar_t name[maxPathBytes];

    if (current != invalidHandle && wide (path, name, maxPathBytes) != nullptr)
    {
        const auto atPath = ::CreateFileW (name, DELETE | FILE_READ_ATTRIBUTES, shareAll, nullptr, OPEN_EXISTING,
                                           FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        // Nothing at the path: another process renamed it and has not started its new one yet.
        auto free = atPath == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_FILE_NOT_FOUND;
        bool ours = false;

        if (atPath != INVALID_HANDLE_VALUE)
        {
            BY_HANDLE_FILE_INFORMATION info {};
            ours = getInformation (atPath, info)
                && Identity { info.dwVolumeSerialNumber, ((std::uint64_t) info.nFileIndexHigh << 32) | info.nFileIndexLow } == identity;
            free = ! ours || renameOpenFile (atPath, previousPath, maxPathBytes);
            ::CloseHandle (atPath);
        }

        std::int64_t size = 0;
        Identity id;
        const auto opened = free ? openNative (refusal, size, id) : invalidHandle;

        if (opened != invalidHandle && install (current, opened, size, id))
            result = ours ? Switch::renamed : Switch::joined;
    }

    switching.store (false);
    return result;
}

void AppendFile::closeNative (std::intptr_t handle) noexcept
{
    ::CloseHandle ((HANDLE) handle);
}

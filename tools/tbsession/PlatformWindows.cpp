#include "Platform.h"

#ifndef WIN32_LEAN_AND_MEAN
 #define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <ole2.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <filesystem>

namespace tbsession
{

namespace
{
std::string lastErrorText (DWORD code)
{
    char* text = nullptr;
    const DWORD length = ::FormatMessageA (FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                               | FORMAT_MESSAGE_IGNORE_INSERTS,
                                           nullptr, code, 0, reinterpret_cast<char*> (&text), 0, nullptr);
    std::string result = length > 0 && text != nullptr ? std::string (text, length) : std::string();
    ::LocalFree (text);

    while (! result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' ' || result.back() == '.'))
        result.pop_back();

    char number[32];
    std::snprintf (number, sizeof (number), "error %lu", (unsigned long) code);
    return result.empty() ? std::string (number) : result + " (" + number + ")";
}
} // namespace

PluginLibrary::PluginLibrary (const std::string& path)
{
    // Absolute and with backslashes, so that LoadLibrary never searches for
    // it; wide, so that a relative name in a folder whose name lies outside
    // the ANSI code page still loads.
    std::error_code ec;
    auto absolute = std::filesystem::absolute (path, ec);
    const auto full = ec ? std::filesystem::path (path) : absolute.make_preferred();
    handle = ::LoadLibraryW (full.c_str());

    if (handle == nullptr)
        loadError = lastErrorText (::GetLastError());
}

PluginLibrary::~PluginLibrary()
{
    if (handle != nullptr)
        ::FreeLibrary (static_cast<HMODULE> (handle));
}

void* PluginLibrary::find (const char* name) const
{
    if (handle == nullptr)
        return nullptr;

    return reinterpret_cast<void*> (::GetProcAddress (static_cast<HMODULE> (handle), name));
}

HostThreadScope::HostThreadScope()
{
    ::_setmode (::_fileno (stdout), _O_BINARY);
    oleInitialised = SUCCEEDED (::OleInitialize (nullptr));
}

HostThreadScope::~HostThreadScope()
{
    if (oleInitialised)
        ::OleUninitialize();
}

void pumpMessages (int milliseconds)
{
    const ULONGLONG end = ::GetTickCount64() + (ULONGLONG) milliseconds;

    for (;;)
    {
        MSG message;

        // Bounded by the time too: a window under the pointer may post a
        // message for each one it handles, and the queue never runs dry.
        while (::GetTickCount64() < end && ::PeekMessageW (&message, nullptr, 0, 0, PM_REMOVE))
        {
            ::TranslateMessage (&message);
            ::DispatchMessageW (&message);
        }

        const ULONGLONG now = ::GetTickCount64();

        if (now >= end)
            return;

        ::MsgWaitForMultipleObjects (0, nullptr, FALSE, (DWORD) (end - now), QS_ALLINPUT);
    }
}

} // namespace tbsession

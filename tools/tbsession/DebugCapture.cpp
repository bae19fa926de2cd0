#include "DebugCapture.h"

#ifndef WIN32_LEAN_AND_MEAN
 #define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstring>
#include <cwchar>
#include <vector>

namespace tbsession
{

namespace
{
// What OutputDebugStringA and W raise: [0] the length with terminator, [1] the text.
constexpr DWORD printExceptionNarrow = 0x40010006; // DBG_PRINTEXCEPTION_C
constexpr DWORD printExceptionWide = 0x4001000A;   // DBG_PRINTEXCEPTION_WIDE_C

// Written once before the handler is installed and never closed: plain
// globals, no destructor at exit.
HANDLE captureFile = INVALID_HANDLE_VALUE;
SRWLOCK writeLock = SRWLOCK_INIT;

void append (const char* text, std::size_t length)
{
    // Append-only access puts each WriteFile whole at the end on Windows; wine
    // finds the end and writes in two steps, so concurrent strings would land
    // on the same place. The lock keeps them apart there.
    DWORD written = 0;
    ::AcquireSRWLockExclusive (&writeLock);
    ::WriteFile (captureFile, text, (DWORD) length, &written, nullptr);
    ::ReleaseSRWLockExclusive (&writeLock);
}

void appendWide (const wchar_t* text, std::size_t length)
{
    if (length == 0)
        return;

    const int bytes = ::WideCharToMultiByte (CP_UTF8, 0, text, (int) length, nullptr, 0, nullptr, nullptr);

    if (bytes <= 0)
        return;

    std::vector<char> utf8 ((std::size_t) bytes);
    ::WideCharToMultiByte (CP_UTF8, 0, text, (int) length, utf8.data(), bytes, nullptr, nullptr);
    append (utf8.data(), utf8.size());
}

// Whichever thread wrote the debug string, inside its OutputDebugString call.
LONG CALLBACK captureDebugString (EXCEPTION_POINTERS* info)
{
    const auto* record = info->ExceptionRecord;
    const bool narrow = record->ExceptionCode == printExceptionNarrow;

    if ((! narrow && record->ExceptionCode != printExceptionWide) || record->NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;

    const auto capacity = (std::size_t) record->ExceptionInformation[0];
    const auto address = record->ExceptionInformation[1];

    if (address != 0 && capacity > 0)
    {
        // The length counts the terminator; a shorter string inside is taken as it is.
        if (narrow)
        {
            const auto* text = reinterpret_cast<const char*> (address);
            append (text, ::strnlen (text, capacity));
        }
        else
        {
            const auto* text = reinterpret_cast<const wchar_t*> (address);
            appendWide (text, ::wcsnlen (text, capacity));
        }
    }

    // Handled: for the wide string this also stops the narrow copy being raised.
    return EXCEPTION_CONTINUE_EXECUTION;
}
} // namespace

bool startDebugCapture (const std::string& file, std::string& error)
{
    const HANDLE emptied = ::CreateFileA (file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);

    if (emptied != INVALID_HANDLE_VALUE)
    {
        ::CloseHandle (emptied);
        captureFile = ::CreateFileA (file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    if (captureFile == INVALID_HANDLE_VALUE)
    {
        error = "cannot write " + file;
        return false;
    }

    if (::AddVectoredExceptionHandler (1, captureDebugString) == nullptr)
    {
        error = "cannot install the debug-output handler";
        return false;
    }

    return true;
}

} // namespace tbsession

#include "CrashNote.h"

#include <windows.h>

#include <cstring>

namespace tbreplay
{
namespace
{
    thread_local char note[256];
    thread_local bool noted = false;

    LONG WINAPI onCrash (EXCEPTION_POINTERS*)
    {
        if (noted)
        {
            DWORD written = 0;
            WriteFile (GetStdHandle (STD_ERROR_HANDLE), note, (DWORD) std::strlen (note), &written, nullptr);
        }

        return EXCEPTION_CONTINUE_SEARCH; // the system's handling goes on
    }
}

void installCrashNote()
{
    SetUnhandledExceptionFilter (onCrash);
}

void noteCallForCrash (std::uint64_t sequence, const char* name) noexcept
{
    noted = sequence != 0;

    if (noted)
        formatCrashNote (note, sizeof (note), sequence, name);
}
}

#include "CrashNote.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <initializer_list>
#include <unistd.h>

namespace tbreplay
{
namespace
{
    // One note per replay thread at most at a time: the innermost call of the thread that crashed.
    thread_local char note[256];
    thread_local bool noted = false;

    void onCrash (int signal)
    {
        if (noted)
            ::write (STDERR_FILENO, note, std::strlen (note));

        // The default action from here: a fault repeats on return, a raised signal is raised again.
        std::signal (signal, SIG_DFL);

        if (signal == SIGABRT)
            std::raise (signal);
    }
}

void installCrashNote()
{
    for (const int signal : { SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT })
    {
        struct sigaction action {};
        action.sa_handler = onCrash;
        action.sa_flags = SA_RESETHAND | SA_NODEFER;
        sigemptyset (&action.sa_mask);
        sigaction (signal, &action, nullptr);
    }
}

void noteCallForCrash (std::uint64_t sequence, const char* name) noexcept
{
    noted = sequence != 0;

    if (noted)
        formatCrashNote (note, sizeof (note), sequence, name);
}
}

// tb_crashhost: a bare host that makes one call crash, for the crash tests.
//
//   tb_crashhost [--handler siginfo|plain] [--handler-on-top] [--close-after] PLUGIN CALL
//
// CALL is effOpen, setParameter, effEditIdle (on the main thread) or
// processReplacing (on a thread of its own, as an audio thread): the host
// prints "call thread: <id>" in the log's hexadecimal before it makes the
// call. --handler installs the host's own handler for the fatal signals
// before the plug-in is loaded: siginfo prints the signal, its code, the
// address, whether a context came with it and how many allocations the
// process made since just before the call, then ends with status 3; plain
// prints the signal and ends with 4. --close-after closes and unloads the
// plug-in without a crash, prints whether its file is still mapped, then
// raises SIGSEGV; --handler-on-top does the same with a handler installed
// after the plug-in's main returned (another library's, on top of
// Tattlebox's), which prints the signal and hands on to the one below.
#include "vst/VstInterface.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

// Every allocation of the calling thread, the C library's own included, counted.
extern "C" void* __libc_malloc (std::size_t);
extern "C" void* __libc_calloc (std::size_t, std::size_t);
extern "C" void* __libc_realloc (void*, std::size_t);

namespace
{
thread_local long allocations = 0;
thread_local long allocationsBeforeCall = -1;
}

extern "C" void* malloc (std::size_t size)
{
    ++allocations;
    return __libc_malloc (size);
}

extern "C" void* calloc (std::size_t count, std::size_t size)
{
    ++allocations;
    return __libc_calloc (count, size);
}

extern "C" void* realloc (void* block, std::size_t size)
{
    ++allocations;
    return __libc_realloc (block, size);
}

namespace
{
constexpr int fatalSignals[] = { SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT };

void say (const char* text)
{
    [[maybe_unused]] auto written = ::write (STDOUT_FILENO, text, std::strlen (text));
}

// Where the signal's address lies, the same from run to run: a fault's data
// address, an instruction's module and offset, or the process that sent it.
void describeAddress (int signal, const siginfo_t& info, char* text, std::size_t size)
{
    Dl_info place {};

    if (info.si_code <= 0)
        std::snprintf (text, size, "sent by %s", info.si_pid == ::getpid() ? "this process" : "another process");
    else if (signal != SIGSEGV && signal != SIGBUS && dladdr (info.si_addr, &place) != 0 && place.dli_fname != nullptr)
        std::snprintf (text, size, "%s+%lx", std::strrchr (place.dli_fname, '/') + 1,
                       (unsigned long) ((const char*) info.si_addr - (const char*) place.dli_fbase));
    else
        std::snprintf (text, size, "%p", info.si_addr);
}

void onSignalWithInfo (int signal, siginfo_t* info, void* context)
{
    const auto allocated = allocationsBeforeCall < 0 ? -1L : allocations - allocationsBeforeCall;
    char address[256], text[512];
    describeAddress (signal, *info, address, sizeof (address));
    std::snprintf (text, sizeof (text), "host handler: signal %d code %d address %s context %s allocations %ld\n",
                   signal, info->si_code, address, context != nullptr ? "yes" : "no", allocated);
    say (text);
    ::_exit (3);
}

void onPlainSignal (int signal)
{
    char text[64];
    std::snprintf (text, sizeof (text), "host handler: signal %d\n", signal);
    say (text);
    ::_exit (4);
}

struct sigaction below[sizeof (fatalSignals) / sizeof (fatalSignals[0])];

void onTopHandler (int signal, siginfo_t* info, void* context)
{
    say ("on-top handler: called\n");

    for (std::size_t i = 0; i < sizeof (fatalSignals) / sizeof (fatalSignals[0]); ++i)
        if (fatalSignals[i] == signal && (below[i].sa_flags & SA_SIGINFO) != 0)
            below[i].sa_sigaction (signal, info, context);

    ::signal (signal, SIG_DFL);
    std::raise (signal);
}

bool isMapped (const std::string& path)
{
    const auto name = path.substr (path.find_last_of ('/') + 1);
    FILE* maps = std::fopen ("/proc/self/maps", "r");
    char line[4096];
    bool found = false;

    while (maps != nullptr && std::fgets (line, sizeof (line), maps) != nullptr)
        found = found || std::strstr (line, ("/" + name).c_str()) != nullptr;

    if (maps != nullptr)
        std::fclose (maps);

    return found;
}

void installHandlers (const std::string& kind)
{
    for (std::size_t i = 0; i < sizeof (fatalSignals) / sizeof (fatalSignals[0]); ++i)
    {
        struct sigaction action {};
        sigemptyset (&action.sa_mask);

        if (kind == "plain")
        {
            action.sa_handler = onPlainSignal;
        }
        else
        {
            action.sa_sigaction = kind == "siginfo" ? onSignalWithInfo : onTopHandler;
            action.sa_flags = SA_SIGINFO;
        }

        sigaction (fatalSignals[i], &action, &below[i]);
    }
}

VstIntPtr hostCallback (AEffect*, std::int32_t opcode, std::int32_t, VstIntPtr, void*, float)
{
    return opcode == 1 ? 2400 : 0; // audioMasterVersion
}

VstIntPtr dispatch (AEffect* effect, std::int32_t opcode, std::int32_t index = 0, VstIntPtr value = 0, float opt = 0.0f)
{
    return effect->dispatcher (effect, opcode, index, value, nullptr, opt);
}

void printCallThread()
{
    std::printf ("call thread: %lX\n", (long) ::syscall (SYS_gettid));
    std::fflush (stdout);
    allocationsBeforeCall = allocations;
}

void processOneBlock (AEffect* effect)
{
    float left[64] = {}, right[64] = {};
    float* channels[] = { left, right };
    printCallThread();
    effect->processReplacing (effect, channels, channels, 64);
}

int crash (AEffect* effect, const std::string& call)
{
    if (call == "effOpen")
    {
        printCallThread();
        dispatch (effect, 0);
        return 0;
    }

    dispatch (effect, 0);                                // effOpen
    dispatch (effect, 10, 0, 0, 44100.0f);               // effSetSampleRate
    dispatch (effect, 11, 0, 64);                        // effSetBlockSize
    dispatch (effect, 12, 0, 1);                         // effMainsChanged: resume

    if (call == "processReplacing")
    {
        std::thread audio ([effect] { processOneBlock (effect); });
        audio.join();
    }
    else if (call == "setParameter")
    {
        printCallThread();
        effect->setParameter (effect, 0, 0.5f);
    }
    else if (call == "effEditIdle")
    {
        printCallThread();
        dispatch (effect, 19);
    }

    return 0;
}
} // namespace

int main (int argc, char** argv)
{
    std::string handler, plugin, call;
    bool handlerOnTop = false, closeAfter = false;

    for (int i = 1; i < argc; ++i)
    {
        const std::string argument = argv[i];

        if (argument == "--handler" && i + 1 < argc)  handler = argv[++i];
        else if (argument == "--handler-on-top")      handlerOnTop = true;
        else if (argument == "--close-after")         closeAfter = true;
        else if (plugin.empty())                      plugin = argument;
        else                                          call = argument;
    }

    if (plugin.empty() || (call.empty() && ! handlerOnTop && ! closeAfter))
    {
        std::fprintf (stderr, "usage: tb_crashhost [--handler siginfo|plain] [--handler-on-top] [--close-after] PLUGIN CALL\n");
        return 2;
    }

    if (! handler.empty())
        installHandlers (handler);

    void* library = dlopen (plugin.c_str(), RTLD_NOW | RTLD_LOCAL);
    auto entry = library != nullptr ? reinterpret_cast<VstPluginMainProc> (dlsym (library, "VSTPluginMain")) : nullptr;
    AEffect* effect = entry != nullptr ? entry (hostCallback) : nullptr;

    if (effect == nullptr)
    {
        std::fprintf (stderr, "FAIL: no effect from %s\n", plugin.c_str());
        return 2;
    }

    if (handlerOnTop || closeAfter)
    {
        if (handlerOnTop)
            installHandlers ("on top");

        dispatch (effect, 1); // effClose
        dlclose (library);
        std::printf ("mapped after close: %s\n", isMapped (plugin) ? "yes" : "no");
        std::fflush (stdout);
        std::raise (SIGSEGV);
        return 0;
    }

    return crash (effect, call);
}

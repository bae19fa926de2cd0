#include "../CrashSignals.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <dlfcn.h>
#include <link.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>
#include <unwind.h>

// Only async-signal-safe calls past installCrashHandlers: sigaction,
// sigprocmask, sigaltstack, syscall, and the unwinder and _dl_find_object,
// which take no lock and allocate nothing once warmed up at start-up (the
// library is bound at load, -z now, so no first call resolves a symbol here).

namespace
{
    constexpr int handledSignals[] = { SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT };
    constexpr int numSignals = (int) (sizeof (handledSignals) / sizeof (handledSignals[0]));

    struct sigaction previous[numSignals];
    std::atomic<bool> installed[numSignals] {};
    CrashCallbacks hooks;

    // One alternate stack per thread record, made at the first start-up and
    // never unmapped: a thread keeps its stack when Tattlebox is unloaded,
    // and a signal delivered there later must find memory.
    constexpr std::size_t stackBytes = 64 * 1024, guardBytes = 4096;
    constexpr int numStacks = 256;
    char* stackPool = nullptr;

    // The main program's file: the loader gives it no name.
    char programPath[PATH_MAX] {};
    struct link_map* ownMap = nullptr;

    int indexOf (int signal) noexcept
    {
        for (int i = 0; i < numSignals; ++i)
            if (handledSignals[i] == signal)
                return i;

        return -1;
    }

    const char* nameOf (int signal) noexcept
    {
        switch (signal)
        {
            case SIGSEGV: return "SIGSEGV";
            case SIGBUS:  return "SIGBUS";
            case SIGILL:  return "SIGILL";
            case SIGFPE:  return "SIGFPE";
            default:      return "SIGABRT";
        }
    }

    const char* codeNameOf (int signal, int code) noexcept
    {
        switch (code)
        {
            case SI_USER:   return "SI_USER";
            case SI_TKILL:  return "SI_TKILL";
            case SI_QUEUE:  return "SI_QUEUE";
            case SI_KERNEL: return "SI_KERNEL";
            default: break;
        }

        static const char* const segv[] = { nullptr, "SEGV_MAPERR", "SEGV_ACCERR", "SEGV_BNDERR", "SEGV_PKUERR" };
        static const char* const bus[] = { nullptr, "BUS_ADRALN", "BUS_ADRERR", "BUS_OBJERR", "BUS_MCEERR_AR", "BUS_MCEERR_AO" };
        static const char* const ill[] = { nullptr, "ILL_ILLOPC", "ILL_ILLOPN", "ILL_ILLADR", "ILL_ILLTRP",
                                           "ILL_PRVOPC", "ILL_PRVREG", "ILL_COPROC", "ILL_BADSTK" };
        static const char* const fpe[] = { nullptr, "FPE_INTDIV", "FPE_INTOVF", "FPE_FLTDIV", "FPE_FLTOVF",
                                           "FPE_FLTUND", "FPE_FLTRES", "FPE_FLTINV", "FPE_FLTSUB" };

        const auto pick = [code] (const char* const* names, int count) { return code > 0 && code < count ? names[code] : nullptr; };

        switch (signal)
        {
            case SIGSEGV: return pick (segv, 5);
            case SIGBUS:  return pick (bus, 6);
            case SIGILL:  return pick (ill, 9);
            case SIGFPE:  return pick (fpe, 9);
            default:      return nullptr;
        }
    }

    // Raised by the hardware (a fault the instruction repeats), not sent by a process.
    bool isFault (const siginfo_t& info) noexcept
    {
        return info.si_code > 0 && info.si_code != SI_KERNEL;
    }

    enum class Register { instruction, stack };

    // The interrupted thread's instruction or stack pointer.
    std::uintptr_t registerOf (const void* context, Register which) noexcept
    {
        const auto& machine = static_cast<const ucontext_t*> (context)->uc_mcontext;
       #if defined (__x86_64__)
        return (std::uintptr_t) machine.gregs[which == Register::instruction ? REG_RIP : REG_RSP];
       #elif defined (__i386__)
        return (std::uintptr_t) machine.gregs[which == Register::instruction ? REG_EIP : REG_ESP];
       #else
        (void) machine;
        (void) which;
        return 0;
       #endif
    }

    std::uintptr_t programCounter (const void* context) noexcept { return registerOf (context, Register::instruction); }

    //==============================================================================
    struct Walk
    {
        CrashFacts* facts;
        std::uintptr_t pc;
        bool atFault;
    };

    // The unwinder starts in this handler: frames before the interrupted one are skipped.
    _Unwind_Reason_Code stepFrame (struct _Unwind_Context* context, void* argument)
    {
        auto& walk = *static_cast<Walk*> (argument);
        int beforeInstruction = 0;
        const auto ip = (std::uintptr_t) _Unwind_GetIPInfo (context, &beforeInstruction);

        if (! walk.atFault)
        {
            if (ip != walk.pc || beforeInstruction == 0)
                return _URC_NO_REASON;

            walk.atFault = true;
        }

        auto& facts = *walk.facts;
        facts.frames[facts.numFrames++] = beforeInstruction != 0 || ip == 0 ? ip : ip - 1;
        return facts.numFrames < CrashFacts::maxFrames ? _URC_NO_REASON : _URC_END_OF_STACK;
    }

    void walkStack (CrashFacts& facts, const void* context) noexcept
    {
        Walk walk { &facts, programCounter (context), false };
        _Unwind_Backtrace (stepFrame, &walk);

        if (facts.numFrames == 0)
            facts.frames[facts.numFrames++] = walk.pc;

        // A jump to nowhere (a call through a null pointer) has no unwind
        // information to go on: where it came from is on top of the stack.
        if (CodePlace place; facts.numFrames == 1 && ! findCodePlace (walk.pc, place))
            if (const auto sp = registerOf (context, Register::stack); sp != 0)
                if (const auto from = *reinterpret_cast<const std::uintptr_t*> (sp); findCodePlace (from - 1, place))
                    facts.frames[facts.numFrames++] = from - 1;
    }

    //==============================================================================
    // As the system would have called the previous handler itself: its mask
    // and its flags.
    void callPrevious (int index, int signal, siginfo_t* info, void* context) noexcept
    {
        const auto& old = previous[index];
        sigset_t mask = static_cast<ucontext_t*> (context)->uc_sigmask, saved;

        for (int s = 1; s < NSIG; ++s)
            if (sigismember (&old.sa_mask, s) == 1)
                sigaddset (&mask, s);

        if ((old.sa_flags & SA_NODEFER) == 0)
            sigaddset (&mask, signal);

        if ((old.sa_flags & SA_RESETHAND) != 0)
        {
            struct sigaction reset {};
            reset.sa_handler = SIG_DFL;
            sigaction (signal, &reset, nullptr);
        }

        pthread_sigmask (SIG_SETMASK, &mask, &saved);

        if ((old.sa_flags & SA_SIGINFO) != 0)
            old.sa_sigaction (signal, info, context);
        else
            old.sa_handler (signal);

        pthread_sigmask (SIG_SETMASK, &saved, nullptr);
    }

    // The default action, as without Tattlebox: a fault repeats once the
    // handler returns and ends the process there, with the system's own core
    // dump and status; a signal sent by a process is sent again.
    void takeDefaultAction (int index, int signal, const siginfo_t& info) noexcept
    {
        struct sigaction defaultAction {};
        defaultAction.sa_handler = SIG_DFL;
        sigemptyset (&defaultAction.sa_mask);
        sigaction (signal, &defaultAction, nullptr);
        installed[index] = false;

        if (! isFault (info))
            syscall (SYS_tgkill, getpid(), (pid_t) syscall (SYS_gettid), signal);
    }

    void handOn (int index, int signal, siginfo_t* info, void* context, bool reported) noexcept
    {
        const auto& old = previous[index];
        const bool hasFunction = (old.sa_flags & SA_SIGINFO) != 0 ? old.sa_sigaction != nullptr
                                                                  : old.sa_handler != SIG_DFL && old.sa_handler != SIG_IGN;

        if (hasFunction)
        {
            if (reported)
                hooks.handedOn (CrashHandOff::previousHandler);

            callPrevious (index, signal, info, context);

            if (reported)
                hooks.resumed();

            return;
        }

        // An ignored signal stays ignored, except a fault, which the system
        // never lets pass.
        if ((old.sa_flags & SA_SIGINFO) == 0 && old.sa_handler == SIG_IGN && ! isFault (*info))
            return;

        if (reported)
            hooks.handedOn (CrashHandOff::defaultAction);

        takeDefaultAction (index, signal, *info);
    }

    void onSignal (int signal, siginfo_t* info, void* context)
    {
        const auto savedErrno = errno;
        const auto index = indexOf (signal);
        bool reported = false;

        if (index >= 0 && hooks.wanted != nullptr && hooks.wanted (programCounter (context)))
        {
            CrashFacts facts;
            facts.name = nameOf (signal);
            facts.code = info->si_code;
            facts.codeName = codeNameOf (signal, info->si_code);
            facts.hasAddress = signal != SIGABRT && isFault (*info);
            facts.address = (std::uintptr_t) info->si_addr;
            walkStack (facts, context);
            hooks.report (facts);
            reported = true;
        }

        if (index >= 0)
            handOn (index, signal, info, context, reported);

        errno = savedErrno;
    }

    //==============================================================================
    _Unwind_Reason_Code countFrame (struct _Unwind_Context*, void* count)
    {
        ++*static_cast<int*> (count);
        return _URC_NO_REASON;
    }

    // The unwinder and the loader's lookup set themselves up on first use: here, not in a handler.
    void warmUp() noexcept
    {
        int frames = 0;
        _Unwind_Backtrace (countFrame, &frames);
        CodePlace place;
        findCodePlace ((std::uintptr_t) &warmUp, place);

        if (programPath[0] == 0)
            if (const auto length = readlink ("/proc/self/exe", programPath, sizeof (programPath) - 1); length > 0)
                programPath[length] = 0;
    }

    void makeStackPool() noexcept
    {
        if (stackPool != nullptr)
            return;

        const auto total = (stackBytes + guardBytes) * numStacks;
        void* pool = mmap (nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);

        if (pool == MAP_FAILED)
            return;

        stackPool = static_cast<char*> (pool);

        // A guard page under each stack: a handler that runs out faults
        // instead of writing into its neighbour's.
        for (int i = 0; i < numStacks; ++i)
            mprotect (stackPool + (stackBytes + guardBytes) * (std::size_t) i, guardBytes, PROT_NONE);
    }
}

bool installCrashHandlers (const CrashCallbacks& callbacks) noexcept
{
    hooks = callbacks;
    makeStackPool();

   #if defined (__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 35)
    if (dl_find_object found {}; _dl_find_object ((void*) &installCrashHandlers, &found) == 0)
        ownMap = found.dlfo_link_map;
   #endif

    warmUp();
    bool any = false;

    for (int i = 0; i < numSignals; ++i)
    {
        if (installed[i])
        {
            any = true;
            continue;
        }

        struct sigaction mine {};
        mine.sa_sigaction = onSignal;
        mine.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset (&mine.sa_mask);

        if (sigaction (handledSignals[i], &mine, &previous[i]) == 0)
            installed[i] = any = true;
    }

    return any;
}

bool removeCrashHandlers() noexcept
{
    bool allRemoved = true;

    for (int i = 0; i < numSignals; ++i)
    {
        if (! installed[i])
            continue;

        struct sigaction now {};
        sigaction (handledSignals[i], nullptr, &now);

        if ((now.sa_flags & SA_SIGINFO) == 0 || now.sa_sigaction != onSignal)
        {
            allRemoved = false; // someone else's on top, who may hand on to ours
            continue;
        }

        sigaction (handledSignals[i], &previous[i], nullptr);
        installed[i] = false;
    }

    return allRemoved;
}

void prepareThreadForCrashes (int threadIndex) noexcept
{
    if (stackPool == nullptr || threadIndex < 0 || threadIndex >= numStacks)
        return;

    stack_t current {};

    // The host's (or the C library's) own alternate stack stays.
    if (sigaltstack (nullptr, &current) != 0 || (current.ss_flags & SS_DISABLE) == 0)
        return;

    stack_t mine {};
    mine.ss_sp = stackPool + (stackBytes + guardBytes) * (std::size_t) threadIndex + guardBytes;
    mine.ss_size = stackBytes;
    sigaltstack (&mine, nullptr);
}

bool findCodePlace (std::uintptr_t address, CodePlace& place) noexcept
{
   #if defined (__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 35)
    dl_find_object found {};

    if (_dl_find_object ((void*) address, &found) != 0 || found.dlfo_link_map == nullptr)
        return false;

    const auto* map = found.dlfo_link_map;
    place.path = map->l_name != nullptr && map->l_name[0] != 0 ? map->l_name : programPath;
    place.offset = address - (std::uintptr_t) map->l_addr;
    return true;
   #else
    (void) address;
    (void) place;
    return false;
   #endif
}

bool isTattleboxCode (std::uintptr_t address) noexcept
{
   #if defined (__GLIBC__) && (__GLIBC__ > 2 || __GLIBC_MINOR__ >= 35)
    dl_find_object found {};
    return ownMap != nullptr && _dl_find_object ((void*) address, &found) == 0 && found.dlfo_link_map == ownMap;
   #else
    (void) address;
    return false;
   #endif
}

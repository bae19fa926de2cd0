// The system's side of the crash report: the handlers for the fatal signals
// (Linux) or exceptions (Windows), the crashing thread's stack, and where a
// code address lies. What the report says, and whether a crash gets one,
// is decided by the callbacks (crash/CrashReport.cpp).
//
// Everything here runs inside a signal handler or an exception filter: no
// allocation, no lock, only calls the system allows there. The crash always
// goes on exactly as it would have without Tattlebox: to the handler that
// was there before, or to the system's default action.
#pragma once

#include <cstddef>
#include <cstdint>

struct CrashFacts
{
    static constexpr int maxFrames = 64;

    const char* name = nullptr;        // "SIGSEGV", "access violation"
    const char* codeName = nullptr;    // "SEGV_MAPERR"; nullptr where the system gives none
    long long code = 0;
    bool codeInHex = false;            // Windows' exception codes read as 0xC0000005
    bool hasAddress = false;           // a faulting data address
    std::uintptr_t address = 0;
    bool mayBeCaught = false;          // Windows: seen before the host's own handlers
    // The crashing thread's stack, innermost first: frame 0 at the faulting
    // instruction, each caller at its call (its return address less one).
    std::uintptr_t frames[maxFrames] {};
    int numFrames = 0;
};

// Where the system passes the crash on to.
enum class CrashHandOff
{
    previousHandler, // the host's (or another library's) handler
    defaultAction,   // the system's own: the process ends as it would have
    exceptionSearch  // Windows: on to the host's handlers, then the system's
};

struct CrashCallbacks
{
    // Whether this thread's crash at pc gets a report: decided first, before
    // anything else is done, so that a host's routine signals pass at once.
    bool (*wanted) (std::uintptr_t pc) noexcept = nullptr;
    void (*report) (const CrashFacts& facts) noexcept = nullptr;
    void (*handedOn) (CrashHandOff to) noexcept = nullptr;
    // The handler handed to came back: the thread goes on.
    void (*resumed)() noexcept = nullptr;
    // Windows: the exception reached the last filter, nobody caught it.
    void (*notCaught)() noexcept = nullptr;
};

// [start-up] Installs the handlers, each keeping the one it replaces. False
// where none could be installed.
bool installCrashHandlers (const CrashCallbacks& callbacks) noexcept;

// [shut-down] Puts back the handlers that were replaced, where ours are
// still the ones installed. False where another handler stands on top of
// one of ours: it may hand on to ours, so the library must stay loaded.
bool removeCrashHandlers() noexcept;

// [any thread, realtime] A thread's first call (once per thread, a system
// call allowed): on Linux an alternate signal stack where the thread has
// none, so that a stack overflow still gets its report; on Windows the
// stack the exception handlers are guaranteed.
void prepareThreadForCrashes (int threadIndex) noexcept;

struct CodePlace
{
    const char* path = nullptr;   // the module's file
    std::uintptr_t offset = 0;    // what addr2line (or a map file) takes
};

// [signal handlers] The module that holds a code address; false where none does.
bool findCodePlace (std::uintptr_t address, CodePlace& place) noexcept;

// [signal handlers] Whether the address lies in Tattlebox's own code.
bool isTattleboxCode (std::uintptr_t address) noexcept;

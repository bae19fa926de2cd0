#include "../CrashSignals.h"
#include "WindowsHeaders.h"

#include <atomic>

// A vectored handler sees a fatal exception first, before any frame's own
// handler: the report is written then, marked as one the host may still
// catch (some hosts catch around every plug-in call and go on), and the
// search goes on unchanged (EXCEPTION_CONTINUE_SEARCH). The top-level filter
// notes an exception that nobody caught and hands it to the filter that was
// there before, or to the system.

namespace
{
    CrashCallbacks hooks;
    PVOID vectoredHandler = nullptr;
    LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;
    bool filterInstalled = false;
    HMODULE ownModule = nullptr;
    std::atomic<DWORD> reportedThread { 0 };

    // What the exception handlers get on a thread whose stack overflowed.
    constexpr ULONG stackGuarantee = 16 * 1024;

    const char* nameOf (DWORD code) noexcept
    {
        switch (code)
        {
            case EXCEPTION_ACCESS_VIOLATION:    return "access violation";
            case EXCEPTION_ILLEGAL_INSTRUCTION: return "illegal instruction";
            case EXCEPTION_STACK_OVERFLOW:      return "stack overflow";
            case EXCEPTION_INT_DIVIDE_BY_ZERO:  return "integer divide by zero";
            case EXCEPTION_IN_PAGE_ERROR:       return "in-page error";
            default:                            return nullptr;
        }
    }

    const char* codeNameOf (DWORD code) noexcept
    {
        switch (code)
        {
            case EXCEPTION_ACCESS_VIOLATION:    return "EXCEPTION_ACCESS_VIOLATION";
            case EXCEPTION_ILLEGAL_INSTRUCTION: return "EXCEPTION_ILLEGAL_INSTRUCTION";
            case EXCEPTION_STACK_OVERFLOW:      return "EXCEPTION_STACK_OVERFLOW";
            case EXCEPTION_INT_DIVIDE_BY_ZERO:  return "EXCEPTION_INT_DIVIDE_BY_ZERO";
            default:                            return "EXCEPTION_IN_PAGE_ERROR";
        }
    }

    // The thread's block, read at a fixed segment offset: GCC takes the
    // offset for an index into an empty array.
   #pragma GCC diagnostic push
   #pragma GCC diagnostic ignored "-Warray-bounds"
    bool onThisThreadsStack (std::uintptr_t address, std::size_t bytes) noexcept
    {
        const auto* block = reinterpret_cast<const NT_TIB*> (NtCurrentTeb());
        return address >= (std::uintptr_t) block->StackLimit && address + bytes <= (std::uintptr_t) block->StackBase;
    }
   #pragma GCC diagnostic pop

    void addFrame (CrashFacts& facts, std::uintptr_t address) noexcept
    {
        const auto n = facts.numFrames;
        facts.frames[n] = n == 0 ? address : address - 1;
        facts.numFrames = n + 1;
    }

    void walkStack (CrashFacts& facts, const CONTEXT& context) noexcept
    {
       #if defined (_WIN64)
        // The tables every x64 module carries, as the system's own unwinder reads them.
        CONTEXT frame = context;

        while (facts.numFrames < CrashFacts::maxFrames && frame.Rip != 0)
        {
            addFrame (facts, (std::uintptr_t) frame.Rip);
            DWORD64 imageBase = 0;
            auto* function = ::RtlLookupFunctionEntry (frame.Rip, &imageBase, nullptr);

            if (function == nullptr)
            {
                // A leaf function: its return address is on top of the stack.
                if (! onThisThreadsStack ((std::uintptr_t) frame.Rsp, sizeof (DWORD64)))
                    break;

                frame.Rip = *reinterpret_cast<const DWORD64*> (frame.Rsp);
                frame.Rsp += sizeof (DWORD64);
                continue;
            }

            PVOID handlerData = nullptr;
            DWORD64 establisher = 0;
            ::RtlVirtualUnwind (UNW_FLAG_NHANDLER, imageBase, frame.Rip, function, &frame, &handlerData, &establisher, nullptr);
        }
       #else
        // 32-bit code keeps no such tables: the chain of frame pointers,
        // for as long as it stays on this thread's stack.
        addFrame (facts, (std::uintptr_t) context.Eip);
        auto framePointer = (std::uintptr_t) context.Ebp;

        while (facts.numFrames < CrashFacts::maxFrames && onThisThreadsStack (framePointer, 2 * sizeof (DWORD)))
        {
            const auto* pair = reinterpret_cast<const DWORD*> (framePointer);

            if (pair[1] == 0)
                break;

            addFrame (facts, (std::uintptr_t) pair[1]);

            if ((std::uintptr_t) pair[0] <= framePointer)
                break;

            framePointer = (std::uintptr_t) pair[0];
        }
       #endif
    }

    LONG CALLBACK onException (EXCEPTION_POINTERS* pointers)
    {
        const auto* record = pointers->ExceptionRecord;
        const auto* name = nameOf (record->ExceptionCode);

        if (name == nullptr || hooks.wanted == nullptr || ! hooks.wanted ((std::uintptr_t) record->ExceptionAddress))
            return EXCEPTION_CONTINUE_SEARCH;

        const auto lastError = ::GetLastError();
        CrashFacts facts;
        facts.name = name;
        facts.codeName = codeNameOf (record->ExceptionCode);
        facts.code = (long long) record->ExceptionCode;
        facts.codeInHex = true;
        facts.mayBeCaught = true;

        // Access violations and in-page errors carry the data address second.
        if ((record->ExceptionCode == EXCEPTION_ACCESS_VIOLATION || record->ExceptionCode == EXCEPTION_IN_PAGE_ERROR)
              && record->NumberParameters >= 2)
        {
            facts.hasAddress = true;
            facts.address = (std::uintptr_t) record->ExceptionInformation[1];
        }

        walkStack (facts, *pointers->ContextRecord);
        hooks.report (facts);
        hooks.handedOn (CrashHandOff::exceptionSearch);
        reportedThread = ::GetCurrentThreadId();
        ::SetLastError (lastError);
        return EXCEPTION_CONTINUE_SEARCH;
    }

    LONG WINAPI onUnhandledException (EXCEPTION_POINTERS* pointers)
    {
        if (reportedThread.load() == ::GetCurrentThreadId() && hooks.notCaught != nullptr)
            hooks.notCaught();

        return previousFilter != nullptr ? previousFilter (pointers) : EXCEPTION_CONTINUE_SEARCH;
    }

    HMODULE moduleAt (std::uintptr_t address) noexcept
    {
        HMODULE module = nullptr;

        if (! ::GetModuleHandleExW (GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                    reinterpret_cast<LPCWSTR> (address), &module))
            return nullptr;

        return module;
    }

    // The modules a report names, each path kept for as long as the report needs it.
    struct KnownModule
    {
        HMODULE module;
        char path[MAX_PATH];
    };

    KnownModule knownModules[32];
    std::atomic<int> numKnownModules { 0 };
}

bool installCrashHandlers (const CrashCallbacks& callbacks) noexcept
{
    hooks = callbacks;
    ownModule = moduleAt ((std::uintptr_t) &installCrashHandlers);

    if (vectoredHandler == nullptr)
        vectoredHandler = ::AddVectoredExceptionHandler (1, onException);

    if (! filterInstalled)
    {
        previousFilter = ::SetUnhandledExceptionFilter (onUnhandledException);
        filterInstalled = true;
    }

    prepareThreadForCrashes (0);
    return vectoredHandler != nullptr;
}

bool removeCrashHandlers() noexcept
{
    if (vectoredHandler != nullptr && ::RemoveVectoredExceptionHandler (vectoredHandler) != 0)
        vectoredHandler = nullptr;

    if (! filterInstalled)
        return vectoredHandler == nullptr;

    // Another filter set since ours may call ours: it stays, and so does ours.
    const auto current = ::SetUnhandledExceptionFilter (previousFilter);

    if (current != onUnhandledException)
    {
        ::SetUnhandledExceptionFilter (current);
        return false;
    }

    filterInstalled = false;
    return vectoredHandler == nullptr;
}

void prepareThreadForCrashes (int) noexcept
{
    ULONG bytes = stackGuarantee;
    ::SetThreadStackGuarantee (&bytes); // raises it only: a larger one stays
}

bool findCodePlace (std::uintptr_t address, CodePlace& place) noexcept
{
    auto* module = moduleAt (address);

    if (module == nullptr)
        return false;

    const auto count = numKnownModules.load();
    int index = 0;

    while (index < count && knownModules[index].module != module)
        ++index;

    if (index == count)
    {
        if (count == (int) (sizeof (knownModules) / sizeof (knownModules[0])))
            return false;

        knownModules[index].module = module;

        if (::GetModuleFileNameA (module, knownModules[index].path, MAX_PATH) == 0)
            knownModules[index].path[0] = 0;

        numKnownModules = count + 1;
    }

    place.path = knownModules[index].path;
    place.offset = address - (std::uintptr_t) module; // the module's relative address
    return true;
}

bool isTattleboxCode (std::uintptr_t address) noexcept
{
    return ownModule != nullptr && moduleAt (address) == ownModule;
}

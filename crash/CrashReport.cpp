#include "CrashReport.h"
#include "CallsInProgress.h"

#include "../log/BackgroundWriter.h"
#include "../log/OpCodeCatalogue.h"
#include "../log/TBLogger.h"
#include "../platform/CrashSignals.h"
#include "../record/RecordFile.h"
#include "../record/SessionRecorder.h"
#include "../platform/ThreadId.h"

#include <atomic>
#include <chrono>
#include <thread>

// Everything from `wanted` on runs in a signal handler or an exception
// filter: lines are made on the stack and written through the logger,
// whose call paths allocate nothing and take no lock.

namespace
{
    // The thread writing a report; another crashing thread waits for it.
    std::atomic<std::uint32_t> reportingThread { 0 };
    bool handlersInstalled = false;

    void appendLowerHex (LineWriter& line, std::uintptr_t value) noexcept
    {
        char digits[2 * sizeof (value)];
        char* p = digits + sizeof (digits);

        do
        {
            *--p = "0123456789abcdef"[value & 15];
            value >>= 4;
        }
        while (value != 0);

        line.appendLiteral ("0x");
        line.appendKnownLength (p, (std::size_t) (digits + sizeof (digits) - p));
    }

    const char* fileNameOf (const char* path) noexcept
    {
        const char* name = path;

        for (const char* p = path; *p != 0; ++p)
            if (*p == '/' || *p == '\\')
                name = p + 1;

        return name;
    }

    const CallsInProgress::Thread* crashingThread() noexcept
    {
        return callsInProgress.findThisThread();
    }

    bool isInACall (const CallsInProgress::Thread* thread) noexcept
    {
        return thread != nullptr && thread->depth.load (std::memory_order_relaxed) > 0;
    }

    //==============================================================================
    bool wanted (std::uintptr_t pc) noexcept
    {
        // A crash inside the report itself goes straight on.
        if (reportingThread.load() == currentThreadId())
            return false;

        const auto* thread = crashingThread();

        if (! isInACall (thread))
            return isTattleboxCode (pc);

        CallsInProgress::Snapshot calls;

        if (! callsInProgress.snapshot (callsInProgress.indexOf (*thread), calls))
            return isTattleboxCode (pc);

        // Inside the host's callback it is the host's own code, unless it is ours.
        return CallsInProgress::sideOf (calls.what[calls.depth - 1]) == CallsInProgress::intoTarget
            || isTattleboxCode (pc);
    }

    // Bounded: a report another thread left half-way must not hold this one forever.
    void takeTheReport() noexcept
    {
        const auto self = currentThreadId();

        for (int i = 0; i < 2000; ++i)
        {
            std::uint32_t nobody = 0;

            if (reportingThread.compare_exchange_strong (nobody, self))
                return;

            std::this_thread::sleep_for (std::chrono::milliseconds (1));
        }

        reportingThread = self;
    }

    // "0.8 ms"; a bound where only the hang watch's stamp says when the call began.
    void appendSince (LineWriter& line, std::uint64_t since) noexcept
    {
        if (since == 0)
        {
            line.appendLiteral ("under 0.1 s");
            return;
        }

        if (CallsInProgress::isStamped (since))
            line.appendLiteral ("at least ");

        appendDuration (line, CallsInProgress::nanosecondsSince (since));
    }

    void appendThread (LineWriter& line, std::uint32_t threadId) noexcept
    {
        line.appendLiteral ("thread ");
        line.appendHex (threadId);
    }

    // "Crash: SIGSEGV (address 0000000000000000) on thread 1A2B in the
    // target's processReplacing, 0.8 ms into the call; thread 1A2C in effEditIdle"
    void writeHeadline (const CrashFacts& facts, const CallsInProgress::Snapshot* own) noexcept
    {
        char text[TBLogger::maxLineLength + 1];
        LineWriter line (text);
        line.appendLiteral ("Crash: ");
        line.append (facts.name);

        if (facts.hasAddress)
        {
            line.appendLiteral (" (address ");
            line.appendPointer (reinterpret_cast<const void*> (facts.address));
            line.appendChar (')');
        }

        line.appendLiteral (" on ");
        appendThread (line, currentThreadId());

        if (own != nullptr)
        {
            line.appendLiteral (" in ");
            appendCallName (line, own->what[own->depth - 1], true);
            line.appendLiteral (", ");
            appendSince (line, own->since[own->depth - 1]);
            line.appendLiteral (" into the call");
        }
        else
        {
            line.appendLiteral (" in Tattlebox's own code, outside any call");
        }

        const auto self = currentThreadId();

        for (int i = 0; i < CallsInProgress::maxThreads; ++i)
        {
            CallsInProgress::Snapshot other;

            if (! callsInProgress.snapshot (i, other) || other.threadId == self)
                continue;

            line.appendLiteral ("; ");
            appendThread (line, other.threadId);
            line.appendLiteral (" in ");
            appendCallName (line, other.what[other.depth - 1], false);
        }

        tbLogger.logLine (line.text());
    }

    // "Crash: thread 1A2B's calls, outermost first: effEditIdle, audioMasterAutomate, setParameter"
    void writeChain (const CallsInProgress::Snapshot& own) noexcept
    {
        char text[TBLogger::maxLineLength + 1];
        LineWriter line (text);
        line.appendLiteral ("Crash: ");
        appendThread (line, currentThreadId());
        line.appendLiteral ("'s calls, outermost first: ");

        for (int i = 0; i < own.depth; ++i)
        {
            if (i > 0)
                line.appendLiteral (", ");

            appendCallName (line, own.what[i], false);
        }

        tbLogger.logLine (line.text());
    }

    void appendCode (LineWriter& line, const CrashFacts& facts) noexcept
    {
        if (! facts.codeInHex)
        {
            line.appendDecimal (facts.code);
            return;
        }

        line.appendLiteral ("0x");
        line.appendHex ((std::uint32_t) facts.code);
    }

    // "Crash: code SEGV_MAPERR (1)", "Crash: code EXCEPTION_ACCESS_VIOLATION (0xC0000005)"
    void writeCode (const CrashFacts& facts) noexcept
    {
        char text[128];
        LineWriter line (text);
        line.appendLiteral ("Crash: code ");

        if (facts.codeName != nullptr)
        {
            line.append (facts.codeName);
            line.appendLiteral (" (");
            appendCode (line, facts);
            line.appendChar (')');
        }
        else
        {
            appendCode (line, facts);
        }

        tbLogger.logLine (line.text());
    }

    // "#3 MyDelay.so+0x1a2f0", then each module's full path once.
    void writeFrames (const CrashFacts& facts) noexcept
    {
        const char* paths[CrashFacts::maxFrames] {};
        int numPaths = 0;

        for (int i = 0; i < facts.numFrames; ++i)
        {
            char text[TBLogger::maxLineLength + 1];
            LineWriter line (text);
            line.appendChar ('#');
            line.appendDecimal (i);
            line.appendChar (' ');

            if (CodePlace place; findCodePlace (facts.frames[i], place))
            {
                line.append (fileNameOf (place.path));
                line.appendChar ('+');
                appendLowerHex (line, place.offset);

                bool known = false;

                for (int p = 0; p < numPaths && ! known; ++p)
                    known = paths[p] == place.path;

                if (! known)
                    paths[numPaths++] = place.path;
            }
            else
            {
                appendLowerHex (line, facts.frames[i]);
            }

            tbLogger.logLine (line.text());
        }

        for (int p = 0; p < numPaths; ++p)
        {
            char text[TBLogger::maxLineLength + 1];
            LineWriter line (text);
            line.appendLiteral ("Crash: module ");
            line.append (fileNameOf (paths[p]));
            line.appendLiteral (" is ");
            line.append (paths[p]);
            tbLogger.logLine (line.text());
        }
    }

    // Where a replay can take the crash up again.
    void writeRecordingLine() noexcept
    {
        char text[TBLogger::maxLineLength + 1];
        LineWriter line (text);
        line.appendLiteral ("Crash: the session's recording holds its calls up to call ");
        line.appendUnsigned (sessionRecorder.callsRecorded());
        line.appendLiteral (": ");
        line.append (recordFile.getPathText());
        tbLogger.logLine (line.text());
    }

    void report (const CrashFacts& facts) noexcept
    {
        takeTheReport();

        // What was queued goes first; from here on every line is written
        // by the thread that makes it.
        backgroundWriter.writeOutForCrash();
        // A recording keeps every call up to this one.
        recordFile.writeOutForCrash();

        CallsInProgress::Snapshot own;
        const auto* thread = crashingThread();
        const bool inACall = isInACall (thread) && callsInProgress.snapshot (callsInProgress.indexOf (*thread), own);

        writeHeadline (facts, inACall ? &own : nullptr);

        if (inACall && own.depth > 1)
            writeChain (own);

        writeCode (facts);

        if (facts.mayBeCaught)
            tbLogger.logLine ("Crash: seen before the host's own exception handlers, which may still catch it");

        writeFrames (facts);

        if (recordFile.isOpen())
            writeRecordingLine();
    }

    void handedOn (CrashHandOff to) noexcept
    {
        switch (to)
        {
            case CrashHandOff::previousHandler: tbLogger.logLine ("Crash: handed on to the handler installed before Tattlebox"); break;
            case CrashHandOff::defaultAction:   tbLogger.logLine ("Crash: handed on to the system's default action"); break;
            case CrashHandOff::exceptionSearch: tbLogger.logLine ("Crash: handed on to the host's exception handlers and the system's"); break;
        }

        reportingThread = 0;
    }

    void resumed() noexcept
    {
        char text[128];
        LineWriter line (text);
        line.appendLiteral ("Crash: the handler returned: ");
        appendThread (line, currentThreadId());
        line.appendLiteral (" goes on");
        tbLogger.logLine (line.text());
    }

    void notCaught() noexcept
    {
        tbLogger.logLine ("Crash: not caught by the host: the system's handling follows");
    }
}

//==============================================================================
void appendCallName (LineWriter& line, std::uint64_t what, bool withSide) noexcept
{
    const auto function = CallsInProgress::functionOf (what);
    const auto opcode = CallsInProgress::opcodeOf (what);

    if (withSide)
        line.append (CallsInProgress::sideOf (what) == CallsInProgress::intoTarget ? "the target's " : "the host's ");

    if (function == functionDispatcher || function == functionAudioMaster)
    {
        const bool dispatcher = function == functionDispatcher;
        const auto count = dispatcher ? numDispatcherOpCodes : numAudioMasterOpCodes;
        line.append (dispatcher ? "eff" : "audioMaster");

        if ((std::uint32_t) opcode < (std::uint32_t) count)
        {
            line.append ((dispatcher ? dispatcherOpCodes : audioMasterOpCodes)[opcode].name);
        }
        else
        {
            line.appendLiteral (" opcode ");
            line.appendDecimal (opcode);
        }

        return;
    }

    line.append (function >= 0 && function < numAEffectFunctions ? aEffectFunctionNames[function] : "a call");
}

void appendDuration (LineWriter& line, std::uint64_t nanoseconds) noexcept
{
    // Tenths of a second, of a millisecond from 0.1 ms, else of a microsecond.
    if (nanoseconds >= 1000000000u)
    {
        line.appendTenths (nanoseconds / 100000000u);
        line.appendLiteral (" s");
    }
    else if (nanoseconds >= 100000u)
    {
        line.appendTenths (nanoseconds / 100000u);
        line.appendLiteral (" ms");
    }
    else
    {
        line.appendTenths (nanoseconds / 100u);
        line.appendLiteral (" us");
    }
}

void startCrashReports() noexcept
{
    if (! tbLogger.reportCrashes.load())
        return;

    CrashCallbacks callbacks;
    callbacks.wanted = wanted;
    callbacks.report = report;
    callbacks.handedOn = handedOn;
    callbacks.resumed = resumed;
    callbacks.notCaught = notCaught;
    handlersInstalled = installCrashHandlers (callbacks);

    if (handlersInstalled)
        callsInProgress.setNewThreadHook (prepareThreadForCrashes);
}

bool stopCrashReports() noexcept
{
    if (! handlersInstalled)
        return true;

    handlersInstalled = ! removeCrashHandlers();
    return ! handlersInstalled;
}

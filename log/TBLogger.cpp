#include "TBLogger.h"
#include "BackgroundWriter.h"
#include "CallStatistics.h"
#include "LineRing.h"
#include "LineWriter.h"
#include "LogFile.h"
#include "TraceFile.h"

#include "../platform/DebugOutput.h"
#include "../platform/MonotonicClock.h"
#include "../platform/StaticOrder.h"
#include "../platform/ThreadId.h"
#include "../platform/TimeOfDay.h"

#include <cstring>
#include <thread>

TBLogger tbLogger TB_STATIC_LOGGER;

namespace
{
    constexpr auto relaxed = std::memory_order_relaxed;
    constexpr std::uint32_t lastDispatcherOpCode = numDispatcherOpCodes - 1;
    constexpr std::uint32_t lastAudioMasterOpCode = numAudioMasterOpCodes - 1;
    constexpr std::int32_t setSampleRateOpCode = 10;
    constexpr std::int32_t setBlockSizeAndSampleRateOpCode = 43;
    constexpr std::int32_t getSampleRateOpCode = 16;

    void appendZeroPadded (LineWriter& line, int value, int digits = 2)
    {
        // "%02d" / "%03d" of a non-negative value that fits the width.
        char text[3];

        for (int i = digits; --i >= 0; value /= 10)
            text[i] = static_cast<char> ('0' + value % 10);

        for (int i = 0; i < digits; ++i)
            line.appendChar (text[i]);
    }

    void appendTimePrefix (LineWriter& line)
    {
        const auto now = localTimeOfDay();
        appendZeroPadded (line, now.hours);
        line.appendChar (':');
        appendZeroPadded (line, now.minutes);
        line.appendChar (':');
        appendZeroPadded (line, now.seconds);
        line.appendChar ('.');
        appendZeroPadded (line, now.milliseconds, 3);
        line.appendChar (' ');
    }
}

//==============================================================================
TBLogger::~TBLogger()
{
    if (juce::Logger::getCurrentLogger() == this)
        juce::Logger::setCurrentLogger (nullptr);
}

void TBLogger::initialise (const juce::String& newName)
{
    // The defaults: every call with its arguments and results, on the debug
    // output, written in the background; everything else off.
    for (auto* option : { &loggingOn, &logParameters, &logReturnParameters, &logToDebugOutput, &writeInBackground,
                          &reportCrashes })
        option->store (true);

    for (auto* option : { &logTime, &rememberTarget, &logToFile, &decodeStructures, &timeCalls, &logSummary, &writeTrace,
                          &recordSession, &recordAudio })
        option->store (false);

    hangSeconds = defaultHangSeconds;
    checkCalls = false;
    checkAudio = false;

    for (auto& rule : checkRuleOn)
        rule.store (true);

    callStatistics::forgetSampleRate();
    setName (newName);

    for (const auto& group : opCodeGroups)
        resetOpCodeStates (group.states, group.count);

    // The previous logger belongs to someone else: not ours to delete.
    juce::Logger::setCurrentLogger (this);
}

juce::String TBLogger::getName() const
{
    char buffer[maxNameBytes + 1];
    LineWriter name (buffer);
    appendName (name);
    return juce::String::fromUTF8 (buffer, static_cast<int> (name.length()));
}

void TBLogger::setName (const juce::String& newName) noexcept
{
    // A file name may hold a line feed: written escaped, it cannot forge a
    // line of its own in front of every call. Cut on a character's boundary.
    char escaped[maxNameBytes + 1];
    LineWriter escapedName (escaped, maxNameBytes);
    escapedName.appendEscaped (newName.toRawUTF8());
    const char* utf8 = escapedName.text();
    const auto length = escapedName.length();

    // Writers take turns (odd sequence = a write in progress); readers never wait on this.
    auto sequence = nameSequence.load (relaxed);

    while ((sequence & 1) != 0 || ! nameSequence.compare_exchange_weak (sequence, sequence + 1, std::memory_order_acquire, relaxed))
    {
        if ((sequence & 1) != 0)
        {
            std::this_thread::yield();
            sequence = nameSequence.load (relaxed);
        }
    }

    // Release stores and acquire loads of the bytes rather than fences (which
    // ThreadSanitizer cannot follow): a reader that sees any new byte also
    // sees the odd sequence when it checks again. On x86 these are plain moves.
    for (std::size_t i = 0; i < length; ++i)
        nameBytes[i].store (utf8[i], std::memory_order_release);

    nameLength.store (static_cast<std::uint32_t> (length), std::memory_order_release);
    nameSequence.store (sequence + 2, std::memory_order_release);
}

void TBLogger::appendName (LineWriter& line) const noexcept
{
    const auto start = line.length();

    for (int attempt = 1;; ++attempt)
    {
        const auto sequence = nameSequence.load (std::memory_order_acquire);

        if ((sequence & 1) == 0)
        {
            const auto length = std::min (nameLength.load (std::memory_order_acquire), static_cast<std::uint32_t> (maxNameBytes));

            for (std::uint32_t i = 0; i < length; ++i)
                line.appendChar (nameBytes[i].load (std::memory_order_acquire));

            if (nameSequence.load (relaxed) == sequence)
                return;

            line.truncate (start);
        }

        // A writer was preempted half-way: let it finish.
        if (attempt % 64 == 0)
            std::this_thread::yield();
    }
}

void TBLogger::setLineSink (LineSink newSink) noexcept
{
    sink.store (newSink, relaxed);
}

//==============================================================================
void TBLogger::logMessage (const juce::String& message)
{
    logLine (message.toRawUTF8());
}

TBLogger::OutputLine::OutputLine() noexcept : line (buffer, maxLineLength) {}

void TBLogger::appendPrefix (LineWriter& line) const noexcept
{
    if (logTime.load (relaxed))
        appendTimePrefix (line);

    line.appendChar ('(');
    line.appendHex (currentThreadId());
    line.appendLiteral (") ");
    appendName (line);
    line.appendChar (':');
}

void TBLogger::finishLine (OutputLine& output) noexcept
{
    // Sequentially consistent, as the final line's side: either it sees this
    // writer under way and waits, or this writer sees the log closed.
    linesInFlight.fetch_add (1);

    if (! closed.load())
        writeLine (output.buffer, (output.line.text(), output.line.length()));

    linesInFlight.fetch_sub (1, std::memory_order_release);
}

// Every sink that is on gets the same bytes, one call each; while the
// background writer runs, the ring is all this thread writes to.
void TBLogger::writeLine (char* text, std::size_t length) const noexcept
{
    // Counted in around the check and the push, so that the writer's stop
    // can wait for exactly the lines that found it running.
    linesForWriter.fetch_add (1);

    if (backgroundWriter.isRunning())
    {
        lineRing.push (text, length, true);
        linesForWriter.fetch_sub (1, std::memory_order_release);
        return;
    }

    linesForWriter.fetch_sub (1, std::memory_order_release);
    lineRing.push (text, length);

    if (logToDebugOutput.load (relaxed))
    {
        const auto lineSink = sink.load (relaxed);
        (lineSink != nullptr ? lineSink : writeDebugLine) (text, length);

        if (debugOutputJustClosed())
            noteDebugOutputClosed();
    }

    if (logToFile.load (relaxed))
        logFile.writeWithRoom (text, length);
}

// The reader of standard error went away: the other sinks say so, once.
void TBLogger::noteDebugOutputClosed() const noexcept
{
    OutputLine output;
    appendPrefix (output.line);
    output.line.append ("Standard error is closed: lines no longer go there");
    writeLine (output.buffer, (output.line.text(), output.line.length()));
}

std::size_t TBLogger::formatLine (const char* text, char* output) const noexcept
{
    LineWriter line (output, maxLineLength);
    appendPrefix (line);
    line.append (text);
    line.text();
    return line.length();
}

void TBLogger::waitForLinesForWriter() const noexcept
{
    // Each is one copy into the ring away; a thread the platform killed
    // (threads ended at process exit) must not hold anyone up for long.
    for (int i = 0; i < 100000 && linesForWriter.load() != 0; ++i)
        std::this_thread::yield();
}

void TBLogger::logLine (const char* text) noexcept
{
    OutputLine output;
    appendPrefix (output.line);
    output.line.append (text);
    finishLine (output);
}

void TBLogger::logFinalLine (const char* text) noexcept
{
    // Whatever the writer still holds goes out before the last line.
    backgroundWriter.stop();
    closed = true;

    // Each writer under way has one write left; a writer the platform killed
    // (threads ended at process exit) must not hold the unload up for long.
    for (int i = 0; i < 100000 && linesInFlight.load() != 0; ++i)
        std::this_thread::yield();

    OutputLine output;
    appendPrefix (output.line);
    output.line.append (text);
    writeLine (output.buffer, (output.line.text(), output.line.length()));
}

//==============================================================================
bool TBLogger::isLogged (const OpCodeState& function, const OpCodeState& opcode) const noexcept
{
    return loggingOn.load (relaxed)
        && function.enabled.load (relaxed)
        && opcode.enabled.load (relaxed);
}

TBLogger::CallStart TBLogger::startTiming() const noexcept
{
    return timeCalls.load (relaxed) ? monotonicNanoseconds() : 0;
}

TBLogger::CallStart TBLogger::logDispatcherCall (std::int32_t opcode, std::int32_t index, VstIntPtr value,
                                                 void* ptr, float opt) noexcept
{
    if (static_cast<std::uint32_t> (opcode) > lastDispatcherOpCode)
        return 0;

    callStatistics::countCall (callStatistics::entryOf (groupDispatcher, opcode));

    // Block budgets are reckoned with the rate the host sets.
    if (opcode == setSampleRateOpCode || opcode == setBlockSizeAndSampleRateOpCode)
        callStatistics::noteSampleRateSet (opt);

    if (isLogged (aEffectFunctionStates[functionDispatcher], dispatcherStates[opcode]))
        writeCallLine (true, opcode, index, value, ptr, opt);

    return startTiming();
}

void TBLogger::logDispatcherReturn (std::int32_t opcode, void* ptr, VstIntPtr result,
                                    std::int32_t index, VstIntPtr value, CallStart started) noexcept
{
    if (static_cast<std::uint32_t> (opcode) <= lastDispatcherOpCode)
        endReturn (true, opcode, ptr, result, index, value, started);
}

TBLogger::CallStart TBLogger::logAudioMasterCall (std::int32_t opcode, std::int32_t index, VstIntPtr value,
                                                  void* ptr, float opt) noexcept
{
    if (static_cast<std::uint32_t> (opcode) > lastAudioMasterOpCode)
        return 0;

    callStatistics::countCall (callStatistics::entryOf (groupAudioMaster, opcode));

    if (isLogged (aEffectFunctionStates[functionAudioMaster], audioMasterStates[opcode]))
        writeCallLine (false, opcode, index, value, ptr, opt);

    return startTiming();
}

void TBLogger::logAudioMasterReturn (std::int32_t opcode, void* ptr, VstIntPtr result,
                                     std::int32_t index, VstIntPtr value, CallStart started) noexcept
{
    if (static_cast<std::uint32_t> (opcode) > lastAudioMasterOpCode)
        return;

    // The host's rate, for budgets when the host never set one.
    if (opcode == getSampleRateOpCode)
        callStatistics::noteSampleRateAnswered (result);

    endReturn (false, opcode, ptr, result, index, value, started);
}

// The opcode is in its table.
void TBLogger::endReturn (bool dispatcher, std::int32_t opcode, void* ptr, VstIntPtr result,
                          std::int32_t index, VstIntPtr value, CallStart started) noexcept
{
    const auto group = dispatcher ? groupDispatcher : groupAudioMaster;
    const auto ended = started != 0 ? monotonicNanoseconds() : 0;

    if (started != 0)
    {
        const auto entry = callStatistics::entryOf (group, opcode);
        callStatistics::recordDuration (entry, started, ended);
        traceFile.record ({ started, ended, value, result, entry, index, currentThreadId(), -1.0f });
    }

    const auto& function = aEffectFunctionStates[dispatcher ? functionDispatcher : functionAudioMaster];

    if (logReturnParameters.load (relaxed) && isLogged (function, opCodeGroups[group].states[opcode]))
        writeReturnLine (dispatcher, opcode, index, value, ptr, result, started != 0, ended - started);
}

TBLogger::CallStart TBLogger::logProcess (float** inputs, float** outputs, std::int32_t sampleFrames,
                                          bool replacing) noexcept
{
    const auto function = replacing ? functionProcessReplacing : functionProcess;
    callStatistics::countCall (function);

    if (loggingOn.load (relaxed) && aEffectFunctionStates[function].enabled.load (relaxed))
        writeProcessLine (function, inputs, outputs, sampleFrames);

    return startTiming();
}

TBLogger::CallStart TBLogger::logProcessDoubleReplacing (double** inputs, double** outputs,
                                                         std::int32_t sampleFrames) noexcept
{
    callStatistics::countCall (functionProcessDoubleReplacing);

    if (loggingOn.load (relaxed) && aEffectFunctionStates[functionProcessDoubleReplacing].enabled.load (relaxed))
        writeProcessLine (functionProcessDoubleReplacing, inputs, outputs, sampleFrames);

    return startTiming();
}

TBLogger::CallStart TBLogger::logSetParameter (std::int32_t index, float parameter) noexcept
{
    auto& function = aEffectFunctionStates[functionSetParameter];
    callStatistics::countCall (functionSetParameter);

    if (loggingOn.load (relaxed) && function.enabled.load (relaxed))
        writeSetParameterLine (index, parameter);

    return startTiming();
}

TBLogger::CallStart TBLogger::logGetParameter (std::int32_t index) noexcept
{
    auto& function = aEffectFunctionStates[functionGetParameter];
    callStatistics::countCall (functionGetParameter);

    if (loggingOn.load (relaxed) && function.enabled.load (relaxed))
        writeGetParameterLine (index);

    return startTiming();
}

void TBLogger::endBlock (AEffectFunction function, std::int32_t sampleFrames, CallStart started) noexcept
{
    const auto ended = monotonicNanoseconds();
    const auto load = callStatistics::recordBlock (function, sampleFrames, started, ended);
    traceFile.record ({ started, ended, 0, 0, function, sampleFrames, currentThreadId(), (float) load });
}

void TBLogger::endCall (AEffectFunction function, CallStart started, std::int32_t index) noexcept
{
    const auto ended = monotonicNanoseconds();
    callStatistics::recordDuration (function, started, ended);
    traceFile.record ({ started, ended, 0, 0, function, index, currentThreadId(), -1.0f });
}

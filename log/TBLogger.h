// TBLogger: the single logger. Counts every intercepted call in the opcode
// catalogue and, where its switches allow, turns the call into one decoded
// line on the debug-output channel. The call operations run on any host or
// target thread, audio threads included: no lock, no allocation, no exception.
#pragma once

#include "LineWriter.h"
#include "OpCodeCatalogue.h"
#include "../checks/CheckRuleNames.h"
#include "../vst/VstInterface.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <cstddef>
#include <cstdint>



class TBLogger : public juce::Logger
{
public:
    // Longest line, without its terminator.
    static constexpr int maxLineLength = 1023;

    // Where finished lines go (text without the line feed). The default is the
    // platform's debug-output channel; tests and benchmarks may plug in another.
    using LineSink = void (*) (const char* line, std::size_t length);

    // Library load and unload (static object); stops being the current logger.
    TBLogger() noexcept = default;
    ~TBLogger() override;

    // [any thread] Through juce::Logger::writeToLog.
    void logMessage (const juce::String& message) override;
    // [any thread, realtime] Writes a free-text line with the prefix, whatever the switches say.
    virtual void logLine (const char* text) noexcept;
    // [load/unload] Once: writes the line, which stays the last
    // one even where threads of a host that never sent Close still call in.
    void logFinalLine (const char* text) noexcept;

    // [start-up] Counters 0, every entry enabled, default options, current logger.
    void initialise (const juce::String& name);
    // [message] or [start-up].
    juce::String getName() const;
    // [start-up] While other threads may be writing lines.
    void setName (const juce::String& newName) noexcept;

    // The clock reading taken just before a call is forwarded, handed back
    // with its end; 0 where the call is not timed.
    using CallStart = std::uint64_t;

    // [any thread, realtime] The call paths. Each call operation counts the
    // call, writes its line where the switches say so and, while calls are
    // timed, reads the clock last, so that a call's duration leaves out its line.
    CallStart logDispatcherCall (std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt) noexcept;
    // index and value are the call's own, for the structures a result is read through.
    void logDispatcherReturn (std::int32_t opcode, void* ptr, VstIntPtr result,
                              std::int32_t index = 0, VstIntPtr value = 0, CallStart started = 0) noexcept;
    CallStart logAudioMasterCall (std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr, float opt) noexcept;
    void logAudioMasterReturn (std::int32_t opcode, void* ptr, VstIntPtr result,
                               std::int32_t index = 0, VstIntPtr value = 0, CallStart started = 0) noexcept;
    CallStart logProcess (float** inputs, float** outputs, std::int32_t sampleFrames, bool replacing) noexcept;
    CallStart logProcessDoubleReplacing (double** inputs, double** outputs, std::int32_t sampleFrames) noexcept;
    CallStart logSetParameter (std::int32_t index, float parameter) noexcept;
    CallStart logGetParameter (std::int32_t index) noexcept;

    // [audio] After one of the three process functions returned.
    void logProcessEnd (AEffectFunction function, std::int32_t sampleFrames, CallStart started) noexcept
    {
        if (started != 0)
            endBlock (function, sampleFrames, started);
    }

    // [any thread, realtime] After setParameter or getParameter returned.
    void logCallEnd (AEffectFunction function, CallStart started, std::int32_t index = 0) noexcept
    {
        if (started != 0)
            endCall (function, started, index);
    }

    // [shut-down] One line per entry that was called, through logLine.
    void writeSummary();

    // State file (start-up and shut-down thread).
    void saveToXml (juce::XmlElement& element) const;
    void restoreFromXml (const juce::XmlElement& element);

    // Catalogue operations: they touch only the catalogue's state. Message
    // thread (pages, commands) and start-up/shut-down thread (state file).
    static int getNumOpCodes (int group) noexcept;
    static juce::String getOpCodeName (int group, int index);
    static std::int64_t getCallCount (int group, int index) noexcept;
    static bool isOpCodeEnabled (int group, int index) noexcept;
    static void setOpCodeEnabled (bool enabled, int group, int index) noexcept;
    static void setAllOpCodesEnabled (bool enabled) noexcept;
    static void toggleAllOpCodesEnabled() noexcept;
    static void resetAllCallCounts() noexcept;
    static void resetOpCodeStates (OpCodeState* states, int count) noexcept;
    static void resetCallCounts (OpCodeState* states, int count) noexcept;

    // Tests and benchmarks only, before the calls start: replace the
    // debug-output channel with another sink (nullptr restores it).
    void setLineSink (LineSink sink) noexcept;
    // [any thread] The sink plugged in, or nullptr for the debug-output channel.
    LineSink getLineSink() const noexcept { return sink.load (std::memory_order_relaxed); }

    // [any thread, realtime] The prefix and text into output (maxLineLength + 2
    // bytes), as logLine would write it; the line's length.
    std::size_t formatLine (const char* text, char* output) const noexcept;

    // [shut-down] or [message] Waits, bounded, for the lines that found the
    // background writer running and are still on their way into the ring.
    void waitForLinesForWriter() const noexcept;

    // Options: read on every call, written by the control window.
    std::atomic<bool> loggingOn { false };
    std::atomic<bool> logParameters { false };
    std::atomic<bool> logReturnParameters { false };
    std::atomic<bool> logTime { false };
    // Not read by the call paths: whether start-up loads the target of the
    // last session without asking (kept in the state file with the rest).
    std::atomic<bool> rememberTarget { false };
    // Where lines go besides the Log page's ring, which always has them:
    // the platform's debug-output channel, and the log file (LogFile.h).
    std::atomic<bool> logToDebugOutput { true };
    std::atomic<bool> logToFile { false };
    // Whether call and return lines go on with what their structures hold
    // (StructureDecoder.h): MIDI events, time info, speaker arrangements...
    std::atomic<bool> decodeStructures { false };
    // Whether each call's duration is measured (CallStatistics.h), and
    // return lines end with it.
    std::atomic<bool> timeCalls { false };
    // Not read by the call paths: whether shut-down writes a line per entry called.
    std::atomic<bool> logSummary { false };
    // Not read by the call paths: whether start-up starts the background
    // writer (BackgroundWriter.h), which then writes the debug output and the file.
    std::atomic<bool> writeInBackground { true };
    // Not read by the call paths: whether start-up starts the trace file
    // (TraceFile.h), which then gets every timed call.
    std::atomic<bool> writeTrace { false };
    // Not read by the call paths: whether start-up records the session for
    // replay (record/RecordFile.h), and the blocks' samples with it.
    std::atomic<bool> recordSession { false };
    std::atomic<bool> recordAudio { false };

    // Not read by the call paths: whether start-up installs the crash
    // handlers (crash/CrashReport.h), and how long a call runs before it is
    // reported as hanging (crash/HangWatch.h); 0 switches that off.
    std::atomic<bool> reportCrashes { true };
    static constexpr double defaultHangSeconds = 5.0;
    std::atomic<double> hangSeconds { defaultHangSeconds };

    // Read by the thunks, once a call: whether each call is held to the
    // VST 2 contract (checks/CallChecks.h), and whether process calls'
    // outputs are scanned for NaN, infinite and denormal samples; then each
    // rule's own switch.
    std::atomic<bool> checkCalls { false };
    std::atomic<bool> checkAudio { false };
    std::atomic<bool> checkRuleOn[numCheckRules] {};

private:
    // A file name never exceeds NAME_MAX (255) bytes; longer names are cut.
    static constexpr int maxNameBytes = 255;

    // The name is a seqlock: setName makes the sequence odd, writes the bytes
    // and makes it even again; readers copy and retry while it is odd or has
    // changed. Every byte is an atomic, so a reader never races a writer.
    std::atomic<std::uint32_t> nameSequence { 0 };
    std::atomic<std::uint32_t> nameLength { 0 };
    std::atomic<char> nameBytes[maxNameBytes] {};

    std::atomic<LineSink> sink { nullptr };

    // Lines between their last check and their write, and whether the final
    // line has closed the log: together they let that line wait for the
    // writers already under way and turn away every later one.
    std::atomic<int> linesInFlight { 0 };
    std::atomic<bool> closed { false };
    mutable std::atomic<int> linesForWriter { 0 };

    // A line on its way out: the prefix first, then its text, in one buffer
    // with room for a line feed after the longest line (the file sink writes
    // the line and its line feed from there, without a copy).
    struct OutputLine
    {
        OutputLine() noexcept;
        char buffer[maxLineLength + 2];
        LineWriter line;
    };

    void appendPrefix (LineWriter& line) const noexcept;
    void finishLine (OutputLine& output) noexcept;
    // text has room for one byte more than its length and its terminator.
    void writeLine (char* text, std::size_t length) const noexcept;
    void noteDebugOutputClosed() const noexcept;

    void appendName (LineWriter& line) const noexcept;
    CallStart startTiming() const noexcept;
    void endBlock (AEffectFunction function, std::int32_t sampleFrames, CallStart started) noexcept;
    void endCall (AEffectFunction function, CallStart started, std::int32_t index) noexcept;
    void endReturn (bool dispatcher, std::int32_t opcode, void* ptr, VstIntPtr result,
                    std::int32_t index, VstIntPtr value, CallStart started) noexcept;
    bool isLogged (const OpCodeState& function, const OpCodeState& opcode) const noexcept;
    // dispatcher: a call from the host (eff...), else from the target (audioMaster...).
    void writeCallLine (bool dispatcher, std::int32_t opcode, std::int32_t index,
                        VstIntPtr value, void* ptr, float opt) noexcept;
    // duration: in nanoseconds, written at the line's end when timed is true.
    void writeReturnLine (bool dispatcher, std::int32_t opcode, std::int32_t index, VstIntPtr value,
                          void* ptr, VstIntPtr result, bool timed, std::uint64_t duration) noexcept;
    void writeProcessLine (AEffectFunction function, const void* inputs, const void* outputs,
                           std::int32_t sampleFrames) noexcept;
    void writeSetParameterLine (std::int32_t index, float parameter) noexcept;
    bool beginFunctionLine (LineWriter& line, AEffectFunction function) const noexcept;
    void writeGetParameterLine (std::int32_t index) noexcept;

    JUCE_DECLARE_NON_COPYABLE (TBLogger)
};

// The one logger, constructed before any other static object of the library
// and destroyed after them, so that the library's load and unload lines can use it.
extern TBLogger tbLogger;

// The logger's cost per call: the floor (a call through a function pointer),
// a call that is counted but not written, timed or not, from one thread and
// from eight at once, and a written line with our own
// formatting, with snprintf, and through each sink: the Log page's ring
// alone, standard error, and the log file against a bare write of the same
// bytes.
#include "log/LogFile.h"
#include "log/TBLogger.h"
#include "log/VstStructures.h"
#include "platform/ThreadId.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace
{
    constexpr std::int32_t opcode = 43; // SetBlockSizeAndSampleRate: an integer and a float to format

    __attribute__ ((noinline)) VstIntPtr targetDispatcher (AEffect*, std::int32_t op, std::int32_t index, VstIntPtr value, void*, float)
    {
        benchmark::ClobberMemory();
        return op + index + value;
    }

    // volatile: the compiler must not see through the pointer, as with a real target.
    AEffectDispatcherProc volatile dispatcher = targetDispatcher;

    void discardLine (const char* line, std::size_t length)
    {
        benchmark::DoNotOptimize (line);
        benchmark::DoNotOptimize (length);
    }

    void prepare (TBLogger::LineSink sink, bool logged)
    {
        tbLogger.initialise ("MyDelay.so");
        tbLogger.setLineSink (sink);
        TBLogger::setOpCodeEnabled (logged, groupDispatcher, opcode);
    }

    // Counted calls must match what ran, exactly.
    void checkCounts (benchmark::State& state, std::int64_t expected)
    {
        const auto counted = static_cast<std::uint32_t> (TBLogger::getCallCount (groupDispatcher, opcode));

        if (counted != static_cast<std::uint32_t> (expected))
            state.SkipWithError ("call count does not match the calls made");

        state.counters["counted"] = static_cast<double> (counted);
    }

    void BM_DirectCall (benchmark::State& state)
    {
        for (auto _ : state)
            benchmark::DoNotOptimize (dispatcher (nullptr, opcode, 0, 512, nullptr, 44100.0f));
    }

    // One call through the logger as the dispatcher thunk makes it: counted,
    // timed where asked, not written.
    VstIntPtr countedCall (std::int32_t op) noexcept
    {
        const auto started = tbLogger.logDispatcherCall (op, 0, 512, nullptr, 44100.0f);
        const auto result = dispatcher (nullptr, op, 0, 512, nullptr, 44100.0f);
        tbLogger.logDispatcherReturn (op, nullptr, result, 0, 512, started);
        return result;
    }

    // Before any thread calls: nothing written, calls timed or not.
    void prepareUnlogged (bool timed)
    {
        prepare (discardLine, false);
        TBLogger::setAllOpCodesEnabled (false);
        tbLogger.timeCalls = timed;
    }

    void BM_CountedNotLogged (benchmark::State& state)
    {
        prepareUnlogged (state.range (0) != 0);

        for (auto _ : state)
            benchmark::DoNotOptimize (countedCall (opcode));

        checkCounts (state, static_cast<std::int64_t> (state.iterations()));
        tbLogger.timeCalls = false;
    }

    // Threads counting (and timing) at once: each its own entry, or all the
    // same one. CPU time per call and thread: on a machine with fewer cores
    // than threads, fighting over a cache line shows as CPU time, not as wall time.
    constexpr std::int32_t threadOpcodes[] = { 43, 10, 11, 12, 2, 9, 26, 29 };

    void BM_CountedAcrossThreads (benchmark::State& state)
    {
        const bool sameEntry = state.range (0) != 0;
        const auto op = sameEntry ? opcode : threadOpcodes[state.thread_index() % 8];

        for (auto _ : state)
            benchmark::DoNotOptimize (countedCall (op));
    }

    void prepareAcrossThreads (const benchmark::State& state)
    {
        prepareUnlogged (state.range (1) != 0);
    }

    void BM_LoggedLine (benchmark::State& state)
    {
        prepare (discardLine, true);
        tbLogger.logTime = state.range (0) != 0;

        for (auto _ : state)
            tbLogger.logDispatcherCall (opcode, 0, 512, nullptr, 44100.0f);

        checkCounts (state, static_cast<std::int64_t> (state.iterations()));
    }

    // The same line as BM_LoggedLine without time, built the classic way: the
    // text with snprintf, then the prefixed line with snprintf.
    void BM_LoggedLineSnprintf (benchmark::State& state)
    {
        const auto* row = &dispatcherOpCodes[opcode];
        const char* name = "MyDelay.so";

        for (auto _ : state)
        {
            char text[1024], line[1024];
            int n = std::snprintf (text, sizeof (text), "eff%s ", row->name);
            n += std::snprintf (text + n, sizeof (text) - (std::size_t) n, "%s=%d ", row->valueName, 512);
            std::snprintf (text + n, sizeof (text) - (std::size_t) n, "%s=%f ", row->optName, (double) 44100.0f);
            const int length = std::snprintf (line, sizeof (line), "(%X) %s:%s", (unsigned) currentThreadId(), name, text);
            discardLine (line, (std::size_t) length);
        }
    }

    void BM_LoggedLineToDevNull (benchmark::State& state)
    {
        prepare (nullptr, true);
        const int savedStderr = ::dup (STDERR_FILENO);
        const int devNull = ::open ("/dev/null", O_WRONLY);
        ::dup2 (devNull, STDERR_FILENO);

        for (auto _ : state)
            tbLogger.logDispatcherCall (opcode, 0, 512, nullptr, 44100.0f);

        ::dup2 (savedStderr, STDERR_FILENO);
        ::close (savedStderr);
        ::close (devNull);
        checkCounts (state, static_cast<std::int64_t> (state.iterations()));
    }

    // Both switches off: what a line costs when only the Log page gets it.
    void BM_LoggedLineRingOnly (benchmark::State& state)
    {
        prepare (nullptr, true);
        tbLogger.logToDebugOutput = false;

        for (auto _ : state)
            tbLogger.logDispatcherCall (opcode, 0, 512, nullptr, 44100.0f);

        checkCounts (state, static_cast<std::int64_t> (state.iterations()));
    }

    juce::File benchFile (const char* name)
    {
        auto file = juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile (name);
        file.deleteFile();
        return file;
    }

    // The file sink alone (standard error off), then a bare O_APPEND write of
    // the very line it writes: the sink's own cost is the difference.
    void BM_LoggedLineToFile (benchmark::State& state)
    {
        prepare (nullptr, true);
        tbLogger.logToDebugOutput = false;
        const auto file = benchFile ("tb-bench.log");
        logFile.open (file);
        tbLogger.logToFile = true;

        for (auto _ : state)
            tbLogger.logDispatcherCall (opcode, 0, 512, nullptr, 44100.0f);

        tbLogger.logToFile = false;
        logFile.close();
        file.deleteFile();
        checkCounts (state, static_cast<std::int64_t> (state.iterations()));
    }

    // ProcessEvents with four MIDI events, decoded, as a host sends a chord
    // and a controller; compare with BM_LoggedLine/time:0.
    void BM_ProcessEventsDecoded (benchmark::State& state)
    {
        prepare (discardLine, true);
        TBLogger::setOpCodeEnabled (true, groupDispatcher, 25);
        tbLogger.decodeStructures = state.range (0) != 0;

        VstMidiEvent midi[4] {};
        const unsigned char bytes[4][3] = { { 0x90, 60, 100 }, { 0x90, 64, 100 }, { 0x90, 67, 100 }, { 0xB0, 7, 100 } };

        struct { std::int32_t numEvents; VstIntPtr reserved; VstEvent* events[4]; } events {};
        events.numEvents = 4;

        for (int i = 0; i < 4; ++i)
        {
            midi[i].type = 1;
            midi[i].byteSize = (std::int32_t) sizeof (VstMidiEvent);
            midi[i].deltaFrames = i * 64;
            std::memcpy (midi[i].midiData, bytes[i], 3);
            events.events[i] = reinterpret_cast<VstEvent*> (&midi[i]);
        }

        for (auto _ : state)
            tbLogger.logDispatcherCall (25, 0, 0, &events, 0.0f);

        tbLogger.decodeStructures = false;
    }

    void BM_BareWriteOfTheSameLine (benchmark::State& state)
    {
        const auto file = benchFile ("tb-bench-bare.log");
        const int fd = ::open (file.getFullPathName().toRawUTF8(), O_WRONLY | O_APPEND | O_CREAT, 0644);
        const char line[] = "(1A2B) MyDelay.so:effSetBlockSizeAndSampleRate blockSize=512 sampleRate=44100.000000 \n";

        for (auto _ : state)
            benchmark::DoNotOptimize (::write (fd, line, sizeof (line) - 1));

        ::close (fd);
        file.deleteFile();
    }
}

BENCHMARK (BM_DirectCall);
BENCHMARK (BM_CountedNotLogged)->ArgName ("timed")->Arg (0)->Arg (1);
BENCHMARK (BM_CountedAcrossThreads)->ArgNames ({ "same", "timed" })->ArgsProduct ({ { 0, 1 }, { 0, 1 } })
    ->Setup (prepareAcrossThreads)->Threads (1)->Threads (2)->Threads (8);
BENCHMARK (BM_LoggedLine)->ArgName ("time")->Arg (0)->Arg (1);
BENCHMARK (BM_LoggedLineSnprintf);
BENCHMARK (BM_LoggedLineToDevNull);
BENCHMARK (BM_LoggedLineRingOnly);
BENCHMARK (BM_LoggedLineToFile);
BENCHMARK (BM_BareWriteOfTheSameLine);
BENCHMARK (BM_ProcessEventsDecoded)->ArgName ("decoded")->Arg (0)->Arg (1);

BENCHMARK_MAIN();

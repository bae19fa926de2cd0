// What the calling thread pays with the background writer against the
// synchronous one: a logged line into the file and to standard error, the
// writer's sustained rate, a logged call's tail latency while another process
// loads the disk, the unlogged call with the Close gate's in-flight count,
// and a timed call with the trace recording while the writer writes it.
#include "bridge/CallGate.h"
#include "checks/CallChecks.h"
#include "crash/CallsInProgress.h"
#include "log/BackgroundWriter.h"
#include "log/LogFile.h"
#include "log/TBLogger.h"
#include "log/TraceFile.h"
#include "record/SessionRecorder.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace
{
    constexpr std::int32_t opcode = 43;

    __attribute__ ((noinline)) VstIntPtr target (std::int32_t op) noexcept
    {
        benchmark::ClobberMemory();
        return op;
    }

    juce::File benchFile (const char* name)
    {
        auto file = juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile (name);
        file.deleteFile();
        return file;
    }

    // The logger with one opcode logged, into the file and/or standard error
    // (sent to /dev/null), by the background writer or by the caller.
    struct Sinks
    {
        Sinks (bool toFile, bool toStandardError, bool inBackground)
        {
            tbLogger.initialise ("MyDelay.so");
            tbLogger.setLineSink (nullptr); // standard error itself, whatever ran before
            TBLogger::setOpCodeEnabled (true, groupDispatcher, opcode);
            savedStderr = ::dup (STDERR_FILENO);
            const int devNull = ::open ("/dev/null", O_WRONLY);
            ::dup2 (devNull, STDERR_FILENO);
            ::close (devNull);
            tbLogger.logToDebugOutput = toStandardError;

            if (toFile)
                logFile.open (file);

            tbLogger.logToFile = toFile;

            if (inBackground)
                backgroundWriter.start();
        }

        ~Sinks()
        {
            backgroundWriter.stop();
            tbLogger.logToFile = false;
            logFile.close();
            file.deleteFile();
            ::dup2 (savedStderr, STDERR_FILENO);
            ::close (savedStderr);
        }

        juce::File file = benchFile ("tb-bench-writer.log");
        int savedStderr = -1;
    };

    // The cost on the calling thread, per logged line; the writer's
    // figures in the counters (nothing may be dropped at this rate).
    void BM_LoggedLineBy (benchmark::State& state)
    {
        const bool toFile = state.range (0) != 0, inBackground = state.range (1) != 0;
        Sinks sinks (toFile, ! toFile, inBackground);
        const auto before = backgroundWriter.getFigures();

        std::uint32_t lines = 0;

        for (auto _ : state)
        {
            tbLogger.logDispatcherCall (opcode, 0, 512, nullptr, 44100.0f);

            // A host makes calls, not only lines: every 256 lines, pause while
            // the writer is half a ring behind.
            if (inBackground && ++lines % 256 == 0 && backgroundWriter.backlog() > LineRing::numSlots / 2)
            {
                state.PauseTiming();

                while (backgroundWriter.backlog() > 64)
                    std::this_thread::yield();

                state.ResumeTiming();
            }
        }

        state.counters["dropped"] = (double) (backgroundWriter.getFigures().dropped - before.dropped);
    }

    // Lines into the file as fast as the writer takes them: the caller
    // waits whenever it is half a ring ahead, so nothing is dropped.
    void BM_SustainedIntoFile (benchmark::State& state)
    {
        Sinks sinks (true, false, true);
        const auto before = backgroundWriter.getFigures();

        for (auto _ : state)
        {
            tbLogger.logDispatcherCall (opcode, 0, 512, nullptr, 44100.0f);

            while (backgroundWriter.backlog() > LineRing::numSlots / 2)
                std::this_thread::yield();
        }

        backgroundWriter.stop();
        const auto after = backgroundWriter.getFigures();
        state.counters["dropped"] = (double) (after.dropped - before.dropped);
        state.counters["lines/s"] = benchmark::Counter ((double) state.iterations(), benchmark::Counter::kIsRate);
    }

    // Waits out `span` as the calling thread: asleep (blocked, as an
    // audio thread between callbacks) or busy (the rest of its block's work).
    void busyFor (std::chrono::nanoseconds span)
    {
        for (const auto start = std::chrono::steady_clock::now(); std::chrono::steady_clock::now() - start < span;)
            benchmark::ClobberMemory();
    }

    void waitBetweenCalls (bool busy, std::chrono::microseconds span)
    {
        if (! busy)
            return std::this_thread::sleep_for (span);

        busyFor (span);
    }

    template <typename Call>
    double microsecondsTaken (Call&& call)
    {
        const auto start = std::chrono::steady_clock::now();
        call();
        return std::chrono::duration<double, std::micro> (std::chrono::steady_clock::now() - start).count();
    }

    void countTail (benchmark::State& state, std::vector<double>& microseconds, const char* prefix)
    {
        std::sort (microseconds.begin(), microseconds.end());
        state.counters[std::string (prefix) + "p50_us"] = microseconds[microseconds.size() / 2];
        state.counters[std::string (prefix) + "p99.9_us"] = microseconds[(std::size_t) ((double) microseconds.size() * 0.999)];
        state.counters[std::string (prefix) + "max_us"] = microseconds.back();
        // The stalls themselves: how many of them, beyond anything a call of ours takes.
        state.counters[std::string (prefix) + "over20us"] = (double) (microseconds.end()
            - std::upper_bound (microseconds.begin(), microseconds.end(), 20.0));
    }

    bool onCore (pid_t thread, int core)
    {
        cpu_set_t set;
        CPU_ZERO (&set);
        CPU_SET (core, &set);
        return ::sched_setaffinity (thread, sizeof (set), &set) == 0;
    }

    // How the calling thread runs: as a plain thread; under SCHED_FIFO, as
    // hosts run their audio threads; that on a core of its own with the disk
    // load on another, as a machine set up for audio keeps its audio core
    // (the disk's completions, each an interrupt and on a virtual machine an
    // exit to its host, then land elsewhere); and that busy between calls
    // rather than asleep (the rest of its block's work).
    enum Setup { plainThread, realtimeThread, ownCore, ownCoreBusy };

    // Another process writes to the same disk as fast as it can (dd, direct
    // I/O); one logged processReplacing call every 100 us, as an audio
    // thread's calls come, into the file synchronously (writer:0) or through
    // the background writer (writer:1): the 99.9th percentile and the worst,
    // and the calling thread's page faults. The floor: between the calls, the
    // same clock readings around 0.5 us of spinning (a logged call's median
    // here, its caches cold): what the machine itself adds to a stretch that long.
    void BM_TailLatencyUnderDiskLoad (benchmark::State& state)
    {
        // writer:2, no file at all (the Log page's ring alone): what any
        // logger that makes the line would take, the lower bound.
        const bool toFile = state.range (0) != 2, inBackground = state.range (0) == 1;
        const auto setup = (Setup) state.range (1);
        const bool pinned = setup >= ownCore, busy = setup == ownCoreBusy;
        const int loadCore = (int) std::thread::hardware_concurrency() - 1;
        sched_param priority {};
        priority.sched_priority = 50;

        cpu_set_t wasAllowed;
        ::sched_getaffinity (0, sizeof (wasAllowed), &wasAllowed);

        if (pinned && (loadCore < 1 || ! onCore (0, 0)))
            return state.SkipWithError ("no second core to put the disk load on");

        if (setup != plainThread && ::pthread_setschedparam (::pthread_self(), SCHED_FIFO, &priority) != 0)
        {
            ::sched_setaffinity (0, sizeof (wasAllowed), &wasAllowed);
            return state.SkipWithError ("SCHED_FIFO is not permitted here");
        }

        const auto loadFile = benchFile ("tb-bench-disk-load");
        const auto command = "exec dd if=/dev/zero of='" + loadFile.getFullPathName().toStdString()
                           + "' bs=1M count=100000 oflag=direct status=none 2>/dev/null";
        const auto loader = ::fork();

        if (loader == 0)
        {
            if (pinned)
                onCore (0, loadCore);

            ::execl ("/bin/sh", "sh", "-c", command.c_str(), (char*) nullptr);
            ::_exit (127);
        }

        Sinks sinks (toFile, false, inBackground);
        TBLogger::setOpCodeEnabled (true, groupAEffectFunctions, functionProcessReplacing);

        if (! toFile)
            lineRing.touchPages(); // as the writer's start does
        // Filled now, so that the thread's page faults are the calls' own.
        std::vector<double> logged ((std::size_t) state.max_iterations), floor (logged.size());
        std::size_t call = 0;

        // The writer's start-up (it brings the ring's pages in) is not the calls' time.
        std::this_thread::sleep_for (std::chrono::milliseconds (100));
        rusage before {}, after {};
        ::getrusage (RUSAGE_THREAD, &before);

        for (auto _ : state)
        {
            logged[call] = microsecondsTaken ([] { tbLogger.logProcess (nullptr, nullptr, 512, true); });
            waitBetweenCalls (busy, std::chrono::microseconds (50));
            floor[call++] = microsecondsTaken ([] { busyFor (std::chrono::nanoseconds (500)); });
            waitBetweenCalls (busy, std::chrono::microseconds (50));
        }

        ::getrusage (RUSAGE_THREAD, &after);
        ::kill (loader, SIGTERM);
        ::waitpid (loader, nullptr, 0);
        loadFile.deleteFile();
        countTail (state, logged, "");
        countTail (state, floor, "floor_");
        state.counters["pageFaults"] = (double) (after.ru_minflt - before.ru_minflt + after.ru_majflt - before.ru_majflt);
        ::sched_setaffinity (0, sizeof (wasAllowed), &wasAllowed);
        priority.sched_priority = 0;
        ::pthread_setschedparam (::pthread_self(), SCHED_OTHER, &priority);
    }

    // One unlogged call as the thunks make it: counted in and out of the
    // Close gate around the forward; with the record, the call in progress
    // noted first, for the crash and hang reports.
    __attribute__ ((always_inline)) inline VstIntPtr callThroughGate()
    {
        const auto started = tbLogger.logDispatcherCall (opcode, 0, 512, nullptr, 44100.0f);
        VstIntPtr result = 0;

        if (callGate.enter (CallGate::intoTarget))
        {
            // "Record Session" off, as the thunk asks it.
            const auto recorded = sessionRecorder.callDispatcher (opcode, 0, 512, nullptr, 44100.0f);
            result = target (opcode);
            sessionRecorder.returnDispatcher (recorded, opcode, 0, 512, nullptr, result);
            callGate.leave (CallGate::intoTarget);
        }

        tbLogger.logDispatcherReturn (opcode, nullptr, result, 0, 512, started);
        return result;
    }

    void BM_CountedNotLoggedThroughGate (benchmark::State& state)
    {
        const bool recorded = state.range (0) != 0;
        tbLogger.initialise ("MyDelay.so");
        TBLogger::setAllOpCodesEnabled (false);
        callGate.open();

        if (recorded)
        {
            for (auto _ : state)
            {
                const CallsInProgress::Scope inProgress (CallsInProgress::describe (CallsInProgress::intoTarget, 0, opcode));
                benchmark::DoNotOptimize (callThroughGate());
            }
        }
        else
        {
            for (auto _ : state)
                benchmark::DoNotOptimize (callThroughGate());
        }

        callGate.beginClose();
        callGate.endClose();
    }

    // The unlogged dispatcher call as the thunk makes it, with "Check Calls"
    // off (the one test of the option) and on, in an opened and resumed
    // session: effGetTailSize carries no text and breaks no rule, so this is
    // the checks' cost on a plain call.
    void BM_CheckedCall (benchmark::State& state)
    {
        constexpr std::int32_t effOpen = 0, effMainsChanged = 12, effGetTailSize = 52;
        const bool checked = state.range (0) != 0;
        tbLogger.initialise ("MyDelay.so");
        TBLogger::setAllOpCodesEnabled (false);
        tbLogger.checkCalls = checked;
        AEffect record {};
        record.numParams = 4;
        callChecks.startSession (record);
        callGate.open();

        for (const auto& [op, value] : { std::pair { effOpen, 0 }, std::pair { effMainsChanged, 1 } })
        {
            CallChecks::Entry checks;
            callChecks.beforeDispatcher (checks, record, op, 0, value, nullptr);
            callChecks.afterDispatcher (checks, record, op, nullptr);
        }

        for (auto _ : state)
        {
            const auto opcode = effGetTailSize;
            const auto started = tbLogger.logDispatcherCall (opcode, 0, 512, nullptr, 44100.0f);
            VstIntPtr result = 0;

            if (callGate.enter (CallGate::intoTarget))
            {
                CallChecks::Entry checks;
                const bool checking = callChecks.anyOn();

                if (checking)
                    callChecks.beforeDispatcher (checks, record, opcode, 0, 512, nullptr);

                result = target (opcode);

                if (checking)
                    callChecks.afterDispatcher (checks, record, opcode, nullptr);

                callGate.leave (CallGate::intoTarget);
            }

            tbLogger.logDispatcherReturn (opcode, nullptr, result, 0, 512, started);
            benchmark::DoNotOptimize (result);
        }

        callGate.beginClose();
        callGate.endClose();

        if (checkRules.getCount (CheckRule::callBeforeOpen) + checkRules.getCount (CheckRule::setupWhileResumed) != 0)
            state.SkipWithError ("a rule was broken: the figure is not a plain call's");

        tbLogger.checkCalls = false;
    }

    // A timed, unlogged call with the trace on: the caller's record, and the
    // writer's rate (events written, or dropped where the calls outrun it).
    void BM_TimedCallTraced (benchmark::State& state)
    {
        const bool traced = state.range (0) != 0;
        tbLogger.initialise ("MyDelay.so");
        TBLogger::setAllOpCodesEnabled (false);
        tbLogger.timeCalls = true;
        tbLogger.setLineSink ([] (const char*, std::size_t) {}); // the "dropped" lines
        traceFile.setPlace (benchFile ("tb-bench.trace.json"));

        if (traced)
        {
            traceFile.start();
            backgroundWriter.start();
        }

        for (auto _ : state)
        {
            const auto started = tbLogger.logDispatcherCall (opcode, 0, 512, nullptr, 44100.0f);
            tbLogger.logDispatcherReturn (opcode, nullptr, target (opcode), 0, 512, started);
        }

        backgroundWriter.stop();
        traceFile.finish();
        state.counters["written"] = (double) traceFile.getEventsWritten();
        state.counters["dropped"] = (double) traceFile.getEventsDropped();
        tbLogger.timeCalls = false;
        tbLogger.setLineSink (nullptr);
    }
}

BENCHMARK (BM_LoggedLineBy)->ArgNames ({ "file", "background" })->ArgsProduct ({ { 1, 0 }, { 0, 1 } });
BENCHMARK (BM_SustainedIntoFile)->UseRealTime();
BENCHMARK (BM_TailLatencyUnderDiskLoad)->ArgNames ({ "writer", "setup" })->ArgsProduct ({ { 0, 1, 2 }, { 0, 1, 2, 3 } })
    ->Iterations (20000)->UseRealTime();
BENCHMARK (BM_CountedNotLoggedThroughGate)->ArgName ("recorded")->Arg (0)->Arg (1);
BENCHMARK (BM_CheckedCall)->ArgName ("checkCalls")->Arg (0)->Arg (1);
BENCHMARK (BM_TimedCallTraced)->ArgName ("traced")->Arg (0)->Arg (1);

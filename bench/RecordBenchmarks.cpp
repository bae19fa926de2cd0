// What "Record Session" costs the calling thread: an unlogged dispatcher
// call with its text recorded, and a block with and without its samples.
// The ring is emptied into the file between batches, outside the timing, so
// that every record finds room (a full ring's refusal is cheaper and would
// flatter the figure); the writer's own rate is measured apart.
#include "log/TBLogger.h"
#include "record/RecordFile.h"
#include "record/SessionRecorder.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{
    __attribute__ ((noinline)) VstIntPtr target (std::int32_t opcode, void* ptr) noexcept
    {
        benchmark::ClobberMemory();
        static_cast<char*> (ptr)[0] = 'G';
        return opcode;
    }

    struct Recording
    {
        explicit Recording (bool on, bool audio = false)
        {
            tbLogger.initialise ("MyDelay.so");
            TBLogger::setAllOpCodesEnabled (false);
            tbLogger.setLineSink ([] (const char*, std::size_t) {});
            recordFile.setPlace (juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile ("tb-bench.tbrec"));

            if (on)
                recordFile.start (audio);
        }

        ~Recording()
        {
            recordFile.finish();
            recordFile.getPlace().deleteFile();
            tbLogger.setLineSink (nullptr);
        }

        // Every batchSize calls, the ring goes to the file while the clock stands.
        static void emptyBetweenBatches (benchmark::State& state, std::int64_t done)
        {
            if (done % batchSize != 0)
                return;

            state.PauseTiming();
            recordFile.writePending (1 << 30);
            state.ResumeTiming();
        }

        static void report (benchmark::State& state)
        {
            recordFile.writePending (1 << 30);
            state.counters["written"] = (double) recordFile.getRecordsWritten();
            state.counters["lost"] = (double) sessionRecorder.ring.takeLost() + (double) recordFile.getRecordsLost();
        }

        static constexpr std::int64_t batchSize = 1024; // 1024 blocks of samples fit the ring twice over
    };

    // effGetParamName (8): the call, and the text the target wrote on its return.
    void BM_RecordedCall (benchmark::State& state)
    {
        Recording recording (state.range (0) != 0);
        char name[64] = "Gain";

        std::int64_t done = 0;

        for (auto _ : state)
        {
            const auto started = tbLogger.logDispatcherCall (8, 3, 0, name, 0.0f);
            const auto ticket = sessionRecorder.callDispatcher (8, 3, 0, name, 0.0f);
            const auto result = target (8, name);
            sessionRecorder.returnDispatcher (ticket, 8, 3, 0, name, result);
            tbLogger.logDispatcherReturn (8, name, result, 3, 0, started);
            Recording::emptyBetweenBatches (state, ++done);
        }

        recording.report (state);
    }

    // processReplacing, 2 channels of 512 frames: the call alone, or with its inputs and outputs.
    void BM_RecordedBlock (benchmark::State& state)
    {
        Recording recording (true, state.range (0) != 0);
        std::vector<float> left (512, 0.25f), right (512, -0.25f);
        float* channels[2] = { left.data(), right.data() };
        const auto pointers = reinterpret_cast<void* const*> (channels);

        std::int64_t done = 0;

        for (auto _ : state)
        {
            const auto ticket = sessionRecorder.callBlock (recording::recordedProcessReplacing, pointers, 2, pointers, 2, 512, 4);
            benchmark::ClobberMemory();
            sessionRecorder.returnBlock (ticket, recording::recordedProcessReplacing, pointers, 2, 512, 4);
            Recording::emptyBetweenBatches (state, ++done);
        }

        recording.report (state);
    }

    // The writer's side: records moved from the ring to the file per second
    // (a GetParamName call and its return each), the checks computed.
    void BM_RecordWriterRate (benchmark::State& state)
    {
        Recording recording (true);
        char name[64] = "Gain";
        std::int64_t moved = 0;

        for (auto _ : state)
        {
            state.PauseTiming();

            for (int i = 0; i < 1000; ++i)
                sessionRecorder.returnDispatcher (sessionRecorder.callDispatcher (8, 3, 0, name, 0.0f), 8, 3, 0, name, 1);

            state.ResumeTiming();
            moved += recordFile.writePending (1 << 30);
        }

        state.counters["records/s"] = benchmark::Counter ((double) moved, benchmark::Counter::kIsRate);
        recording.report (state);
    }
}

BENCHMARK (BM_RecordedCall)->ArgName ("recorded")->Arg (0)->Arg (1);
BENCHMARK (BM_RecordedBlock)->ArgName ("audio")->Arg (0)->Arg (1);
BENCHMARK (BM_RecordWriterRate);

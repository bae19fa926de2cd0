// What "Record Session" costs the calling thread: an unlogged dispatcher
// call with its text recorded, and a block with and without its samples,
// while the background writer takes the records to the file; the writer's
// figures say whether it kept up (records lost for want of room).
#include "log/BackgroundWriter.h"
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
            {
                backgroundWriter.start();
                recordFile.start (audio);
            }
        }

        ~Recording()
        {
            backgroundWriter.stop();
            recordFile.finish();
            recordFile.getPlace().deleteFile();
            tbLogger.setLineSink (nullptr);
        }

        void report (benchmark::State& state) const
        {
            state.counters["written"] = (double) recordFile.getRecordsWritten();
            state.counters["lost"] = (double) recordFile.getRecordsLost();
        }
    };

    // effGetParamName (8): the call, and the text the target wrote on its return.
    void BM_RecordedCall (benchmark::State& state)
    {
        Recording recording (state.range (0) != 0);
        char name[64] = "Gain";

        for (auto _ : state)
        {
            const auto started = tbLogger.logDispatcherCall (8, 3, 0, name, 0.0f);
            const auto ticket = sessionRecorder.callDispatcher (8, 3, 0, name, 0.0f);
            const auto result = target (8, name);
            sessionRecorder.returnDispatcher (ticket, 8, 3, 0, name, result);
            tbLogger.logDispatcherReturn (8, name, result, 3, 0, started);
        }

        backgroundWriter.stop();
        recording.report (state);
    }

    // processReplacing, 2 channels of 512 frames: the call alone, or with its inputs and outputs.
    void BM_RecordedBlock (benchmark::State& state)
    {
        Recording recording (true, state.range (0) != 0);
        std::vector<float> left (512, 0.25f), right (512, -0.25f);
        float* channels[2] = { left.data(), right.data() };
        const auto pointers = reinterpret_cast<void* const*> (channels);

        for (auto _ : state)
        {
            const auto ticket = sessionRecorder.callBlock (recording::recordedProcessReplacing, pointers, 2, 512, 4);
            benchmark::ClobberMemory();
            sessionRecorder.returnBlock (ticket, recording::recordedProcessReplacing, pointers, 2, 512, 4);
        }

        backgroundWriter.stop();
        recording.report (state);
    }
}

BENCHMARK (BM_RecordedCall)->ArgName ("recorded")->Arg (0)->Arg (1);
BENCHMARK (BM_RecordedBlock)->ArgName ("audio")->Arg (0)->Arg (1);

// Time Calls and Log Summary in the logger: durations of calls that take a
// known time, block loads against a known rate, the lines that carry them.
// Clock readings are handed in directly where a figure must be exact.
#include "LogCapture.h"
#include "log/CallStatistics.h"

#include <chrono>
#include <cmath>
#include <limits>
#include <cctype>
#include <thread>

namespace
{
    constexpr std::uint64_t ms = 1000000; // in nanoseconds
    constexpr std::int32_t getChunk = 23, getProgramName = 5, getSampleRate = 16;

    // Whole microseconds at the end of a return line, "(12.3 us)"; -1 without a duration.
    long long durationOf (const std::string& text)
    {
        const auto open = text.rfind ('(');
        const auto point = text.rfind ('.');

        if (open == std::string::npos || point == std::string::npos || point < open + 2
            || text.size() != point + 6 || text.compare (point + 2, 4, " us)") != 0
            || (open > 0 && text[open - 1] != ' '))
            return -1;

        const auto digits = text.substr (open + 1, point - open - 1);

        if (digits.find_first_not_of ("0123456789") != std::string::npos || ! std::isdigit ((unsigned char) text[point + 1]))
            return -1;

        return std::stoll (digits);
    }

    std::string pointerText (const void* pointer)
    {
        char text[32];
        std::snprintf (text, sizeof (text), "%016llX", (unsigned long long) reinterpret_cast<std::uintptr_t> (pointer));
        return text;
    }

    void sleepFor (std::uint64_t nanoseconds)
    {
        std::this_thread::sleep_for (std::chrono::nanoseconds (nanoseconds));
    }
}

class Timing : public LoggerTest
{
protected:
    void SetUp() override
    {
        LoggerTest::SetUp();
        tbLogger.timeCalls = true;
    }
};

TEST_F (Timing, ACallThatSleepsIsMeasuredAndItsReturnLineEndsWithIt)
{
    char* chunk = nullptr;
    const auto started = tbLogger.logDispatcherCall (getChunk, 0, 0, &chunk, 0.0f);
    ASSERT_NE (started, 0u);
    sleepFor (20 * ms);
    tbLogger.logDispatcherReturn (getChunk, &chunk, 0, 0, 0, started);

    const auto lines = texts();
    ASSERT_EQ (lines.size(), 2u);
    EXPECT_EQ (lines[0], "effGetChunk isPreset=0 data=" + pointerText (&chunk) + " ") << "call lines keep their shape";
    EXPECT_EQ (lines[1].rfind ("effGetChunk returned dataSize=0 (", 0), 0u) << lines[1];
    EXPECT_GE (durationOf (lines[1]), 20000) << lines[1];

    const auto timing = callStatistics::timingOf (groupDispatcher, getChunk);
    EXPECT_EQ (timing.timedCalls, 1u);
    EXPECT_GE (timing.totalNanoseconds, 20 * ms);
    EXPECT_EQ (timing.maxNanoseconds, timing.totalNanoseconds);
    EXPECT_EQ (timing.lastNanoseconds, timing.totalNanoseconds);
    EXPECT_EQ (durationOf (lines[1]), (long long) ((timing.totalNanoseconds + 50) / 100 / 10));

    // The group's entry sums its opcodes: a second, quicker call of another one.
    const auto again = tbLogger.logDispatcherCall (getProgramName, 0, 0, nullptr, 0.0f);
    tbLogger.logDispatcherReturn (getProgramName, nullptr, 0, 0, 0, again);
    const auto total = callStatistics::timingOf (groupAEffectFunctions, functionDispatcher);
    EXPECT_EQ (total.timedCalls, 2u);
    EXPECT_EQ (total.maxNanoseconds, timing.maxNanoseconds);
    EXPECT_LT (total.lastNanoseconds, timing.maxNanoseconds);
    EXPECT_GE (total.totalNanoseconds, timing.totalNanoseconds);
}

TEST_F (Timing, EveryEntryPointIsTimedButOnlyWhileSwitchedOn)
{
    float* buffers[1] = {};
    double* doubles[1] = {};
    tbLogger.logProcessEnd (functionProcess, 64, tbLogger.logProcess (buffers, buffers, 64, false));
    tbLogger.logProcessEnd (functionProcessReplacing, 64, tbLogger.logProcess (buffers, buffers, 64, true));
    tbLogger.logProcessEnd (functionProcessDoubleReplacing, 64, tbLogger.logProcessDoubleReplacing (doubles, doubles, 64));
    tbLogger.logCallEnd (functionSetParameter, tbLogger.logSetParameter (0, 0.5f));
    tbLogger.logCallEnd (functionGetParameter, tbLogger.logGetParameter (0));
    tbLogger.logAudioMasterReturn (1, nullptr, 2400, 0, 0, tbLogger.logAudioMasterCall (1, 0, 0, nullptr, 0.0f));

    for (int index : { 2, 3, 4, 5, 6, 1 })
        EXPECT_EQ (callStatistics::timingOf (groupAEffectFunctions, index).timedCalls, 1u) << index;

    const auto lines = texts();
    ASSERT_EQ (lines.size(), 7u);
    EXPECT_EQ (lines[2], "processDoubleReplacing(inputs:" + pointerText (doubles) + ", outputs:"
                         + pointerText (doubles) + ", sampleFrames:64)");
    EXPECT_EQ (lines[3], "setParameter(index: 0, parameter: 0.500000)") << "no return line, no duration";
    EXPECT_GE (durationOf (lines[6]), 0) << lines[6];
    EXPECT_EQ (lines[6].rfind ("audioMasterVersion returned version=2400 (", 0), 0u) << lines[6];

    // Off: nothing is measured, and return lines are as they always were.
    tbLogger.timeCalls = false;
    EXPECT_EQ (tbLogger.logDispatcherCall (getChunk, 0, 0, nullptr, 0.0f), 0u);
    tbLogger.logDispatcherReturn (getChunk, nullptr, 0, 0, 0, 0);
    EXPECT_EQ (tbLogger.logProcess (buffers, buffers, 64, true), 0u);
    EXPECT_EQ (texts().back(), "processReplacing(inputs:" + pointerText (buffers) + ", outputs:"
                               + pointerText (buffers) + ", sampleFrames:64)");
    EXPECT_EQ (callStatistics::timingOf (groupDispatcher, getChunk).timedCalls, 0u);
    EXPECT_EQ (TBLogger::getCallCount (groupDispatcher, getChunk), 1);
}

TEST_F (Timing, TheDurationEndsEvenALineCutAtItsLimit)
{
    std::string longName (3000, 'n');
    const auto started = tbLogger.logDispatcherCall (getProgramName, 0, 0, longName.data(), 0.0f);
    tbLogger.logDispatcherReturn (getProgramName, longName.data(), 0, 0, 0, started);
    const auto line = CapturedLines::take().back();
    EXPECT_EQ (line.size(), (std::size_t) TBLogger::maxLineLength);
    EXPECT_GE (durationOf (line), 0) << line.substr (line.size() - 40);
}

TEST_F (Timing, LoadsAgainstAKnownRateAndTheRateThatCounts)
{
    EXPECT_EQ (callStatistics::getSampleRateSource(), callStatistics::RateSource::none);
    EXPECT_FALSE (callStatistics::sumLoad (functionProcessReplacing).isKnown());

    // Without a rate a block is timed, but has no budget.
    callStatistics::recordBlock (functionProcessReplacing, 480, 1000, 1000 + 5 * ms);
    EXPECT_FALSE (callStatistics::sumLoad (functionProcessReplacing).isKnown());
    EXPECT_EQ (callStatistics::timingOf (groupAEffectFunctions, functionProcessReplacing).timedCalls, 1u);

    // The host's answer counts until the host sets a rate; absurd rates are not taken.
    tbLogger.logAudioMasterReturn (getSampleRate, nullptr, 44100);
    EXPECT_EQ (callStatistics::getSampleRateSource(), callStatistics::RateSource::answered);
    EXPECT_DOUBLE_EQ (callStatistics::getSampleRate(), 44100.0);
    tbLogger.logDispatcherCall (10, 0, 0, nullptr, 48000.0f); // SetSampleRate
    tbLogger.logAudioMasterReturn (getSampleRate, nullptr, 96000);
    EXPECT_EQ (callStatistics::getSampleRateSource(), callStatistics::RateSource::set);
    EXPECT_NEAR (callStatistics::getSampleRate(), 48000.0, 1e-6);

    for (float bad : { 0.0f, -48000.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), 1.0e9f })
        callStatistics::noteSampleRateSet (bad);
    EXPECT_NEAR (callStatistics::getSampleRate(), 48000.0, 1e-6);
    tbLogger.logDispatcherCall (43, 0, 256, nullptr, 32000.0f); // SetBlockSizeAndSampleRate
    EXPECT_NEAR (callStatistics::getSampleRate(), 32000.0, 1e-6);
    tbLogger.logDispatcherCall (10, 0, 0, nullptr, 48000.0f);

    // 480 frames at 48 kHz: 10 ms each. 5 + 15 + 10 ms: 100% on average, 150% at most, one over.
    callStatistics::recordBlock (functionProcessReplacing, 480, 1000, 1000 + 5 * ms);
    callStatistics::recordBlock (functionProcessReplacing, 480, 1000, 1000 + 15 * ms);
    callStatistics::recordBlock (functionProcessReplacing, 480, 1000, 1000 + 10 * ms);
    callStatistics::recordBlock (functionProcessReplacing, 0, 1000, 1000 + 10 * ms); // no frames, no budget
    auto load = callStatistics::sumLoad (functionProcessReplacing);
    EXPECT_EQ (load.blocks, 3u);
    EXPECT_EQ (load.overruns, 1u);
    EXPECT_NEAR (load.averageLoad, 1.0, 1e-6);
    EXPECT_NEAR (load.maxLoad, 1.5, 1e-6);
    EXPECT_FALSE (callStatistics::sumLoad (functionProcess).isKnown()) << "each process entry on its own";

    // Blocks from another thread land in another shard and are summed all the same.
    std::thread ([] { callStatistics::recordBlock (functionProcessReplacing, 960, 0, 40 * ms); }).join();
    load = callStatistics::sumLoad (functionProcessReplacing);
    EXPECT_EQ (load.blocks, 4u);
    EXPECT_EQ (load.overruns, 2u);
    EXPECT_NEAR (load.averageLoad, 70.0 / 50.0, 1e-6);
    EXPECT_NEAR (load.maxLoad, 2.0, 1e-6);

    // Reset Counters resets the timings and loads, not the rate.
    TBLogger::resetAllCallCounts();
    EXPECT_FALSE (callStatistics::sumLoad (functionProcessReplacing).isKnown());
    EXPECT_EQ (callStatistics::timingOf (groupAEffectFunctions, functionProcessReplacing).timedCalls, 0u);
    EXPECT_EQ (callStatistics::timingOf (groupAEffectFunctions, functionProcessReplacing).maxNanoseconds, 0u);
    EXPECT_NEAR (callStatistics::getSampleRate(), 48000.0, 1e-6);

    // A new start-up forgets it.
    tbLogger.initialise ("MyDelay.dll");
    EXPECT_EQ (callStatistics::getSampleRateSource(), callStatistics::RateSource::none);
}

TEST_F (Timing, TheSummaryHasALinePerEntryCalledWithItsFigures)
{
    tbLogger.timeCalls = false;
    tbLogger.logDispatcherCall (getChunk, 0, 0, nullptr, 0.0f);
    tbLogger.logDispatcherCall (getChunk, 0, 0, nullptr, 0.0f);
    tbLogger.logDispatcherCall (getProgramName, 0, 0, nullptr, 0.0f);
    tbLogger.logProcess (nullptr, nullptr, 480, true);
    tbLogger.logProcess (nullptr, nullptr, 480, true);
    callStatistics::recordDuration (callStatistics::entryOf (groupDispatcher, getChunk), 0, 20 * ms);
    callStatistics::recordDuration (callStatistics::entryOf (groupDispatcher, getChunk), 0, 10 * ms + 1234);
    callStatistics::recordDuration (callStatistics::entryOf (groupDispatcher, getProgramName), 0, 850);
    callStatistics::noteSampleRateSet (48000.0f);
    callStatistics::recordBlock (functionProcessReplacing, 480, 0, 5 * ms);
    callStatistics::recordBlock (functionProcessReplacing, 480, 0, 12 * ms);
    texts();

    tbLogger.logTime = true; // a line like any other
    tbLogger.writeSummary();
    const auto lines = CapturedLines::take();
    std::vector<std::string> summary;

    for (auto& l : lines)
        summary.push_back (parseLine (l).text);

    EXPECT_TRUE (parseLine (lines.front()).hasTime);
    EXPECT_EQ (summary, (std::vector<std::string> {
        "Summary: dispatcher 3 calls, total 30002.1 us, max 20000.0 us, average 10000.7 us",
        "Summary: processReplacing 2 calls, total 17000.0 us, max 12000.0 us, average 8500.0 us, "
            "load average 85.0%, max 120.0%, 1 of 2 blocks over budget",
        "Summary: effGetProgramName 1 call, total 0.9 us, max 0.9 us, average 0.9 us",
        "Summary: effGetChunk 2 calls, total 30001.2 us, max 20000.0 us, average 15000.6 us" }));

    // Calls made while timing was off are said to be fewer than those counted.
    tbLogger.logDispatcherCall (getChunk, 0, 0, nullptr, 0.0f);
    tbLogger.writeSummary();
    const auto partly = CapturedLines::take();
    EXPECT_EQ (parseLine (partly.back()).text,
               "Summary: effGetChunk 3 calls, 2 timed, total 30001.2 us, max 20000.0 us, average 15000.6 us");

    // Nothing called, nothing said.
    TBLogger::resetAllCallCounts();
    tbLogger.writeSummary();
    EXPECT_TRUE (CapturedLines::take().empty());
}

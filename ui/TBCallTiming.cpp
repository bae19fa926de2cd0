#include "TBCallTiming.h"

#include "log/TBLogger.h"

namespace
{
    juce::String withDigits (double value, const char* unit)
    {
        // Three significant digits: 1.23, 12.3, 123.
        const int decimals = value < 10.0 ? 2 : value < 100.0 ? 1 : 0;
        return juce::String (value, decimals) + " " + unit;
    }

    const AEffectFunction processEntries[] = { functionProcess, functionProcessReplacing,
                                               functionProcessDoubleReplacing };
}

namespace TBCallTiming
{
    juce::String formatDuration (std::uint64_t nanoseconds)
    {
        const auto value = (double) nanoseconds;

        if (nanoseconds < 1000)
            return juce::String ((juce::int64) nanoseconds) + " ns";

        if (nanoseconds < 1000000)
            return withDigits (value / 1.0e3, "us");

        if (nanoseconds < 1000000000)
            return withDigits (value / 1.0e6, "ms");

        return withDigits (value / 1.0e9, "s");
    }

    juce::String formatLoad (double load)
    {
        // Light loads keep a second digit: 0.04% rather than 0.0%.
        const auto percent = load * 100.0;
        return juce::String (percent, percent < 1.0 ? 2 : 1) + "%";
    }

    callStatistics::EntryTiming timingOf (int group, int index)
    {
        if (index < 0 || index >= TBLogger::getNumOpCodes (group))
            return {};

        return callStatistics::timingOf (group, index);
    }

    juce::String describeEntry (int group, int index)
    {
        const auto timing = timingOf (group, index);

        if (timing.timedCalls == 0)
            return {};

        const auto calls = (std::uint64_t) TBLogger::getCallCount (group, index);
        juce::String text;
        text << TBLogger::getOpCodeName (group, index) << ": " << (juce::uint64) calls
             << (calls == 1 ? " call" : " calls");

        if (timing.timedCalls != calls)
            text << ", " << (juce::uint64) timing.timedCalls << " timed";

        text << "\naverage " << formatDuration (timing.averageNanoseconds())
             << ", max " << formatDuration (timing.maxNanoseconds)
             << ", last " << formatDuration (timing.lastNanoseconds)
             << "\ntotal " << formatDuration (timing.totalNanoseconds);

        if (group == groupAEffectFunctions)
        {
            const auto load = callStatistics::sumLoad (index);

            if (load.isKnown())
                text << "\nload: average " << formatLoad (load.averageLoad) << ", max " << formatLoad (load.maxLoad)
                     << ", " << (juce::uint64) load.overruns << " of " << (juce::uint64) load.blocks
                     << " blocks over budget";
        }

        return text;
    }

    juce::String describeLoads()
    {
        juce::String text ("Real-time load of the blocks");

        for (auto entry : processEntries)
        {
            const auto load = callStatistics::sumLoad (entry);

            if (load.isKnown())
                text << "\n" << aEffectFunctionNames[entry] << ": average " << formatLoad (load.averageLoad)
                     << ", max " << formatLoad (load.maxLoad)
                     << "\n    " << (juce::uint64) load.overruns << " of " << (juce::uint64) load.blocks
                     << (load.blocks == 1 ? " block" : " blocks") << " over budget";
        }

        const auto rate = callStatistics::getSampleRate();

        switch (callStatistics::getSampleRateSource())
        {
            case callStatistics::RateSource::set:
                text << "\n" << juce::String (rate, 0) << " Hz, as the host set it";
                break;
            case callStatistics::RateSource::answered:
                text << "\n" << juce::String (rate, 0) << " Hz, from the host's GetSampleRate";
                break;
            case callStatistics::RateSource::none:
                text << "\nNo sample rate yet: no budget to measure against";
                break;
        }

        return text;
    }
}

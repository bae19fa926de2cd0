// How the pages put call timings into words: durations in the unit that
// suits them, an entry's figures for its tooltip, the AEffect page's loads.
#pragma once

#include "log/CallStatistics.h"

#include <juce_core/juce_core.h>

namespace TBCallTiming
{
    // [message] "850 ns", "12.3 us", "456 us", "4.56 ms", "1.23 s".
    juce::String formatDuration (std::uint64_t nanoseconds);
    // [message] "12.3%".
    juce::String formatLoad (double load);

    // [message] The catalogue entry's timing, summed over the shards.
    callStatistics::EntryTiming timingOf (int group, int index);
    // [message] Calls, then every figure of the timed ones; empty while none was timed.
    juce::String describeEntry (int group, int index);
    // [message] One line per process entry with blocks, and where the sample rate comes from.
    juce::String describeLoads();
}

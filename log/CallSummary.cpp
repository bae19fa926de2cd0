// The summary at shut-down: one line per catalogue entry that was called
// since the counters were last reset, with its timing where calls were timed.
#include "TBLogger.h"
#include "CallStatistics.h"
#include "LineWriter.h"

#include <algorithm>

namespace
{
    // "12.3": tenths of a microsecond, rounded.
    void appendMicroseconds (LineWriter& line, std::uint64_t nanoseconds)
    {
        line.appendTenths ((nanoseconds + 50) / 100);
        line.appendLiteral (" us");
    }

    // "12.3%": a load of 1.0 is 100%.
    void appendPercent (LineWriter& line, double load)
    {
        // Bounded: a wild clock reading must not overflow the conversion.
        line.appendTenths (static_cast<std::uint64_t> (std::min (load, 1.0e9) * 1000.0 + 0.5));
        line.appendChar ('%');
    }

    void appendEntryName (LineWriter& line, int group, int index)
    {
        if (group == groupDispatcher)
            line.appendLiteral ("eff");
        else if (group == groupAudioMaster)
            line.appendLiteral ("audioMaster");

        line.append (TBLogger::getOpCodeName (group, index).toRawUTF8());
    }

    void appendTiming (LineWriter& line, std::uint64_t calls, const callStatistics::EntryTiming& timing)
    {
        if (timing.timedCalls == 0)
            return;

        // Only part of the calls were timed when timing was switched on or off between them.
        if (timing.timedCalls != calls)
        {
            line.appendLiteral (", ");
            line.appendUnsigned (timing.timedCalls);
            line.appendLiteral (" timed");
        }

        line.appendLiteral (", total ");
        appendMicroseconds (line, timing.totalNanoseconds);
        line.appendLiteral (", max ");
        appendMicroseconds (line, timing.maxNanoseconds);
        line.appendLiteral (", average ");
        appendMicroseconds (line, timing.averageNanoseconds());
    }

    void appendLoad (LineWriter& line, const callStatistics::BlockLoad& load)
    {
        if (! load.isKnown())
            return;

        line.appendLiteral (", load average ");
        appendPercent (line, load.averageLoad);
        line.appendLiteral (", max ");
        appendPercent (line, load.maxLoad);
        line.appendLiteral (", ");
        line.appendUnsigned (load.overruns);
        line.appendLiteral (" of ");
        line.appendUnsigned (load.blocks);
        line.appendLiteral (" blocks over budget");
    }
}

void TBLogger::writeSummary()
{
    for (int group = 0; group < numOpCodeGroups; ++group)
    {
        for (int index = 0; index < getNumOpCodes (group); ++index)
        {
            const auto calls = static_cast<std::uint64_t> (getCallCount (group, index));

            if (calls == 0)
                continue;

            char text[maxLineLength + 1];
            LineWriter line (text);
            line.appendLiteral ("Summary: ");
            appendEntryName (line, group, index);
            line.appendChar (' ');
            line.appendUnsigned (calls);
            line.append (calls == 1 ? " call" : " calls");
            appendTiming (line, calls, callStatistics::timingOf (group, index));

            if (group == groupAEffectFunctions)
                appendLoad (line, callStatistics::sumLoad (index));

            logLine (line.text());
        }
    }
}

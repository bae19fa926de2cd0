// How the pages show call timings: durations in words, the average on a row,
// the note over the row pointed at, the AEffect page's loads.
#include "UiTestSupport.h"

#include "log/CallStatistics.h"
#include "log/TBLogger.h"
#include "ui/TBCallTiming.h"
#include "ui/TBVstAEffectComponent.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
    constexpr std::uint64_t us = 1000, ms = 1000000;
    constexpr int getChunk = 23;

    void timeGetChunk (std::uint64_t duration)
    {
        tbLogger.logDispatcherCall (getChunk, 0, 0, nullptr, 0.0f);
        callStatistics::recordDuration (callStatistics::entryOf (groupDispatcher, getChunk), 1, 1 + duration);
    }

    struct TimingDisplay : public ::testing::Test
    {
        TimingDisplay()
        {
            tbLogger.initialise ("x.so");
            tbLogger.loggingOn = false;
        }

        ~TimingDisplay() override
        {
            TBLogger::resetAllCallCounts();
            juce::Logger::setCurrentLogger (nullptr);
        }
    };
}

TEST_F (TimingDisplay, DurationsReadInTheUnitThatSuitsThem)
{
    EXPECT_EQ (TBCallTiming::formatDuration (850), "850 ns");
    EXPECT_EQ (TBCallTiming::formatDuration (1234), "1.23 us");
    EXPECT_EQ (TBCallTiming::formatDuration (12345), "12.3 us");
    EXPECT_EQ (TBCallTiming::formatDuration (456 * us), "456 us");
    EXPECT_EQ (TBCallTiming::formatDuration (4560 * us), "4.56 ms");
    EXPECT_EQ (TBCallTiming::formatDuration (200 * ms), "200 ms");
    EXPECT_EQ (TBCallTiming::formatDuration (1230 * ms), "1.23 s");
    EXPECT_EQ (TBCallTiming::formatLoad (0.0004), "0.04%");
    EXPECT_EQ (TBCallTiming::formatLoad (1.5), "150.0%");
}

TEST_F (TimingDisplay, AnEntryIsDescribedOnlyOnceACallWasTimed)
{
    tbLogger.logDispatcherCall (getChunk, 0, 0, nullptr, 0.0f);
    EXPECT_EQ (TBCallTiming::describeEntry (groupDispatcher, getChunk), "");

    timeGetChunk (200 * ms);
    timeGetChunk (10 * ms);
    EXPECT_EQ (TBCallTiming::describeEntry (groupDispatcher, getChunk),
               "GetChunk: 3 calls, 2 timed\naverage 105 ms, max 200 ms, last 10.0 ms\ntotal 210 ms");
    EXPECT_EQ (TBCallTiming::describeEntry (groupDispatcher, 99), "");

    // The dispatcher entry sums its group.
    EXPECT_EQ (TBCallTiming::describeEntry (groupAEffectFunctions, functionDispatcher),
               "dispatcher: 3 calls, 2 timed\naverage 105 ms, max 200 ms, last 10.0 ms\ntotal 210 ms");
}

TEST_F (TimingDisplay, ARowShowsTheAverageBeforeItsCountAndKeepsItsNameClear)
{
    TBVstOpCodeComponent row (groupDispatcher, getChunk);
    row.setSize (280, 16);
    const juce::Rectangle<int> timingArea { 160, 1, 60, 14 };

    tbLogger.logDispatcherCall (getChunk, 0, 0, nullptr, 0.0f);
    auto image = paintAlone (row);
    EXPECT_EQ (darkestIn (image, timingArea), 0xf2) << "untimed: as it always was";
    EXPECT_EQ (row.getShownAverage(), 0u);

    timeGetChunk (12345);
    row.refreshCounter();
    EXPECT_EQ (row.getShownAverage(), 12345u);
    image = paintAlone (row);
    EXPECT_LT (darkestIn (image, timingArea.withTrimmedLeft (30)), 0xc0);

    // Reset Counters takes it away again.
    TBLogger::resetAllCallCounts();
    row.refreshCounter();
    EXPECT_EQ (row.getShownAverage(), 0u);
    EXPECT_EQ (darkestIn (paintAlone (row), timingArea), 0xf2);
}

TEST_F (TimingDisplay, TheAEffectPageShowsLoadsWhileCallsAreTimed)
{
    AEffect record;
    std::memset (&record, 0, sizeof (record));
    TBVstAEffectComponent page (record);
    page.setSize (560, 624);
    page.createRows();
    page.refreshCounters();

    auto* label = page.getLoadLabel();
    ASSERT_NE (label, nullptr);
    EXPECT_FALSE (label->isVisible()) << "off by default";
    EXPECT_EQ (page.getTimingNote(), nullptr);

    tbLogger.timeCalls = true;
    page.refreshCounters();
    EXPECT_TRUE (label->isVisible());
    EXPECT_EQ (label->getText(), "Real-time load of the blocks\nNo sample rate yet: no budget to measure against");
    EXPECT_GE (label->getX(), page.getRow (0)->getRight());
    EXPECT_LE (label->getBottom(), page.getTextEditor()->getY());

    tbLogger.logDispatcherCall (10, 0, 0, nullptr, 48000.0f);
    callStatistics::recordBlock (functionProcessReplacing, 480, 0, 5 * ms);
    callStatistics::recordBlock (functionProcessReplacing, 480, 0, 12 * ms);
    page.refreshCounters();
    EXPECT_EQ (label->getText(), "Real-time load of the blocks\nprocessReplacing: average 85.0%, max 120.0%\n"
                                 "    1 of 2 blocks over budget\n48000 Hz, as the host set it");

    // Measured loads stay in view after timing is switched off, until they are reset.
    tbLogger.timeCalls = false;
    page.refreshCounters();
    EXPECT_TRUE (label->isVisible());
    TBLogger::resetAllCallCounts();
    page.refreshCounters();
    EXPECT_FALSE (label->isVisible());
}

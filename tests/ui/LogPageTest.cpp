// The Log page: lines as they are written, the view following the end until
// paused or scrolled up, the filter, the commands, and a burst far beyond
// what the page can show.
#include "ui/TBLogPage.h"
#include "log/BackgroundWriter.h"
#include "log/TBLogger.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace juce
{
    // The framework's own Linux message pump (juce_linux_Messaging.cpp).
    bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
}

namespace
{
    void discardLine (const char*, std::size_t) {}

    class LogPage : public ::testing::Test
    {
    protected:
        void SetUp() override
        {
            tbLogger.initialise ("Synth.so");
            tbLogger.setLineSink (discardLine);
            page.setSize (560, 624);
            page.drain();
            page.clearButton->triggerClick(); // what other tests wrote before
            pump();
        }

        void TearDown() override { tbLogger.setLineSink (nullptr); }

        // A click reaches its listener as a message.
        static void pump()
        {
            while (juce::dispatchNextMessageOnSystemQueue (true)) {}
        }

        void write (const std::string& text) { tbLogger.logLine (text.c_str()); }

        TBLogPage page;
    };

    std::string textOf (const juce::String& line)
    {
        const auto colon = line.indexOfChar (':');
        return line.substring (colon + 1).toStdString();
    }
}

TEST_F (LogPage, ShowsEveryLineAtTheNextTickNewestAtTheBottom)
{
    for (int i = 0; i < 100; ++i)
        write ("line " + std::to_string (i));

    EXPECT_EQ (page.getShownLines().size(), 0) << "nothing before the tick";
    page.drain();

    const auto shown = page.getShownLines();
    ASSERT_EQ (shown.size(), 100);
    EXPECT_EQ (textOf (shown[0]), "line 0");
    EXPECT_EQ (textOf (shown[99]), "line 99");
    EXPECT_TRUE (shown[0].startsWith ("(")) << "whole lines, with their prefix";
    EXPECT_TRUE (page.isFollowing());

    // The last line is in view.
    auto* viewport = page.listBox->getViewport();
    EXPECT_GE (viewport->getViewPositionY() + viewport->getViewHeight(), viewport->getViewedComponent()->getHeight() - 16);
}

TEST_F (LogPage, FilterShowsMatchingLinesAndLosesNone)
{
    write ("effOpen ");
    write ("processReplacing(inputs:0000000000000000)");
    write ("EFFCLOSE shouted");
    write ("effClose ");
    page.drain();

    page.filterEditor->setText ("effclose", true);
    pump();
    auto shown = page.getShownLines();
    ASSERT_EQ (shown.size(), 2);
    EXPECT_EQ (textOf (shown[0]), "EFFCLOSE shouted");
    EXPECT_EQ (textOf (shown[1]), "effClose ");

    // Lines arriving while filtered are kept all the same.
    write ("effGetParamName parameter=3 ");
    write ("effClose again");
    page.drain();
    EXPECT_EQ (page.getShownLines().size(), 3);

    page.filterEditor->setText ({}, true);
    pump();
    shown = page.getShownLines();
    ASSERT_EQ (shown.size(), 6);
    EXPECT_EQ (textOf (shown[4]), "effGetParamName parameter=3 ");
}

TEST_F (LogPage, PauseHoldsTheViewAndCountsWhatArrives)
{
    for (int i = 0; i < 50; ++i)
        write ("before " + std::to_string (i));

    page.drain();
    page.pauseButton->triggerClick();
    pump();
    EXPECT_TRUE (page.isPaused());
    const auto rows = page.listBox->getModel()->getNumRows();

    for (int i = 0; i < 30; ++i)
        write ("during " + std::to_string (i));

    page.drain();
    EXPECT_EQ (page.listBox->getModel()->getNumRows(), rows) << "the view holds still";
    EXPECT_EQ (page.getArrivedWhilePaused(), 30u);
    EXPECT_TRUE (page.statusLabel->getText().contains ("paused, 30 new since")) << page.statusLabel->getText();
    EXPECT_EQ (page.getShownLines().size(), 80) << "nothing lost meanwhile";

    page.pauseButton->triggerClick();
    pump();
    page.drain();
    EXPECT_FALSE (page.isPaused());
    EXPECT_EQ (page.listBox->getModel()->getNumRows(), 80);
}

TEST_F (LogPage, ScrollingUpStopsFollowingAndBackDownResumes)
{
    for (int i = 0; i < 500; ++i)
        write ("line " + std::to_string (i));

    page.drain();
    page.listBox->scrollToEnsureRowIsOnscreen (0);
    write ("one more");
    page.drain();
    EXPECT_FALSE (page.isFollowing());
    EXPECT_EQ (page.getArrivedWhilePaused(), 1u);
    EXPECT_TRUE (page.statusLabel->getText().contains ("scrolled up")) << page.statusLabel->getText();

    page.listBox->scrollToEnsureRowIsOnscreen (page.listBox->getModel()->getNumRows() - 1);
    page.drain();
    EXPECT_TRUE (page.isFollowing());
}

TEST_F (LogPage, ClearCopyAndSave)
{
    write ("alpha");
    write ("beta");
    write ("gamma");
    page.drain();

    page.listBox->selectRow (1);
    EXPECT_EQ (page.getTextToCopy().fromFirstOccurrenceOf (":", false, false).toStdString(), "beta\n");
    page.copyButton->triggerClick();
    pump();
    EXPECT_TRUE (juce::SystemClipboard::getTextFromClipboard().endsWith ("beta\n"));

    page.listBox->deselectAllRows();
    EXPECT_EQ (juce::StringArray::fromLines (page.getTextToCopy().trimEnd()).size(), 3) << "all shown without a selection";

    const auto file = juce::File::createTempFile (".txt");
    page.filterEditor->setText ("a", true);
    pump();
    ASSERT_TRUE (page.saveShownLines (file));
    const auto saved = juce::StringArray::fromLines (file.loadFileAsString().trimEnd());
    file.deleteFile();
    ASSERT_EQ (saved.size(), 3);
    EXPECT_EQ (textOf (saved[1]), "beta");

    page.clearButton->triggerClick();
    pump();
    EXPECT_EQ (page.getShownLines().size(), 0);
    write ("delta");
    page.drain();
    EXPECT_EQ (page.getShownLines().size(), 1);
}

// A million lines from another thread while the window ticks: every tick
// stays short, and every line is either shown or counted missed.
TEST_F (LogPage, BurstOfAMillionLinesKeepsTicksShortAndCountsExactly)
{
    constexpr int total = 1000000;
    std::atomic<bool> done { false };
    const auto writtenBefore = lineRing.written();

    std::thread writer ([&]
    {
        for (int i = 0; i < total; ++i)
            tbLogger.logLine ("effProcessEvents events=00007FFD0C0549D0 a line of an ordinary length");

        done = true;
    });

    double longestTick = 0;
    int ticks = 0;
    std::uint64_t arrived = 0;

    while (! done || lineRing.waiting() > 0)
    {
        const auto start = std::chrono::steady_clock::now();
        const auto keptBefore = page.getNumLinesKept();
        page.drain();
        arrived += (std::uint64_t) std::max (0, page.getNumLinesKept() - keptBefore);
        const auto took = std::chrono::duration<double, std::milli> (std::chrono::steady_clock::now() - start).count();
        longestTick = std::max (longestTick, took);
        ++ticks;
        std::this_thread::sleep_for (std::chrono::milliseconds (done ? 1 : 50));
    }

    writer.join();
    page.drain();

    // Lines dropped from the page's own backlog were shown once: count what
    // reached the page, not what it still keeps.
    EXPECT_EQ (lineRing.written() - writtenBefore, (std::uint64_t) total);
    EXPECT_EQ (arrived + page.getMissedCount(), (std::uint64_t) total);
    EXPECT_GT (page.getMissedCount(), 0u) << "a burst this size cannot all be shown";
    EXPECT_LE (page.getNumLinesKept(), TBLogPage::maxLinesKept);
    ::testing::Test::RecordProperty ("longest_tick_ms", std::to_string (longestTick));
    std::printf ("burst: %d ticks, longest %.2f ms, %llu shown, %llu missed\n", ticks, longestTick,
                 (unsigned long long) arrived, (unsigned long long) page.getMissedCount());
}

// Save... asks where through the platform's dialog: the scripted zenity answers.
TEST_F (LogPage, SaveAsksThroughTheDialogAndWritesTheLinesShown)
{
    const auto target = juce::File::getSpecialLocation (juce::File::tempDirectory)
                            .getNonexistentChildFile ("tb-saved-log", ".txt", false);
    const juce::String path (std::getenv ("PATH") != nullptr ? std::getenv ("PATH") : "/usr/bin:/bin");
    ::setenv ("PATH", (juce::String (TB_BUILD_DIR) + "/fakebin:" + path).toRawUTF8(), 1);
    ::setenv ("TB_ZENITY_ANSWER", target.getFullPathName().toRawUTF8(), 1);
    ::unsetenv ("TB_ZENITY_ANSWERS");

    write ("one");
    write ("two");
    page.drain();
    page.saveButton->triggerClick();

    for (int i = 0; i < 500 && ! target.existsAsFile(); ++i)
    {
        pump();
        juce::Thread::sleep (10);
    }

    ::setenv ("PATH", path.toRawUTF8(), 1);
    ::unsetenv ("TB_ZENITY_ANSWER");
    ASSERT_TRUE (target.existsAsFile());
    const auto saved = juce::StringArray::fromLines (target.loadFileAsString().trimEnd());
    target.deleteFile();
    ASSERT_EQ (saved.size(), 2);
    EXPECT_EQ (textOf (saved[1]), "two");
}

TEST_F (LogPage, WriterFiguresShowBelowTheStatusOnceTheWriterHasRun)
{
    EXPECT_EQ (TBLogPage::describeWriter ({ 123456, 0, 812 }, 0, 0),
               "Writer: 123456 lines written, at most 812 waiting, 0 dropped");
    EXPECT_EQ (TBLogPage::describeWriter ({ 5, 1, 2 }, 40, 3),
               "Writer: 5 lines written, at most 2 waiting, 1 dropped; trace: 40 events, 3 dropped");

    ASSERT_TRUE (backgroundWriter.start());

    for (int i = 0; i < 10; ++i)
        write ("through the writer");

    backgroundWriter.stop();
    page.drain();
    const auto& label = *page.writerLabel;
    ASSERT_TRUE (label.isVisible());
    EXPECT_TRUE (label.getText().startsWith ("Writer: ") && label.getText().contains (" lines written, at most "))
        << label.getText();

    for (auto* other : { (juce::Component*) page.statusLabel.get(), (juce::Component*) page.listBox.get() })
        EXPECT_FALSE (label.getBounds().intersects (other->getBounds())) << other->getName();

    EXPECT_TRUE (page.getLocalBounds().contains (label.getBounds()));
}

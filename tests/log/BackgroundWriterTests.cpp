// The background writer: the same lines as the synchronous writer, in each
// thread's order; an exact count of what it had to drop; nothing left behind
// at its stop. Run under ThreadSanitizer as well.
#include "LogCapture.h"
#include "log/BackgroundWriter.h"

#include <atomic>
#include <map>
#include <thread>

namespace
{
    using PerThread = std::map<std::string, std::vector<std::string>>;

    // Each captured line under its thread's prefix, in the order it came.
    PerThread byThread (const std::vector<std::string>& lines)
    {
        PerThread result;

        for (auto& line : lines)
            result[line.substr (0, line.find (')') + 1)].push_back (line.substr (line.find (')') + 1));

        return result;
    }

    // While the writer runs, callers wait whenever it is half a ring behind:
    // this test is of order and bytes, the drop policy has its own.
    void keepPace()
    {
        while (backgroundWriter.isRunning() && backgroundWriter.backlog() > LineRing::numSlots / 2)
            std::this_thread::yield();
    }

    void logFromThreads (int threads, int lines)
    {
        std::vector<std::thread> callers;

        for (int t = 0; t < threads; ++t)
            callers.emplace_back ([=]
            {
                char text[64];

                for (int i = 0; i < lines; ++i)
                {
                    std::snprintf (text, sizeof (text), "line %d of thread %d", i, t);
                    tbLogger.logLine (text);

                    if (i % 64 == 63)
                        keepPace();
                }
            });

        for (auto& caller : callers)
            caller.join();
    }

    class BackgroundWriterTest : public LoggerTest
    {
    protected:
        void TearDown() override
        {
            backgroundWriter.stop();
            LoggerTest::TearDown();
        }
    };
}

TEST_F (BackgroundWriterTest, WritesTheLinesOfTheSynchronousWriterInEachThreadsOrder)
{
    constexpr int threads = 8, lines = 100000;
    logFromThreads (threads, lines);
    const auto synchronous = byThread (CapturedLines::take());

    ASSERT_TRUE (backgroundWriter.start());
    const auto before = backgroundWriter.getFigures();
    logFromThreads (threads, lines);
    backgroundWriter.stop();
    const auto background = byThread (CapturedLines::take());
    const auto after = backgroundWriter.getFigures();

    // Thread ids differ between the runs: compare the threads' sequences.
    std::vector<std::vector<std::string>> a, b;

    for (auto& [prefix, texts] : synchronous) a.push_back (texts);
    for (auto& [prefix, texts] : background)  b.push_back (texts);

    std::sort (a.begin(), a.end());
    std::sort (b.begin(), b.end());
    ASSERT_EQ (b.size(), (std::size_t) threads);
    EXPECT_TRUE (a == b);
    EXPECT_EQ (after.written - before.written, (std::uint64_t) threads * lines);
    EXPECT_EQ (after.dropped, before.dropped);
    EXPECT_GT (after.highWater, 0u);
}

// A sink that holds the writer back until told: the ring goes round.
namespace
{
    std::atomic<bool> holdWriter { false };
    std::atomic<int> linesHeld { 0 };

    void heldSink (const char* line, std::size_t length)
    {
        ++linesHeld;

        while (holdWriter.load())
            std::this_thread::sleep_for (std::chrono::milliseconds (1));

        CapturedLines::sink (line, length);
    }
}

TEST_F (BackgroundWriterTest, AWriterHeldBackDropsLinesAndSaysExactlyHowMany)
{
    tbLogger.setLineSink (heldSink);
    holdWriter = true;
    linesHeld = 0;
    ASSERT_TRUE (backgroundWriter.start());
    const auto before = backgroundWriter.getFigures();

    tbLogger.logLine ("first");

    while (linesHeld.load() == 0)
        std::this_thread::yield();

    constexpr int total = 3 * LineRing::numSlots;

    for (int i = 0; i < total; ++i)
        tbLogger.logLine ("more");

    holdWriter = false;
    backgroundWriter.stop();

    const auto lines = texts();
    const auto dropped = backgroundWriter.getFigures().dropped - before.dropped;
    const auto more = (std::uint64_t) std::count (lines.begin(), lines.end(), "more");
    const auto note = std::to_string (dropped) + " lines dropped by the background writer";

    ASSERT_GT (dropped, 0u);
    EXPECT_EQ (more + dropped, (std::uint64_t) total);
    EXPECT_EQ (std::count (lines.begin(), lines.end(), note), 1) << note;
    EXPECT_EQ (lines.front(), "first");
}

TEST_F (BackgroundWriterTest, StopLeavesNothingBehindAndLaterLinesAreSynchronous)
{
    ASSERT_TRUE (backgroundWriter.start());

    for (int i = 0; i < 1000; ++i)
        tbLogger.logLine ("queued");

    backgroundWriter.stop();
    EXPECT_EQ (texts(), std::vector<std::string> (1000, "queued"));

    tbLogger.logLine ("at once");
    EXPECT_EQ (texts(), std::vector<std::string> { "at once" });
}

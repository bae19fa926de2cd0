// The ring that carries written lines to the Log page: whole lines only,
// from many threads at once, and an exact count of what the reader missed.
// Run under ThreadSanitizer as well.
#include "log/LineRing.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{
    // "<thread> <sequence> <filler>|<checksum>": a torn or mixed line fails the checksum.
    std::string makeLine (int thread, std::uint64_t sequence)
    {
        char head[64];
        std::snprintf (head, sizeof (head), "%d %llu ", thread, (unsigned long long) sequence);
        std::string line = head;
        line.append ((std::size_t) (sequence * 7 + (std::uint64_t) thread * 13) % 300, (char) ('a' + thread));
        unsigned sum = 0;

        for (auto c : line)
            sum = sum * 31 + (unsigned char) c;

        return line + "|" + std::to_string (sum);
    }

    bool isWhole (const std::string& line, int& thread, std::uint64_t& sequence)
    {
        unsigned long long s = 0;

        if (std::sscanf (line.c_str(), "%d %llu", &thread, &s) != 2)
            return false;

        sequence = s;
        return makeLine (thread, sequence) == line;
    }

    struct Collector : LineRing::Reader
    {
        void lineRead (const char* text, std::size_t length) override { lines.emplace_back (text, length); }
        void linesMissed (std::uint64_t count) override { missed += count; }

        std::vector<std::string> lines;
        std::uint64_t missed = 0;
    };

    // A ring of its own for each test (the library's one carries the logger's lines).
    std::unique_ptr<LineRing> freshRing() { return std::make_unique<LineRing>(); }
}

TEST (LineRing, HandsOverLinesInOrderAndCutsOverlongOnes)
{
    auto ring = freshRing();
    Collector reader;
    EXPECT_EQ (ring->read (reader, 100), 0);

    ring->push ("first", 5);
    ring->push ("", 0);
    const std::string longLine (5000, 'x');
    ring->push (longLine.data(), longLine.size());
    EXPECT_EQ (ring->read (reader, 2), 2) << "no more than asked for";
    EXPECT_EQ (ring->read (reader, 100), 1);

    ASSERT_EQ (reader.lines.size(), 3u);
    EXPECT_EQ (reader.lines[0], "first");
    EXPECT_EQ (reader.lines[1], "");
    EXPECT_EQ (reader.lines[2], std::string (LineRing::maxLineBytes, 'x'));
    EXPECT_EQ (reader.missed, 0u);
}

TEST (LineRing, AReaderThatFallsBehindCountsExactlyWhatItMissed)
{
    auto ring = freshRing();
    Collector reader;
    const int total = LineRing::numSlots * 3 + 17;

    for (int i = 0; i < total; ++i)
    {
        const auto line = makeLine (0, (std::uint64_t) i);
        ring->push (line.data(), line.size());
    }

    while (ring->read (reader, 1000) > 0) {}

    EXPECT_EQ (reader.missed, (std::uint64_t) (total - LineRing::numSlots));
    ASSERT_EQ (reader.lines.size(), (std::size_t) LineRing::numSlots);
    int thread = -1;
    std::uint64_t first = 0;
    ASSERT_TRUE (isWhole (reader.lines.front(), thread, first));
    EXPECT_EQ (first, (std::uint64_t) (total - LineRing::numSlots)) << "the newest lines are the ones kept";
}

// With the background writer's start-up bringing the ring's pages in meanwhile.
TEST (LineRing, EightWritersAtOnceNeverTearOrMixALine)
{
    auto ring = freshRing();
    constexpr int writers = 8;
    constexpr std::uint64_t perWriter = 40000;
    std::atomic<int> running { writers };
    std::vector<std::thread> threads;

    for (int t = 0; t < writers; ++t)
        threads.emplace_back ([&, t]
        {
            for (std::uint64_t i = 0; i < perWriter; ++i)
            {
                const auto line = makeLine (t, i);
                ring->push (line.data(), line.size());
            }

            --running;
        });

    std::thread toucher ([&] { while (running > 0) ring->touchPages(); });

    // The reader reads while they write, as the window's timer does.
    Collector reader;

    while (running > 0)
        ring->read (reader, 4000);

    toucher.join();

    for (auto& t : threads)
        t.join();

    while (ring->read (reader, 4000) > 0) {}

    std::vector<std::uint64_t> last (writers, 0);
    std::vector<bool> seen (writers, false);
    int torn = 0, outOfOrder = 0;

    for (auto& line : reader.lines)
    {
        int thread = -1;
        std::uint64_t sequence = 0;

        if (! isWhole (line, thread, sequence) || thread < 0 || thread >= writers)
        {
            ++torn;
            continue;
        }

        outOfOrder += (seen[(std::size_t) thread] && sequence <= last[(std::size_t) thread]) ? 1 : 0;
        seen[(std::size_t) thread] = true;
        last[(std::size_t) thread] = sequence;
    }

    EXPECT_EQ (torn, 0);
    EXPECT_EQ (outOfOrder, 0);
    EXPECT_EQ (reader.lines.size() + reader.missed, writers * perWriter) << "every line read or counted missed";
}

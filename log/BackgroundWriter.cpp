#include "BackgroundWriter.h"
#include "LogFile.h"
#include "TBLogger.h"
#include "TraceFile.h"
#include "TraceRing.h"
#include "../record/RecordFile.h"

#include "../platform/DebugOutput.h"
#include "../platform/TimeOfDay.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include "../platform/StaticOrder.h"
#include "../platform/ThreadEnded.h"

BackgroundWriter backgroundWriter TB_STATIC_LOG_SINKS;

namespace
{
    using namespace std::chrono;

    constexpr int maxLinesPerRound = 1024;
    constexpr int maxEventsPerRound = 2048;
    // A thread that made lines may be preempted between taking its place in
    // the ring and finishing its line: it is waited for this many rounds.
    constexpr int roundsForAStoppedLine = 100;
    // Standard error gets this long to take a batch before its lines count as dropped.
    constexpr int standardErrorWaitMs = 20;
    // A writer whose heartbeat stands still this long is stuck in a write
    // (it beats before each sink, so a slow disk alone does not count).
    constexpr auto givenUpAfter = milliseconds (2000);

    void writeCountLine (std::uint64_t count, const char* what, bool toStandardErrorOnly)
    {
        char text[128];
        LineWriter line (text);
        line.appendDecimal ((std::int64_t) count);
        line.append (count == 1 ? " line dropped by the background writer" : " lines dropped by the background writer");
        line.append (what);

        if (! toStandardErrorOnly)
        {
            tbLogger.logLine (line.text());
            return;
        }

        char output[TBLogger::maxLineLength + 2];
        auto length = tbLogger.formatLine (line.text(), output);
        output[length++] = '\n';
        writeDebugLines (output, length, standardErrorWaitMs);
    }

    // The rings' pages brought in by the writer rather than by the calls' threads
    // (RingWait.h): the line ring a piece a round, from where lines go next, so
    // that the session's first lines are not held up behind its 4.4 MiB; then the
    // trace ring's 448 KiB at once.
    struct RingPages
    {
        static constexpr std::size_t slotsPerRound = 256;

        void touchSome() noexcept
        {
            if (touched < (std::size_t) LineRing::numSlots)
            {
                lineRing.touchPages (first + touched, slotsPerRound);
                touched += slotsPerRound;
            }
            else if (! traceTouched)
            {
                traceRing.touchPages();
                traceTouched = true;
            }
        }

        const std::uint64_t first = lineRing.written();
        std::size_t touched = 0;
        bool traceTouched = false;
    };
}

// Whole lines with their line feeds, handed to each sink in one piece.
struct BackgroundWriter::Batch final : LineRing::Reader
{
    Batch (BackgroundWriter& w, char* buffer, std::size_t capacity) noexcept : writer (w), bytes (buffer), room (capacity) {}

    void lineRead (const char* text, std::size_t length) override
    {
        if (used + length + 1 > room)
            flush();

        std::memcpy (bytes + used, text, length);
        bytes[used + length] = '\n';
        used += length + 1;
        ++lines;
    }

    void linesMissed (std::uint64_t count) override { missed += count; }

    void flush() noexcept
    {
        if (used == 0)
            return;

        writer.heartbeat.fetch_add (1, std::memory_order_relaxed);

        if (tbLogger.logToDebugOutput.load (std::memory_order_relaxed))
            toDebugOutput();

        writer.heartbeat.fetch_add (1, std::memory_order_relaxed);

        if (tbLogger.logToFile.load (std::memory_order_relaxed))
            logFile.writeLines (bytes, used);

        writer.written.fetch_add ((std::uint64_t) lines, std::memory_order_relaxed);
        used = 0;
        lines = 0;
    }

    void toDebugOutput() noexcept
    {
        // In pieces a pipe takes whole, each ending with a line.
        for (std::size_t start = 0; start < used;)
        {
            auto end = std::min (used, start + debugOutputBatchBytes);

            while (end < used && bytes[end - 1] != '\n')
                --end;

            toDebugOutput (start, end);
            start = end;
        }
    }

    void toDebugOutput (std::size_t start, std::size_t end) noexcept
    {
        // Tests and benchmarks plug in a sink of their own, line by line.
        if (auto sink = tbLogger.getLineSink())
        {
            for (auto line = start; line < end;)
            {
                const auto lineEnd = (std::size_t) (static_cast<const char*> (std::memchr (bytes + line, '\n', end - line)) - bytes);
                sink (bytes + line, lineEnd - line);
                line = lineEnd + 1;
            }

            return;
        }

        auto& stalled = writer.standardErrorDropped;

        if (stalled > 0 && writeDebugLines ("", 0, 0) == DebugOutputStatus::written)
            writeCountLine (std::exchange (stalled, 0), " (standard error did not take them)", true);

        if (stalled > 0 || writeDebugLines (bytes + start, end - start, standardErrorWaitMs) == DebugOutputStatus::stalled)
            stalled += (std::uint64_t) std::count (bytes + start, bytes + end, '\n');

        if (debugOutputJustClosed())
            tbLogger.logLine ("Standard error is closed: lines no longer go there");
    }

    BackgroundWriter& writer;
    // The file takes it in one write; standard error in pieces.
    char* bytes;
    std::size_t room;
    std::size_t used = 0;
    int lines = 0;
    std::uint64_t missed = 0;
};

BackgroundWriter::~BackgroundWriter()
{
    // At the process's end the thread may be gone or stuck: never terminate for it.
    if (thread.joinable())
        thread.detach();
}

bool BackgroundWriter::start() noexcept
{
    if (running.load() || ! finished.load())
        return running.load();

    cursor = lineRing.cursorAtHead (roundsForAStoppedLine, true);
    position = cursor.next;
    finished = false;
    running = true;

    try
    {
        thread = std::thread ([this] { run(); });
        return true;
    }
    catch (...) // no thread: the lines stay with their callers
    {
        running = false;
        finished = true;
        return false;
    }
}

void BackgroundWriter::run() noexcept
{
    blockBrokenPipeSignal();
    RingPages pages;
    int idleRounds = 0;
    auto offsetRefreshed = steady_clock::now();

    while (running.load())
    {
        heartbeat.fetch_add (1, std::memory_order_relaxed);

        // Off the audio threads: the zone lookup takes the C library's lock.
        if (const auto now = steady_clock::now(); now - offsetRefreshed > seconds (1))
        {
            refreshLocalTimeOffset();
            offsetRefreshed = now;
        }

        // The trace's events after the lines, each with a cursor of its own.
        const auto done = drain (maxLinesPerRound) + traceFile.writePending (maxEventsPerRound)
                        + recordFile.writePending (maxEventsPerRound);
        pages.touchSome();

        if (done > 0)
        {
            idleRounds = 0;
            continue;
        }

        // Soon after lines, and less often when the calls have gone quiet.
        std::this_thread::sleep_for (++idleRounds < 100 ? milliseconds (1) : milliseconds (4));
    }

    finished = true;
}

int BackgroundWriter::drain (int maxLines) noexcept
{
    if (draining.exchange (true, std::memory_order_acquire))
        return 0;

    const auto waiting = lineRing.written() - cursor.next;

    if (waiting > highWater.load (std::memory_order_relaxed))
        highWater.store (std::min (waiting, (std::uint64_t) LineRing::numSlots), std::memory_order_relaxed);

    char bytes[64 * 1024];
    Batch batch (*this, bytes, sizeof (bytes));
    auto handed = lineRing.read (cursor, batch, maxLines);
    batch.flush();
    position.store (cursor.next, std::memory_order_release);
    draining.store (false, std::memory_order_release);

    if (batch.missed > 0)
    {
        dropped.fetch_add (batch.missed, std::memory_order_relaxed);
        writeCountLine (batch.missed, "", false);
        ++handed;
    }

    return handed;
}

void BackgroundWriter::waitForTheThread() noexcept
{
    auto lastBeat = heartbeat.load();
    auto since = steady_clock::now();

    while (! finished.load())
    {
        std::this_thread::sleep_for (microseconds (500));

        if (const auto beat = heartbeat.load(); beat != lastBeat)
        {
            lastBeat = beat;
            since = steady_clock::now();
        }
        else if (steady_clock::now() - since > givenUpAfter || threadHasEnded (thread))
        {
            thread.detach();
            return;
        }
    }

    thread.join();
}

void BackgroundWriter::stop() noexcept
{
    if (! running.exchange (false))
        return;

    if (thread.joinable())
        waitForTheThread();

    // After a crash report the process went on: the report wrote what the
    // writer held, and every line since went out with its own thread.
    if (takenOver.exchange (false))
    {
        draining.store (false, std::memory_order_release);
        return;
    }

    // Lines that found the writer running are in the ring, or about to be.
    tbLogger.waitForLinesForWriter();
    cursor.wait.patience = 8;

    for (int round = 0; round < 400 && lineRing.written() > cursor.next; ++round)
        if (drain (LineRing::numSlots) == 0)
            std::this_thread::yield();

    // The trace file writes what is left at its own finish, or at the next
    // start; a recording ends here where the host exits without Close.
    traceFile.writePending (TraceRing::numSlots);
    recordFile.writePending (1 << 30);
}

void BackgroundWriter::writeOutForCrash() noexcept
{
    // From now on the threads that make lines write them. The writer's
    // thread stays, idle: a thread that ends during a crash changes how the
    // process ends on some systems (Wine's exit status, for one).
    if (! running.load() || takenOver.exchange (true))
        return;

    // The writer's own round ends within a batch; a writer that is itself
    // the crashing thread, or stuck, is not waited for beyond a second.
    bool mine = false;

    for (int i = 0; i < 1000 && ! (mine = ! draining.exchange (true, std::memory_order_acquire)); ++i)
        std::this_thread::sleep_for (milliseconds (1));

    if (! mine)
        return;

    tbLogger.waitForLinesForWriter();
    cursor.wait.patience = 8;

    // Off the stack: a signal's stack is small. The drain stays taken.
    static char bytes[16 * 1024];
    Batch batch (*this, bytes, sizeof (bytes));
    lineRing.read (cursor, batch, LineRing::numSlots);
    batch.flush();
    position.store (cursor.next, std::memory_order_release);

    if (batch.missed > 0)
        writeCountLine (batch.missed, "", false);
}

BackgroundWriter::Figures BackgroundWriter::getFigures() const noexcept
{
    return { written.load (std::memory_order_relaxed), dropped.load (std::memory_order_relaxed),
             highWater.load (std::memory_order_relaxed) };
}

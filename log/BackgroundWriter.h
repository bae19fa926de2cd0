// The background writer: a thread of Tattlebox's own, from start-up to
// Close, that takes the finished lines out of the Log page's ring and
// writes them to the debug-output channel and the log file. The threads that
// make the calls then only copy their line into the ring: no system call, no
// lock, no wait, however slow the disk or the reader of standard error.
//
// When the writer falls a whole ring (4096 lines) behind, the lines it could
// not read are dropped, and the sinks get a line that says exactly how many:
// "N lines dropped by the background writer". A reader of standard error
// that stops taking lines (a full pipe, a stopped terminal) loses its lines
// alone, counted the same way once it takes lines again; the file goes on.
//
// Its rounds also write the trace file's events (TraceFile.h), from a ring
// and a cursor of their own.
#pragma once

#include "LineRing.h"

#include <atomic>
#include <cstdint>
#include <thread>

class BackgroundWriter
{
public:
    BackgroundWriter() noexcept = default;
    ~BackgroundWriter();

    // [start-up] or [message] Starts the thread unless it runs; false where
    // no thread could be made (the lines are then written synchronously).
    bool start() noexcept;

    // [shut-down], [message] or [load/unload] Every line made before is
    // written out, then the thread ends. Bounded: a thread ended by the
    // system at exit, or stuck in one write for 2 s, is left.
    void stop() noexcept;

    // [signal handlers] A crash: everything queued is written out by the
    // calling thread, and from then on each line by the thread that makes
    // it. Plain writes only; the writer's thread is not waited for beyond a
    // second, and stays until stop.
    void writeOutForCrash() noexcept;

    // [any thread, realtime] Whether new lines are left to the writer.
    bool isRunning() const noexcept { return running.load() && ! takenOver.load(); }

    struct Figures
    {
        std::uint64_t written = 0;   // lines written out
        std::uint64_t dropped = 0;   // lines the writer fell too far behind to read
        std::uint64_t highWater = 0; // most lines waiting at once
    };

    // [any thread]
    Figures getFigures() const noexcept;
    // [any thread] Lines in the ring the writer has not come to yet.
    std::uint64_t backlog() const noexcept { return lineRing.written() - position.load (std::memory_order_acquire); }

private:
    struct Batch;

    void run() noexcept;
    int drain (int maxLines) noexcept;
    void waitForTheThread() noexcept;

    std::thread thread;
    std::atomic<bool> running { false };
    std::atomic<bool> finished { true };
    std::atomic<bool> draining { false };
    std::atomic<bool> takenOver { false }; // by a crash report
    std::atomic<std::uint64_t> heartbeat { 0 };
    LineRing::Cursor cursor;
    std::atomic<std::uint64_t> position { 0 }; // the cursor's, for other threads

    std::atomic<std::uint64_t> written { 0 };
    std::atomic<std::uint64_t> dropped { 0 };
    std::atomic<std::uint64_t> highWater { 0 };
    std::uint64_t standardErrorDropped = 0; // the writer's thread only

    BackgroundWriter (const BackgroundWriter&) = delete;
    BackgroundWriter& operator= (const BackgroundWriter&) = delete;
};

// The one writer of this library.
extern BackgroundWriter backgroundWriter;

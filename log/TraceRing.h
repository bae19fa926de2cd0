// The timed calls on their way to the trace file: a bounded ring of
// fixed-size binary records in static storage. Any number of threads push
// into it from the call paths (no lock, no allocation, no system call); the
// background writer alone reads it and formats the events. A writer that
// falls a whole ring behind loses the oldest records and counts them.
#pragma once

#include "RingWait.h"

#include <atomic>
#include <cstdint>

// One timed call. entry is the call's entry in the shards (CallStatistics.h).
struct TraceRecord
{
    std::uint64_t started = 0, ended = 0; // monotonic clock readings
    std::int64_t value = 0, result = 0;
    std::int32_t entry = 0;
    std::int32_t index = 0;               // for a block: its sampleFrames
    std::uint32_t threadId = 0;
    float load = -1.0f;                   // a block's time against its budget; < 0: unknown
};

class TraceRing
{
public:
    static constexpr int numSlots = 8192;

    TraceRing() noexcept = default;

    // [any thread, realtime]
    void push (const TraceRecord& record) noexcept;

    // Where the reader stands; a record still being written is waited for
    // `patience` reads in a row while later ones are complete.
    struct Cursor
    {
        std::uint64_t next = 0;
        RingWait wait { 0, 0, 100 };
    };

    // [any thread] One reader at a time per cursor: up to maxRecords into
    // records, oldest first. missed grows by the records lost on the way.
    int read (Cursor& cursor, TraceRecord* records, int maxRecords, std::uint64_t& missed) noexcept;

    // [any thread] A cursor that reads only what comes next.
    Cursor cursorAtHead() const noexcept;
    std::uint64_t pushed() const noexcept { return head.load (std::memory_order_acquire); }

    // [any thread] Every page of the ring in memory (RingWait.h): the background writer does it.
    void touchPages() noexcept { touchSlotPages (slots); }

private:
    static constexpr int wordsPerRecord = 6;

    // Stamps as in LineRing: 2t + 1 while ticket t writes, 2t + 2 once complete.
    struct Slot
    {
        std::atomic<std::uint64_t> stamp { 0 };
        std::atomic<std::uint64_t> words[wordsPerRecord] {};
    };

    bool copyOut (const Slot& slot, std::uint64_t ticket, TraceRecord& record) const noexcept;

    alignas (64) std::atomic<std::uint64_t> head { 0 };
    Slot slots[numSlots];
};

// The one ring the trace goes through.
extern TraceRing traceRing;

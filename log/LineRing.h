// The written lines on their way to the control window's Log page: a bounded
// ring in static storage that any number of threads write into and the
// message thread reads from. Writing takes no lock, allocates nothing and
// never waits; when the reader falls behind, the oldest lines are overwritten
// and the reader counts exactly how many it missed. A line is either read
// whole or counted missed: never torn, never mixed with another.
#pragma once

#include "RingWait.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

class LineRing
{
public:
    static constexpr int numSlots = 4096;        // lines the reader may fall behind by
    static constexpr int maxLineBytes = 1023;     // the logger's line limit

    LineRing() noexcept = default;

    // [any thread, realtime] One line, without its line feed; longer ones are
    // cut. forWriter: the background writer still has to write it out.
    void push (const char* text, std::size_t length, bool forWriter = false) noexcept;

    // What read hands over: one line at a time, or how many were lost.
    struct Reader
    {
        virtual ~Reader() = default;
        virtual void lineRead (const char* text, std::size_t length) = 0;
        virtual void linesMissed (std::uint64_t count) = 0;
    };

    // Where one reader stands. A line still being written is waited for
    // `patience` reads in a row while later lines are complete; after that
    // its writer counts as stopped on its way, and the line as missed.
    struct Cursor
    {
        std::uint64_t next = 0;       // the next ticket to read
        RingWait wait;
        bool writerOnly = false;      // only the lines pushed for the writer
    };

    // [message] Hands over every line written since the last call, oldest
    // first, up to maxLines of them (the rest wait for the next call); a line
    // still being written waits too. Returns the number of lines handed over.
    int read (Reader& reader, int maxLines) noexcept { return read (pageCursor, reader, maxLines); }
    // The same for a reader of its own, one thread at a time per cursor.
    int read (Cursor& cursor, Reader& reader, int maxLines) noexcept;

    // [message] Lines written so far, and those still waiting to be read.
    std::uint64_t written() const noexcept { return head.load (std::memory_order_acquire); }
    std::uint64_t waiting() const noexcept { return written() - pageCursor.next; }

    // [message] The reader starts over at what the ring still holds.
    void restartReader() noexcept;
    // [any thread] A cursor at the ring's head: it reads only what comes next.
    Cursor cursorAtHead (int patience, bool writerOnly) const noexcept;

    // [any thread] The pages of the slots of `number` tickets from `first` on
    // in memory (RingWait.h): the background writer's first rounds do it.
    void touchPages (std::uint64_t first = 0, std::size_t number = numSlots) noexcept { touchSlotPages (slots, first, number); }

private:
    static constexpr int wordsPerSlot = (maxLineBytes + 1 + 7) / 8;

    // A slot's stamp is 2t + 1 while ticket t writes it and 2t + 2 once that
    // line is complete: even stamps are readable, and a later ticket always
    // has a higher one. Each slot starts a cache line, so that a usual line
    // spans two of them, whichever slot it lands in.
    struct alignas (64) Slot
    {
        std::atomic<std::uint64_t> stamp { 0 };
        std::atomic<std::uint32_t> length { 0 };
        std::atomic<std::uint64_t> words[wordsPerSlot] {};
    };

    bool claim (Slot& slot, std::uint64_t ticket) noexcept;
    static void prefetchForWriting (const Slot& slot) noexcept;
    // The stamp and a typical line's words.
    static constexpr int prefetchedBytes = 192;
    bool copyOut (const Slot& slot, std::uint64_t ticket, char* text, std::size_t& length) const noexcept;

    // A slot's length carries this bit while the writer still has to write it.
    static constexpr std::uint32_t forWriterBit = 0x80000000u;

    alignas (64) std::atomic<std::uint64_t> head { 0 }; // the next ticket
    // The Log page's (message thread only); all zero, so that the ring takes
    // no room in the library file.
    alignas (64) Cursor pageCursor {};
    Slot slots[numSlots];
};

// The one ring every written line goes to.
extern LineRing lineRing;

// The written lines on their way to the control window's Log page: a bounded
// ring in static storage that any number of threads write into and the
// message thread reads from. Writing takes no lock, allocates nothing and
// never waits; when the reader falls behind, the oldest lines are overwritten
// and the reader counts exactly how many it missed. A line is either read
// whole or counted missed: never torn, never mixed with another.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

class LineRing
{
public:
    static constexpr int numSlots = 4096;        // lines the reader may fall behind by
    static constexpr int maxLineBytes = 1023;     // the logger's line limit

    LineRing() noexcept = default;

    // [any thread, realtime] One line, without its line feed; longer ones are cut.
    void push (const char* text, std::size_t length) noexcept;

    // What read hands over: one line at a time, or how many were lost.
    struct Reader
    {
        virtual ~Reader() = default;
        virtual void lineRead (const char* text, std::size_t length) = 0;
        virtual void linesMissed (std::uint64_t count) = 0;
    };

    // [message] Hands over every line written since the last call, oldest
    // first, up to maxLines of them (the rest wait for the next call); a line
    // still being written waits too. Returns the number of lines handed over.
    int read (Reader& reader, int maxLines) noexcept;

    // [message] Lines written so far, and those still waiting to be read.
    std::uint64_t written() const noexcept { return head.load (std::memory_order_acquire); }
    std::uint64_t waiting() const noexcept { return written() - next; }

    // [message] The reader starts over at what the ring still holds.
    void restartReader() noexcept;

private:
    static constexpr int wordsPerSlot = (maxLineBytes + 1 + 7) / 8;

    // A slot's stamp is 2t + 1 while ticket t writes it and 2t + 2 once that
    // line is complete: even stamps are readable, and a later ticket always
    // has a higher one.
    struct Slot
    {
        std::atomic<std::uint64_t> stamp { 0 };
        std::atomic<std::uint32_t> length { 0 };
        std::atomic<std::uint64_t> words[wordsPerSlot] {};
    };

    bool claim (Slot& slot, std::uint64_t ticket) noexcept;
    bool copyOut (const Slot& slot, std::uint64_t ticket, char* text, std::size_t& length) const noexcept;

    alignas (64) std::atomic<std::uint64_t> head { 0 }; // the next ticket
    alignas (64) std::uint64_t next = 0;               // the reader's next ticket (message thread only)
    // One more than a ticket the last read found unfinished (0: none); all
    // zero, so that the ring takes no room in the library file.
    std::uint64_t waitedFor = 0;
    Slot slots[numSlots];
};

// The one ring every written line goes to.
extern LineRing lineRing;

#include "LineRing.h"
#include "../platform/StaticOrder.h"

#include <algorithm>
#include <cstring>
#include <utility>

LineRing lineRing;

namespace
{
    constexpr auto relaxed = std::memory_order_relaxed;
}

// A newer ticket may already hold the slot (the ring went round while this
// writer was on its way): its line is the one to keep, and this one counts as
// missed. An older writer still copying is not waited for either: the line
// it leaves is as good as lost, because the ring has already gone round.
bool LineRing::claim (Slot& slot, std::uint64_t ticket) noexcept
{
    const auto writing = 2 * ticket + 1;
    auto current = slot.stamp.load (relaxed);

    while (current < writing && (current & 1) == 0)
        if (slot.stamp.compare_exchange_weak (current, writing, std::memory_order_acquire, relaxed))
            return true;

    return false;
}

void LineRing::push (const char* text, std::size_t length, bool forWriter) noexcept
{
    const auto ticket = head.fetch_add (1, relaxed);
    auto& slot = slots[ticket % numSlots];

    if (! claim (slot, ticket))
        return;

    length = std::min (length, (std::size_t) maxLineBytes);

    // Every byte goes in through an atomic word, so that a reader racing
    // this writer reads garbage it then throws away, never undefined
    // behaviour. Release stores (plain moves on x86): a reader that sees one
    // of them also sees the claim before it, and so rejects the line.
    const auto wholeWords = length / 8;

    for (std::size_t i = 0; i < wholeWords; ++i)
    {
        std::uint64_t word;
        std::memcpy (&word, text + 8 * i, 8); // a plain load, not a call
        slot.words[i].store (word, std::memory_order_release);
    }

    // The last bytes gathered in a register, in memory order (little-endian):
    // copied through memory, the word's load would wait for the bytes' stores.
    if (const auto rest = length % 8)
    {
        std::uint64_t word = 0;

        for (std::size_t i = rest; i-- > 0;)
            word = (word << 8) | (unsigned char) text[8 * wholeWords + i];

        slot.words[wholeWords].store (word, std::memory_order_release);
    }

    slot.length.store ((std::uint32_t) length | (forWriter ? forWriterBit : 0), std::memory_order_release);
    slot.stamp.store (2 * ticket + 2, std::memory_order_release);

    // The ring is larger than a core's cache: the next slot was last touched
    // a whole ring ago. Asked for now, with the intent to write, it is at hand
    // when the next line comes, rather than the claim waiting for it.
    prefetchForWriting (slots[(ticket + 1) % numSlots]);
}

// PREFETCHW: every x86-64 processor either has it or runs it as a no-op.
__attribute__ ((target ("prfchw"))) void LineRing::prefetchForWriting (const Slot& slot) noexcept
{
    const auto* bytes = reinterpret_cast<const char*> (&slot);

    for (int offset = 0; offset < prefetchedBytes; offset += 64)
        __builtin_prefetch (bytes + offset, 1, 3);
}

bool LineRing::copyOut (const Slot& slot, std::uint64_t ticket, char* text, std::size_t& length) const noexcept
{
    length = std::min ((std::size_t) (slot.length.load (std::memory_order_acquire) & ~forWriterBit), (std::size_t) maxLineBytes);

    for (std::size_t offset = 0; offset < length; offset += 8)
    {
        const auto word = slot.words[offset / 8].load (std::memory_order_acquire);
        std::memcpy (text + offset, &word, std::min ((std::size_t) 8, length - offset));
    }

    // Acquire loads above keep this one after them: a writer that claimed
    // the slot meanwhile changed the stamp first.
    return slot.stamp.load (relaxed) == 2 * ticket + 2;
}

int LineRing::read (Cursor& cursor, Reader& reader, int maxLines) noexcept
{
    auto& next = cursor.next;
    const auto end = head.load (std::memory_order_acquire);

    // Whatever the ring has gone round on since is gone.
    if (end - next > (std::uint64_t) numSlots)
    {
        reader.linesMissed (end - numSlots - next);
        next = end - numSlots;
    }

    int handed = 0;
    std::uint64_t missed = 0;
    char text[maxLineBytes + 8];

    for (; next < end && handed < maxLines; ++next)
    {
        const auto& slot = slots[next % numSlots];
        const auto stamp = slot.stamp.load (std::memory_order_acquire);

        const auto verdict = cursor.wait.judge (stamp, next, end);

        if (verdict == RingWait::waitForIt)
            break;

        if (verdict == RingWait::missedIt)
        {
            ++missed;
            continue;
        }

        if (cursor.writerOnly && stamp == 2 * next + 2
              && (slot.length.load (std::memory_order_acquire) & forWriterBit) == 0)
            continue; // written out by its own thread already

        std::size_t length = 0;

        if (stamp == 2 * next + 2 && copyOut (slot, next, text, length))
        {
            if (missed > 0)
                reader.linesMissed (std::exchange (missed, 0));

            reader.lineRead (text, length);
            ++handed;
        }
        else
        {
            ++missed; // a later line took the slot, before or while it was read
        }
    }

    if (missed > 0)
        reader.linesMissed (missed);

    return handed;
}

void LineRing::restartReader() noexcept
{
    const auto end = head.load (std::memory_order_acquire);
    pageCursor.next = end > (std::uint64_t) numSlots ? end - numSlots : 0;
}

LineRing::Cursor LineRing::cursorAtHead (int patience, bool writerOnly) const noexcept
{
    Cursor cursor;
    cursor.next = head.load (std::memory_order_acquire);
    cursor.wait.patience = patience;
    cursor.writerOnly = writerOnly;
    return cursor;
}

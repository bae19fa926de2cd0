// What the readers of the rings (lines, trace records) do with an entry
// still being written: wait for it `patience` reads in a row while later
// entries are complete, then count it missed, its writer taken as stopped on
// its way. And the bit copies their entries' words are made of.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

struct RingWait
{
    std::uint64_t waitedFor = 0; // one more than the ticket waited for (0: none)
    int roundsWaited = 0;
    int patience = 0;            // 0 counts as 1: all zero, a reader takes no room in the library file

    // [any thread] Ticket `next` is unfinished, the ring's head at `end`:
    // true to end this read and wait, false to count it missed.
    bool waitsFor (std::uint64_t next, std::uint64_t end) noexcept
    {
        if (next + 1 != waitedFor)
        {
            waitedFor = next + 1;
            roundsWaited = 1;
            return true;
        }

        if (next + 1 == end || roundsWaited < std::max (patience, 1))
        {
            ++roundsWaited;
            return true;
        }

        return false;
    }

    enum Verdict { complete, waitForIt, missedIt };

    // [any thread] What a reader does with ticket `next`, whose slot's stamp
    // (2t + 2 once ticket t is complete) reads `stamp`.
    Verdict judge (std::uint64_t stamp, std::uint64_t next, std::uint64_t end) noexcept
    {
        if (stamp >= 2 * next + 2)
            return complete;

        return waitsFor (next, end) ? waitForIt : missedIt;
    }
};

// [any thread] Brings the pages of `number` slots of a ring into memory, from
// ticket `first` on: an untouched page of static storage costs its first
// writer a page fault, an audio thread's microseconds. Adding 0 to each stamp
// writes it without changing it, so that a line written meanwhile loses
// nothing. Every page holds a stamp (slots are smaller than a page) but
// perhaps the last, which the last slot's last word is on.
template <typename Slot, std::size_t count>
void touchSlotPages (Slot (&slots)[count], std::uint64_t first = 0, std::size_t number = count) noexcept
{
    static_assert (sizeof (Slot) <= 4096, "a stamp on every page");

    for (std::size_t i = 0; i < number; ++i)
    {
        auto& slot = slots[(first + i) % count];
        slot.stamp.fetch_add (0, std::memory_order_relaxed);

        if (&slot == &slots[count - 1])
            slot.words[sizeof (slot.words) / sizeof (slot.words[0]) - 1].fetch_add (0, std::memory_order_relaxed);
    }
}

// [any thread, realtime] The same bits as another type of the same size.
template <typename To, typename From>
To bitCopy (const From& value) noexcept
{
    static_assert (sizeof (To) == sizeof (From), "same size");
    To result;
    std::memcpy (&result, &value, sizeof (To));
    return result;
}

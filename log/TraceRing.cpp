#include "TraceRing.h"

#include <cstring>

TraceRing traceRing;

namespace
{
    constexpr auto relaxed = std::memory_order_relaxed;

    std::uint64_t pack (std::uint32_t high, std::uint32_t low) noexcept
    {
        return ((std::uint64_t) high << 32) | low;
    }

}

void TraceRing::push (const TraceRecord& record) noexcept
{
    const auto ticket = head.fetch_add (1, relaxed);
    auto& slot = slots[ticket % numSlots];
    const auto writing = 2 * ticket + 1;
    auto current = slot.stamp.load (relaxed);

    // A newer ticket holds the slot, or an older writer is still in it: this
    // record is the one lost (the reader counts it).
    do
    {
        if (current >= writing || (current & 1) != 0)
            return;
    }
    while (! slot.stamp.compare_exchange_weak (current, writing, std::memory_order_acquire, relaxed));

    const std::uint64_t words[wordsPerRecord] = {
        record.started, record.ended, (std::uint64_t) record.value, (std::uint64_t) record.result,
        pack ((std::uint32_t) record.entry, (std::uint32_t) record.index),
        pack (record.threadId, bitCopy<std::uint32_t> (record.load))
    };

    for (int i = 0; i < wordsPerRecord; ++i)
        slot.words[i].store (words[i], std::memory_order_release);

    slot.stamp.store (2 * ticket + 2, std::memory_order_release);
}

bool TraceRing::copyOut (const Slot& slot, std::uint64_t ticket, TraceRecord& record) const noexcept
{
    std::uint64_t words[wordsPerRecord];

    for (int i = 0; i < wordsPerRecord; ++i)
        words[i] = slot.words[i].load (std::memory_order_acquire);

    record.started = words[0];
    record.ended = words[1];
    record.value = (std::int64_t) words[2];
    record.result = (std::int64_t) words[3];
    record.entry = (std::int32_t) (words[4] >> 32);
    record.index = (std::int32_t) (std::uint32_t) words[4];
    record.threadId = (std::uint32_t) (words[5] >> 32);
    record.load = bitCopy<float> ((std::uint32_t) words[5]);
    return slot.stamp.load (relaxed) == 2 * ticket + 2;
}

int TraceRing::read (Cursor& cursor, TraceRecord* records, int maxRecords, std::uint64_t& missed) noexcept
{
    auto& next = cursor.next;
    const auto end = head.load (std::memory_order_acquire);

    if (end - next > (std::uint64_t) numSlots)
    {
        missed += end - numSlots - next;
        next = end - numSlots;
    }

    int count = 0;

    for (; next < end && count < maxRecords; ++next)
    {
        const auto& entry = slots[next % numSlots];
        const auto written = entry.stamp.load (std::memory_order_acquire);
        const auto verdict = cursor.wait.judge (written, next, end);

        if (verdict == RingWait::waitForIt)
            break;

        // Missed: its writer stopped on its way, or a later record took the slot.
        if (verdict == RingWait::complete && written == 2 * next + 2 && copyOut (entry, next, records[count]))
            ++count;
        else
            ++missed;
    }

    return count;
}

TraceRing::Cursor TraceRing::cursorAtHead() const noexcept
{
    Cursor cursor;
    cursor.next = head.load (std::memory_order_acquire);
    return cursor;
}

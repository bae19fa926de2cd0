#include "RecordRing.h"

#include <cstdlib>
#include <algorithm>
#include <cstring>

RecordRing::~RecordRing()
{
    std::free (bytes);
}

bool RecordRing::allocate (std::size_t newCapacity) noexcept
{
    if (bytes != nullptr)
        return true;

    // Zeroed: a size word of 0 is what "not yet published" reads as.
    bytes = static_cast<std::uint8_t*> (std::calloc (newCapacity, 1));
    capacity = bytes != nullptr ? newCapacity : 0;

    // Each page written once now, while no other thread has the ring: its
    // first pass then costs the audio threads no page faults (one per few
    // records). Volatile: the compiler knows calloc's bytes are zero already.
    for (std::size_t offset = 0; offset < capacity; offset += 4096)
        static_cast<volatile std::uint8_t*> (bytes)[offset] = 0;

    return bytes != nullptr;
}

std::uint32_t* RecordRing::sizeWordAt (std::uint64_t position) const noexcept
{
    return reinterpret_cast<std::uint32_t*> (bytes + (position & (capacity - 1)));
}

RecordRing::Reservation RecordRing::reserve (std::uint32_t size) noexcept
{
    if (bytes == nullptr || size == 0 || size > capacity)
    {
        lost.fetch_add (1, std::memory_order_relaxed);
        return {};
    }

    auto position = head.load (std::memory_order_relaxed);

    do
    {
        if (position + size - tail.load (std::memory_order_acquire) > capacity)
        {
            lost.fetch_add (1, std::memory_order_relaxed);
            return {};
        }
    }
    while (! head.compare_exchange_weak (position, position + size, std::memory_order_acq_rel, std::memory_order_relaxed));

    return { position, size };
}

void RecordRing::write (const Reservation& room, std::uint32_t offset, const void* data, std::size_t count) noexcept
{
    if (room.size == 0 || count == 0)
        return;

    const auto start = (std::size_t) ((room.position + offset) & (capacity - 1));
    const auto first = std::min (count, capacity - start);
    std::memcpy (bytes + start, data, first);

    if (first < count)
        std::memcpy (bytes, static_cast<const std::uint8_t*> (data) + first, count - first);
}

void RecordRing::publish (const Reservation& room) noexcept
{
    if (room.size != 0)
        __atomic_store_n (sizeWordAt (room.position), room.size, __ATOMIC_RELEASE);
}

bool RecordRing::peek (Span& span) const noexcept
{
    if (bytes == nullptr)
        return false;

    const auto position = tail.load (std::memory_order_relaxed);

    if (position == head.load (std::memory_order_acquire))
        return false;

    const auto size = __atomic_load_n (sizeWordAt (position), __ATOMIC_ACQUIRE);

    if (size == 0)
        return false; // reserved, still being written

    const auto start = (std::size_t) (position & (capacity - 1));
    span.first = bytes + start;
    span.firstSize = std::min ((std::size_t) size, capacity - start);
    span.second = bytes;
    span.secondSize = size - span.firstSize;
    return true;
}

void RecordRing::release (const Span& span) noexcept
{
    // Every byte back to zero: any 8-byte boundary may hold a later record's size word.
    std::memset (const_cast<std::uint8_t*> (span.first), 0, span.firstSize);
    std::memset (bytes, 0, span.secondSize);
    tail.fetch_add (span.size(), std::memory_order_release);
}

// The recording's records on their way to the file: one ring of bytes, made
// when a recording starts, that any number of threads reserve records in
// (one compare-and-swap, a copy, a release store: no lock, no allocation, no
// system call) and the background writer alone empties.
//
// A record's first word, its size, is written last: the reader takes a
// record once that word is non-zero, and zeroes what it took before giving
// the room back, so that old bytes are never read as a new record's size.
// A record that finds no room is not written but counted; the writer puts
// the count into the file, so that a recording never loses calls silently.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

class RecordRing
{
public:
    RecordRing() noexcept = default;
    ~RecordRing();

    // [start-up] capacity: a power of two, at least 64 KiB. False where the memory could not be had.
    bool allocate (std::size_t capacity) noexcept;
    bool isAllocated() const noexcept { return bytes != nullptr; }
    std::size_t getCapacity() const noexcept { return capacity; }

    // Room for one record, to be filled and then published.
    struct Reservation
    {
        std::uint64_t position = 0;
        std::uint32_t size = 0; // 0: no room
    };

    // [any thread, realtime] size: a multiple of 8. No room: size 0, and the record is counted as lost.
    Reservation reserve (std::uint32_t size) noexcept;
    // [any thread, realtime] Bytes at offset within the reservation; offset 0 skips the size word.
    void write (const Reservation& room, std::uint32_t offset, const void* data, std::size_t count) noexcept;
    // [any thread, realtime] Makes the record visible to the reader.
    void publish (const Reservation& room) noexcept;

    // The reader's view of the next record: up to two spans (the ring wraps).
    struct Span
    {
        const std::uint8_t* first = nullptr;
        std::size_t firstSize = 0;
        const std::uint8_t* second = nullptr;
        std::size_t secondSize = 0;
        std::uint32_t size() const noexcept { return (std::uint32_t) (firstSize + secondSize); }
    };

    // [any thread] One reader at a time: the next published record, if any.
    bool peek (Span& span) const noexcept;
    // [any thread] Done with what peek showed.
    void release (const Span& span) noexcept;

    // [any thread] Records with no room since the last call.
    std::uint64_t takeLost() noexcept { return lost.exchange (0, std::memory_order_relaxed); }
    // [any thread] Bytes reserved and not yet released.
    std::uint64_t backlog() const noexcept { return head.load (std::memory_order_acquire) - tail.load (std::memory_order_acquire); }

private:
    std::uint32_t* sizeWordAt (std::uint64_t position) const noexcept;

    std::uint8_t* bytes = nullptr;
    std::size_t capacity = 0;
    alignas (64) std::atomic<std::uint64_t> head { 0 };
    alignas (64) std::atomic<std::uint64_t> tail { 0 };
    std::atomic<std::uint64_t> lost { 0 };

    RecordRing (const RecordRing&) = delete;
    RecordRing& operator= (const RecordRing&) = delete;
};

// CallStatistics: how often each catalogue entry was called and, while calls
// are timed, how long the calls took; for the three process entries also the
// real-time load, each block's time against its share of the sample rate.
//
// Threads that call at once must not fight over one cache line, so every
// figure lives in shards: a thread adds to the shard its id picks, and a
// reader sums the shards. Two threads may still share a shard (more threads
// than shards, ids that collide); every addition is an atomic
// read-modify-write, so counts stay exact even then.
#pragma once

#include "OpCodeCatalogue.h"

#include "../platform/ThreadId.h"

#include <algorithm>
#include <atomic>
#include <cstdint>

namespace callStatistics
{
    constexpr int numEntries = numAEffectFunctions + numDispatcherOpCodes + numAudioMasterOpCodes;
    constexpr int numShards = 32;
    // process, processReplacing and processDoubleReplacing: entries 2, 3 and 6.
    constexpr int numProcessEntries = 3;

    // One entry's figures in one shard.
    struct EntryShard
    {
        std::atomic<std::uint64_t> calls { 0 };
        std::atomic<std::uint64_t> timedCalls { 0 };
        std::atomic<std::uint64_t> totalNanoseconds { 0 };
        std::atomic<std::uint64_t> maxNanoseconds { 0 };
        std::atomic<std::uint64_t> lastNanoseconds { 0 };
        std::atomic<std::uint64_t> lastEnded { 0 };  // clock reading: picks the latest shard
    };

    // One process entry's blocks with a known budget, in one shard.
    struct BlockShard
    {
        std::atomic<std::uint64_t> blocks { 0 };
        std::atomic<std::uint64_t> overruns { 0 };
        std::atomic<std::uint64_t> budgetNanoseconds { 0 };
        std::atomic<std::uint64_t> spentNanoseconds { 0 };
        std::atomic<std::uint64_t> maxLoadMillionths { 0 };
    };

    // Two cache lines apart, against the prefetcher pulling lines in pairs.
    struct alignas (128) Shard
    {
        EntryShard entries[numEntries];
        BlockShard blocks[numProcessEntries];
    };

    extern Shard shards[numShards];

    // The entry's position in a shard: groups one after the other.
    constexpr int entryOf (int group, int index) noexcept
    {
        return index + (group == groupAEffectFunctions ? 0
                      : group == groupDispatcher      ? numAEffectFunctions
                                                      : numAEffectFunctions + numDispatcherOpCodes);
    }

    // [any thread, realtime]
    inline Shard& currentShard() noexcept
    {
        return shards[currentThreadId() / threadIdStep % numShards];
    }

    // [any thread, realtime]
    inline void countCall (int entry) noexcept
    {
        currentShard().entries[entry].calls.fetch_add (1, std::memory_order_relaxed);
    }

    // [any thread, realtime] A call that took from started to ended (clock readings).
    void recordDuration (int entry, std::uint64_t started, std::uint64_t ended) noexcept;
    // [audio] The same for a block of sampleFrames of a process entry, with
    // its load, which it returns (negative where no budget is known).
    double recordBlock (int entry, std::int32_t sampleFrames, std::uint64_t started, std::uint64_t ended) noexcept;

    // The sample rate that block budgets are reckoned with: the one the host
    // set, else the one it answered when asked.
    enum class RateSource { none, set, answered };
    // [any thread, realtime] From SetSampleRate or SetBlockSizeAndSampleRate.
    void noteSampleRateSet (float rate) noexcept;
    // [any thread, realtime] The host's answer to GetSampleRate.
    void noteSampleRateAnswered (std::intptr_t rate) noexcept;
    // [any thread] 0 without a usable rate.
    double getSampleRate() noexcept;
    RateSource getSampleRateSource() noexcept;
    // [start-up] No rate known.
    void forgetSampleRate() noexcept;

    // What a reader sees: the shards summed. [any thread]
    struct EntryTiming
    {
        std::uint64_t timedCalls = 0;
        std::uint64_t totalNanoseconds = 0, maxNanoseconds = 0, lastNanoseconds = 0, lastEnded = 0;

        std::uint64_t averageNanoseconds() const noexcept
        {
            return timedCalls == 0 ? 0 : totalNanoseconds / timedCalls;
        }
    };

    struct BlockLoad
    {
        std::uint64_t blocks = 0, overruns = 0;
        double averageLoad = 0, maxLoad = 0; // 1.0: the whole budget

        bool isKnown() const noexcept { return blocks != 0; }
    };

    std::uint64_t sumCalls (int entry) noexcept;
    // The same by catalogue entry: the group totals "dispatcher" and
    // "audioMaster" are not counted on the call path, where every thread would
    // write the same two counters; they are their group's sum.
    std::uint64_t callsOf (int group, int index) noexcept;
    EntryTiming timingOf (int group, int index) noexcept;
    EntryTiming sumTiming (int entry) noexcept;
    // entry: one of the three process entries; anything else reads as no blocks.
    BlockLoad sumLoad (int entry) noexcept;

    // [message] or [start-up] Counts and timings of entries first to first + count - 1.
    void reset (int first, int count) noexcept;
}

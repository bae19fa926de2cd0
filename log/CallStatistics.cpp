#include "CallStatistics.h"
#include "RingWait.h"

#include <cmath>
#include <cstring>

namespace callStatistics
{
    // Zero-initialised: no construction at load, and pages that are never
    // written stay out of memory.
    Shard shards[numShards];

    namespace
    {
        constexpr auto relaxed = std::memory_order_relaxed;
        constexpr double minSampleRate = 1.0, maxSampleRate = 10.0e6;
        // Loads beyond this are clock readings gone wrong, not blocks.
        constexpr double maxLoad = 1.0e9;

        // Nanoseconds per frame as the bits of a double; 0: no rate.
        std::atomic<std::uint64_t> setNanosecondsPerFrame { 0 };
        std::atomic<std::uint64_t> answeredNanosecondsPerFrame { 0 };


        // A rate that is not a number, below 1 Hz or absurdly high is not one to reckon with.
        void noteRate (std::atomic<std::uint64_t>& target, double rate) noexcept
        {
            if (rate >= minSampleRate && rate <= maxSampleRate)
                target.store (bitCopy<std::uint64_t> (1.0e9 / rate), relaxed);
        }

        double nanosecondsPerFrame() noexcept
        {
            const auto set = setNanosecondsPerFrame.load (relaxed);
            return bitCopy<double> (set != 0 ? set : answeredNanosecondsPerFrame.load (relaxed));
        }

        int blockIndexOf (int entry) noexcept
        {
            switch (entry)
            {
                case functionProcess:                return 0;
                case functionProcessReplacing:       return 1;
                case functionProcessDoubleReplacing: return 2;
                default:                             return -1;
            }
        }

        template <typename... Figures>
        void zero (Figures&... figures) noexcept
        {
            (figures.store (0, relaxed), ...);
        }

        // Only the thread that raises it stores; sharing a shard, the larger still wins.
        void raiseTo (std::atomic<std::uint64_t>& maximum, std::uint64_t value) noexcept
        {
            auto current = maximum.load (relaxed);

            while (value > current && ! maximum.compare_exchange_weak (current, value, relaxed))
            {
            }
        }
    }

    void recordDuration (int entry, std::uint64_t started, std::uint64_t ended) noexcept
    {
        auto& figures = currentShard().entries[entry];
        const auto duration = ended - started;
        figures.timedCalls.fetch_add (1, relaxed);
        figures.totalNanoseconds.fetch_add (duration, relaxed);
        raiseTo (figures.maxNanoseconds, duration);
        figures.lastNanoseconds.store (duration, relaxed);
        figures.lastEnded.store (ended, relaxed);
    }

    double recordBlock (int entry, std::int32_t sampleFrames, std::uint64_t started, std::uint64_t ended) noexcept
    {
        recordDuration (entry, started, ended);

        const auto block = blockIndexOf (entry);
        const auto perFrame = nanosecondsPerFrame();

        if (block < 0 || sampleFrames <= 0 || ! (perFrame > 0.0))
            return -1.0;

        const auto duration = ended - started;
        const auto budget = (double) sampleFrames * perFrame;
        auto& figures = currentShard().blocks[block];
        figures.blocks.fetch_add (1, relaxed);
        figures.budgetNanoseconds.fetch_add ((std::uint64_t) (budget + 0.5), relaxed);
        figures.spentNanoseconds.fetch_add (duration, relaxed);
        const auto load = std::min ((double) duration / budget, maxLoad);
        raiseTo (figures.maxLoadMillionths, (std::uint64_t) (load * 1.0e6 + 0.5));

        if ((double) duration > budget)
            figures.overruns.fetch_add (1, relaxed);

        return load;
    }

    void noteSampleRateSet (float rate) noexcept       { noteRate (setNanosecondsPerFrame, rate); }
    void noteSampleRateAnswered (std::intptr_t rate) noexcept { noteRate (answeredNanosecondsPerFrame, (double) rate); }

    double getSampleRate() noexcept
    {
        const auto perFrame = nanosecondsPerFrame();
        return perFrame > 0.0 ? 1.0e9 / perFrame : 0.0;
    }

    RateSource getSampleRateSource() noexcept
    {
        if (setNanosecondsPerFrame.load (relaxed) != 0)
            return RateSource::set;

        return answeredNanosecondsPerFrame.load (relaxed) != 0 ? RateSource::answered : RateSource::none;
    }

    void forgetSampleRate() noexcept
    {
        setNanosecondsPerFrame.store (0, relaxed);
        answeredNanosecondsPerFrame.store (0, relaxed);
    }

    //==============================================================================
    namespace
    {
        // The group that an entry of the AEffect functions totals (0: none).
        int totalledGroup (int group, int index) noexcept
        {
            if (group != groupAEffectFunctions)
                return 0;

            return index == functionDispatcher ? groupDispatcher
                 : index == functionAudioMaster ? groupAudioMaster : 0;
        }

        void addTiming (EntryTiming& sum, const EntryTiming& part) noexcept
        {
            sum.timedCalls += part.timedCalls;
            sum.totalNanoseconds += part.totalNanoseconds;
            sum.maxNanoseconds = std::max (sum.maxNanoseconds, part.maxNanoseconds);

            if (part.lastEnded > sum.lastEnded)
            {
                sum.lastEnded = part.lastEnded;
                sum.lastNanoseconds = part.lastNanoseconds;
            }
        }
    }

    std::uint64_t sumCalls (int entry) noexcept
    {
        std::uint64_t calls = 0;

        for (auto& shard : shards)
            calls += shard.entries[entry].calls.load (relaxed);

        return calls;
    }

    EntryTiming sumTiming (int entry) noexcept
    {
        EntryTiming timing;

        for (auto& shard : shards)
        {
            const auto& figures = shard.entries[entry];
            EntryTiming part;
            part.timedCalls = figures.timedCalls.load (relaxed);
            part.totalNanoseconds = figures.totalNanoseconds.load (relaxed);
            part.maxNanoseconds = figures.maxNanoseconds.load (relaxed);
            part.lastEnded = figures.lastEnded.load (relaxed);
            part.lastNanoseconds = figures.lastNanoseconds.load (relaxed);
            addTiming (timing, part);
        }

        return timing;
    }

    std::uint64_t callsOf (int group, int index) noexcept
    {
        const auto totalled = totalledGroup (group, index);

        if (totalled == 0)
            return sumCalls (entryOf (group, index));

        std::uint64_t calls = 0;

        for (int i = 0; i < opCodeGroups[totalled].count; ++i)
            calls += sumCalls (entryOf (totalled, i));

        return calls;
    }

    EntryTiming timingOf (int group, int index) noexcept
    {
        const auto totalled = totalledGroup (group, index);

        if (totalled == 0)
            return sumTiming (entryOf (group, index));

        EntryTiming timing;

        for (int i = 0; i < opCodeGroups[totalled].count; ++i)
            addTiming (timing, sumTiming (entryOf (totalled, i)));

        return timing;
    }

    BlockLoad sumLoad (int entry) noexcept
    {
        BlockLoad load;
        const auto block = blockIndexOf (entry);

        if (block < 0)
            return load;

        std::uint64_t budget = 0, spent = 0, maxMillionths = 0;

        for (auto& shard : shards)
        {
            const auto& figures = shard.blocks[block];
            load.blocks += figures.blocks.load (relaxed);
            load.overruns += figures.overruns.load (relaxed);
            budget += figures.budgetNanoseconds.load (relaxed);
            spent += figures.spentNanoseconds.load (relaxed);
            maxMillionths = std::max (maxMillionths, figures.maxLoadMillionths.load (relaxed));
        }

        load.averageLoad = budget != 0 ? (double) spent / (double) budget : 0.0;
        load.maxLoad = (double) maxMillionths / 1.0e6;
        return load;
    }

    void reset (int first, int count) noexcept
    {
        for (auto& shard : shards)
        {
            for (int entry = first; entry < first + count; ++entry)
            {
                auto& f = shard.entries[entry];
                zero (f.calls, f.timedCalls, f.totalNanoseconds, f.maxNanoseconds, f.lastNanoseconds, f.lastEnded);

                if (const auto block = blockIndexOf (entry); block >= 0)
                {
                    auto& b = shard.blocks[block];
                    zero (b.blocks, b.overruns, b.budgetNanoseconds, b.spentNanoseconds, b.maxLoadMillionths);
                }
            }
        }
    }
}

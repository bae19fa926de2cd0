// The texts on the call path: the CRC-32 of a chunk at its hashing bound, in
// bytes per second (against a byte-wise table), and a return line that
// carries the target's name of a parameter, scanned for control characters.
#include "log/StructureDecoder.h"
#include "log/TBLogger.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{
    void discardLine (const char* line, std::size_t length)
    {
        benchmark::DoNotOptimize (line);
        benchmark::DoNotOptimize (length);
    }

    // The classic byte-wise table, for the same chunk in the same run.
    std::uint32_t bytewiseCrc32 (const unsigned char* bytes, std::size_t size)
    {
        static const auto table = []
        {
            std::vector<std::uint32_t> t (256);

            for (std::uint32_t i = 0; i < 256; ++i)
            {
                t[i] = i;

                for (int bit = 0; bit < 8; ++bit)
                    t[i] = (t[i] & 1) != 0 ? 0xedb88320u ^ (t[i] >> 1) : t[i] >> 1;
            }

            return t;
        }();

        std::uint32_t crc = 0xffffffffu;

        for (std::size_t i = 0; i < size; ++i)
            crc = table[(crc ^ bytes[i]) & 0xff] ^ (crc >> 8);

        return ~crc;
    }

    // A chunk at the hashing bound: 16 MiB. Arg 1: the byte-wise table.
    void BM_ChunkCrc32 (benchmark::State& state)
    {
        std::vector<unsigned char> chunk (StructureDecoder::maxBytesHashed);

        for (std::size_t i = 0; i < chunk.size(); ++i)
            chunk[i] = static_cast<unsigned char> (i * 2654435761u >> 24);

        for (auto _ : state)
            benchmark::DoNotOptimize (state.range (0) == 0 ? StructureDecoder::crc32 (chunk.data(), chunk.size())
                                                           : bytewiseCrc32 (chunk.data(), chunk.size()));

        state.SetBytesProcessed (static_cast<std::int64_t> (state.iterations()) * static_cast<std::int64_t> (chunk.size()));
    }

    // GetParamName's return line: "effGetParamName returned name=Feedback Level".
    void BM_ReturnLineWithName (benchmark::State& state)
    {
        tbLogger.initialise ("MyDelay.so");
        tbLogger.setLineSink (discardLine);
        char name[] = "Feedback Level";

        for (auto _ : state)
            tbLogger.logDispatcherReturn (8, name, 0, 3);

        tbLogger.setLineSink (nullptr);
    }
}

BENCHMARK (BM_ChunkCrc32)->ArgName ("bytewise")->Arg (0)->Arg (1)->Unit (benchmark::kMillisecond);
BENCHMARK (BM_ReturnLineWithName);

// What a plug-in that only scales its input gives back for the hosts' test
// signal (tools/tbhost/TestSignal.h), in the layout of their audio dumps.
#pragma once

#include "tools/tbhost/TestSignal.h"

#include <vector>

namespace testsupport
{

// Block after block, within a block output channel after channel: output c
// carries input c % inputs times gains[c].
inline std::vector<float> expectedOutput (int inputs, const std::vector<float>& gains, int blocks,
                                          int blockSize = 512, double rate = 44100.0)
{
    std::vector<std::vector<float>> in ((std::size_t) inputs);

    for (int c = 0; c < inputs; ++c)
    {
        tbhost::TestSignal signal (c);

        for (int i = 0; i < blocks * blockSize; ++i)
            in[(std::size_t) c].push_back (signal.next (rate));
    }

    std::vector<float> out;

    for (int b = 0; b < blocks; ++b)
        for (std::size_t c = 0; c < gains.size(); ++c)
            for (int i = 0; i < blockSize; ++i)
                out.push_back (in[c % (std::size_t) inputs][(std::size_t) (b * blockSize + i)] * gains[c]);

    return out;
}

} // namespace testsupport

// The deterministic input of every run: per channel a sine and a little
// seeded noise, the same for every cycle and every process.
#pragma once

#include <cmath>
#include <cstdint>

namespace tbhost
{

class TestSignal
{
public:
    explicit TestSignal (int channel)
        : frequency (220.0 * (channel + 1)), noiseState (0x9e3779b9u * (std::uint32_t) (channel + 1)) {}

    // Any thread; one call per sample, in order.
    float next (double sampleRate) noexcept
    {
        noiseState = noiseState * 1664525u + 1013904223u;
        const double noise = (double) (noiseState >> 8) / (double) (1u << 24) - 0.5;
        const double phase = 2.0 * 3.14159265358979323846 * frequency * (double) position++ / sampleRate;
        return (float) (0.25 * std::sin (phase) + 0.05 * noise);
    }

private:
    double frequency;
    std::uint32_t noiseState;
    std::int64_t position = 0;
};

} // namespace tbhost

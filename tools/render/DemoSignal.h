#pragma once

#include <cstdint>
#include <random>

namespace olvar::render
{

// The built-in demo: pink noise, a kick-like low tone on every beat and a logarithmic sweep
// from 20 Hz to 20 kHz, in stereo. Generated block by block, so any length costs no memory;
// the same rate and length always give the same samples.
class DemoSignal
{
public:
    DemoSignal (double sampleRate, int64_t lengthInSamples);

    static constexpr int numChannels = 2;

    // Its peak stays below this (-6 dBFS), so settings that raise bands by 6 dB don't clip.
    static constexpr double peakLimit = 0.5;

    int64_t getLength() const { return length; }

    // The next numSamples of both channels; past the end it gives silence.
    void generate (double* const* channels, int numSamples);

private:
    struct PinkNoise
    {
        explicit PinkNoise (uint32_t seed) : random (seed) {}
        double next();

        std::mt19937 random;
        std::uniform_real_distribution<double> white { -1.0, 1.0 };
        double b0 = 0, b1 = 0, b2 = 0, b3 = 0, b4 = 0, b5 = 0, b6 = 0;
    };

    static double kickAt (double seconds);
    double sweepAt (double seconds) const;

    double rate;
    int64_t length;
    int64_t position = 0;

    PinkNoise noise[numChannels] { PinkNoise (1u), PinkNoise (2u) };
    double sweepLow = 20.0, sweepHigh = 20000.0;
};

} // namespace olvar::render

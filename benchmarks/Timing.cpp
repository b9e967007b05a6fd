#include "Timing.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>

namespace olvarbench
{
const std::vector<double>& testSignal (int channel, int numFrames)
{
    static std::vector<double> channels[2];
    auto& signal = channels[channel & 1];

    if ((int) signal.size() != numFrames)
    {
        std::mt19937 random (channel == 0 ? 11u : 23u);
        std::uniform_real_distribution<double> white (-1.0, 1.0);
        signal.assign ((size_t) numFrames, 0.0);
        double pink = 0.0;
        const double twoPi = 6.283185307179586;

        for (int i = 0; i < numFrames; ++i)
        {
            pink = 0.97 * pink + 0.03 * white (random);
            const double t = i / 48000.0;
            signal[(size_t) i] = 0.25 * std::sin (twoPi * (55.0 + 5.0 * channel) * t)
                               + 0.1 * std::sin (twoPi * 6500.0 * t)
                               + 0.8 * pink + 0.05 * white (random);
        }
    }

    return signal;
}

template <typename Sample>
Measurement measureBlocks (int blockSize, const TimingOptions& options,
                           const std::function<void (Sample*, Sample*, int, long)>& process)
{
    const int numFrames = options.framesPerRun - options.framesPerRun % blockSize;
    std::vector<Sample> source[2], work[2];

    for (int channel = 0; channel < 2; ++channel)
    {
        const auto& signal = testSignal (channel, numFrames);
        source[channel].assign (signal.begin(), signal.end());
        work[channel].resize ((size_t) numFrames);
    }

    std::vector<double> perFrame;
    long blockIndex = 0;

    for (int run = 0; run < options.warmUpRuns + options.runs; ++run)
    {
        work[0] = source[0];
        work[1] = source[1];
        Sample* left = work[0].data();
        Sample* right = work[1].data();

        const auto start = std::chrono::steady_clock::now();

        for (int offset = 0; offset < numFrames; offset += blockSize)
            process (left + offset, right + offset, blockSize, blockIndex++);

        const auto end = std::chrono::steady_clock::now();

        if (run >= options.warmUpRuns)
            perFrame.push_back (std::chrono::duration<double, std::nano> (end - start).count() / numFrames);
    }

    std::sort (perFrame.begin(), perFrame.end());
    Measurement m;
    m.minNs = perFrame.front();
    m.medianNs = perFrame[perFrame.size() / 2];
    return m;
}

template Measurement measureBlocks<float> (int, const TimingOptions&, const std::function<void (float*, float*, int, long)>&);
template Measurement measureBlocks<double> (int, const TimingOptions&, const std::function<void (double*, double*, int, long)>&);
} // namespace olvarbench

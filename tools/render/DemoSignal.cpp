#include "DemoSignal.h"

#include <algorithm>
#include <cmath>

namespace olvar::render
{
namespace
{
constexpr double twoPi = 6.283185307179586476925286766559;

// Each part's peak is bounded, and the bounds add up to less than the demo's peak limit.
constexpr double noisePeak = 0.1;
constexpr double kickPeak = 0.2;
constexpr double sweepPeak = 0.15;
static_assert (noisePeak + kickPeak + sweepPeak < DemoSignal::peakLimit);

constexpr double beatSeconds = 0.5; // 120 BPM
constexpr double edgeFadeSeconds = 0.005;
constexpr double sweepFadeSeconds = 0.02;
} // namespace

// Paul Kellet's pink filter: white noise through a few one-pole sections, about -3 dB per
// octave across the audio band. Its RMS from uniform white noise is about 1.75.
double DemoSignal::PinkNoise::next()
{
    const auto w = white (random);
    b0 = 0.99886 * b0 + w * 0.0555179;
    b1 = 0.99332 * b1 + w * 0.0750759;
    b2 = 0.96900 * b2 + w * 0.1538520;
    b3 = 0.86650 * b3 + w * 0.3104856;
    b4 = 0.55000 * b4 + w * 0.5329522;
    b5 = -0.7616 * b5 - w * 0.0168980;
    const auto pink = b0 + b1 + b2 + b3 + b4 + b5 + b6 + w * 0.5362;
    b6 = w * 0.115926;

    // About -30 dBFS RMS, its rare peaks rounded off smoothly at the noise's share of the headroom.
    return noisePeak * std::tanh (pink * 0.018 / noisePeak);
}

DemoSignal::DemoSignal (double sampleRate, int64_t lengthInSamples)
    : rate (sampleRate), length (lengthInSamples)
{
    // Below 44.1 kHz the sweep stops short of the Nyquist frequency instead of aliasing.
    sweepHigh = std::min (20000.0, 0.45 * rate);
}

double DemoSignal::kickAt (double seconds)
{
    const auto t = std::fmod (seconds, beatSeconds);

    // Its frequency glides from 110 Hz down to 55 Hz (55 + 55 e^(-t/20 ms)); this is its integral.
    constexpr double glide = 0.02;
    const auto phase = twoPi * 55.0 * (t + glide * (1.0 - std::exp (-t / glide)));

    const auto envelope = (1.0 - std::exp (-t / 0.002)) * std::exp (-t / 0.18);
    return kickPeak * envelope * std::sin (phase);
}

double DemoSignal::sweepAt (double seconds) const
{
    const auto total = (double) length / rate;
    const auto ratio = sweepHigh / sweepLow;
    const auto phase = twoPi * sweepLow * total / std::log (ratio) * (std::pow (ratio, seconds / total) - 1.0);

    const auto fade = std::clamp (std::min (seconds, total - seconds) / sweepFadeSeconds, 0.0, 1.0);
    return sweepPeak * fade * std::sin (phase);
}

void DemoSignal::generate (double* const* channels, int numSamples)
{
    const auto total = (double) length / rate;

    for (int i = 0; i < numSamples; ++i, ++position)
    {
        if (position >= length)
        {
            for (int channel = 0; channel < numChannels; ++channel)
                channels[channel][i] = 0.0;

            continue;
        }

        const auto seconds = (double) position / rate;
        const auto edge = std::clamp (std::min (seconds, total - seconds) / edgeFadeSeconds, 0.0, 1.0);
        const auto centre = kickAt (seconds) + sweepAt (seconds);

        for (int channel = 0; channel < numChannels; ++channel)
            channels[channel][i] = edge * (centre + noise[channel].next());
    }
}

} // namespace olvar::render

#pragma once

#include <juce_graphics/juce_graphics.h>

#include <array>
#include <vector>

namespace olvar::render
{

// The frequencies the plug-in's bands are built around, marked on the plot and tabulated.
constexpr std::array<double, 5> bandFrequencies { 20.0, 68.0, 128.0, 6000.0, 8000.0 };

// Magnitude response, from an impulse response whose length is a power of two.
class MagnitudeResponse
{
public:
    MagnitudeResponse (const std::vector<float>& impulseResponse, double sampleRate);

    double getNyquist() const { return sampleRate / 2.0; }

    // Gain in dB at frequency (0 < frequency <= Nyquist), interpolated between FFT bins.
    double gainDbAt (double frequency) const;

private:
    double sampleRate, binWidth;
    std::vector<double> binDb;
};

// A log-frequency plot of the response from 20 Hz to Nyquist, with the 0 dB line and the bands.
juce::Image drawResponsePlot (const MagnitudeResponse& response, const juce::String& title);

constexpr int plotWidth = 1200;
constexpr int plotHeight = 700;

} // namespace olvar::render

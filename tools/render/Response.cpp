#include "Response.h"

#include <juce_dsp/juce_dsp.h>

#include <algorithm>
#include <cmath>

namespace olvar::render
{

MagnitudeResponse::MagnitudeResponse (const std::vector<float>& impulseResponse, double rate)
    : sampleRate (rate)
{
    const auto size = impulseResponse.size();
    const auto order = (int) std::lround (std::log2 ((double) size));
    jassert (size > 1 && (size_t) 1 << order == size);

    juce::dsp::FFT fft (order);
    std::vector<float> data (2 * size, 0.0f);
    std::copy (impulseResponse.begin(), impulseResponse.end(), data.begin());
    fft.performFrequencyOnlyForwardTransform (data.data(), true);

    binWidth = sampleRate / (double) size;
    binDb.resize (size / 2 + 1);

    for (size_t bin = 0; bin < binDb.size(); ++bin)
        binDb[bin] = 20.0 * std::log10 (std::max ((double) data[bin], 1.0e-12));
}

double MagnitudeResponse::gainDbAt (double frequency) const
{
    const auto position = std::clamp (frequency / binWidth, 0.0, (double) (binDb.size() - 1));
    const auto below = std::min ((size_t) position, binDb.size() - 2);
    const auto fraction = position - (double) below;
    return binDb[below] + fraction * (binDb[below + 1] - binDb[below]);
}

namespace
{
const juce::Colour background (0xffffffff);
const juce::Colour minorGrid (0xffe6e6e6);
const juce::Colour majorGrid (0xffc4c4c4);
const juce::Colour textColour (0xff303030);
const juce::Colour curveColour (0xff1f5fbf);
const juce::Colour flatColour (0xff707070);
const juce::Colour bandColour (0xffd9731a);

juce::String frequencyLabel (double frequency)
{
    return frequency >= 1000.0 ? juce::String (frequency / 1000.0) + "k" : juce::String ((int) frequency);
}

juce::String bandLabel (double frequency)
{
    return frequency >= 1000.0 ? juce::String (frequency / 1000.0) + " kHz" : juce::String ((int) frequency) + " Hz";
}

juce::String dbLabel (int db)
{
    return db > 0 ? "+" + juce::String (db) : juce::String (db);
}

struct Axes
{
    juce::Rectangle<float> area;
    double lowHz, highHz, lowDb, highDb;

    float x (double frequency) const
    {
        return area.getX() + area.getWidth() * (float) (std::log (frequency / lowHz) / std::log (highHz / lowHz));
    }

    float y (double db) const
    {
        return area.getY() + area.getHeight() * (float) ((highDb - db) / (highDb - lowDb));
    }

    double frequencyAt (float xPosition) const
    {
        return lowHz * std::pow (highHz / lowHz, (double) ((xPosition - area.getX()) / area.getWidth()));
    }
};
} // namespace

juce::Image drawResponsePlot (const MagnitudeResponse& response, const juce::String& title)
{
    juce::Image image (juce::Image::RGB, plotWidth, plotHeight, true, juce::SoftwareImageType());
    juce::Graphics g (image);
    g.fillAll (background);

    const auto area = juce::Rectangle<float> (80.0f, 76.0f, (float) plotWidth - 110.0f, (float) plotHeight - 136.0f);
    const auto lowHz = 20.0, highHz = response.getNyquist();

    // ±15 dB shows the bands' range; a response beyond it widens the axis rather than leave the plot.
    double extreme = 0.0;
    for (auto x = area.getX(); x <= area.getRight(); x += 1.0f)
        extreme = std::max (extreme, std::abs (response.gainDbAt (Axes { area, lowHz, highHz, 0, 1 }.frequencyAt (x))));

    const auto range = std::max (15, 5 * (int) std::ceil (std::min (extreme, 120.0) / 5.0));
    const auto dbStep = range <= 15 ? 3 : range <= 30 ? 6 : range <= 60 ? 10 : 20;
    const Axes axes { area, lowHz, highHz, -(double) range, (double) range };

    g.setColour (textColour);
    g.setFont (juce::Font (18.0f, juce::Font::bold));
    g.drawText (title, 20, 10, plotWidth - 40, 26, juce::Justification::centred);

    // Frequency grid: decades, and their 2 and 5 multiples.
    g.setFont (juce::Font (13.0f));
    for (double decade = 10.0; decade <= highHz; decade *= 10.0)
    {
        for (const auto multiple : { 1.0, 2.0, 5.0 })
        {
            const auto frequency = decade * multiple;

            if (frequency < lowHz || frequency > highHz)
                continue;

            const auto x = axes.x (frequency);
            g.setColour (multiple == 1.0 ? majorGrid : minorGrid);
            g.drawVerticalLine (juce::roundToInt (x), area.getY(), area.getBottom());
            g.setColour (textColour);
            g.drawText (frequencyLabel (frequency), juce::roundToInt (x) - 30, (int) area.getBottom() + 6, 60, 16,
                        juce::Justification::centred);
        }
    }

    for (auto db = -range; db <= range; db += dbStep)
    {
        const auto y = axes.y (db);
        g.setColour (db == 0 ? majorGrid : minorGrid);
        g.drawHorizontalLine (juce::roundToInt (y), area.getX(), area.getRight());
        g.setColour (textColour);
        g.drawText (dbLabel (db), 30, juce::roundToInt (y) - 8, (int) area.getX() - 38, 16, juce::Justification::centredRight);
    }

    g.drawText ("Frequency (Hz)", area.withTop (area.getBottom() + 26).withHeight (18).toNearestInt(), juce::Justification::centred);

    {
        // The gain axis title runs up the left edge.
        juce::Graphics::ScopedSaveState rotated (g);
        const auto centre = area.getCentreY();
        g.addTransform (juce::AffineTransform::rotation (-juce::MathConstants<float>::halfPi, 18.0f, centre));
        g.drawText ("Gain (dB)", juce::Rectangle<float> (18.0f - 60.0f, centre - 9.0f, 120.0f, 18.0f),
                    juce::Justification::centred);
    }

    // The bands, labelled above the plot.
    g.setFont (juce::Font (13.0f, juce::Font::bold));
    for (const auto frequency : bandFrequencies)
    {
        if (frequency > highHz)
            continue;

        const auto x = axes.x (frequency);
        g.setColour (bandColour.withAlpha (0.8f));
        g.drawLine (x, area.getY(), x, area.getBottom(), 1.5f);
        g.setColour (bandColour);
        g.drawText (bandLabel (frequency), juce::roundToInt (x) - 40, (int) area.getY() - 22, 80, 16, juce::Justification::centred);
    }

    {
        juce::Graphics::ScopedSaveState clip (g);
        g.reduceClipRegion (area.toNearestInt());

        const float dashes[] { 8.0f, 5.0f };
        g.setColour (flatColour);
        g.drawDashedLine ({ area.getX(), axes.y (0.0), area.getRight(), axes.y (0.0) }, dashes, 2, 1.5f);

        juce::Path curve;
        for (auto x = area.getX(); x <= area.getRight(); x += 1.0f)
        {
            const auto y = axes.y (response.gainDbAt (axes.frequencyAt (x)));
            const auto point = juce::Point<float> (x, std::clamp (y, area.getY() - 10.0f, area.getBottom() + 10.0f));

            if (x == area.getX())
                curve.startNewSubPath (point);
            else
                curve.lineTo (point);
        }

        g.setColour (curveColour);
        g.strokePath (curve, juce::PathStrokeType (2.5f, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
    }

    g.setColour (majorGrid);
    g.drawRect (area, 1.0f);

    // Legend, bottom right under the axis labels.
    g.setFont (juce::Font (13.0f));
    const auto legendY = (float) plotHeight - 22.0f;
    auto legendX = area.getRight() - 330.0f;

    g.setColour (curveColour);
    g.drawLine (legendX, legendY, legendX + 24.0f, legendY, 2.5f);
    g.setColour (textColour);
    g.drawText ("response", juce::roundToInt (legendX) + 30, juce::roundToInt (legendY) - 8, 80, 16, juce::Justification::centredLeft);

    legendX += 110.0f;
    const float dashes[] { 8.0f, 5.0f };
    g.setColour (flatColour);
    g.drawDashedLine ({ legendX, legendY, legendX + 24.0f, legendY }, dashes, 2, 1.5f);
    g.setColour (textColour);
    g.drawText ("flat (0 dB)", juce::roundToInt (legendX) + 30, juce::roundToInt (legendY) - 8, 80, 16, juce::Justification::centredLeft);

    legendX += 110.0f;
    g.setColour (bandColour);
    g.drawLine (legendX + 12.0f, legendY - 7.0f, legendX + 12.0f, legendY + 7.0f, 1.5f);
    g.setColour (textColour);
    g.drawText ("band frequency", juce::roundToInt (legendX) + 30, juce::roundToInt (legendY) - 8, 100, 16, juce::Justification::centredLeft);

    return image;
}

} // namespace olvar::render

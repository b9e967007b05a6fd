#include "CDSP.h"

#include <cfloat>
#include <cmath>
#include <complex>

// The coefficient arithmetic below is bit-exact by design: every step is rounded to float or
// double exactly where written. Build this file without -ffast-math and with -ffp-contract=off
// so that no step is fused or reordered.

namespace bandDesign
{
    float tanSingle (float x) noexcept
    {
        return static_cast<float> (std::tan (static_cast<double> (x)));
    }

    float exp2Single (float x) noexcept
    {
        return static_cast<float> (std::exp2 (static_cast<double> (x)));
    }

    float pow10Single (float x) noexcept
    {
        return static_cast<float> (std::pow (10.0, static_cast<double> (x)));
    }

    float prewarp (double piFreq, float sampleRate) noexcept
    {
        return tanSingle (static_cast<float> (piFreq / static_cast<double> (sampleRate)));
    }

    float linearGain (float gainDb) noexcept
    {
        return pow10Single (gainDb / 20.0f);
    }

    float qFromBandwidth (double octaves) noexcept
    {
        const float bw = static_cast<float> (octaves);
        const float numerator = exp2Single (1.0f / bw);
        const float denominator = exp2Single (bw) - 1.0f;
        return static_cast<float> (static_cast<double> (numerator) / static_cast<double> (denominator));
    }

    double qFromBandwidthDouble (double octaves) noexcept
    {
        return std::exp2 (1.0 / octaves) / (std::exp2 (octaves) - 1.0);
    }

    BandConstants bandConstants (int band, float sampleRate, double widthOctaves) noexcept
    {
        BandConstants constants;
        constants.k = prewarp (piF[band], sampleRate);

        if (band == band128Hz || band == band8kHz)
            constants.q = qFromBandwidth (widthOctaves);
        else if (band == band68Hz)
            constants.q = q68Hz;
        else if (band == band6kHz)
            constants.q = q6kHz;

        const double w = 2.0 * piF[band] / static_cast<double> (sampleRate);
        constants.centre1 = std::polar (1.0, -w);
        constants.centre2 = std::polar (1.0, -2.0 * w);
        return constants;
    }

    Coefficients peakingFromPrewarp (float k, float gainDb, float q) noexcept
    {
        const float kk = k * k;
        const float v = linearGain (gainDb);

        float alphaN, alphaD;

        if (gainDb < 0.0f)
        {
            alphaN = k / q;
            alphaD = k / (v * q);
        }
        else
        {
            alphaN = k * v / q;
            alphaD = k / q;
        }

        const double d = static_cast<float> (1.0 + alphaD + kk);

        Coefficients c;
        c.b0 = (1.0 + alphaN + kk) / d;
        c.b1 = 2.0 * (kk - 1.0) / d;
        c.b2 = (1.0 - alphaN + kk) / d;
        c.a1 = c.b1;
        c.a2 = (1.0 - alphaD + kk) / d;
        return c;
    }

    Coefficients peakingMixedPrecision (double piFreq, float sampleRate, float gainDb, float q) noexcept
    {
        return peakingFromPrewarp (prewarp (piFreq, sampleRate), gainDb, q);
    }

    Coefficients lowShelfMixedPrecision (float sampleRate, float gainDb) noexcept
    {
        return lowShelfFromPrewarp (prewarp (piF[band20Hz], sampleRate), gainDb);
    }

    Coefficients lowShelfFromPrewarp (float k, float gainDb) noexcept
    {
        const float kk = k * k;
        const float v = linearGain (gainDb);
        const double sqrt2V = std::sqrt (2.0 * v);

        Coefficients c;

        if (gainDb < 0.0f)
        {
            const double d = static_cast<float> (v + sqrt2V * k + kk);
            c.b0 = v * (1.0 + sqrt2 * k + kk) / d;
            c.b1 = 2.0 * v * (kk - 1.0) / d;
            c.b2 = v * (1.0 - sqrt2 * k + kk) / d;
            c.a1 = 2.0 * static_cast<double> (kk - v) / d;
            c.a2 = (v - sqrt2V * k + kk) / d;
        }
        else
        {
            const float vkk = v * kk;
            const double d = static_cast<float> (1.0 + sqrt2 * k + kk);
            c.b0 = (1.0 + sqrt2V * k + vkk) / d;
            c.b1 = 2.0 * (vkk - 1.0) / d;
            c.b2 = (1.0 - sqrt2V * k + vkk) / d;
            c.a1 = 2.0 * (kk - 1.0) / d;
            c.a2 = (1.0 - sqrt2 * k + kk) / d;
        }

        return c;
    }

    Coefficients peakingDouble (double piFreq, double sampleRate, double gainDb, double q) noexcept
    {
        const double k = std::tan (piFreq / sampleRate);
        const double kk = k * k;
        const double v = std::pow (10.0, gainDb / 20.0);

        double alphaN, alphaD;

        if (gainDb < 0.0)
        {
            alphaN = k / q;
            alphaD = k / (v * q);
        }
        else
        {
            alphaN = k * v / q;
            alphaD = k / q;
        }

        const double d = 1.0 + alphaD + kk;

        Coefficients c;
        c.b0 = (1.0 + alphaN + kk) / d;
        c.b1 = 2.0 * (kk - 1.0) / d;
        c.b2 = (1.0 - alphaN + kk) / d;
        c.a1 = c.b1;
        c.a2 = (1.0 - alphaD + kk) / d;
        return c;
    }

    Coefficients lowShelfDouble (double sampleRate, double gainDb) noexcept
    {
        const double k = std::tan (piF[band20Hz] / sampleRate);
        const double kk = k * k;
        const double v = std::pow (10.0, gainDb / 20.0);
        const double sqrt2V = std::sqrt (2.0 * v);

        Coefficients c;

        if (gainDb < 0.0)
        {
            const double d = v + sqrt2V * k + kk;
            c.b0 = v * (1.0 + sqrt2 * k + kk) / d;
            c.b1 = 2.0 * v * (kk - 1.0) / d;
            c.b2 = v * (1.0 - sqrt2 * k + kk) / d;
            c.a1 = 2.0 * (kk - v) / d;
            c.a2 = (v - sqrt2V * k + kk) / d;
        }
        else
        {
            const double vkk = v * kk;
            const double d = 1.0 + sqrt2 * k + kk;
            c.b0 = (1.0 + sqrt2V * k + vkk) / d;
            c.b1 = 2.0 * (vkk - 1.0) / d;
            c.b2 = (1.0 - sqrt2V * k + vkk) / d;
            c.a1 = 2.0 * (kk - 1.0) / d;
            c.a2 = (1.0 - sqrt2 * k + kk) / d;
        }

        return c;
    }

    double peakingGainErrorDb (const Coefficients& c, double piFreq, double sampleRate, double gainDb) noexcept
    {
        const double w = 2.0 * piFreq / sampleRate;
        BandConstants constants;
        constants.centre1 = std::polar (1.0, -w);
        constants.centre2 = std::polar (1.0, -2.0 * w);
        return peakingGainErrorDb (c, constants, gainDb);
    }

    double peakingGainErrorDb (const Coefficients& c, const BandConstants& constants, double gainDb) noexcept
    {
        const std::complex<double> num = c.b0 + c.b1 * constants.centre1 + c.b2 * constants.centre2;
        const std::complex<double> den = 1.0 + c.a1 * constants.centre1 + c.a2 * constants.centre2;
        return 20.0 * std::log10 (std::abs (num) / std::abs (den)) - gainDb;
    }

    double shelfGainErrorDb (const Coefficients& c, double gainDb) noexcept
    {
        const double dc = (c.b0 + c.b1 + c.b2) / (1.0 + c.a1 + c.a2);
        return 20.0 * std::log10 (dc) - gainDb; // a negative DC gain gives NaN: counts as a miss
    }

    double largestPoleMagnitude (const Coefficients& c) noexcept
    {
        const double disc = c.a1 * c.a1 - 4.0 * c.a2;

        if (disc < 0.0)
            return std::sqrt (c.a2); // complex pair: |p|^2 = a2

        // Real roots, formed without cancellation.
        const double q = -0.5 * (c.a1 + std::copysign (std::sqrt (disc), c.a1));

        if (q == 0.0)
            return 0.0;

        return std::fmax (std::fabs (q), std::fabs (c.a2 / q));
    }

    namespace
    {
        bool isMiss (double errorDb, double gainDb) noexcept
        {
            return std::isfinite (gainDb) && ! (std::fabs (errorDb) <= maxGainErrorDb);
        }

        // A NaN design is let through on purpose: the per-section cleaning turns its output into
        // zeros, which is what a NaN control value must produce. Only real instability is refused.
        bool polesAllowed (const Coefficients& c) noexcept
        {
            return ! (largestPoleMagnitude (c) >= 1.0);
        }
    }

    Design designPeaking (int band, double sampleRate, double gainDb, double widthOctaves) noexcept
    {
        const float fs = static_cast<float> (sampleRate);
        return designPeaking (band, bandConstants (band, fs, widthOctaves), fs, gainDb, widthOctaves);
    }

    Design designPeaking (int band, const BandConstants& constants, float sampleRate, double gainDb,
                          double widthOctaves) noexcept
    {
        Design d;
        d.coeffs = peakingFromPrewarp (constants.k, static_cast<float> (gainDb), constants.q);

        // At or above Nyquist the pre-warped design has its poles on or outside the unit circle.
        if (! (2.0 * frequencyHz[band] < static_cast<double> (sampleRate)))
            return d;

        if (isMiss (peakingGainErrorDb (d.coeffs, constants, gainDb), gainDb))
        {
            const bool widthFromBandwidth = (band == band128Hz || band == band8kHz);
            const double qd = widthFromBandwidth ? qFromBandwidthDouble (widthOctaves)
                                                 : static_cast<double> (constants.q);
            d.coeffs = peakingDouble (piF[band], sampleRate, gainDb, qd);
            d.usedDouble = true;
        }

        d.runnable = polesAllowed (d.coeffs);
        return d;
    }

    Design designLowShelf (float sampleRate, float gainDb) noexcept
    {
        return designLowShelf (bandConstants (band20Hz, sampleRate, 0.0), sampleRate, gainDb);
    }

    Design designLowShelf (const BandConstants& constants, float sampleRate, float gainDb) noexcept
    {
        Design d;
        d.coeffs = lowShelfFromPrewarp (constants.k, gainDb);

        if (! (2.0 * frequencyHz[band20Hz] < static_cast<double> (sampleRate)))
            return d;

        // At very high rates K^2 falls below float resolution next to 1 and V, and the shelf
        // loses its DC gain; the same formulas in double keep it.
        if (isMiss (shelfGainErrorDb (d.coeffs, gainDb), gainDb))
        {
            d.coeffs = lowShelfDouble (sampleRate, gainDb);
            d.usedDouble = true;
        }

        d.runnable = polesAllowed (d.coeffs);
        return d;
    }
} // namespace bandDesign

//==============================================================================
namespace
{
    // Keeps normal numbers, turns zero, subnormals, infinities and NaN into +0.
    inline double cleaned (double v) noexcept
    {
        const double a = std::fabs (v);
        return (a >= DBL_MIN && a <= DBL_MAX) ? v : 0.0;
    }
}

CDSP::CDSP() noexcept
{
    reset();
}

void CDSP::clearState() noexcept
{
    for (int c = 0; c < numChannels; ++c)
    {
        for (int s = 0; s < numBands; ++s)
        {
            x1[c][s] = 0.0;
            x2[c][s] = 0.0;
            y1[c][s] = 0.0;
            y2[c][s] = 0.0;
        }
    }
}

void CDSP::reset() noexcept
{
    clearState();

    for (int c = 0; c < numChannels; ++c)
    {
        for (int s = 0; s < numBands; ++s)
        {
            b0[c][s] = 0.0;
            b1[c][s] = 0.0;
            b2[c][s] = 0.0;
            a1[c][s] = 0.0;
            a2[c][s] = 0.0;
            // All-zero coefficients are harmless, so the bands keep their ordinary running rule.
            bandRunnable[c][s] = true;
            bandUsedDouble[c][s] = false;
        }
    }

    prevMain = -1.0;
    prevPitch = -1.0;
    gainsMatchControls = false;
}

void CDSP::storeDesign (int channel, int band, const bandDesign::Design& d) noexcept
{
    b0[channel][band] = d.coeffs.b0;
    b1[channel][band] = d.coeffs.b1;
    b2[channel][band] = d.coeffs.b2;
    a1[channel][band] = d.coeffs.a1;
    a2[channel][band] = d.coeffs.a2;
    bandRunnable[channel][band] = d.runnable;
    bandUsedDouble[channel][band] = d.usedDouble;
}

void CDSP::refreshBandConstants (float sampleRate) noexcept
{
    using namespace bandDesign;
    using olvar::lanes::sameBits;

    if (haveConstants && sameBits (sampleRate, constantsRate)
        && sameBits (width128, constantsWidth128) && sameBits (width8k, constantsWidth8k))
        return;

    // The 20 Hz shelf, 68 Hz and 6 kHz bands take no width.
    constants[band20Hz] = bandConstants (band20Hz, sampleRate, 0.0);
    constants[band128Hz] = bandConstants (band128Hz, sampleRate, width128);
    constants[band8kHz] = bandConstants (band8kHz, sampleRate, width8k);
    constants[band68Hz] = bandConstants (band68Hz, sampleRate, 0.0);
    constants[band6kHz] = bandConstants (band6kHz, sampleRate, 0.0);

    haveConstants = true;
    constantsRate = sampleRate;
    constantsWidth128 = width128;
    constantsWidth8k = width8k;
}

void CDSP::lowshelf (int channel, float sampleRate, float gainDb) noexcept
{
    using namespace bandDesign;

    if (channel < 0 || channel >= numChannels)
        return;

    refreshBandConstants (sampleRate);
    storeDesign (channel, band20Hz, designLowShelf (constants[band20Hz], sampleRate, gainDb));
}

void CDSP::designPeakingBands (int channel, double sampleRate, const double (&gains)[numBands]) noexcept
{
    using namespace bandDesign;
    const float fs = static_cast<float> (sampleRate);
    refreshBandConstants (fs);

    storeDesign (channel, band128Hz, designPeaking (band128Hz, constants[band128Hz], fs, gains[band128Hz], width128));
    storeDesign (channel, band8kHz, designPeaking (band8kHz, constants[band8kHz], fs, gains[band8kHz], width8k));
    storeDesign (channel, band68Hz, designPeaking (band68Hz, constants[band68Hz], fs, gains[band68Hz], 0.0));
    storeDesign (channel, band6kHz, designPeaking (band6kHz, constants[band6kHz], fs, gains[band6kHz], 0.0));
}

double CDSP::runCascade (int c, double x, const double (&gains)[numBands]) noexcept
{
    for (int s = 0; s < numBands; ++s)
    {
        // A band at exactly 0 dB (either sign) is skipped and keeps its state; NaN runs.
        if (gains[s] == 0.0 || ! bandRunnable[c][s])
            continue;

        x = cleaned (x);

        double y = (b2[c][s] * x2[c][s] + (b0[c][s] * x + b1[c][s] * x1[c][s]))
                   - a1[c][s] * y1[c][s] - a2[c][s] * y2[c][s] + bandDesign::sectionBias;

        const double ay = std::fabs (y);

        if (! (ay >= bandDesign::flushLevel && ay <= DBL_MAX))
            y = 0.0;

        x2[c][s] = cleaned (x1[c][s]);
        y2[c][s] = cleaned (y1[c][s]);
        x1[c][s] = x;
        y1[c][s] = y;

        x = y;
    }

    return x;
}

void CDSP::DoProcess (double inL, double inR, double* outL, double* outR, double sampleRate,
                      double main, double pitch, bool silent, bool mono) noexcept
{
    using namespace bandDesign;

    inL = cleaned (inL);
    inR = cleaned (inR);

    if (! silent)
        silenceCleared = false;

    // Gains are formed in locals and published once, so the editor never sees a value
    // before the balance has been applied.
    double gains[numBands];
    gains[band128Hz] = main * 12.0 - 6.0;
    gains[band8kHz] = main * 12.0 - 6.0;
    gains[band68Hz] = main * 10.0 - 5.0;
    gains[band6kHz] = main * 6.0 - 3.0;
    gains[band20Hz] = -std::fabs (main * 16.0 - 8.0);

    if (pitch > 0.5)
    {
        gains[band128Hz] = (1.0 - pitch) * (2.0 * gains[band128Hz]);
        gains[band68Hz] = (1.0 - pitch) * (2.0 * gains[band68Hz]);
    }
    else if (pitch < 0.5)
    {
        gains[band8kHz] = (2.0 * gains[band8kHz]) * pitch;
        gains[band6kHz] = (2.0 * gains[band6kHz]) * pitch;
    }

    gain128.store (gains[band128Hz], std::memory_order_relaxed);
    width128 = defaultWidthOctaves;
    gain8k.store (gains[band8kHz], std::memory_order_relaxed);
    width8k = defaultWidthOctaves;
    gain20 = gains[band20Hz];
    gain68 = gains[band68Hz];
    gain6k = gains[band6kHz];

    // Written as negated equality so that a NaN on either side counts as a change.
    coeffsDirty = ! (main == prevMain) || ! (pitch == prevPitch);
    prevMain = main;
    prevPitch = pitch;

    if (coeffsDirty)
    {
        lowshelf (0, static_cast<float> (sampleRate), static_cast<float> (gains[band20Hz]));
        designPeakingBands (0, sampleRate, gains);
    }

    const double left = runCascade (0, inL, gains);
    *outL = left;

    if (left > maxL)
        maxL = left;

    if (! mono)
    {
        if (coeffsDirty)
        {
            // Channel 1's design has exactly the inputs channel 0's had in this call, and the
            // design is deterministic, so copying gives the same values as recomputing.
            for (int s = 0; s < numBands; ++s)
            {
                b0[1][s] = b0[0][s];
                b1[1][s] = b1[0][s];
                b2[1][s] = b2[0][s];
                a1[1][s] = a1[0][s];
                a2[1][s] = a2[0][s];
                bandRunnable[1][s] = bandRunnable[0][s];
                bandUsedDouble[1][s] = bandUsedDouble[0][s];
            }
        }

        const double right = runCascade (1, inR, gains);
        *outR = right;

        if (right > maxR)
            maxR = right;
    }

    if (silent && ! silenceCleared)
    {
        clearState();
        silenceCleared = true;
    }

    overL = maxL > 1.0 ? 1 : 0;
    overR = maxR > 1.0 ? 1 : 0;
    gainsMatchControls = true;
}

bool CDSP::planSteadyRun (double main, double pitch, bool silent, bool mono, SteadyPlan& plan) const noexcept
{
    using olvar::lanes::isClean;
    using olvar::lanes::sameBits;

    // Bit-identical, non-NaN controls are what DoProcess would find unchanged; the gains it
    // would form from them are the stored ones only when they came from the same call.
    if (! gainsMatchControls || main != main || pitch != pitch
        || ! sameBits (main, prevMain) || ! sameBits (pitch, prevPitch))
        return false;

    if (silent && ! silenceCleared)
        return false;

    const double gains[numBands] = { gain20, gain128.load (std::memory_order_relaxed),
                                     gain8k.load (std::memory_order_relaxed), gain68, gain6k };
    plan.numActive = 0;

    for (int s = 0; s < numBands; ++s)
    {
        const bool runsLeft = ! (gains[s] == 0.0) && bandRunnable[0][s];
        const bool runsRight = ! (gains[s] == 0.0) && bandRunnable[1][s];

        // Both lanes must run the same bands.
        if (! mono && runsLeft != runsRight)
            return false;

        if (! runsLeft)
            continue;

        if (! isClean (x1[0][s]) || ! isClean (y1[0][s]))
            return false;

        if (! mono && (! isClean (x1[1][s]) || ! isClean (y1[1][s])))
            return false;

        plan.band[plan.numActive++] = s;
    }

    return true;
}

#pragma once

#include "StereoLanes.h"

#include <atomic>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <utility>

//==============================================================================
// Coefficient design for the five fixed bands of the equaliser.
//
// Bands are indexed 0..4 in the order the signal passes through them. All
// arrays of the engine are indexed [channel][band] with these indices.
namespace bandDesign
{
    enum BandIndex : int
    {
        band20Hz = 0,   // second-order low shelf
        band128Hz = 1,  // peaking, width from bandwidth
        band8kHz = 2,   // peaking, width from bandwidth
        band68Hz = 3,   // peaking, fixed Q
        band6kHz = 4,   // peaking, fixed Q
        numBands = 5
    };

    inline constexpr double frequencyHz[numBands] = { 20.0, 128.0, 8000.0, 68.0, 6000.0 };

    // pi * f, as double constants.
    inline constexpr double piF[numBands] = { 62.83185307179586, 402.1238596594935,
                                              25132.741228718343, 213.62830044410595,
                                              18849.55592153876 };

    inline constexpr float q68Hz = 9.272281f;
    inline constexpr float q6kHz = 3.9239402f;
    inline constexpr double defaultWidthOctaves = 1.58;

    inline constexpr double sqrt2 = 1.4142135623730951;

    // Added to every section output: the float nearest 1e-20, keeps recursions off denormals.
    inline constexpr double sectionBias = 9.999999682655225e-21;
    // Section outputs smaller than this are stored and passed on as exact zero.
    inline constexpr double flushLevel = 1e-8;

    // A single-precision design that misses its target gain by more than this is redone in double.
    inline constexpr double maxGainErrorDb = 0.5;

    struct Coefficients
    {
        double b0 = 0.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
    };

    struct Design
    {
        Coefficients coeffs;
        bool usedDouble = false; // the single-precision result was too far off and was replaced
        bool runnable = false;   // below Nyquist and not unstable: the band may run
    };

    // Correctly rounded single-precision maths (the double function of the float argument,
    // rounded once), so results do not depend on the quality of the C library's float versions.
    float tanSingle (float x) noexcept;
    float exp2Single (float x) noexcept;
    float pow10Single (float x) noexcept;

    // K = tan (pi f / fs): the quotient formed in double from the float rate, then rounded to float.
    float prewarp (double piFreq, float sampleRate) noexcept;
    // V = 10^(g/20), g/20 formed in float.
    float linearGain (float gainDb) noexcept;
    // Q = 2^(1/bw) / (2^bw - 1) with float powers, quotient in double rounded to float.
    float qFromBandwidth (double octaves) noexcept;
    double qFromBandwidthDouble (double octaves) noexcept;

    // What a band's design takes from the sample rate and its width alone. The engine works
    // these out once per rate, so a control change costs no tangent, power of two or sine.
    struct BandConstants
    {
        float k = 0.0f;                         // prewarp (pi f, fs)
        float q = 0.0f;                         // peaking bands: from the width, or the fixed Q
        std::complex<double> centre1, centre2;  // e^-jw and e^-2jw at the band, w = 2 pi f / fs
    };

    BandConstants bandConstants (int band, float sampleRate, double widthOctaves) noexcept;

    // The mixed single/double-precision designs the sound is defined by, from K.
    Coefficients peakingFromPrewarp (float k, float gainDb, float q) noexcept;
    Coefficients lowShelfFromPrewarp (float k, float gainDb) noexcept;
    Coefficients peakingMixedPrecision (double piFreq, float sampleRate, float gainDb, float q) noexcept;
    Coefficients lowShelfMixedPrecision (float sampleRate, float gainDb) noexcept;

    // The same formulas entirely in double, used where the mixed-precision design fails.
    Coefficients peakingDouble (double piFreq, double sampleRate, double gainDb, double q) noexcept;
    Coefficients lowShelfDouble (double sampleRate, double gainDb) noexcept;

    // Signed error in dB: actual gain at the centre frequency (peaking) or at DC (shelf)
    // minus the intended gain. NaN when the response has the wrong sign at DC.
    double peakingGainErrorDb (const Coefficients& c, double piFreq, double sampleRate, double gainDb) noexcept;
    double peakingGainErrorDb (const Coefficients& c, const BandConstants& constants, double gainDb) noexcept;
    double shelfGainErrorDb (const Coefficients& c, double gainDb) noexcept;

    // Largest magnitude among the roots of z^2 + a1 z + a2.
    double largestPoleMagnitude (const Coefficients& c) noexcept;

    // Full designs as the engine uses them, including the double-precision fallback and the
    // decision whether the band may run at this rate. widthOctaves is used by band128Hz and
    // band8kHz only.
    Design designPeaking (int band, double sampleRate, double gainDb, double widthOctaves) noexcept;
    Design designLowShelf (float sampleRate, float gainDb) noexcept;

    // The same, with the band's constants for (float) sampleRate and widthOctaves already known.
    Design designPeaking (int band, const BandConstants& constants, float sampleRate, double gainDb,
                          double widthOctaves) noexcept;
    Design designLowShelf (const BandConstants& constants, float sampleRate, float gainDb) noexcept;
} // namespace bandDesign

//==============================================================================
// The equaliser engine: band gains, coefficients and filter state of two channels;
// processes one stereo sample frame per call. Runs on the audio thread, so it never
// allocates, locks or throws; coefficients are recomputed only on control changes.
class CDSP
{
public:
    static constexpr int numChannels = 2;
    static constexpr int numBands = bandDesign::numBands;

    CDSP() noexcept;

    void DoProcess (double inL, double inR, double* outL, double* outR, double sampleRate,
                    double main, double pitch, bool silent, bool mono) noexcept;

    // A whole block in place, with exactly the results of one DoProcess call per frame.
    // readControls (double& main, double& pitch) is called once per frame, so a change lands
    // at the next frame. Frames whose controls equal the previous frame's run through a
    // stereo path with the per-frame bookkeeping taken out of the loop.
    template <typename Sample, typename ReadControls>
    void processBlock (Sample* left, Sample* right, int numFrames, double sampleRate,
                       ReadControls&& readControls, bool silent, bool mono) noexcept;

    // Writes the 20 Hz shelf's coefficients of one channel (0 or 1).
    void lowshelf (int channel, float sampleRate, float gainDb) noexcept;

    // Clears filter state and coefficients and forces a recompute on the next call.
    // Maxima, overload flags and the silence latch are kept.
    void reset() noexcept;

    // Band gains in dB after the balance. gain128 and gain8k are polled by the editor
    // from the message thread, hence atomic (relaxed: only a recent value is needed).
    std::atomic<double> gain128 { 0.0 };
    double width128 = bandDesign::defaultWidthOctaves;
    std::atomic<double> gain8k { 0.0 };
    double width8k = bandDesign::defaultWidthOctaves;
    double gain20 = 0.0;
    double gain68 = 0.0;
    double gain6k = 0.0;

    double prevMain = -1.0;
    double prevPitch = -1.0;
    bool coeffsDirty = false;

    // Per-section state, [channel][band].
    double x1[numChannels][numBands] {};
    double x2[numChannels][numBands] {};
    double y1[numChannels][numBands] {};
    double y2[numChannels][numBands] {};

    // Per-section coefficients (a0 == 1), [channel][band].
    double b0[numChannels][numBands] {};
    double b1[numChannels][numBands] {};
    double b2[numChannels][numBands] {};
    double a1[numChannels][numBands] {};
    double a2[numChannels][numBands] {};

    std::int32_t overL = 0;
    std::int32_t overR = 0;
    double maxL = 0.0;  // signed running maxima: negative peaks never raise them
    double maxR = 0.0;

    bool silenceCleared = false;

    // Whether the stored coefficients may run at all, [channel][band]: false for a band at or
    // above half the sample rate, or whose poles are not inside the unit circle. Travels with
    // the coefficients, so a channel left stale by mono calls keeps a matching flag.
    bool bandRunnable[numChannels][numBands] {};
    // The band's coefficients came from the double-precision fallback, [channel][band].
    bool bandUsedDouble[numChannels][numBands] {};

private:
    // The gain fields, prevMain and prevPitch were all written by the same DoProcess call
    // (false after reset, which leaves stale gains behind).
    bool gainsMatchControls = false;

    // The bands a run of unchanged frames uses, in cascade order.
    struct SteadyPlan
    {
        int numActive = 0;
        int band[numBands] {};
    };

    bool planSteadyRun (double main, double pitch, bool silent, bool mono, SteadyPlan& plan) const noexcept;

    template <int numActive, typename Sample>
    void runSteady (const SteadyPlan& plan, Sample* left, Sample* right, int numFrames, bool mono) noexcept;

    // The band constants of the last rate and widths designed for.
    bool haveConstants = false;
    float constantsRate = 0.0f;
    double constantsWidth128 = 0.0;
    double constantsWidth8k = 0.0;
    bandDesign::BandConstants constants[numBands];

    void refreshBandConstants (float sampleRate) noexcept;
    void designPeakingBands (int channel, double sampleRate, const double (&gains)[numBands]) noexcept;
    double runCascade (int channel, double x, const double (&gains)[numBands]) noexcept;
    void storeDesign (int channel, int band, const bandDesign::Design& d) noexcept;
    void clearState() noexcept;
};

static_assert (std::atomic<double>::is_always_lock_free,
               "the editor's gain reads must not take a lock on the audio thread");

//==============================================================================
template <typename Sample, typename ReadControls>
void CDSP::processBlock (Sample* left, Sample* right, int numFrames, double sampleRate,
                         ReadControls&& readControls, bool silent, bool mono) noexcept
{
    // What every DoProcess call would do first; the steady path relies on it being done.
    if (numFrames > 0 && ! silent)
        silenceCleared = false;

    double main = 0.0, pitch = 0.0;
    bool pending = false; // main and pitch already hold the controls of frame i

    for (int i = 0; i < numFrames;)
    {
        if (! pending)
            readControls (main, pitch);

        pending = false;
        SteadyPlan plan;

        if (planSteadyRun (main, pitch, silent, mono, plan))
        {
            // The run lasts while the controls stay bit-identical; each frame's are still read once.
            const double steadyMain = main, steadyPitch = pitch;
            int end = i + 1;

            for (; end < numFrames; ++end)
            {
                readControls (main, pitch);

                if (! olvar::lanes::sameBits (main, steadyMain) || ! olvar::lanes::sameBits (pitch, steadyPitch))
                {
                    pending = true;
                    break;
                }
            }

            Sample* const runLeft = left + i;
            Sample* const runRight = right + i;
            const int runLength = end - i;

            switch (plan.numActive)
            {
                case 0:  runSteady<0> (plan, runLeft, runRight, runLength, mono); break;
                case 1:  runSteady<1> (plan, runLeft, runRight, runLength, mono); break;
                case 2:  runSteady<2> (plan, runLeft, runRight, runLength, mono); break;
                case 3:  runSteady<3> (plan, runLeft, runRight, runLength, mono); break;
                case 4:  runSteady<4> (plan, runLeft, runRight, runLength, mono); break;
                default: runSteady<5> (plan, runLeft, runRight, runLength, mono); break;
            }

            i = end;
            continue;
        }

        // A control change, a first frame after reset, a silence clear or unusual state: the
        // frame goes through DoProcess itself.
        double outL = 0.0, outR = 0.0;
        DoProcess ((double) left[i], (double) right[i], &outL, &outR, sampleRate, main, pitch, silent, mono);
        left[i] = (Sample) outL;

        if (! mono)
            right[i] = (Sample) outR;

        ++i;
    }
}

// A run of frames whose controls equal the previous frame's: the coefficients, gains and running
// bands are then those of the previous frame, so they are loaded once, both channels run in one
// register pair, and the state is written back at the end.
//
// Per band this is runCascade's arithmetic in its order; the input and section-output cleaning
// are masks instead of branches, and the cleaning of x1 and y1 on their way to x2 and y2 is left
// out because planSteadyRun found them clean and the loop only ever stores clean values.
//
// The bands run as a wavefront: in step j band k works on frame j - 2k, whose input band k - 1
// produced two steps earlier. A band still sees its frames in order with its own state, so every
// value is what frame-by-frame processing gives; but the bands of one step do not wait for each
// other, which keeps the cascade's long chain of dependent operations from serialising each frame.
// The skew of two frames gives every band of a step the same frame parity, so the state can
// alternate between two register sets (x1 and x2 swap roles every frame) instead of being copied.
template <int numActive, typename Sample>
void CDSP::runSteady (const SteadyPlan& plan, Sample* left, Sample* right, int numFrames, bool mono) noexcept
{
    using namespace olvar::lanes;
    constexpr std::size_t n = numActive > 0 ? numActive : 1;
    const int other = mono ? 0 : 1; // in mono the second lane only shadows the first

    Pair cb0[n], cb1[n], cb2[n], ca1[n], ca2[n];
    Pair sx1[n], sx2[n], sy1[n], sy2[n];

    for (int k = 0; k < numActive; ++k)
    {
        const int s = plan.band[k];
        cb0[k] = make (b0[0][s], b0[other][s]);
        cb1[k] = make (b1[0][s], b1[other][s]);
        cb2[k] = make (b2[0][s], b2[other][s]);
        ca1[k] = make (a1[0][s], a1[other][s]);
        ca2[k] = make (a2[0][s], a2[other][s]);
        sx1[k] = make (x1[0][s], x1[other][s]);
        sx2[k] = make (x2[0][s], x2[other][s]);
        sy1[k] = make (y1[0][s], y1[other][s]);
        sy2[k] = make (y2[0][s], y2[other][s]);
    }

    const Pair bias = splat (bandDesign::sectionBias);
    const Pair flushLevel = splat (bandDesign::flushLevel);
    const Pair smallestNormal = splat (DBL_MIN);
    Pair maxima = make (maxL, maxR);

    const auto input = [&] (int frame) { return keepInRange (load (left + frame, right + frame), smallestNormal); };

    const auto output = [&] (int frame, Pair x)
    {
        if (mono)
            storeLeft (x, left + frame);
        else
            storeBoth (x, left + frame, right + frame);

        maxima = greaterOf (x, maxima);
    };

    // On even frames sx1/sy1 hold the newest state and sx2/sy2 the older; on odd frames the other
    // way round. The new values overwrite the older pair, which is what the shift would drop.
    const auto section = [&] (int k, Pair x, bool oddFrame)
    {
        Pair& newerX = oddFrame ? sx2[k] : sx1[k];
        Pair& olderX = oddFrame ? sx1[k] : sx2[k];
        Pair& newerY = oddFrame ? sy2[k] : sy1[k];
        Pair& olderY = oddFrame ? sy1[k] : sy2[k];
        Pair y = (cb2[k] * olderX + (cb0[k] * x + cb1[k] * newerX)) - ca1[k] * newerY - ca2[k] * olderY + bias;
        y = keepInRange (y, flushLevel);
        olderX = x;
        olderY = y;
        return y;
    };

    if constexpr (numActive == 0)
    {
        for (int frame = 0; frame < numFrames; ++frame)
            output (frame, input (frame));
    }
    else
    {
        constexpr int skew = 2;

        // waiting[k]: band k's input; the value band k - 1 leaves there is taken two steps later,
        // so steps of each parity keep their own set.
        Pair waitingEven[n], waitingOdd[n];

        // One step; the last band goes first, so each band takes its input before the band
        // before it replaces it. `checked` steps skip bands with no frame (filling and draining).
        const auto step = [&] (int j, bool oddStep, bool checked)
        {
            Pair* const waiting = oddStep ? waitingOdd : waitingEven;

            if (! checked || j < numFrames)
                waiting[0] = input (j);

            for (int k = numActive - 1; k >= 0; --k)
            {
                const int frame = j - skew * k;

                if (checked && (frame < 0 || frame >= numFrames))
                    continue;

                const Pair y = section (k, waiting[k], oddStep);

                if (k == numActive - 1)
                    output (frame, y);
                else
                    waiting[k + 1] = y;
            }
        };

        const int fill = skew * (numActive - 1); // even, so the unrolled steps start on an even one
        const int numSteps = numFrames + fill;
        int j = 0;

        for (; j < fill; ++j)
            step (j, (j & 1) != 0, true);

        for (; j + 1 < numFrames; j += 2)
        {
            step (j, false, false);
            step (j + 1, true, false);
        }

        for (; j < numSteps; ++j)
            step (j, (j & 1) != 0, true);

        // After an odd number of frames the newest state is in the second set.
        if ((numFrames & 1) != 0)
        {
            for (int k = 0; k < numActive; ++k)
            {
                std::swap (sx1[k], sx2[k]);
                std::swap (sy1[k], sy2[k]);
            }
        }
    }

    for (int k = 0; k < numActive; ++k)
    {
        const int s = plan.band[k];
        x1[0][s] = olvar::lanes::left (sx1[k]);
        x2[0][s] = olvar::lanes::left (sx2[k]);
        y1[0][s] = olvar::lanes::left (sy1[k]);
        y2[0][s] = olvar::lanes::left (sy2[k]);

        if (! mono)
        {
            x1[1][s] = olvar::lanes::right (sx1[k]);
            x2[1][s] = olvar::lanes::right (sx2[k]);
            y1[1][s] = olvar::lanes::right (sy1[k]);
            y2[1][s] = olvar::lanes::right (sy2[k]);
        }
    }

    maxL = olvar::lanes::left (maxima);

    if (! mono)
        maxR = olvar::lanes::right (maxima);

    // Unchanged controls: no recompute, and prevMain, prevPitch and the gains keep their values.
    coeffsDirty = false;
    overL = maxL > 1.0 ? 1 : 0;
    overR = maxR > 1.0 ? 1 : 0;
}

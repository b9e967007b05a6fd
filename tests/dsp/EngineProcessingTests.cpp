// The sample engine: gain laws, band skipping, cleaning, change detection, silence handling,
// maxima and overload flags.

#include "CDSP.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <ostream>
#include <limits>
#include <random>
#include <string>

namespace
{
    using namespace bandDesign;

    constexpr double fs48k = 48000.0;
    constexpr double quietNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double infinity = std::numeric_limits<double>::infinity();

    struct StateSnapshot
    {
        double x1[2][5], x2[2][5], y1[2][5], y2[2][5];

        explicit StateSnapshot (const CDSP& d)
        {
            std::memcpy (x1, d.x1, sizeof (x1));
            std::memcpy (x2, d.x2, sizeof (x2));
            std::memcpy (y1, d.y1, sizeof (y1));
            std::memcpy (y2, d.y2, sizeof (y2));
        }

        bool bandEquals (const StateSnapshot& o, int ch, int band) const
        {
            return std::memcmp (&x1[ch][band], &o.x1[ch][band], sizeof (double)) == 0
                && std::memcmp (&x2[ch][band], &o.x2[ch][band], sizeof (double)) == 0
                && std::memcmp (&y1[ch][band], &o.y1[ch][band], sizeof (double)) == 0
                && std::memcmp (&y2[ch][band], &o.y2[ch][band], sizeof (double)) == 0;
        }

        bool operator== (const StateSnapshot& o) const
        {
            return std::memcmp (this, &o, sizeof (*this)) == 0;
        }

        bool allZero() const
        {
            for (int ch = 0; ch < 2; ++ch)
                for (int s = 0; s < 5; ++s)
                    if (x1[ch][s] != 0.0 || x2[ch][s] != 0.0 || y1[ch][s] != 0.0 || y2[ch][s] != 0.0)
                        return false;
            return true;
        }

        bool channelAllZero (int ch) const
        {
            for (int s = 0; s < 5; ++s)
                if (x1[ch][s] != 0.0 || x2[ch][s] != 0.0 || y1[ch][s] != 0.0 || y2[ch][s] != 0.0)
                    return false;
            return true;
        }
    };

    bool sameBits (double a, double b)
    {
        return std::memcmp (&a, &b, sizeof (double)) == 0;
    }

    bool coefficientsEqual (const CDSP& d, int chA, int chB)
    {
        for (int s = 0; s < 5; ++s)
            if (! sameBits (d.b0[chA][s], d.b0[chB][s]) || ! sameBits (d.b1[chA][s], d.b1[chB][s])
                || ! sameBits (d.b2[chA][s], d.b2[chB][s]) || ! sameBits (d.a1[chA][s], d.a1[chB][s])
                || ! sameBits (d.a2[chA][s], d.a2[chB][s]))
                return false;
        return true;
    }

    bool channelCoefficientsZero (const CDSP& d, int ch)
    {
        for (int s = 0; s < 5; ++s)
            if (d.b0[ch][s] != 0.0 || d.b1[ch][s] != 0.0 || d.b2[ch][s] != 0.0
                || d.a1[ch][s] != 0.0 || d.a2[ch][s] != 0.0)
                return false;
        return true;
    }

    // Feeds a deterministic stereo noise run so that every running band has non-zero state.
    void feedNoise (CDSP& d, int frames, double m, double p, unsigned seed = 1, bool mono = false)
    {
        std::mt19937 rng (seed);
        std::uniform_real_distribution<double> dist (-0.5, 0.5);
        double l = 0.0, r = 0.0;

        for (int i = 0; i < frames; ++i)
        {
            const double inL = dist (rng), inR = dist (rng);
            d.DoProcess (inL, inR, &l, &r, fs48k, m, p, false, mono);
        }
    }

    //==========================================================================
    struct GainCase
    {
        double m, p;
        double g20, g128, g8k, g68, g6k;
    };

    void PrintTo (const GainCase& c, std::ostream* os)
    {
        *os << "m " << c.m << " p " << c.p;
    }

    class GainLaws : public ::testing::TestWithParam<GainCase> {};

    TEST_P (GainLaws, BandGainsFollowMainAndBalance)
    {
        const GainCase& c = GetParam();
        CDSP dsp;
        double l = 0.0, r = 0.0;
        dsp.DoProcess (0.0, 0.0, &l, &r, fs48k, c.m, c.p, false, false);

        EXPECT_EQ (dsp.gain20, c.g20);
        EXPECT_TRUE (std::signbit (dsp.gain20)) << "the shelf gain is never positive, -0.0 included";
        EXPECT_EQ (dsp.gain128.load (std::memory_order_relaxed), c.g128);
        EXPECT_EQ (dsp.gain8k.load (std::memory_order_relaxed), c.g8k);
        EXPECT_EQ (dsp.gain68, c.g68);
        EXPECT_EQ (dsp.gain6k, c.g6k);
        EXPECT_EQ (dsp.width128, 1.58);
        EXPECT_EQ (dsp.width8k, 1.58);
    }

    INSTANTIATE_TEST_SUITE_P (
        Table, GainLaws,
        ::testing::Values (
            //        m     p      20 Hz  128 Hz 8 kHz  68 Hz  6 kHz
            GainCase { 1.0, 0.5,   -8.0,  6.0,   6.0,   5.0,   3.0 },
            GainCase { 1.0, 0.75,  -8.0,  3.0,   6.0,   2.5,   3.0 },
            GainCase { 1.0, 1.0,   -8.0,  0.0,   6.0,   0.0,   3.0 },
            GainCase { 1.0, 0.25,  -8.0,  6.0,   3.0,   5.0,   1.5 },
            GainCase { 1.0, 0.0,   -8.0,  6.0,   0.0,   5.0,   0.0 },
            GainCase { 0.0, 0.5,   -8.0, -6.0,  -6.0,  -5.0,  -3.0 },
            GainCase { 0.0, 0.75,  -8.0, -3.0,  -6.0,  -2.5,  -3.0 },
            GainCase { 0.0, 1.0,   -8.0,  0.0,  -6.0,   0.0,  -3.0 },
            GainCase { 0.0, 0.25,  -8.0, -6.0,  -3.0,  -5.0,  -1.5 },
            GainCase { 0.0, 0.0,   -8.0, -6.0,   0.0,  -5.0,   0.0 },
            GainCase { 0.75, 0.5,  -4.0,  3.0,   3.0,   2.5,   1.5 },
            GainCase { 0.25, 0.75, -4.0, -1.5,  -3.0,  -1.25, -1.5 },
            GainCase { 0.5, 0.5,   -0.0,  0.0,   0.0,   0.0,   0.0 },
            GainCase { 0.5, 0.0,   -0.0,  0.0,   0.0,   0.0,   0.0 },
            GainCase { 0.5, 1.0,   -0.0,  0.0,   0.0,   0.0,   0.0 }));

    //==========================================================================
    TEST (PassThrough, NeutralMainIsBitExactForAnyBalance)
    {
        const double balances[] = { 0.0, 0.1, 0.25, 0.5, 0.75, 0.9, 1.0 };
        const double inputs[] = { 0.3, -0.7, 1.0e-300, -2.5e-8, 1.0e300, 3.0, DBL_MIN };

        for (double p : balances)
        {
            CDSP dsp;
            feedNoise (dsp, 64, 1.0, 0.5); // state from an earlier setting must not leak through
            const StateSnapshot before (dsp);

            for (double x : inputs)
            {
                double l = 0.0, r = 0.0;
                dsp.DoProcess (x, -x, &l, &r, fs48k, 0.5, p, false, false);
                EXPECT_TRUE (sameBits (l, x)) << "p=" << p << " x=" << x;
                EXPECT_TRUE (sameBits (r, -x)) << "p=" << p << " x=" << x;
            }

            EXPECT_TRUE (StateSnapshot (dsp) == before) << "p=" << p;
        }
    }

    //==========================================================================
    struct SkipCase
    {
        const char* label;
        double m, p;
        bool skipped[5]; // in cascade order: 20 Hz, 128 Hz, 8 kHz, 68 Hz, 6 kHz
    };

    void PrintTo (const SkipCase& c, std::ostream* os)
    {
        *os << c.label;
    }

    class BandSkipping : public ::testing::TestWithParam<SkipCase> {};

    TEST_P (BandSkipping, ZeroGainBandsKeepTheirStateAndResumeFromIt)
    {
        const SkipCase& c = GetParam();
        CDSP dsp;
        feedNoise (dsp, 256, 0.9, 0.5, 7);
        const StateSnapshot held (dsp);

        feedNoise (dsp, 64, c.m, c.p, 8);
        const StateSnapshot after (dsp);

        for (int ch = 0; ch < 2; ++ch)
            for (int s = 0; s < 5; ++s)
                EXPECT_EQ (after.bandEquals (held, ch, s), c.skipped[s]) << c.label << " ch " << ch << " band " << s;

        // Back to a setting where every band runs: the skipped bands continue from the held state.
        double l = 0.0, r = 0.0;
        dsp.DoProcess (0.125, -0.125, &l, &r, fs48k, 0.9, 0.5, false, false);

        for (int ch = 0; ch < 2; ++ch)
        {
            for (int s = 0; s < 5; ++s)
            {
                if (! c.skipped[s])
                    continue;
                EXPECT_TRUE (sameBits (dsp.x2[ch][s], held.x1[ch][s])) << c.label << " band " << s;
                EXPECT_TRUE (sameBits (dsp.y2[ch][s], held.y1[ch][s])) << c.label << " band " << s;
            }
        }
    }

    INSTANTIATE_TEST_SUITE_P (
        Table, BandSkipping,
        ::testing::Values (
            SkipCase { "low pair off", 1.0, 1.0, { false, true, false, true, false } },
            SkipCase { "high pair off", 1.0, 0.0, { false, false, true, false, true } },
            SkipCase { "low pair off at -0.0", 0.0, 1.0, { false, true, false, true, false } },
            SkipCase { "high pair off at -0.0", 0.0, 0.0, { false, false, true, false, true } },
            SkipCase { "neutral main", 0.5, 0.3, { true, true, true, true, true } },
            SkipCase { "all running", 0.2, 0.6, { false, false, false, false, false } }));

    //==========================================================================
    struct DirtyInput
    {
        const char* label;
        double value;
    };

    void PrintTo (const DirtyInput& c, std::ostream* os)
    {
        *os << c.label;
    }

    class InputCleaning : public ::testing::TestWithParam<DirtyInput> {};

    TEST_P (InputCleaning, BehavesExactlyLikeZeroInEitherChannel)
    {
        const DirtyInput& c = GetParam();

        for (int which = 0; which < 3; ++which) // left, right, both
        {
            CDSP dirty, clean;
            feedNoise (dirty, 200, 1.0, 0.5, 3);
            feedNoise (clean, 200, 1.0, 0.5, 3);

            const double inL = (which != 1) ? c.value : 0.25;
            const double inR = (which != 0) ? c.value : 0.25;
            const double zeroL = (which != 1) ? 0.0 : 0.25;
            const double zeroR = (which != 0) ? 0.0 : 0.25;

            double dl = 0.0, dr = 0.0, cl = 0.0, cr = 0.0;
            dirty.DoProcess (inL, inR, &dl, &dr, fs48k, 1.0, 0.5, false, false);
            clean.DoProcess (zeroL, zeroR, &cl, &cr, fs48k, 1.0, 0.5, false, false);

            EXPECT_TRUE (sameBits (dl, cl)) << c.label << " case " << which;
            EXPECT_TRUE (sameBits (dr, cr)) << c.label << " case " << which;
            EXPECT_TRUE (StateSnapshot (dirty) == StateSnapshot (clean)) << c.label << " case " << which;
        }
    }

    TEST_P (InputCleaning, NeutralSettingOutputsPositiveZero)
    {
        CDSP dsp;
        double l = 1.0, r = 1.0;
        dsp.DoProcess (GetParam().value, GetParam().value, &l, &r, fs48k, 0.5, 0.5, false, false);
        EXPECT_TRUE (sameBits (l, 0.0)) << GetParam().label;
        EXPECT_TRUE (sameBits (r, 0.0)) << GetParam().label;
    }

    INSTANTIATE_TEST_SUITE_P (
        NonNormalValues, InputCleaning,
        ::testing::Values (DirtyInput { "NaN", quietNaN },
                           DirtyInput { "+inf", infinity },
                           DirtyInput { "-inf", -infinity },
                           DirtyInput { "smallest subnormal", std::numeric_limits<double>::denorm_min() },
                           DirtyInput { "largest subnormal", std::nextafter (DBL_MIN, 0.0) },
                           DirtyInput { "negative subnormal", -1.0e-310 },
                           DirtyInput { "negative zero", -0.0 }));

    //==========================================================================
    // Puts the engine at a setting where every band runs, then replaces all coefficients of the
    // first channel by a plain gain of one so that a section's output is its input plus the bias.
    void makeUnityChannel (CDSP& dsp)
    {
        double l = 0.0, r = 0.0;
        dsp.DoProcess (0.0, 0.0, &l, &r, fs48k, 1.0, 0.5, false, false);

        for (int s = 0; s < 5; ++s)
        {
            dsp.b0[0][s] = 1.0;
            dsp.b1[0][s] = dsp.b2[0][s] = dsp.a1[0][s] = dsp.a2[0][s] = 0.0;
        }
    }

    // An input whose section output (input + bias) lands exactly on the target.
    double inputGiving (double target)
    {
        double x = target - sectionBias;
        for (int i = 0; i < 8 && x + sectionBias != target; ++i)
            x = std::nextafter (x, (x + sectionBias < target) ? infinity : -infinity);
        return x;
    }

    struct FlushCase
    {
        const char* label;
        double sectionOutput;
        bool flushed;
    };

    void PrintTo (const FlushCase& c, std::ostream* os)
    {
        *os << c.label;
    }

    class OutputFlush : public ::testing::TestWithParam<FlushCase> {};

    TEST_P (OutputFlush, TinySectionOutputsBecomeExactZero)
    {
        const FlushCase& c = GetParam();
        CDSP dsp;
        makeUnityChannel (dsp);

        const double x = inputGiving (c.sectionOutput);
        ASSERT_EQ (x + sectionBias, c.sectionOutput) << "precondition: exact section output";

        double l = 0.0, r = 0.0;
        dsp.DoProcess (x, 0.0, &l, &r, fs48k, 1.0, 0.5, false, false);

        EXPECT_EQ (dsp.x1[0][band20Hz], x);

        if (c.flushed)
        {
            EXPECT_TRUE (sameBits (dsp.y1[0][band20Hz], 0.0)) << c.label;
            EXPECT_TRUE (sameBits (dsp.x1[0][band128Hz], 0.0)) << c.label;
            EXPECT_TRUE (sameBits (l, 0.0)) << c.label << ": later sections only add the bias, which is flushed too";
        }
        else
        {
            EXPECT_EQ (dsp.y1[0][band20Hz], c.sectionOutput) << c.label;
            EXPECT_EQ (dsp.x1[0][band128Hz], c.sectionOutput) << c.label << ": passed on to the next section";
        }
    }

    INSTANTIATE_TEST_SUITE_P (
        AroundTheThreshold, OutputFlush,
        ::testing::Values (FlushCase { "just below", std::nextafter (1.0e-8, 0.0), true },
                           FlushCase { "exactly at", 1.0e-8, false },
                           FlushCase { "negative just below", -std::nextafter (1.0e-8, 0.0), true },
                           FlushCase { "negative exactly at", -1.0e-8, false },
                           FlushCase { "half", 5.0e-9, true },
                           FlushCase { "just above", std::nextafter (1.0e-8, 1.0), false }));

    TEST (OutputFlush, NonFiniteSectionResultIsNeverStored)
    {
        CDSP dsp;
        makeUnityChannel (dsp);
        dsp.b0[0][band20Hz] = DBL_MAX; // overflows to infinity on a full-scale input

        double l = 0.0, r = 0.0;
        dsp.DoProcess (4.0, 0.0, &l, &r, fs48k, 1.0, 0.5, false, false);

        EXPECT_TRUE (sameBits (dsp.y1[0][band20Hz], 0.0));
        EXPECT_TRUE (sameBits (l, 0.0));
    }

    //==========================================================================
    TEST (ChangeDetection, FirstCallAfterResetDesignsBothChannelsWhateverTheControls)
    {
        const double settings[][2] = { { 0.5, 0.5 }, { 1.0, 0.5 }, { 0.0, 1.0 }, { 0.3, 0.0 } };

        for (const auto& mp : settings)
        {
            CDSP dsp;
            feedNoise (dsp, 16, mp[0], mp[1]);
            dsp.reset();
            EXPECT_EQ (dsp.prevMain, -1.0);
            EXPECT_EQ (dsp.prevPitch, -1.0);
            EXPECT_TRUE (channelCoefficientsZero (dsp, 0));

            double l = 0.0, r = 0.0;
            dsp.DoProcess (0.1, 0.1, &l, &r, fs48k, mp[0], mp[1], false, false);

            EXPECT_TRUE (dsp.coeffsDirty);
            EXPECT_FALSE (channelCoefficientsZero (dsp, 0)) << mp[0] << "," << mp[1];
            EXPECT_TRUE (coefficientsEqual (dsp, 0, 1)) << mp[0] << "," << mp[1];
        }
    }

    TEST (ChangeDetection, UnchangedControlsKeepTheCoefficients)
    {
        CDSP dsp;
        double l = 0.0, r = 0.0;
        dsp.DoProcess (0.1, 0.1, &l, &r, fs48k, 0.8, 0.4, false, false);
        dsp.b0[0][band68Hz] = 123.0;
        dsp.b0[1][band68Hz] = 123.0;

        dsp.DoProcess (0.1, 0.1, &l, &r, fs48k, 0.8, 0.4, false, false);
        EXPECT_FALSE (dsp.coeffsDirty);
        EXPECT_EQ (dsp.b0[0][band68Hz], 123.0);
        EXPECT_EQ (dsp.b0[1][band68Hz], 123.0);

        dsp.DoProcess (0.1, 0.1, &l, &r, fs48k, 0.8, 0.41, false, false);
        EXPECT_TRUE (dsp.coeffsDirty);
        EXPECT_NE (dsp.b0[0][band68Hz], 123.0);
        EXPECT_NE (dsp.b0[1][band68Hz], 123.0);
        EXPECT_EQ (dsp.prevMain, 0.8);
        EXPECT_EQ (dsp.prevPitch, 0.41);
    }

    // An engine keeps what its designs take from the rate; after a rate change it must design
    // exactly what a new engine designs at that rate.
    TEST (ChangeDetection, DesignsAfterARateChangeEqualAFreshEngines)
    {
        const auto sameDesigns = [] (const CDSP& a, const CDSP& b)
        {
            return std::memcmp (a.b0, b.b0, sizeof (a.b0)) == 0 && std::memcmp (a.b1, b.b1, sizeof (a.b1)) == 0
                && std::memcmp (a.b2, b.b2, sizeof (a.b2)) == 0 && std::memcmp (a.a1, b.a1, sizeof (a.a1)) == 0
                && std::memcmp (a.a2, b.a2, sizeof (a.a2)) == 0
                && std::memcmp (a.bandRunnable, b.bandRunnable, sizeof (a.bandRunnable)) == 0
                && std::memcmp (a.bandUsedDouble, b.bandUsedDouble, sizeof (a.bandUsedDouble)) == 0;
        };

        CDSP reused;
        const double rates[] = { 48000.0, 44100.0, 384000.0, 96000.0, 8000.0, 48000.0, 192000.0 };

        for (const double rate : rates)
        {
            reused.reset(); // what preparing for a new rate does
            CDSP fresh;
            double l = 0.0, r = 0.0;
            reused.DoProcess (0.1, 0.1, &l, &r, rate, 0.15, 0.6, false, false);
            fresh.DoProcess (0.1, 0.1, &l, &r, rate, 0.15, 0.6, false, false);
            EXPECT_TRUE (sameDesigns (reused, fresh)) << rate;

            // The shelf alone, at a rate other than the one just designed for.
            const float otherRate = static_cast<float> (rate) * 2.0f;
            reused.lowshelf (0, otherRate, -3.0f);
            fresh.lowshelf (0, otherRate, -3.0f);
            EXPECT_TRUE (sameDesigns (reused, fresh)) << rate << " then the shelf at " << otherRate;
            EXPECT_EQ (reused.b0[0][band20Hz], designLowShelf (otherRate, -3.0f).coeffs.b0);
        }
    }

    TEST (ChangeDetection, MonoCallsLeaveTheSecondChannelStale)
    {
        CDSP dsp;
        double l = 0.0, r = 0.0;

        dsp.DoProcess (0.1, 0.1, &l, &r, fs48k, 1.0, 0.5, false, true);
        EXPECT_TRUE (dsp.coeffsDirty);
        EXPECT_TRUE (channelCoefficientsZero (dsp, 1));

        dsp.DoProcess (0.1, 0.1, &l, &r, fs48k, 0.8, 0.5, false, true);
        EXPECT_TRUE (channelCoefficientsZero (dsp, 1));

        // Stereo again, but with no change: channel 1 is still not designed.
        dsp.DoProcess (0.1, 0.1, &l, &r, fs48k, 0.8, 0.5, false, false);
        EXPECT_FALSE (dsp.coeffsDirty);
        EXPECT_TRUE (channelCoefficientsZero (dsp, 1));

        dsp.DoProcess (0.1, 0.1, &l, &r, fs48k, 0.7, 0.5, false, false);
        EXPECT_TRUE (dsp.coeffsDirty);
        EXPECT_TRUE (coefficientsEqual (dsp, 0, 1));

        // A mono change updates channel 0 only; channel 1 keeps the 0.7 design.
        CDSP reference;
        reference.DoProcess (0.1, 0.1, &l, &r, fs48k, 0.7, 0.5, false, false);
        dsp.DoProcess (0.1, 0.1, &l, &r, fs48k, 0.3, 0.5, false, true);
        EXPECT_FALSE (coefficientsEqual (dsp, 0, 1));
        EXPECT_TRUE (sameBits (dsp.b0[1][band128Hz], reference.b0[0][band128Hz]));
        EXPECT_TRUE (sameBits (dsp.a2[1][band6kHz], reference.a2[0][band6kHz]));
    }

    TEST (ChangeDetection, NaNControlCountsAsAChangeEveryTime)
    {
        const double settings[][2] = { { quietNaN, 0.5 }, { 1.0, quietNaN }, { quietNaN, quietNaN } };

        for (const auto& mp : settings)
        {
            CDSP dsp;
            feedNoise (dsp, 64, 1.0, 0.5);
            double l = 0.0, r = 0.0;

            for (int i = 0; i < 3; ++i)
            {
                dsp.DoProcess (0.5, -0.5, &l, &r, fs48k, mp[0], mp[1], false, false);
                EXPECT_TRUE (dsp.coeffsDirty) << mp[0] << "," << mp[1] << " call " << i;
                EXPECT_TRUE (std::isfinite (l) && std::isfinite (r));
            }

            // Whatever was computed, nothing non-finite may be kept in the recursion.
            for (int ch = 0; ch < 2; ++ch)
                for (int s = 0; s < 5; ++s)
                    EXPECT_TRUE (std::isfinite (dsp.x1[ch][s]) && std::isfinite (dsp.x2[ch][s])
                                 && std::isfinite (dsp.y1[ch][s]) && std::isfinite (dsp.y2[ch][s]));

            dsp.DoProcess (0.5, -0.5, &l, &r, fs48k, 0.7, 0.5, false, false);
            EXPECT_TRUE (dsp.coeffsDirty);
            EXPECT_TRUE (std::isfinite (dsp.b0[0][band20Hz]));
        }
    }

    TEST (ChangeDetection, NaNMainRunsEveryBandAndSilencesTheOutput)
    {
        CDSP dsp;
        double l = 1.0, r = 1.0;
        dsp.DoProcess (0.5, -0.5, &l, &r, fs48k, quietNaN, 0.5, false, false);

        // A NaN gain is not zero, so every band runs; its NaN result is flushed to zero.
        EXPECT_TRUE (sameBits (l, 0.0));
        EXPECT_TRUE (sameBits (r, 0.0));
        EXPECT_EQ (dsp.x1[0][band20Hz], 0.5);
        EXPECT_EQ (dsp.x1[1][band20Hz], -0.5);
    }

    //==========================================================================
    TEST (Silence, FirstSilentFrameUsesOldStateThenClearsBothChannels)
    {
        CDSP silentOne, reference;
        feedNoise (silentOne, 300, 1.0, 0.5, 5);
        feedNoise (reference, 300, 1.0, 0.5, 5);
        ASSERT_FALSE (StateSnapshot (silentOne).allZero());

        double sl = 0.0, sr = 0.0, rl = 0.0, rr = 0.0;
        silentOne.DoProcess (3.0e-9, -3.0e-9, &sl, &sr, fs48k, 1.0, 0.5, true, false);
        reference.DoProcess (3.0e-9, -3.0e-9, &rl, &rr, fs48k, 1.0, 0.5, false, false);

        EXPECT_TRUE (sameBits (sl, rl));
        EXPECT_TRUE (sameBits (sr, rr));
        EXPECT_NE (sl, 0.0) << "the old state must still ring into this frame";
        EXPECT_TRUE (StateSnapshot (silentOne).allZero());
        EXPECT_TRUE (silentOne.silenceCleared);
    }

    TEST (Silence, LaterSilentFramesDoNotClearAgainUntilRearmed)
    {
        CDSP dsp;
        feedNoise (dsp, 100, 1.0, 0.5);
        double l = 0.0, r = 0.0;

        dsp.DoProcess (0.0, 0.0, &l, &r, fs48k, 1.0, 0.5, true, false);
        ASSERT_TRUE (dsp.silenceCleared);

        // Still in the same run of silence: a tiny input is kept in the state.
        dsp.DoProcess (5.0e-9, 5.0e-9, &l, &r, fs48k, 1.0, 0.5, true, false);
        dsp.DoProcess (0.0, 0.0, &l, &r, fs48k, 1.0, 0.5, true, false);
        EXPECT_EQ (dsp.x2[0][band20Hz], 5.0e-9);
        EXPECT_EQ (dsp.x2[1][band20Hz], 5.0e-9);
        EXPECT_TRUE (dsp.silenceCleared);

        // A non-silent frame re-arms; the next silent frame clears again.
        dsp.DoProcess (0.2, 0.2, &l, &r, fs48k, 1.0, 0.5, false, false);
        EXPECT_FALSE (dsp.silenceCleared);
        EXPECT_FALSE (StateSnapshot (dsp).allZero());

        dsp.DoProcess (0.0, 0.0, &l, &r, fs48k, 1.0, 0.5, true, false);
        EXPECT_TRUE (dsp.silenceCleared);
        EXPECT_TRUE (StateSnapshot (dsp).allZero());
    }

    TEST (Silence, MonoClearAlsoClearsTheSecondChannel)
    {
        CDSP dsp;
        feedNoise (dsp, 100, 1.0, 0.5);
        ASSERT_FALSE (StateSnapshot (dsp).channelAllZero (1));

        double l = 0.0;
        dsp.DoProcess (0.0, 0.0, &l, &l, fs48k, 1.0, 0.5, true, true);
        EXPECT_TRUE (StateSnapshot (dsp).allZero());
    }

    //==========================================================================
    struct PeakCase
    {
        const char* label;
        double inputs[3];
        double expectedMax;
        int expectedOver;
    };

    void PrintTo (const PeakCase& c, std::ostream* os)
    {
        *os << c.label;
    }

    class MaximaAndOverload : public ::testing::TestWithParam<PeakCase> {};

    TEST_P (MaximaAndOverload, SignedMaximumDrivesTheFlagOnEachChannel)
    {
        const PeakCase& c = GetParam();

        for (int ch = 0; ch < 2; ++ch)
        {
            CDSP dsp;
            double l = 0.0, r = 0.0;

            for (double x : c.inputs) // neutral main: output equals input
                dsp.DoProcess (ch == 0 ? x : 0.0, ch == 1 ? x : 0.0, &l, &r, fs48k, 0.5, 0.5, false, false);

            EXPECT_EQ (ch == 0 ? dsp.maxL : dsp.maxR, c.expectedMax) << c.label << " ch " << ch;
            EXPECT_EQ (ch == 0 ? dsp.overL : dsp.overR, c.expectedOver) << c.label << " ch " << ch;
            EXPECT_EQ (ch == 0 ? dsp.maxR : dsp.maxL, 0.0) << c.label << " other channel";
            EXPECT_EQ (ch == 0 ? dsp.overR : dsp.overL, 0) << c.label << " other channel";
        }
    }

    INSTANTIATE_TEST_SUITE_P (
        Table, MaximaAndOverload,
        ::testing::Values (PeakCase { "negative peak", { -1.5, -3.0, 0.0 }, 0.0, 0 },
                           PeakCase { "exactly full scale", { 0.5, 1.0, -1.5 }, 1.0, 0 },
                           PeakCase { "just above full scale", { 0.0, 1.0000001, 0.0 }, 1.0000001, 1 },
                           PeakCase { "held after the peak", { 1.2, 0.1, -2.0 }, 1.2, 1 },
                           PeakCase { "NaN input", { quietNaN, 0.25, quietNaN }, 0.25, 0 }));

    TEST (MaximaAndOverload, FlagsFollowMaximaResetFromOutside)
    {
        CDSP dsp;
        double l = 0.0, r = 0.0;
        dsp.DoProcess (1.5, 1.5, &l, &r, fs48k, 0.5, 0.5, false, false);
        ASSERT_EQ (dsp.overL, 1);
        ASSERT_EQ (dsp.overR, 1);

        dsp.maxL = 0.0;
        dsp.maxR = 0.0;
        dsp.DoProcess (0.5, 0.5, &l, &r, fs48k, 0.5, 0.5, false, false);
        EXPECT_EQ (dsp.overL, 0);
        EXPECT_EQ (dsp.overR, 0);
        EXPECT_EQ (dsp.maxL, 0.5);
    }

    TEST (MaximaAndOverload, ResetKeepsMaximaFlagsAndSilenceLatch)
    {
        CDSP dsp;
        double l = 0.0, r = 0.0;
        dsp.DoProcess (1.5, 2.0, &l, &r, fs48k, 0.5, 0.5, true, false);
        dsp.reset();

        EXPECT_EQ (dsp.maxL, 1.5);
        EXPECT_EQ (dsp.maxR, 2.0);
        EXPECT_EQ (dsp.overL, 1);
        EXPECT_EQ (dsp.overR, 1);
        EXPECT_TRUE (dsp.silenceCleared);
    }

    TEST (Mono, SecondOutputAndSecondChannelAreNeverTouched)
    {
        const double settings[][2] = { { 0.5, 0.5 }, { 1.0, 0.5 }, { 0.0, 0.0 } };

        for (const auto& mp : settings)
        {
            CDSP dsp;
            const double sentinel = -12345.0;
            double l = 0.0, r = sentinel;

            for (int i = 0; i < 32; ++i)
            {
                dsp.DoProcess (0.3, 2.0, &l, &r, fs48k, mp[0], mp[1], (i % 8) == 7, true);
                EXPECT_TRUE (sameBits (r, sentinel));
            }

            EXPECT_EQ (dsp.maxR, 0.0);
            EXPECT_EQ (dsp.overR, 0);
            EXPECT_TRUE (StateSnapshot (dsp).channelAllZero (1));
        }
    }

    TEST (Mono, InPlaceWithSharedPointerProcessesTheFirstChannel)
    {
        CDSP mono, stereo;
        std::mt19937 rng (11);
        std::uniform_real_distribution<double> dist (-1.0, 1.0);

        for (int i = 0; i < 500; ++i)
        {
            double sample = dist (rng);
            double sl = 0.0, sr = 0.0;
            stereo.DoProcess (sample, sample, &sl, &sr, fs48k, 0.9, 0.3, false, false);
            mono.DoProcess (sample, sample, &sample, &sample, fs48k, 0.9, 0.3, false, true);
            ASSERT_TRUE (sameBits (sample, sl)) << "frame " << i;
        }
    }

    //==========================================================================
    // An independent section loop over the engine's own coefficients: catches cascade order,
    // summation order and state update faults.
    TEST (Cascade, MatchesSectionByPieceReference)
    {
        struct Section
        {
            double b0, b1, b2, a1, a2, x1 = 0, x2 = 0, y1 = 0, y2 = 0;

            double run (double x)
            {
                double y = (b2 * x2 + (b0 * x + b1 * x1)) - a1 * y1 - a2 * y2 + 9.999999682655225e-21;
                if (std::fabs (y) < 1.0e-8)
                    y = 0.0;
                x2 = x1;
                y2 = y1;
                x1 = x;
                y1 = y;
                return y;
            }
        };

        const double settings[][3] = { { 44100.0, 0.8, 0.3 }, { 96000.0, 0.1, 0.5 }, { 48000.0, 1.0, 0.9 } };

        for (const auto& setting : settings)
        {
            CDSP dsp;
            double l = 0.0, r = 0.0;
            dsp.DoProcess (0.0, 0.0, &l, &r, setting[0], setting[1], setting[2], false, false);

            const double gains[5] = { dsp.gain20, dsp.gain128.load(), dsp.gain8k.load(), dsp.gain68, dsp.gain6k };
            Section sections[2][5];
            for (int ch = 0; ch < 2; ++ch)
                for (int s = 0; s < 5; ++s)
                    sections[ch][s] = Section { dsp.b0[ch][s], dsp.b1[ch][s], dsp.b2[ch][s], dsp.a1[ch][s], dsp.a2[ch][s], 0.0, 0.0, 0.0, 0.0 };

            std::mt19937 rng (21);
            std::uniform_real_distribution<double> dist (-1.0, 1.0);

            for (int i = 0; i < 4000; ++i)
            {
                const double in[2] = { dist (rng), dist (rng) };
                dsp.DoProcess (in[0], in[1], &l, &r, setting[0], setting[1], setting[2], false, false);

                for (int ch = 0; ch < 2; ++ch)
                {
                    double x = in[ch];
                    for (int s = 0; s < 5; ++s)
                        if (gains[s] != 0.0)
                            x = sections[ch][s].run (x);

                    ASSERT_TRUE (sameBits (ch == 0 ? l : r, x)) << "frame " << i << " ch " << ch;
                }
            }
        }
    }
} // namespace

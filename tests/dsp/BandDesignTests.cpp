// Coefficient design: the reference numbers at 48 kHz, the width/Q law, the rounding of the
// single-precision maths and the 20 Hz shelf operation.

#include "CDSP.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <ostream>
#include <string>

namespace
{
    using namespace bandDesign;

    std::string sixDigits (double v)
    {
        char text[64];
        std::snprintf (text, sizeof (text), "%#.6g", v);
        return text;
    }

    // Runs one frame so that the engine designs both channels' coefficients.
    void designAt (CDSP& dsp, double sampleRate, double m, double p)
    {
        double l = 0.0, r = 0.0;
        dsp.reset();
        dsp.DoProcess (0.25, -0.25, &l, &r, sampleRate, m, p, false, false);
    }

    //==========================================================================
    struct PrewarpCase
    {
        int band;
        const char* k;
    };

    void PrintTo (const PrewarpCase& c, std::ostream* os)
    {
        *os << "band " << c.band;
    }

    class ReferencePrewarp : public ::testing::TestWithParam<PrewarpCase> {};

    TEST_P (ReferencePrewarp, MatchesSixSignificantDigitsAt48k)
    {
        const PrewarpCase& c = GetParam();
        EXPECT_EQ (sixDigits (prewarp (piF[c.band], 48000.0f)), c.k);
    }

    INSTANTIATE_TEST_SUITE_P (AllBands, ReferencePrewarp,
                              ::testing::Values (PrewarpCase { band20Hz, "0.00130900" },
                                                 PrewarpCase { band68Hz, "0.00445062" },
                                                 PrewarpCase { band128Hz, "0.00837778" },
                                                 PrewarpCase { band6kHz, "0.414214" },
                                                 PrewarpCase { band8kHz, "0.577350" }));

    //==========================================================================
    struct CoefficientCase
    {
        const char* label;
        int band;
        double m;
        const char* b0;
        const char* b1;
        const char* b2;
        const char* a1;
        const char* a2;
    };

    void PrintTo (const CoefficientCase& c, std::ostream* os)
    {
        *os << c.label;
    }

    class ReferenceCoefficients : public ::testing::TestWithParam<CoefficientCase> {};

    TEST_P (ReferenceCoefficients, BothChannelsMatchSixSignificantDigitsAt48k)
    {
        const CoefficientCase& c = GetParam();
        CDSP dsp;
        designAt (dsp, 48000.0, c.m, 0.5);

        for (int ch = 0; ch < 2; ++ch)
        {
            SCOPED_TRACE (std::string (c.label) + ", channel " + std::to_string (ch));
            EXPECT_EQ (sixDigits (dsp.b0[ch][c.band]), c.b0);
            EXPECT_EQ (sixDigits (dsp.b1[ch][c.band]), c.b1);
            EXPECT_EQ (sixDigits (dsp.b2[ch][c.band]), c.b2);
            EXPECT_EQ (sixDigits (dsp.a1[ch][c.band]), c.a1);
            EXPECT_EQ (sixDigits (dsp.a2[ch][c.band]), c.a2);
            EXPECT_FALSE (dsp.bandUsedDouble[ch][c.band]);
        }
    }

    INSTANTIATE_TEST_SUITE_P (
        FullScale, ReferenceCoefficients,
        ::testing::Values (
            CoefficientCase { "shelf -8 dB", band20Hz, 1.0, "0.998918", "-1.99414", "0.995226", "-1.99413", "0.994149" },
            CoefficientCase { "128 Hz +6 dB", band128Hz, 1.0, "1.01058", "-1.97845", "0.968147", "-1.97845", "0.978731" },
            CoefficientCase { "68 Hz +5 dB", band68Hz, 1.0, "1.00037", "-1.99896", "0.998667", "-1.99896", "0.999040" },
            CoefficientCase { "6 kHz +3 dB", band6kHz, 1.0, "1.03410", "-1.29732", "0.800593", "-1.29732", "0.834691" },
            // b1 here depends on a correctly rounded tangent: a tanf that is one ulp off gives -0.642838.
            CoefficientCase { "8 kHz +6 dB", band8kHz, 1.0, "1.35547", "-0.642839", "-0.0697922", "-0.642839", "0.285677" },
            CoefficientCase { "128 Hz -6 dB", band128Hz, 0.0, "0.989527", "-1.95773", "0.968481", "-1.95773", "0.958007" },
            CoefficientCase { "shelf -8 dB at m=0", band20Hz, 0.0, "0.998918", "-1.99414", "0.995226", "-1.99413", "0.994149" }));

    //==========================================================================
    TEST (SinglePrecisionMaths, EightKilohertzPrewarpIsTheCorrectlyRoundedTangent)
    {
        // The exact tangent is 0.57735025...; one ulp above is what an inexact tanf returns.
        EXPECT_EQ (prewarp (piF[band8kHz], 48000.0f), 0.577350259f);
    }

    TEST (SinglePrecisionMaths, HelpersRoundTheDoubleResultOnce)
    {
        const float args[] = { 0.0f, 1.0e-6f, 0.3f, 0.5235988f, 1.2f, -0.7f };

        for (float x : args)
        {
            EXPECT_EQ (tanSingle (x), static_cast<float> (std::tan (static_cast<double> (x)))) << x;
            EXPECT_EQ (exp2Single (x), static_cast<float> (std::exp2 (static_cast<double> (x)))) << x;
            EXPECT_EQ (pow10Single (x), static_cast<float> (std::pow (10.0, static_cast<double> (x)))) << x;
        }
    }

    TEST (SinglePrecisionMaths, LinearGainOfExactDecibelValues)
    {
        EXPECT_EQ (linearGain (0.0f), 1.0f);
        EXPECT_EQ (linearGain (-0.0f), 1.0f);
        EXPECT_EQ (linearGain (20.0f), 10.0f);
        EXPECT_EQ (linearGain (-20.0f), 0.1f);
    }

    TEST (BandwidthToQ, UsesTheReciprocalWidthInTheNumerator)
    {
        EXPECT_EQ (qFromBandwidth (1.58), 0.7793598f);
        EXPECT_NEAR (qFromBandwidthDouble (1.58), 0.7793598, 1.0e-7);
        // The half-width exponent would give about 0.869.
        EXPECT_GT (std::fabs (qFromBandwidth (1.58) - 0.869f), 0.05f);
    }

    //==========================================================================
    TEST (LowShelfOperation, WritesOnlyTheRequestedChannel)
    {
        CDSP dsp;
        dsp.lowshelf (1, 48000.0f, -8.0f);

        const Coefficients expected = lowShelfMixedPrecision (48000.0f, -8.0f);
        EXPECT_EQ (dsp.b0[1][band20Hz], expected.b0);
        EXPECT_EQ (dsp.b1[1][band20Hz], expected.b1);
        EXPECT_EQ (dsp.b2[1][band20Hz], expected.b2);
        EXPECT_EQ (dsp.a1[1][band20Hz], expected.a1);
        EXPECT_EQ (dsp.a2[1][band20Hz], expected.a2);

        EXPECT_EQ (dsp.b0[0][band20Hz], 0.0);
        EXPECT_EQ (dsp.a2[0][band20Hz], 0.0);
        for (int s = 1; s < numBands; ++s)
            EXPECT_EQ (dsp.b0[1][s], 0.0) << s;
    }

    TEST (LowShelfOperation, IgnoresAChannelOutOfRange)
    {
        CDSP dsp;
        dsp.lowshelf (2, 48000.0f, -8.0f);
        dsp.lowshelf (-1, 48000.0f, -8.0f);

        for (int ch = 0; ch < 2; ++ch)
            EXPECT_EQ (dsp.b0[ch][band20Hz], 0.0);
    }

    TEST (LowShelfOperation, NegativeZeroGainTakesTheBoostBranchAndIsFlat)
    {
        const Coefficients negZero = lowShelfMixedPrecision (48000.0f, -0.0f);
        const Coefficients posZero = lowShelfMixedPrecision (48000.0f, 0.0f);

        EXPECT_EQ (negZero.b0, posZero.b0);
        EXPECT_EQ (negZero.b1, posZero.b1);
        EXPECT_EQ (negZero.b2, posZero.b2);
        EXPECT_EQ (negZero.a1, posZero.a1);
        EXPECT_EQ (negZero.a2, posZero.a2);

        // With V = 1 the boost numerator repeats the denominator term for term; the cut form
        // would round K^2 - V in float and differ.
        EXPECT_EQ (negZero.b1, negZero.a1);
        EXPECT_EQ (negZero.b2, negZero.a2);
        EXPECT_NEAR (shelfGainErrorDb (negZero, 0.0), 0.0, 0.1);
    }

    TEST (LowShelfOperation, CutIsTheSameShelfAtBothEndsOfTheMainControl)
    {
        CDSP atZero, atOne;
        designAt (atZero, 44100.0, 0.0, 0.5);
        designAt (atOne, 44100.0, 1.0, 0.5);

        EXPECT_EQ (atZero.gain20, -8.0);
        EXPECT_EQ (atOne.gain20, -8.0);
        EXPECT_EQ (atZero.b0[0][band20Hz], atOne.b0[0][band20Hz]);
        EXPECT_EQ (atZero.a1[0][band20Hz], atOne.a1[0][band20Hz]);
        EXPECT_NEAR (shelfGainErrorDb ({ atOne.b0[0][0], atOne.b1[0][0], atOne.b2[0][0], atOne.a1[0][0], atOne.a2[0][0] }, -8.0),
                     0.0, 0.1);
    }

    //==========================================================================
    TEST (PeakingDesign, HitsItsGainAtTheCentreFrequency)
    {
        struct Case { int band; float q; double gainDb; };
        const Case cases[] = {
            { band128Hz, qFromBandwidth (1.58), 6.0 },  { band128Hz, qFromBandwidth (1.58), -6.0 },
            { band8kHz, qFromBandwidth (1.58), 6.0 },   { band8kHz, qFromBandwidth (1.58), -3.0 },
            { band68Hz, q68Hz, 5.0 },                    { band68Hz, q68Hz, -5.0 },
            { band6kHz, q6kHz, 3.0 },                    { band6kHz, q6kHz, -1.5 },
        };

        for (const Case& c : cases)
        {
            const Coefficients k = peakingMixedPrecision (piF[c.band], 48000.0f, static_cast<float> (c.gainDb), c.q);
            EXPECT_NEAR (peakingGainErrorDb (k, piF[c.band], 48000.0, c.gainDb), 0.0, 0.01)
                << "band " << c.band << " gain " << c.gainDb;
            EXPECT_EQ (k.a1, k.b1);
        }
    }
} // namespace

// Behaviour across sample rates: stability from 8 kHz to 384 kHz, bands at or above Nyquist,
// gain accuracy at high rates with the double-precision fallback, unchanged arithmetic at the
// common rates, and race-free reading of the displayed gains.

#include "CDSP.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <initializer_list>
#include <cmath>
#include <cstring>
#include <ostream>
#include <random>
#include <thread>
#include <type_traits>

namespace
{
    using namespace bandDesign;

    const double stabilityRates[] = { 8000.0,  8001.0,  11025.0, 12000.0, 12001.0, 16000.0, 16001.0,
                                      22050.0, 24000.0, 32000.0, 44100.0, 48000.0, 64000.0, 88200.0,
                                      96000.0, 176400.0, 192000.0, 352800.0, 384000.0 };
    const double mainGrid[] = { 0.0, 0.1, 0.25, 0.4, 0.49, 0.51, 0.6, 0.75, 0.9, 1.0 };
    const double balanceGrid[] = { 0.0, 0.25, 0.5, 0.75, 1.0 };

    Coefficients storedCoefficients (const CDSP& d, int ch, int band)
    {
        return { d.b0[ch][band], d.b1[ch][band], d.b2[ch][band], d.a1[ch][band], d.a2[ch][band] };
    }

    double gainOf (const CDSP& d, int band)
    {
        switch (band)
        {
            case band20Hz:  return d.gain20;
            case band128Hz: return d.gain128.load (std::memory_order_relaxed);
            case band8kHz:  return d.gain8k.load (std::memory_order_relaxed);
            case band68Hz:  return d.gain68;
            default:        return d.gain6k;
        }
    }

    void designAt (CDSP& d, double fs, double m, double p)
    {
        double l = 0.0, r = 0.0;
        d.reset();
        d.DoProcess (0.0, 0.0, &l, &r, fs, m, p, false, false);
    }

    bool sameBits (double a, double b)
    {
        return std::memcmp (&a, &b, sizeof (double)) == 0;
    }

    //==========================================================================
    TEST (Stability, EveryRunningBandHasItsPolesInsideTheUnitCircle)
    {
        CDSP dsp;

        for (double fs : stabilityRates)
            for (double m : mainGrid)
                for (double p : balanceGrid)
                {
                    designAt (dsp, fs, m, p);

                    for (int ch = 0; ch < 2; ++ch)
                        for (int s = 0; s < numBands; ++s)
                        {
                            if (gainOf (dsp, s) == 0.0 || ! dsp.bandRunnable[ch][s])
                                continue;

                            EXPECT_LT (largestPoleMagnitude (storedCoefficients (dsp, ch, s)), 1.0)
                                << "fs " << fs << " m " << m << " p " << p << " band " << s;
                        }
                }
    }

    TEST (Stability, BandsAtOrAboveNyquistNeverRun)
    {
        CDSP dsp;

        for (double fs : stabilityRates)
        {
            designAt (dsp, fs, 1.0, 0.5);

            for (int s = 0; s < numBands; ++s)
            {
                const bool belowNyquist = 2.0 * frequencyHz[s] < fs;
                EXPECT_EQ (dsp.bandRunnable[0][s], belowNyquist) << "fs " << fs << " band " << s;
                EXPECT_EQ (dsp.bandRunnable[1][s], belowNyquist) << "fs " << fs << " band " << s;
            }
        }
    }

    TEST (Stability, UnusableRateOrGarbageRateLeavesTheSignalUntouched)
    {
        const double rates[] = { 0.0, -44100.0, std::nan (""), 30.0 };

        for (double fs : rates)
        {
            CDSP dsp;
            double l = 0.0, r = 0.0;
            dsp.DoProcess (0.3, -0.6, &l, &r, fs, 1.0, 0.5, false, false);
            EXPECT_EQ (l, 0.3) << fs;
            EXPECT_EQ (r, -0.6) << fs;
        }
    }

    // The reason for the rule above: the plain design puts these bands' poles outside.
    TEST (Stability, PlainDesignAtOrAboveNyquistWouldRunAway)
    {
        struct Case { int band; float fs; float q; float gainDb; };
        const Case cases[] = {
            { band8kHz, 11025.0f, qFromBandwidth (1.58), 6.0f },
            { band8kHz, 11025.0f, qFromBandwidth (1.58), -6.0f },
            { band6kHz, 8000.0f, q6kHz, 3.0f },
            { band6kHz, 8000.0f, q6kHz, -3.0f },
        };

        for (const Case& c : cases)
            EXPECT_GT (largestPoleMagnitude (peakingMixedPrecision (piF[c.band], c.fs, c.gainDb, c.q)), 1.0)
                << "band " << c.band << " fs " << c.fs;
    }

    struct SkippedHighBandCase
    {
        double fs;
        bool skip8k, skip6k;
    };

    void PrintTo (const SkippedHighBandCase& c, std::ostream* os)
    {
        *os << "fs " << c.fs;
    }

    class HighBandsAtLowRates : public ::testing::TestWithParam<SkippedHighBandCase> {};

    TEST_P (HighBandsAtLowRates, SkippedBandStateIsNeverTouched)
    {
        const SkippedHighBandCase& c = GetParam();
        CDSP dsp;
        std::mt19937 rng (2);
        std::uniform_real_distribution<double> dist (-1.0, 1.0);
        double l = 0.0, r = 0.0;

        for (int i = 0; i < 2000; ++i)
            dsp.DoProcess (dist (rng), dist (rng), &l, &r, c.fs, 1.0, 0.5, false, false);

        for (int ch = 0; ch < 2; ++ch)
        {
            EXPECT_EQ (dsp.x1[ch][band8kHz] == 0.0 && dsp.y1[ch][band8kHz] == 0.0
                           && dsp.x2[ch][band8kHz] == 0.0 && dsp.y2[ch][band8kHz] == 0.0,
                       c.skip8k);
            EXPECT_EQ (dsp.x1[ch][band6kHz] == 0.0 && dsp.y1[ch][band6kHz] == 0.0
                           && dsp.x2[ch][band6kHz] == 0.0 && dsp.y2[ch][band6kHz] == 0.0,
                       c.skip6k);
            EXPECT_NE (dsp.x1[ch][band128Hz], 0.0);
        }
    }

    INSTANTIATE_TEST_SUITE_P (Rates, HighBandsAtLowRates,
                              ::testing::Values (SkippedHighBandCase { 8000.0, true, true },
                                                 SkippedHighBandCase { 11025.0, true, true },
                                                 SkippedHighBandCase { 12000.0, true, true },
                                                 SkippedHighBandCase { 16000.0, true, false },
                                                 SkippedHighBandCase { 16001.0, false, false },
                                                 SkippedHighBandCase { 22050.0, false, false }));

    //==========================================================================
    enum class Signal { noise, squareAtNyquist, squareLow, squareAtBand };

    struct BoundedCase
    {
        double fs;
        Signal signal;
    };

    void PrintTo (const BoundedCase& c, std::ostream* os)
    {
        *os << "fs " << c.fs << " signal " << static_cast<int> (c.signal);
    }

    class LongRuns : public ::testing::TestWithParam<BoundedCase> {};

    TEST_P (LongRuns, FullScaleInputStaysBounded)
    {
        const BoundedCase& c = GetParam();
        const int frames = static_cast<int> (c.fs) * 2;
        const int bandPeriod = std::max (2, static_cast<int> (c.fs / 7000.0));

        for (double m : { 0.0, 1.0 })
        {
            CDSP dsp;
            std::mt19937 rng (4);
            std::uniform_real_distribution<double> dist (-1.0, 1.0);
            double peak = 0.0;

            for (int i = 0; i < frames; ++i)
            {
                double x = 0.0;
                switch (c.signal)
                {
                    case Signal::noise:           x = dist (rng); break;
                    case Signal::squareAtNyquist: x = (i % 2 == 0) ? 1.0 : -1.0; break;
                    case Signal::squareLow:       x = ((i / 200) % 2 == 0) ? 1.0 : -1.0; break;
                    case Signal::squareAtBand:    x = ((i / bandPeriod) % 2 == 0) ? 1.0 : -1.0; break;
                }

                double l = 0.0, r = 0.0;
                dsp.DoProcess (x, -x, &l, &r, c.fs, m, 0.5, false, false);
                peak = std::fmax (peak, std::fmax (std::fabs (l), std::fabs (r)));
            }

            // Sum of all band boosts is under +13 dB; anything far beyond that is a runaway.
            EXPECT_LT (peak, 8.0) << "fs " << c.fs << " m " << m;
        }
    }

    INSTANTIATE_TEST_SUITE_P (
        RatesAndSignals, LongRuns,
        ::testing::Values (BoundedCase { 8000.0, Signal::noise }, BoundedCase { 8000.0, Signal::squareAtNyquist },
                           BoundedCase { 11025.0, Signal::noise }, BoundedCase { 11025.0, Signal::squareAtBand },
                           BoundedCase { 16000.0, Signal::noise }, BoundedCase { 16000.0, Signal::squareAtNyquist },
                           BoundedCase { 22050.0, Signal::squareAtBand }, BoundedCase { 44100.0, Signal::noise },
                           BoundedCase { 48000.0, Signal::squareLow }, BoundedCase { 192000.0, Signal::noise },
                           BoundedCase { 384000.0, Signal::noise }, BoundedCase { 384000.0, Signal::squareLow }));

    //==========================================================================
    class GainAccuracy : public ::testing::TestWithParam<double> {};

    TEST_P (GainAccuracy, EveryBandIsWithinHalfADecibelOfItsGain)
    {
        const double fs = GetParam();
        CDSP dsp;

        for (int i = 0; i <= 50; ++i)
            for (double p : { 0.25, 0.5, 0.75 })
            {
                const double m = i / 50.0;
                designAt (dsp, fs, m, p);

                for (int s = 0; s < numBands; ++s)
                {
                    const double g = gainOf (dsp, s);
                    if (g == 0.0)
                        continue;

                    const Coefficients c = storedCoefficients (dsp, 0, s);
                    const double error = (s == band20Hz)
                                             ? shelfGainErrorDb (c, static_cast<float> (g))
                                             : peakingGainErrorDb (c, piF[s], static_cast<float> (fs), g);
                    EXPECT_LE (std::fabs (error), maxGainErrorDb) << "fs " << fs << " m " << m << " band " << s;
                    EXPECT_TRUE (dsp.bandRunnable[0][s]);
                }
            }
    }

    INSTANTIATE_TEST_SUITE_P (CommonAndHighRates, GainAccuracy,
                              ::testing::Values (44100.0, 48000.0, 88200.0, 96000.0, 176400.0, 192000.0,
                                                 352800.0, 384000.0, 768000.0));

    TEST (GainAccuracy, HighRateShelfUsesTheDoubleFallback)
    {
        struct Case { double fs, m, gainDb; };
        // m = 0.75 gives a -4 dB shelf, m = 0.53125 a -0.5 dB one.
        const Case cases[] = { { 384000.0, 0.75, -4.0 }, { 768000.0, 0.53125, -0.5 }, { 768000.0, 1.0, -8.0 } };

        for (const Case& c : cases)
        {
            CDSP dsp;
            designAt (dsp, c.fs, c.m, 0.5);
            ASSERT_EQ (dsp.gain20, c.gainDb);

            // The plain design is far off here ...
            const Coefficients plain = lowShelfMixedPrecision (static_cast<float> (c.fs), static_cast<float> (c.gainDb));
            EXPECT_GT (std::fabs (shelfGainErrorDb (plain, c.gainDb)), 2.0) << c.fs;

            // ... and the engine's is not, on both channels.
            for (int ch = 0; ch < 2; ++ch)
            {
                EXPECT_TRUE (dsp.bandUsedDouble[ch][band20Hz]);
                EXPECT_NEAR (shelfGainErrorDb (storedCoefficients (dsp, ch, band20Hz), c.gainDb), 0.0, 0.01) << c.fs;
            }
        }
    }

    TEST (GainAccuracy, HighRateShelfHasTheRightLevelInTheSignal)
    {
        // A constant input settles at the DC gain. The balance at 1 keeps the low peaking pair
        // out, so the shelf alone sets the level.
        CDSP dsp;
        double l = 0.0, r = 0.0;

        for (int i = 0; i < 384000 * 2; ++i)
            dsp.DoProcess (0.5, 0.5, &l, &r, 384000.0, 0.75, 1.0, false, false);

        EXPECT_NEAR (20.0 * std::log10 (l / 0.5), -4.0, 0.05);
        EXPECT_EQ (l, r);
    }

    //==========================================================================
    class CommonRates : public ::testing::TestWithParam<double> {};

    TEST_P (CommonRates, DesignsNeverFallBack)
    {
        const double fs = GetParam();

        for (int i = 0; i <= 1000; ++i)
        {
            const double m = i / 1000.0;
            const double shelfGain = -std::fabs (m * 16.0 - 8.0);
            const double peakGains[numBands] = { 0.0, m * 12.0 - 6.0, m * 12.0 - 6.0, m * 10.0 - 5.0, m * 6.0 - 3.0 };

            EXPECT_FALSE (designLowShelf (static_cast<float> (fs), static_cast<float> (shelfGain)).usedDouble)
                << "fs " << fs << " m " << m;

            for (int s = band128Hz; s < numBands; ++s)
                for (double scale : { 1.0, 0.5, 0.1 })
                    EXPECT_FALSE (designPeaking (s, fs, peakGains[s] * scale, 1.58).usedDouble)
                        << "fs " << fs << " m " << m << " band " << s;
        }
    }

    TEST_P (CommonRates, EngineCoefficientsAreThePlainDesignBitForBit)
    {
        const double fs = GetParam();
        const float q[numBands] = { 0.0f, qFromBandwidth (1.58), qFromBandwidth (1.58), q68Hz, q6kHz };
        CDSP dsp;

        for (int i = 0; i <= 20; ++i)
            for (double p : balanceGrid)
            {
                const double m = i / 20.0;
                designAt (dsp, fs, m, p);

                for (int s = 0; s < numBands; ++s)
                {
                    const Coefficients expected =
                        (s == band20Hz) ? lowShelfMixedPrecision (static_cast<float> (fs), static_cast<float> (dsp.gain20))
                                        : peakingMixedPrecision (piF[s], static_cast<float> (fs),
                                                                 static_cast<float> (gainOf (dsp, s)), q[s]);

                    for (int ch = 0; ch < 2; ++ch)
                    {
                        const Coefficients got = storedCoefficients (dsp, ch, s);
                        EXPECT_TRUE (sameBits (got.b0, expected.b0) && sameBits (got.b1, expected.b1)
                                     && sameBits (got.b2, expected.b2) && sameBits (got.a1, expected.a1)
                                     && sameBits (got.a2, expected.a2))
                            << "fs " << fs << " m " << m << " p " << p << " band " << s << " ch " << ch;
                        EXPECT_FALSE (dsp.bandUsedDouble[ch][s]);
                        EXPECT_TRUE (dsp.bandRunnable[ch][s]);
                    }
                }
            }
    }

    INSTANTIATE_TEST_SUITE_P (From44kTo96k, CommonRates, ::testing::Values (44100.0, 48000.0, 88200.0, 96000.0));

    //==========================================================================
    static_assert (std::is_same_v<decltype (CDSP::gain128), std::atomic<double>>);
    static_assert (std::is_same_v<decltype (CDSP::gain8k), std::atomic<double>>);

    TEST (DisplayedGains, ReadableFromAnotherThreadWhileProcessing)
    {
        CDSP dsp;
        std::atomic<bool> readerDone { false };
        int badReads = 0;

        // m alternates between 0 and 1 with the balance centred, so the only valid values are +-6.
        std::thread reader ([&] {
            for (int i = 0; i < 200000; ++i)
            {
                const double low = dsp.gain128.load (std::memory_order_relaxed);
                const double high = dsp.gain8k.load (std::memory_order_relaxed);
                if (std::fabs (low) != 6.0 && low != 0.0)
                    ++badReads;
                if (std::fabs (high) != 6.0 && high != 0.0)
                    ++badReads;
            }
            readerDone.store (true);
        });

        double l = 0.0, r = 0.0;
        int frame = 0;
        while (! readerDone.load())
        {
            dsp.DoProcess (0.1, 0.1, &l, &r, 48000.0, (frame / 64) % 2 == 0 ? 0.0 : 1.0, 0.5, false, false);
            ++frame;
        }

        reader.join();
        EXPECT_EQ (badReads, 0);
    }
} // namespace

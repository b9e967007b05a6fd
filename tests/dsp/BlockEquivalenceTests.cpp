// CDSP::processBlock against DoProcess called once per frame (the way blocks were processed
// before the block path existed): every output sample and every field of the engine must be
// bit-identical after every block, across rates, control schedules, bad inputs, silence,
// mono/stereo changes, resets and state written from outside.

#include "CDSP.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();

    bool sameBits (double a, double b) { return std::memcmp (&a, &b, sizeof a) == 0; }

    template <size_t N>
    bool sameArray (const double (&a)[2][N], const double (&b)[2][N])
    {
        return std::memcmp (a, b, sizeof a) == 0;
    }

    // Every observable field, bit for bit; returns the first that differs.
    std::string firstDifference (const CDSP& a, const CDSP& b)
    {
        if (! sameBits (a.gain128.load(), b.gain128.load())) return "gain128";
        if (! sameBits (a.gain8k.load(), b.gain8k.load())) return "gain8k";
        if (! sameBits (a.gain20, b.gain20)) return "gain20";
        if (! sameBits (a.gain68, b.gain68)) return "gain68";
        if (! sameBits (a.gain6k, b.gain6k)) return "gain6k";
        if (! sameBits (a.width128, b.width128) || ! sameBits (a.width8k, b.width8k)) return "widths";
        if (! sameBits (a.prevMain, b.prevMain)) return "prevMain";
        if (! sameBits (a.prevPitch, b.prevPitch)) return "prevPitch";
        if (a.coeffsDirty != b.coeffsDirty) return "coeffsDirty";
        if (! sameArray (a.x1, b.x1)) return "x1";
        if (! sameArray (a.x2, b.x2)) return "x2";
        if (! sameArray (a.y1, b.y1)) return "y1";
        if (! sameArray (a.y2, b.y2)) return "y2";
        if (! sameArray (a.b0, b.b0) || ! sameArray (a.b1, b.b1) || ! sameArray (a.b2, b.b2)
            || ! sameArray (a.a1, b.a1) || ! sameArray (a.a2, b.a2)) return "coefficients";
        if (a.overL != b.overL || a.overR != b.overR) return "overload flags";
        if (! sameBits (a.maxL, b.maxL) || ! sameBits (a.maxR, b.maxR)) return "maxima";
        if (a.silenceCleared != b.silenceCleared) return "silenceCleared";
        if (std::memcmp (a.bandRunnable, b.bandRunnable, sizeof a.bandRunnable) != 0) return "bandRunnable";
        if (std::memcmp (a.bandUsedDouble, b.bandUsedDouble, sizeof a.bandUsedDouble) != 0) return "bandUsedDouble";
        return {};
    }

    // How the controls move, as a function of the running frame number.
    enum class Controls
    {
        steady,            // one setting throughout
        everyBlock,        // main alternates between two values, once per block
        midBlock,          // changes at random frames inside blocks
        everyFrame,        // an automation ramp: a new value on every frame
        signedZeroBalance, // balance flips between +0 and -0: equal values, different bits
        occasionalNaN,     // a NaN main for a few frames now and then
        belowRange         // both -1 (as reset leaves prevMain and prevPitch) and main above 1
    };

    // What the input looks like.
    enum class Input
    {
        music,     // noise and partials, peak around 0.5
        badValues, // music with NaN, infinities, subnormals and -0 sprinkled in
        loud,      // values up to 1e300, so sections overflow
        silences   // music broken by silent blocks (all below the silence level)
    };

    // What happens between blocks.
    enum class Between
    {
        nothing,
        monoBlocks,     // every third block is processed as mono
        resets,         // an occasional reset
        poisonedState   // state written from outside: NaN, -0, subnormals, infinities
    };

    struct Case
    {
        const char* name;
        double rate;
        double main, pitch; // the settings the schedules move around
        Controls controls;
        Input input;
        Between between;
    };

    void PrintTo (const Case& c, std::ostream* os) { *os << c.name << " at " << c.rate; }

    class Schedule
    {
    public:
        Schedule (const Case& c, unsigned seed) : settings (c), random (seed) {}

        void controlsFor (long frame, bool blockStart, double& main, double& pitch)
        {
            main = settings.main;
            pitch = settings.pitch;

            switch (settings.controls)
            {
                case Controls::steady: break;
                case Controls::everyBlock:
                    if (blockStart) alternate = ! alternate;
                    main = alternate ? settings.main : settings.main + 0.001;
                    break;
                case Controls::midBlock:
                    if (std::uniform_int_distribution<int> (0, 40) (random) == 0)
                        held = std::uniform_real_distribution<double> (0.0, 1.0) (random);
                    main = held;
                    break;
                case Controls::everyFrame:
                    main = 0.5 + 0.5 * std::sin ((double) frame * 0.001);
                    break;
                case Controls::signedZeroBalance:
                    pitch = ((frame / 7) % 2 == 0) ? 0.0 : -0.0;
                    break;
                case Controls::occasionalNaN:
                    if (frame % 300 < 3) main = nan;
                    break;
                case Controls::belowRange:
                    // Half the time both are -1, the values reset leaves in prevMain and prevPitch.
                    if ((frame / 400) % 2 == 0)
                    {
                        main = -1.0;
                        pitch = -1.0;
                    }
                    else
                    {
                        main = (frame / 100) % 2 == 0 ? 1.5 : settings.main;
                    }
                    break;
            }
        }

        double sample (long frame, int channel, bool silentBlock)
        {
            const double t = (double) frame / settings.rate;
            double v = 0.3 * std::sin (6.283185307179586 * (70.0 + 11.0 * channel) * t)
                     + 0.15 * std::sin (6.283185307179586 * 7000.0 * t) + 0.1 * noise (random);

            if (silentBlock)
                return v * 1.0e-9;

            if (settings.input == Input::loud)
                v *= std::pow (10.0, std::uniform_real_distribution<double> (0.0, 300.0) (random));

            if (settings.input == Input::badValues)
            {
                static const double bad[] = { nan, inf, -inf, 4.9e-324, -2.0e-310, -0.0, 0.0, 1.0e-300 };

                if (std::uniform_int_distribution<int> (0, 25) (random) == 0)
                    v = bad[std::uniform_int_distribution<int> (0, 7) (random)];
            }

            return v;
        }

        std::mt19937& generator() { return random; }

    private:
        Case settings;
        std::mt19937 random;
        std::uniform_real_distribution<double> noise { -1.0, 1.0 };
        bool alternate = false;
        double held = 0.6;
    };

    void poison (CDSP& a, CDSP& b, std::mt19937& random)
    {
        static const double bad[] = { nan, -0.0, 3.0e-310, inf, -inf, 1.0e-9, 2.0e-8 };
        std::uniform_int_distribution<int> pick (0, 6), channel (0, 1), band (0, 4), field (0, 3);

        for (int n = 0; n < 3; ++n)
        {
            const double v = bad[pick (random)];
            const int c = channel (random), s = band (random);
            const int f = field (random);
            double (*fields[]) [5] = { a.x1, a.x2, a.y1, a.y2 };
            double (*same[]) [5] = { b.x1, b.x2, b.y1, b.y2 };
            fields[f][c][s] = v;
            same[f][c][s] = v;
        }
    }

    template <typename Sample>
    void runCase (const Case& c, unsigned seed)
    {
        CDSP reference, candidate;
        reference.reset();
        candidate.reset();

        Schedule referenceSchedule (c, seed), candidateSchedule (c, seed), input (c, seed + 1);
        std::mt19937 random (seed + 2);
        long frame = 0;

        for (int block = 0; block < 160; ++block)
        {
            const int numFrames = block % 17 == 5 ? 0 : std::uniform_int_distribution<int> (1, 600) (random);
            const bool mono = c.between == Between::monoBlocks && block % 3 == 2;
            const bool silentBlock = c.input == Input::silences && block % 5 >= 3;

            if (c.between == Between::resets && block % 23 == 11)
            {
                reference.reset();
                candidate.reset();
            }

            if (c.between == Between::poisonedState && block % 7 == 4)
                poison (reference, candidate, random);

            std::vector<Sample> left ((size_t) numFrames), right ((size_t) numFrames);

            for (int i = 0; i < numFrames; ++i)
            {
                left[(size_t) i] = (Sample) input.sample (frame + i, 0, silentBlock);
                right[(size_t) i] = (Sample) input.sample (frame + i, 1, silentBlock);
            }

            // The processor's rule, with an occasional disagreement so the flag is tested on its own.
            double peak = 0.0;

            for (int i = 0; i < numFrames; ++i)
                peak = std::fmax (peak, std::fmax (std::fabs ((double) left[(size_t) i]),
                                                   mono ? 0.0 : std::fabs ((double) right[(size_t) i])));

            bool silent = numFrames == 0 || peak < 9.999999999999982e-9;

            if (block % 29 == 13)
                silent = ! silent;

            auto expectedLeft = left, expectedRight = right;
            Sample* refRight = mono ? expectedLeft.data() : expectedRight.data();

            for (int i = 0; i < numFrames; ++i)
            {
                double m = 0.0, p = 0.0, outL = 0.0, outR = 0.0;
                referenceSchedule.controlsFor (frame + i, i == 0, m, p);
                reference.DoProcess ((double) expectedLeft[(size_t) i], (double) refRight[i], &outL, &outR,
                                     c.rate, m, p, silent, mono);
                expectedLeft[(size_t) i] = (Sample) outL;

                if (! mono)
                    expectedRight[(size_t) i] = (Sample) outR;
            }

            int reads = 0;
            Sample* candidateRight = mono ? left.data() : right.data();
            candidate.processBlock (left.data(), candidateRight, numFrames, c.rate,
                                    [&] (double& m, double& p)
                                    {
                                        candidateSchedule.controlsFor (frame + reads, reads == 0, m, p);
                                        ++reads;
                                    },
                                    silent, mono);

            ASSERT_EQ (reads, numFrames) << "the controls must be read once per frame, block " << block;

            for (int i = 0; i < numFrames; ++i)
            {
                ASSERT_TRUE (sameBits ((double) left[(size_t) i], (double) expectedLeft[(size_t) i]))
                    << "left, block " << block << " frame " << i << ": " << left[(size_t) i] << " vs " << expectedLeft[(size_t) i];

                if (! mono)
                    ASSERT_TRUE (sameBits ((double) right[(size_t) i], (double) expectedRight[(size_t) i]))
                        << "right, block " << block << " frame " << i << ": " << right[(size_t) i] << " vs " << expectedRight[(size_t) i];
                else
                    ASSERT_TRUE (sameBits ((double) right[(size_t) i], (double) expectedRight[(size_t) i]))
                        << "mono wrote the second channel, block " << block << " frame " << i;
            }

            const auto difference = firstDifference (reference, candidate);
            ASSERT_TRUE (difference.empty()) << difference << " differs after block " << block;
            frame += numFrames;
        }
    }

    class BlockEquivalence : public ::testing::TestWithParam<Case> {};

    TEST_P (BlockEquivalence, DoublePrecisionMatchesFrameByFrame)
    {
        runCase<double> (GetParam(), 7u);
    }

    TEST_P (BlockEquivalence, SinglePrecisionMatchesFrameByFrame)
    {
        runCase<float> (GetParam(), 19u);
    }

    INSTANTIATE_TEST_SUITE_P (
        Schedules, BlockEquivalence,
        ::testing::Values (
            Case { "five bands, steady", 48000.0, 0.75, 0.5, Controls::steady, Input::music, Between::nothing },
            Case { "flat: no band runs", 44100.0, 0.5, 0.3, Controls::steady, Input::music, Between::nothing },
            Case { "low pair off (balance 1)", 96000.0, 0.9, 1.0, Controls::steady, Input::music, Between::nothing },
            Case { "high pair off (balance 0), mono blocks", 48000.0, 0.2, 0.0, Controls::everyBlock, Input::music, Between::monoBlocks },
            Case { "bands at Nyquist do not run", 8000.0, 0.8, 0.4, Controls::everyBlock, Input::music, Between::nothing },
            Case { "double-precision designs", 384000.0, 0.1, 0.6, Controls::midBlock, Input::music, Between::nothing },
            Case { "automation ramp", 44100.0, 0.7, 0.5, Controls::everyFrame, Input::music, Between::monoBlocks },
            Case { "balance +0 and -0", 48000.0, 0.3, 0.0, Controls::signedZeroBalance, Input::music, Between::nothing },
            Case { "NaN main now and then", 22050.0, 0.65, 0.5, Controls::occasionalNaN, Input::badValues, Between::nothing },
            Case { "controls outside 0..1, resets", 48000.0, 0.8, 0.7, Controls::belowRange, Input::music, Between::resets },
            Case { "bad input values", 192000.0, 0.95, 0.55, Controls::midBlock, Input::badValues, Between::monoBlocks },
            Case { "overflowing input", 48000.0, 1.0, 0.5, Controls::steady, Input::loud, Between::nothing },
            Case { "silent blocks", 44100.0, 0.85, 0.45, Controls::everyBlock, Input::silences, Between::nothing },
            Case { "state written from outside", 48000.0, 0.75, 0.5, Controls::steady, Input::music, Between::poisonedState },
            Case { "state written from outside, moving controls", 11025.0, 0.25, 0.8, Controls::midBlock, Input::badValues, Between::poisonedState }));
} // namespace

#include "RealtimeProbe.h"
#include "PluginProcessor.h"

#include <gtest/gtest.h>

#include <mutex>
#include <random>

namespace
{
using Set = juce::AudioChannelSet;

// Music-like test material: a few partials and some noise, peaking near `peak`.
template <typename Sample>
juce::AudioBuffer<Sample> makeSignal (int numChannels, int numSamples, double peak, unsigned seed = 1)
{
    std::mt19937 random (seed);
    std::uniform_real_distribution<double> noise (-1.0, 1.0);
    juce::AudioBuffer<Sample> buffer (numChannels, numSamples);

    for (int channel = 0; channel < numChannels; ++channel)
        for (int i = 0; i < numSamples; ++i)
        {
            const auto t = i / 48000.0;
            const auto value = 0.4 * std::sin (2.0 * juce::MathConstants<double>::pi * (60.0 + 10 * channel) * t)
                             + 0.3 * std::sin (2.0 * juce::MathConstants<double>::pi * 7000.0 * t)
                             + 0.2 * noise (random);
            buffer.setSample (channel, i, (Sample) (peak * value / 0.9));
        }

    return buffer;
}

class BlockProcessingTest : public ::testing::Test
{
protected:
    void prepare (const Set& layout, double sampleRate = 48000.0, int blockSize = 512)
    {
        juce::AudioProcessor::BusesLayout buses;
        buses.inputBuses.add (layout);
        buses.outputBuses.add (layout);
        ASSERT_TRUE (processor.setBusesLayout (buses));
        processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
        processor.prepareToPlay (sampleRate, blockSize);
    }

    template <typename Sample>
    void process (juce::AudioBuffer<Sample>& buffer)
    {
        processor.processBlock (buffer, midi);
    }

    void setControls (bool enabled, float main, float pitch)
    {
        processor.enableParam->setValueNotifyingHost (enabled ? 1.0f : 0.0f);
        processor.mainParam->setValueNotifyingHost (main);
        processor.pitchParam->setValueNotifyingHost (pitch);
    }

    OlvarAudioProcessor processor;
    juce::MidiBuffer midi;
};

bool stateIsClear (const CDSP& dsp, int channel)
{
    for (int band = 0; band < CDSP::numBands; ++band)
        if (dsp.x1[channel][band] != 0.0 || dsp.x2[channel][band] != 0.0
            || dsp.y1[channel][band] != 0.0 || dsp.y2[channel][band] != 0.0)
            return false;

    return true;
}
} // namespace

TEST_F (BlockProcessingTest, FlatSettingsPassEverySampleUnchanged)
{
    prepare (Set::stereo());

    for (const auto pitch : { 0.0f, 0.3f, 0.5f, 1.0f })
    {
        setControls (true, 0.5f, pitch);
        auto buffer = makeSignal<double> (2, 512, 0.9);
        const auto original = buffer;
        process (buffer);

        for (int channel = 0; channel < 2; ++channel)
            for (int i = 0; i < 512; ++i)
                ASSERT_EQ (buffer.getSample (channel, i), original.getSample (channel, i)) << "pitch " << pitch;
    }
}

TEST_F (BlockProcessingTest, SinglePrecisionIsTheRoundedDoublePrecisionResult)
{
    prepare (Set::stereo());
    setControls (true, 0.83f, 0.31f);

    OlvarAudioProcessor reference;
    reference.setRateAndBufferSizeDetails (48000.0, 512);
    reference.prepareToPlay (48000.0, 512);
    reference.mainParam->setValueNotifyingHost (0.83f);
    reference.pitchParam->setValueNotifyingHost (0.31f);

    for (int block = 0; block < 20; ++block)
    {
        auto single = makeSignal<float> (2, 512, 0.8, (unsigned) block);
        juce::AudioBuffer<double> twice;
        twice.makeCopyOf (single);

        process (single);
        reference.processBlock (twice, midi);

        for (int channel = 0; channel < 2; ++channel)
            for (int i = 0; i < 512; ++i)
                ASSERT_EQ (single.getSample (channel, i), (float) twice.getSample (channel, i))
                    << "block " << block << " channel " << channel << " sample " << i;
    }
}

TEST_F (BlockProcessingTest, BoostChangesTheSignalAndReachesTheMeters)
{
    prepare (Set::stereo());
    setControls (true, 1.0f, 0.5f);

    auto buffer = makeSignal<double> (2, 4800, 0.3);
    const auto original = buffer;
    process (buffer);

    EXPECT_GT (buffer.getRMSLevel (0, 0, 4800), original.getRMSLevel (0, 0, 4800));
    EXPECT_EQ (processor.dsp->gain128.load(), 6.0);
    EXPECT_EQ (processor.dsp->gain8k.load(), 6.0);
}

TEST_F (BlockProcessingTest, MonoProcessesOnlyTheFirstChannel)
{
    prepare (Set::mono());
    setControls (true, 0.9f, 0.5f);

    auto buffer = makeSignal<float> (1, 512, 0.5);
    const auto original = buffer;
    process (buffer);

    EXPECT_NE (buffer.getSample (0, 100), original.getSample (0, 100));
    EXPECT_FALSE (stateIsClear (*processor.dsp, 0));
    EXPECT_TRUE (stateIsClear (*processor.dsp, 1));
}

TEST (BlockProcessingLayouts, MonoInputClearsASecondOutputChannel)
{
    // The plug-in refuses mono in, stereo out; a host that forces it still gets a clean output.
    struct ForcedLayoutProcessor : OlvarAudioProcessor
    {
        bool isBusesLayoutSupported (const BusesLayout&) const override { return true; }
    };

    ForcedLayoutProcessor processor;
    processor.setPlayConfigDetails (1, 2, 48000.0, 256);
    ASSERT_EQ (processor.getTotalNumInputChannels(), 1);
    ASSERT_EQ (processor.getTotalNumOutputChannels(), 2);
    processor.prepareToPlay (48000.0, 256);
    processor.mainParam->setValueNotifyingHost (0.9f);

    auto buffer = makeSignal<double> (2, 256, 0.5);
    const auto original = buffer;
    juce::MidiBuffer midi;
    processor.processBlock (buffer, midi);

    EXPECT_EQ (buffer.getMagnitude (1, 0, 256), 0.0);
    EXPECT_NE (buffer.getSample (0, 100), original.getSample (0, 100));
    EXPECT_TRUE (stateIsClear (*processor.dsp, 1));
}

TEST_F (BlockProcessingTest, SwitchedOffPassesAudioAndDarkensTheMeters)
{
    prepare (Set::stereo());
    setControls (true, 1.0f, 0.5f);
    auto warmUp = makeSignal<double> (2, 512, 0.5);
    process (warmUp);
    const auto stateBefore = processor.dsp->y1[0][1];

    setControls (false, 1.0f, 0.5f);
    auto buffer = makeSignal<double> (2, 512, 0.5, 7);
    const auto original = buffer;
    process (buffer);

    for (int channel = 0; channel < 2; ++channel)
        for (int i = 0; i < 512; ++i)
            ASSERT_EQ (buffer.getSample (channel, i), original.getSample (channel, i));

    EXPECT_EQ (processor.lowLampLevel.load(), -1);
    EXPECT_EQ (processor.highLampLevel.load(), -1);
    EXPECT_EQ (processor.dsp->y1[0][1], stateBefore) << "the engine ran while switched off";
}

TEST_F (BlockProcessingTest, ASilentBlockClearsTheFilterStateOnce)
{
    prepare (Set::stereo());
    setControls (true, 1.0f, 0.5f);
    auto loud = makeSignal<double> (2, 512, 0.5);
    process (loud);
    ASSERT_FALSE (stateIsClear (*processor.dsp, 0));

    juce::AudioBuffer<double> quiet (2, 512);
    quiet.clear();
    quiet.setSample (0, 3, 9.0e-9); // below the silence level, still "silent"
    process (quiet);

    EXPECT_TRUE (processor.dsp->silenceCleared);
    EXPECT_TRUE (stateIsClear (*processor.dsp, 1));

    quiet.setSample (1, 10, 2.0e-8); // above it: the next block re-arms the clearing
    process (quiet);
    EXPECT_FALSE (processor.dsp->silenceCleared);
}

TEST_F (BlockProcessingTest, OverloadLampHoldsForAboutOneSecond)
{
    prepare (Set::stereo(), 48000.0, 512);
    setControls (true, 0.5f, 0.5f);

    juce::AudioBuffer<double> buffer (2, 512);
    int lastLitBlock = -1;

    for (int block = 0; block < 200; ++block)
    {
        buffer.clear();

        if (block == 0)
            buffer.setSample (0, 100, 1.2);

        process (buffer);

        if (processor.overLampL.load() != 0)
            lastLitBlock = block;

        EXPECT_EQ (processor.overLampR.load(), 0);
    }

    // Two counts per sample while holding: the hold passes 96000 counts at the end of
    // block 93 (about 48000 samples), and the lamp goes out with the next block.
    EXPECT_EQ (lastLitBlock, 93);
}

TEST_F (BlockProcessingTest, NegativeExcursionsNeverLightALamp)
{
    prepare (Set::stereo());
    setControls (true, 0.5f, 0.5f);

    juce::AudioBuffer<double> buffer (2, 512);
    buffer.clear();
    buffer.setSample (0, 5, -1.5);
    buffer.setSample (1, 9, -3.0);
    process (buffer);

    EXPECT_EQ (processor.overLampL.load(), 0);
    EXPECT_EQ (processor.overLampR.load(), 0);
}

TEST_F (BlockProcessingTest, BadNumbersNeverReachTheOutput)
{
    for (const auto rate : { 8000.0, 11025.0, 44100.0, 192000.0, 384000.0 })
    {
        SCOPED_TRACE (rate);
        prepare (Set::stereo(), rate, 256);
        setControls (true, 1.0f, 0.5f);

        for (int block = 0; block < 200; ++block)
        {
            auto buffer = makeSignal<float> (2, 256, 1.0, (unsigned) block);

            if (block % 10 == 3)
            {
                buffer.setSample (0, 7, std::numeric_limits<float>::quiet_NaN());
                buffer.setSample (1, 8, std::numeric_limits<float>::infinity());
                buffer.setSample (0, 9, std::numeric_limits<float>::denorm_min());
            }

            process (buffer);

            for (int channel = 0; channel < 2; ++channel)
                for (int i = 0; i < 256; ++i)
                {
                    const auto value = buffer.getSample (channel, i);
                    ASSERT_TRUE (std::isfinite (value) && std::abs (value) < 8.0f) << value;
                    ASSERT_NE (std::fpclassify (value), FP_SUBNORMAL);
                }
        }
    }
}

TEST_F (BlockProcessingTest, EdgeBlocksAreHandled)
{
    prepare (Set::stereo());
    setControls (true, 1.0f, 0.5f);

    juce::AudioBuffer<float> empty (2, 0);
    process (empty);

    juce::AudioBuffer<double> noChannels (0, 64);
    process (noChannels);

    juce::AudioBuffer<float> longerThanAnnounced = makeSignal<float> (2, 8192, 0.5);
    process (longerThanAnnounced);
    EXPECT_TRUE (std::isfinite (longerThanAnnounced.getSample (1, 8191)));
}

TEST_F (BlockProcessingTest, ProcessingAllocatesAndLocksNothing)
{
    {
        ScopedRealtimeProbe selfCheck;
        const std::vector<float> allocated (100);
        juce::String text ("x");
        text << 12345;
        std::mutex mutex;
        mutex.lock();
        mutex.unlock();
        ASSERT_GE (selfCheck.getAllocations(), 2u) << "the probe does not see allocations";

        if (ScopedRealtimeProbe::canCountLocks())
        {
            ASSERT_GE (selfCheck.getLocks(), 1u) << "the probe does not see locks";
        }
    }

    prepare (Set::stereo(), 48000.0, 512);

    for (const auto precisionIsDouble : { false, true })
    {
        auto floats = makeSignal<float> (2, 512, 0.7);
        auto doubles = makeSignal<double> (2, 512, 0.7);

        size_t allocations = 0, locks = 0;

        for (int block = 0; block < 50; ++block)
        {
            // Changing controls make the engine recompute its coefficients too. (Setting the
            // parameter is the host's side and may lock; only processing is watched.)
            processor.mainParam->setValueNotifyingHost ((float) block / 50.0f);

            const ScopedRealtimeProbe probe;

            if (precisionIsDouble)
                process (doubles);
            else
                process (floats);

            allocations += probe.getAllocations();
            locks += probe.getLocks();
        }

        const auto* precision = precisionIsDouble ? "double" : "single";
        EXPECT_EQ (allocations, 0u) << precision << " precision";

        if (ScopedRealtimeProbe::canCountLocks())
        {
            EXPECT_EQ (locks, 0u) << precision << " precision";
        }
    }
}

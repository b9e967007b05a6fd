#include "PluginProcessor.h"

#include <gtest/gtest.h>

namespace
{
using Set = juce::AudioChannelSet;

juce::AudioProcessor::BusesLayout layoutOf (std::vector<Set> inputs, std::vector<Set> outputs)
{
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.addArray (inputs.data(), (int) inputs.size());
    layout.outputBuses.addArray (outputs.data(), (int) outputs.size());
    return layout;
}
} // namespace

TEST (ProcessorAnswers, FixedAnswersToTheHost)
{
    OlvarAudioProcessor processor;

    EXPECT_EQ (processor.getName(), "Olvar");
    EXPECT_FALSE (processor.acceptsMidi());
    EXPECT_FALSE (processor.producesMidi());
    EXPECT_FALSE (processor.isMidiEffect());
    EXPECT_TRUE (processor.hasEditor());
    EXPECT_TRUE (processor.supportsDoublePrecisionProcessing());
    EXPECT_EQ (processor.getTailLengthSeconds(), 0.0);
    EXPECT_EQ (processor.getBusCount (true), 1);
    EXPECT_EQ (processor.getBusCount (false), 1);
    EXPECT_EQ (processor.getBus (true, 0)->getName(), "Input");
    EXPECT_EQ (processor.getBus (false, 0)->getName(), "Output");
    EXPECT_EQ (processor.getMainBusNumInputChannels(), 2);
    EXPECT_EQ (processor.getMainBusNumOutputChannels(), 2);
    EXPECT_EQ (processor.getBypassParameter(), nullptr);

    EXPECT_EQ (processor.lowLampLevel.load(), 1);
    EXPECT_EQ (processor.highLampLevel.load(), 1);
    EXPECT_EQ (processor.overLampL.load(), 0);
    EXPECT_EQ (processor.overLampR.load(), 0);
}

TEST (ProcessorAnswers, OneProgramThatCannotBeChanged)
{
    OlvarAudioProcessor processor;

    EXPECT_EQ (processor.getNumPrograms(), 1);
    EXPECT_EQ (processor.getCurrentProgram(), 0);

    processor.setCurrentProgram (3);
    processor.changeProgramName (0, "Renamed");
    EXPECT_EQ (processor.getCurrentProgram(), 0);

    for (const auto index : { -1, 0, 1, 7 })
        EXPECT_EQ (processor.getProgramName (index), "") << "program " << index;
}

namespace
{
struct LayoutCase
{
    const char* name;
    std::vector<Set> inputs;
    std::vector<Set> outputs;
    bool supported;
};

void PrintTo (const LayoutCase& c, std::ostream* os) { *os << c.name; }
} // namespace

class BusLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P (BusLayoutTest, AcceptsOnlyMatchingMonoOrStereo)
{
    OlvarAudioProcessor processor;
    const auto& c = GetParam();

    EXPECT_EQ (processor.checkBusesLayoutSupported (layoutOf (c.inputs, c.outputs)), c.supported);
}

INSTANTIATE_TEST_SUITE_P (Layouts, BusLayoutTest,
    ::testing::Values (LayoutCase { "monoMono", { Set::mono() }, { Set::mono() }, true },
                       LayoutCase { "stereoStereo", { Set::stereo() }, { Set::stereo() }, true },
                       LayoutCase { "monoStereo", { Set::mono() }, { Set::stereo() }, false },
                       LayoutCase { "stereoMono", { Set::stereo() }, { Set::mono() }, false },
                       LayoutCase { "disabledInMono", { Set::disabled() }, { Set::mono() }, false },
                       LayoutCase { "disabledInStereo", { Set::disabled() }, { Set::stereo() }, false },
                       LayoutCase { "noInputStereo", {}, { Set::stereo() }, false },
                       LayoutCase { "stereoDisabledOut", { Set::stereo() }, { Set::disabled() }, false },
                       LayoutCase { "stereoNoOutput", { Set::stereo() }, {}, false },
                       LayoutCase { "fiveChannels", { Set::create5point0() }, { Set::create5point0() }, false },
                       LayoutCase { "lcrIntoStereo", { Set::createLCR() }, { Set::stereo() }, false }),
    [] (const auto& testInfo) { return std::string (testInfo.param.name); });

TEST (ProcessorBuses, MonoLayoutIsApplied)
{
    OlvarAudioProcessor processor;

    ASSERT_TRUE (processor.setBusesLayout (layoutOf ({ Set::mono() }, { Set::mono() })));
    EXPECT_EQ (processor.getTotalNumInputChannels(), 1);
    EXPECT_EQ (processor.getTotalNumOutputChannels(), 1);
    EXPECT_FALSE (processor.setBusesLayout (layoutOf ({ Set::mono() }, { Set::stereo() })));
}

struct ParameterCase
{
    int index;
    const char* id;
    const char* name;
    float defaultValue;
    const char* defaultText;
};

TEST (ProcessorParameters, ListsTheThreeParametersInOrder)
{
    OlvarAudioProcessor processor;
    const auto& parameters = processor.getParameters();
    ASSERT_EQ (parameters.size(), 3);

    const ParameterCase expected[] = { { 0, "dbEnable", "Enable", 1.0f, "On" },
                                       { 1, "dbMain", "Level", 0.5f, "0.50" },
                                       { 2, "dbPitch", "Pitch", 0.5f, "0.50" } };

    for (const auto& e : expected)
    {
        auto* parameter = dynamic_cast<juce::RangedAudioParameter*> (parameters[e.index]);
        ASSERT_NE (parameter, nullptr);
        SCOPED_TRACE (e.id);

        EXPECT_EQ (parameter->getParameterIndex(), e.index);
        EXPECT_EQ (parameter->getParameterID(), e.id);
        EXPECT_EQ (parameter->getVersionHint(), 0);
        EXPECT_EQ (parameter->getName (100), e.name);
        EXPECT_EQ (parameter->getLabel(), "");
        EXPECT_EQ (parameter->getDefaultValue(), e.defaultValue);
        EXPECT_EQ (parameter->getValue(), e.defaultValue);
        EXPECT_EQ (parameter->getCurrentValueAsText(), e.defaultText);
        EXPECT_TRUE (parameter->isAutomatable());
        EXPECT_FALSE (parameter->isMetaParameter());
        EXPECT_FALSE (parameter->isOrientationInverted());
        EXPECT_EQ (parameter->getCategory(), juce::AudioProcessorParameter::genericParameter);
    }

    EXPECT_EQ (parameters[0], processor.enableParam);
    EXPECT_EQ (parameters[1], processor.mainParam);
    EXPECT_EQ (parameters[2], processor.pitchParam);
}

TEST (ProcessorParameters, AmountsSnapToThousandthsAndShowTwoDecimals)
{
    OlvarAudioProcessor processor;

    for (auto* parameter : { processor.mainParam, processor.pitchParam })
    {
        SCOPED_TRACE (parameter->getParameterID());
        auto& asHostSeesIt = static_cast<juce::AudioProcessorParameter&> (*parameter);
        EXPECT_EQ (parameter->range.interval, 0.001f);

        parameter->setValueNotifyingHost (0.12345f);
        EXPECT_FLOAT_EQ (parameter->get(), 0.123f);
        EXPECT_EQ (parameter->getCurrentValueAsText(), "0.12");
        EXPECT_EQ (asHostSeesIt.getText (0.987f, 100), "0.99");

        parameter->setValueNotifyingHost (1.7f);
        EXPECT_EQ (parameter->get(), 1.0f);
        parameter->setValueNotifyingHost (-0.3f);
        EXPECT_EQ (parameter->get(), 0.0f);
    }
}

TEST (ProcessorParameters, TextParsesAsAPlainNumber)
{
    OlvarAudioProcessor processor;
    auto& pitch = static_cast<juce::AudioProcessorParameter&> (*processor.pitchParam);

    const std::pair<const char*, float> cases[] = { { "0.25", 0.25f }, { "letters", 0.0f }, { "", 0.0f },
                                                     { "2", 1.0f }, { "-1", 0.0f }, { "0.7xyz", 0.7f } };

    for (const auto& [text, value] : cases)
        EXPECT_FLOAT_EQ (pitch.getValueForText (text), value) << text;
}

TEST (ProcessorParameters, SwitchIsOnFromHalfWay)
{
    OlvarAudioProcessor processor;

    const std::pair<float, bool> cases[] = { { 0.0f, false }, { 0.49f, false }, { 0.4999f, false },
                                             { 0.5f, true }, { 0.75f, true }, { 1.0f, true } };

    for (const auto& [normalised, on] : cases)
    {
        processor.enableParam->setValueNotifyingHost (normalised);
        EXPECT_EQ (processor.enableParam->get(), on) << normalised;
    }
}

TEST (ProcessorProcessing, DefaultSettingsPassAudioUnchanged)
{
    OlvarAudioProcessor processor;
    processor.prepareToPlay (48000.0, 64);

    juce::AudioBuffer<double> buffer (2, 64);

    for (int i = 0; i < 64; ++i)
    {
        buffer.setSample (0, i, std::sin (0.1 * i));
        buffer.setSample (1, i, std::cos (0.1 * i));
    }

    juce::AudioBuffer<double> original (buffer);
    juce::MidiBuffer midi;
    processor.processBlock (buffer, midi);

    for (int channel = 0; channel < 2; ++channel)
        for (int i = 0; i < 64; ++i)
            EXPECT_EQ (buffer.getSample (channel, i), original.getSample (channel, i));

    processor.releaseResources();
}

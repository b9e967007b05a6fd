#include "PluginProcessor.h"

#include <gtest/gtest.h>

#include <random>

namespace
{
const std::string exampleText =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?> <MYPLUGINSETTINGS dbEnable=\"1\" dbMain=\"0.5\" dbPitch=\"0.5\"/>";

// A block with the given text; the length field defaults to the text's length.
juce::MemoryBlock makeBlock (const std::string& text, std::optional<int32_t> length = {}, uint32_t magic = 0x21324356)
{
    juce::MemoryOutputStream out;
    out.writeInt ((int) magic);
    out.writeInt (length.value_or ((int32_t) text.size()));
    out.write (text.data(), text.size());
    out.writeByte (0);
    return out.getMemoryBlock();
}

std::string settingsText (const std::string& attributes, const std::string& tag = "MYPLUGINSETTINGS")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?> <" + tag + " " + attributes + "/>";
}

struct Values
{
    bool enabled;
    float main;
    float pitch;
};

Values valuesOf (const OlvarAudioProcessor& processor)
{
    return { processor.enableParam->get(), processor.mainParam->get(), processor.pitchParam->get() };
}

void setValues (OlvarAudioProcessor& processor, Values values)
{
    processor.enableParam->setValueNotifyingHost (values.enabled ? 1.0f : 0.0f);
    processor.mainParam->setValueNotifyingHost (values.main);
    processor.pitchParam->setValueNotifyingHost (values.pitch);
}

struct NotificationCounter : juce::AudioProcessorListener
{
    void audioProcessorParameterChanged (juce::AudioProcessor*, int, float) override { ++changes; }
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}
    int changes = 0;
};

// A processor with values that differ from every default, so a restore shows what it touched.
class StateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setValues (processor, start);
        processor.addListener (&counter);
    }

    void TearDown() override { processor.removeListener (&counter); }

    void restore (const juce::MemoryBlock& block)
    {
        processor.setStateInformation (block.getData(), (int) block.getSize());
    }

    const Values start { false, 0.25f, 0.75f };
    OlvarAudioProcessor processor;
    NotificationCounter counter;
};
} // namespace

TEST (StateWrite, DefaultsGiveTheExact107ByteBlock)
{
    OlvarAudioProcessor processor;
    juce::MemoryBlock block;
    block.append ("stale", 5); // replaced, not appended to
    processor.getStateInformation (block);

    ASSERT_EQ (block.getSize(), 107u);
    EXPECT_EQ (block, makeBlock (exampleText));

    const auto* bytes = static_cast<const uint8_t*> (block.getData());
    const uint8_t header[] = { 0x56, 0x43, 0x32, 0x21, 0x62, 0x00, 0x00, 0x00 };
    EXPECT_EQ (std::memcmp (bytes, header, sizeof (header)), 0);
    EXPECT_EQ (bytes[106], 0);
}

TEST (StateWrite, WritesTheSwitchAsOneDigitAndAmountsThatReadBack)
{
    OlvarAudioProcessor processor;
    setValues (processor, { false, 0.123f, 1.0f });

    juce::MemoryBlock block;
    processor.getStateInformation (block);
    const auto xml = juce::AudioProcessor::getXmlFromBinary (block.getData(), (int) block.getSize());
    ASSERT_NE (xml, nullptr);

    EXPECT_EQ (xml->getStringAttribute ("dbEnable"), "0");
    EXPECT_EQ ((float) xml->getDoubleAttribute ("dbMain"), 0.123f);
    EXPECT_EQ (xml->getStringAttribute ("dbPitch"), "1.0");
}

TEST_F (StateTest, RoundTripRestoresTheValuesAndASecondRestoreSendsNothing)
{
    OlvarAudioProcessor source;
    setValues (source, { true, 0.877f, 0.031f });
    juce::MemoryBlock block;
    source.getStateInformation (block);

    restore (block);
    const auto restored = valuesOf (processor);
    EXPECT_TRUE (restored.enabled);
    EXPECT_EQ (restored.main, source.mainParam->get());
    EXPECT_EQ (restored.pitch, source.pitchParam->get());
    EXPECT_EQ (counter.changes, 3);

    restore (block);
    EXPECT_EQ (counter.changes, 3) << "an unchanged restore notified the host";

    juce::MemoryBlock again;
    processor.getStateInformation (again);
    EXPECT_EQ (again, block);
}

namespace
{
struct BlockCase
{
    const char* name;
    juce::MemoryBlock block;
    bool enabled;
    float main;
    float pitch;
};

void PrintTo (const BlockCase& c, std::ostream* os) { *os << c.name; }

// Starting from off, 0.25, 0.75.
std::vector<BlockCase> blockCases()
{
    const auto full = settingsText ("dbEnable=\"1\" dbMain=\"0.6\" dbPitch=\"0.4\"");
    const auto fullBlock = makeBlock (full);

    return {
        { "tooShort", juce::MemoryBlock (fullBlock.getData(), 8), false, 0.25f, 0.75f },
        { "empty", juce::MemoryBlock(), false, 0.25f, 0.75f },
        { "wrongMagic", makeBlock (full, {}, 0x21324357), false, 0.25f, 0.75f },
        { "zeroLength", makeBlock (full, 0), false, 0.25f, 0.75f },
        { "negativeLength", makeBlock (full, -5), false, 0.25f, 0.75f },
        { "lengthBeyondData", makeBlock (full, 1000), true, 0.6f, 0.4f },
        { "lengthCutsTheText", makeBlock (full, 20), false, 0.25f, 0.75f },
        { "textStartsWithZero", makeBlock (std::string (1, '\0') + full), false, 0.25f, 0.75f },
        { "notXml", makeBlock ("dbEnable=1 dbMain=0.6"), false, 0.25f, 0.75f },
        { "wrongTag", makeBlock (settingsText ("dbEnable=\"1\" dbMain=\"0.6\" dbPitch=\"0.4\"", "SETTINGS")), false, 0.25f, 0.75f },
        { "tagInOtherCase", makeBlock (settingsText ("dbEnable=\"1\" dbMain=\"0.6\" dbPitch=\"0.4\"", "myPluginSettings")), true, 0.6f, 0.4f },
        { "attributeInOtherCase", makeBlock (settingsText ("dbEnable=\"1\" DBMAIN=\"0.6\" dbPitch=\"0.4\"")), true, 0.25f, 0.4f },
        { "onlyPitch", makeBlock (settingsText ("dbPitch=\"0.1\"")), false, 0.25f, 0.1f },
        { "nonNumericValues", makeBlock (settingsText ("dbEnable=\"yes\" dbMain=\"loud\" dbPitch=\"high\"")), false, 0.0f, 0.0f },
        { "switchAtPointThree", makeBlock (settingsText ("dbEnable=\"0.3\"")), true, 0.25f, 0.75f },
        { "switchAtZero", makeBlock (settingsText ("dbEnable=\"0\"")), false, 0.25f, 0.75f },
        { "valuesOutOfRange", makeBlock (settingsText ("dbMain=\"7\" dbPitch=\"-2\"")), false, 1.0f, 0.0f },
        { "valueBetweenSteps", makeBlock (settingsText ("dbMain=\"0.12345\"")), false, 0.123f, 0.75f },
        { "notANumber", makeBlock (settingsText ("dbEnable=\"nan\" dbMain=\"nan\" dbPitch=\"NaN\"")), false, 0.0f, 0.0f },
        { "infinities", makeBlock (settingsText ("dbMain=\"inf\" dbPitch=\"-inf\"")), false, 1.0f, 0.0f },
        { "instructionInsideAnElement", makeBlock ("<E><?" "?>>"), false, 0.25f, 0.75f }, // hung JUCE's parser
        { "instructionAfterTheSettings", makeBlock (settingsText ("dbMain=\"0.6\"") + "<?x?>"), false, 0.25f, 0.75f },
        { "duplicateAttributeUsesTheFirst", makeBlock (settingsText ("dbMain=\"0.2\" dbMain=\"0.9\"")), false, 0.2f, 0.75f },
        { "accentedTextIsValid", makeBlock (settingsText ("dbMain=\"0.2\" note=\"caf\xc3\xa9\"")), false, 0.2f, 0.75f },
        // Found by fuzzing: JUCE's parser read past a character cut off by the end of the text.
        { "textEndsInACutCharacter", makeBlock ("<?xml version=\"1.0\" encoding=\"UTF-8\"?> <MYPLUGINSETTINGS dbMain=\"0.6\xe2"), false, 0.25f, 0.75f },
        { "invalidUtf8", makeBlock (settingsText ("dbMain=\"0.6\" note=\"\xe9t\xe9\"")), false, 0.25f, 0.75f },
    };
}
} // namespace

class StateBlockTest : public StateTest, public ::testing::WithParamInterface<BlockCase> {};

TEST_P (StateBlockTest, RestoresWhatTheBlockHolds)
{
    const auto& c = GetParam();
    restore (c.block);

    const auto values = valuesOf (processor);
    EXPECT_EQ (values.enabled, c.enabled);
    EXPECT_FLOAT_EQ (values.main, c.main);
    EXPECT_FLOAT_EQ (values.pitch, c.pitch);
}

INSTANTIATE_TEST_SUITE_P (Blocks, StateBlockTest, ::testing::ValuesIn (blockCases()),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });

TEST_F (StateTest, IgnoredBlocksSendNothingToTheHost)
{
    for (const auto& c : blockCases())
        if (c.enabled == start.enabled && c.main == start.main && c.pitch == start.pitch)
            restore (c.block);

    EXPECT_EQ (counter.changes, 0);
    EXPECT_EQ (valuesOf (processor).main, start.main);
}

TEST_F (StateTest, RandomBlocksNeverLeaveAParameterOutOfRange)
{
    std::mt19937 random (20261211);
    juce::MemoryBlock valid;
    processor.getStateInformation (valid);

    const auto check = [this] (const char* kind, int round)
    {
        for (auto* parameter : processor.getParameters())
        {
            const auto value = parameter->getValue();
            ASSERT_TRUE (std::isfinite (value) && value >= 0.0f && value <= 1.0f)
                << kind << " round " << round << ": " << parameter->getName (100) << " = " << value;
        }
    };

    for (int round = 0; round < 3000; ++round)
    {
        // Pure noise, then a valid block with some bytes changed.
        juce::MemoryBlock noise ((size_t) (random() % 200));

        for (size_t i = 0; i < noise.getSize(); ++i)
            noise[i] = (char) random();

        restore (noise);
        check ("noise", round);

        juce::MemoryBlock mutated (valid);

        for (int flips = 1 + (int) (random() % 6); flips > 0; --flips)
            mutated[random() % mutated.getSize()] = (char) random();

        restore (mutated);
        check ("mutated", round);
    }
}

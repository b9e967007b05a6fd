// The built bundles, loaded through JUCE's own plug-in hosting as a JUCE-based host loads them.

#include <juce_audio_processors/juce_audio_processors.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace
{
const char* const exampleBlockText =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?> <MYPLUGINSETTINGS dbEnable=\"1\" dbMain=\"0.5\" dbPitch=\"0.5\"/>";

std::unique_ptr<juce::AudioPluginInstance> load (juce::AudioPluginFormat& format, const juce::String& identifier,
                                                 juce::PluginDescription* descriptionOut = nullptr)
{
    juce::OwnedArray<juce::PluginDescription> found;
    format.findAllTypesForFile (found, identifier);

    if (found.size() != 1)
        return nullptr;

    if (descriptionOut != nullptr)
        *descriptionOut = *found[0];

    juce::String error;
    auto instance = format.createInstanceFromDescription (*found[0], 48000.0, 512, error);
    EXPECT_TRUE (error.isEmpty()) << error;
    return instance;
}

// JUCE's LV2 host always reads ~/.lv2 as well, where an installed copy of Olvar would take the
// place of the built one; the test gives it a home folder of its own.
class ScopedEmptyHome
{
public:
    ScopedEmptyHome()
    {
        if (const auto* home = std::getenv ("HOME"))
            previous = home;

        folder.getFile().createDirectory();
        ::setenv ("HOME", folder.getFile().getFullPathName().toRawUTF8(), 1);
    }

    ~ScopedEmptyHome()
    {
        if (previous.has_value())
            ::setenv ("HOME", previous->c_str(), 1);
        else
            ::unsetenv ("HOME");

        folder.getFile().deleteRecursively();
    }

private:
    juce::TemporaryFile folder;
    std::optional<std::string> previous;
};

juce::StringArray parameterNames (juce::AudioPluginInstance& instance)
{
    juce::StringArray names;

    for (auto* parameter : instance.getParameters())
        names.add (parameter->getName (100));

    return names;
}

juce::AudioProcessorParameter* findParameter (juce::AudioPluginInstance& instance, const juce::String& name)
{
    for (auto* parameter : instance.getParameters())
        if (parameter->getName (100) == name)
            return parameter;

    return nullptr;
}

void setParameters (juce::AudioPluginInstance& instance, float enable, float level, float pitch)
{
    findParameter (instance, "Enable")->setValueNotifyingHost (enable);
    findParameter (instance, "Level")->setValueNotifyingHost (level);
    findParameter (instance, "Pitch")->setValueNotifyingHost (pitch);
}

void expectParameters (juce::AudioPluginInstance& instance, float enable, float level, float pitch)
{
    EXPECT_FLOAT_EQ (findParameter (instance, "Enable")->getValue(), enable);
    EXPECT_NEAR (findParameter (instance, "Level")->getValue(), level, 1.0e-6);
    EXPECT_NEAR (findParameter (instance, "Pitch")->getValue(), pitch, 1.0e-6);
}

uint32_t bigEndianAt (const juce::MemoryBlock& block, size_t offset)
{
    return juce::ByteOrder::bigEndianInt (static_cast<const char*> (block.getData()) + offset);
}

// The raw bytes the host receives from IComponent::getState, as JUCE's host stores them.
juce::MemoryBlock componentStateOf (juce::AudioPluginInstance& instance)
{
    juce::MemoryBlock hostState;
    instance.getStateInformation (hostState);

    const auto xml = juce::AudioProcessor::getXmlFromBinary (hostState.getData(), (int) hostState.getSize());
    juce::MemoryBlock componentState;

    if (xml != nullptr)
        if (auto* component = xml->getChildByName ("IComponent"))
            componentState.fromBase64Encoding (component->getAllSubText());

    return componentState;
}

void runSilence (juce::AudioPluginInstance& instance)
{
    instance.prepareToPlay (48000.0, 512);
    juce::AudioBuffer<float> buffer (2, 512);
    buffer.clear();
    juce::MidiBuffer midi;
    instance.processBlock (buffer, midi);
    instance.releaseResources();

    for (int channel = 0; channel < 2; ++channel)
        EXPECT_EQ (buffer.getMagnitude (channel, 0, 512), 0.0f);
}
} // namespace

class Vst3HostingTest : public ::testing::Test
{
protected:
    juce::VST3PluginFormat format;
};

TEST_F (Vst3HostingTest, DescribesTheEffect)
{
    juce::PluginDescription description;
    const auto instance = load (format, OLVAR_VST3_BUNDLE, &description);
    ASSERT_NE (instance, nullptr);

    EXPECT_EQ (description.name, "Olvar");
    EXPECT_EQ (description.manufacturerName, "RAVEK-AUDIO");
    EXPECT_EQ (description.version, "1.1.0");
    EXPECT_EQ (description.category, "Fx");
    EXPECT_FALSE (description.isInstrument);
    EXPECT_EQ (description.numInputChannels, 2);
    EXPECT_EQ (description.numOutputChannels, 2);
    EXPECT_EQ (instance->getName(), "Olvar");
    EXPECT_TRUE (instance->hasEditor());
    EXPECT_TRUE (instance->supportsDoublePrecisionProcessing());
}

TEST_F (Vst3HostingTest, ShowsThreeParametersAndTheWrappersBypass)
{
    const auto instance = load (format, OLVAR_VST3_BUNDLE);
    ASSERT_NE (instance, nullptr);

    EXPECT_EQ (parameterNames (*instance), juce::StringArray ({ "Enable", "Level", "Pitch", "Bypass" }));
    ASSERT_NE (instance->getBypassParameter(), nullptr);
    EXPECT_EQ (instance->getBypassParameter()->getName (100), "Bypass");
    EXPECT_EQ (instance->getBypassParameter()->getValue(), 0.0f);

    EXPECT_EQ (findParameter (*instance, "Level")->getCurrentValueAsText(), "0.50");
    runSilence (*instance);
}

TEST_F (Vst3HostingTest, StateTravelsInTheVst2CompatibleEnvelope)
{
    const auto instance = load (format, OLVAR_VST3_BUNDLE);
    ASSERT_NE (instance, nullptr);

    const auto state = componentStateOf (*instance);
    ASSERT_GT (state.getSize(), 16u + 160u + 107u);

    // "VstW" header: its size, version 1, bypass off.
    EXPECT_EQ (bigEndianAt (state, 0), juce::ByteOrder::bigEndianInt ("VstW"));
    EXPECT_EQ (bigEndianAt (state, 4), 8u);
    EXPECT_EQ (bigEndianAt (state, 8), 1u);
    EXPECT_EQ (bigEndianAt (state, 12), 0u);

    // The bank: "CcnK" / "FBCh" with the plug-in's ID and version code, then the chunk.
    constexpr size_t bank = 16;
    EXPECT_EQ (bigEndianAt (state, bank + 0), juce::ByteOrder::bigEndianInt ("CcnK"));
    EXPECT_EQ (bigEndianAt (state, bank + 4), state.getSize() - bank - 8);
    EXPECT_EQ (bigEndianAt (state, bank + 8), juce::ByteOrder::bigEndianInt ("FBCh"));
    EXPECT_EQ (bigEndianAt (state, bank + 16), juce::ByteOrder::bigEndianInt ("Xxbl"));
    EXPECT_EQ (bigEndianAt (state, bank + 20), 0x10100u);

    const auto chunkSize = bigEndianAt (state, bank + 156);
    ASSERT_EQ (chunkSize, state.getSize() - bank - 160);

    const auto* chunk = static_cast<const char*> (state.getData()) + bank + 160;
    EXPECT_EQ (juce::ByteOrder::littleEndianInt (chunk), 0x21324356u);
    EXPECT_EQ (juce::ByteOrder::littleEndianInt (chunk + 4), 98u);
    EXPECT_EQ (std::string (chunk + 8, 98), exampleBlockText);
    EXPECT_EQ (chunk[106], 0);

    // The wrapper's own data (its bypass state) follows the plug-in's block.
    const std::string privateData (chunk + 107, chunkSize - 107);
    EXPECT_NE (privateData.find ("JUCEPrivateData"), std::string::npos);
}

TEST_F (Vst3HostingTest, StateSetThroughTheHostRestoresTheValues)
{
    const auto source = load (format, OLVAR_VST3_BUNDLE);
    const auto target = load (format, OLVAR_VST3_BUNDLE);
    ASSERT_NE (source, nullptr);
    ASSERT_NE (target, nullptr);

    setParameters (*source, 0.0f, 0.25f, 0.875f);
    juce::MemoryBlock hostState;
    source->getStateInformation (hostState);

    target->setStateInformation (hostState.getData(), (int) hostState.getSize());
    expectParameters (*target, 0.0f, 0.25f, 0.875f);
    EXPECT_EQ (componentStateOf (*target), componentStateOf (*source));
}

TEST (Lv2HostingTest, LoadsUnderItsUriAndKeepsItsState)
{
    const ScopedEmptyHome home;
    juce::LV2PluginFormat format;
    const auto bundleFolder = juce::File (OLVAR_LV2_BUNDLE).getParentDirectory();
    const auto uris = format.searchPathsForPlugins (juce::FileSearchPath (bundleFolder.getFullPathName()), false, false);
    ASSERT_TRUE (uris.contains (JucePlugin_LV2URI)) << uris.joinIntoString (", ");

    juce::PluginDescription description;
    const auto source = load (format, JucePlugin_LV2URI, &description);
    ASSERT_NE (source, nullptr);
    EXPECT_EQ (description.name, "Olvar");
    EXPECT_EQ (description.manufacturerName, "RAVEK-AUDIO");

    const auto names = parameterNames (*source);
    for (const auto* name : { "Enable", "Level", "Pitch" })
        EXPECT_TRUE (names.contains (name)) << names.joinIntoString (", ");

    setParameters (*source, 0.0f, 0.125f, 0.625f);
    runSilence (*source); // the host passes parameter changes to an LV2 plug-in while processing

    juce::MemoryBlock state;
    source->getStateInformation (state);

    const auto target = load (format, JucePlugin_LV2URI);
    ASSERT_NE (target, nullptr);
    target->setStateInformation (state.getData(), (int) state.getSize());

    // The plug-in writes the state it now holds: the restored values, not its defaults.
    // (JUCE's LV2 host passes them to its own parameter objects later, on its message loop.)
    juce::MemoryBlock restored;
    target->getStateInformation (restored);
    EXPECT_EQ (restored, state);
}

#include "PluginProcessor.h"

#include "StateBlock.h"

namespace
{
juce::AudioParameterFloat* makeAmountParameter (const juce::String& id, const juce::String& name)
{
    // Built with the 0.01 step so the value text keeps two decimals, then narrowed to 0.001.
    auto* parameter = new juce::AudioParameterFloat (juce::ParameterID { id, 0 }, name, 0.0f, 1.0f, 0.5f);
    parameter->range = juce::NormalisableRange<float> (0.0f, 1.0f, 0.001f, 1.0f, false);
    return parameter;
}
} // namespace

OlvarAudioProcessor::OlvarAudioProcessor (const juce::String& updateEndpointToUse)
    : juce::AudioProcessor (BusesProperties()
                                .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                                .withOutput ("Output", juce::AudioChannelSet::stereo(), true)),
      dsp (std::make_unique<CDSP>()),
      updateEndpoint (updateEndpointToUse)
{
    addParameter (enableParam = new juce::AudioParameterBool (juce::ParameterID { "dbEnable", 0 }, "Enable", true));
    addParameter (mainParam = makeAmountParameter ("dbMain", "Level"));
    addParameter (pitchParam = makeAmountParameter ("dbPitch", "Pitch"));

    startBackgroundTasks();
}

OlvarAudioProcessor::~OlvarAudioProcessor()
{
    // A pending request keeps the destructor waiting; the thread never outlives the processor.
    if (updateThread.joinable())
        updateThread.join();
}

void OlvarAudioProcessor::startBackgroundTasks()
{
    bool expected = false;

    if (! backgroundTasksStarted.compare_exchange_strong (expected, true))
        return;

    updateThread = std::thread ([this]
    {
        updateAvailable.store (olvar::isNewerVersionAvailable (updateEndpoint, OLVAR_VERSION_TEXT));
    });
}

const juce::String OlvarAudioProcessor::getName() const { return "Olvar"; }

void OlvarAudioProcessor::prepareToPlay (double sampleRate, int)
{
    dsp->reset();
    overHoldLimit = (int) (sampleRate * 2.0);
}

void OlvarAudioProcessor::releaseResources()
{
    dsp->reset();
}

void OlvarAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    for (auto channel = getTotalNumInputChannels(); channel < getTotalNumOutputChannels(); ++channel)
        buffer.clear (channel, 0, buffer.getNumSamples());
}

void OlvarAudioProcessor::processBlock (juce::AudioBuffer<double>& buffer, juce::MidiBuffer&)
{
    for (auto channel = getTotalNumInputChannels(); channel < getTotalNumOutputChannels(); ++channel)
        buffer.clear (channel, 0, buffer.getNumSamples());
}

bool OlvarAudioProcessor::supportsDoublePrecisionProcessing() const { return true; }
double OlvarAudioProcessor::getTailLengthSeconds() const { return 0.0; }
bool OlvarAudioProcessor::acceptsMidi() const { return false; }
bool OlvarAudioProcessor::producesMidi() const { return false; }

juce::AudioProcessorEditor* OlvarAudioProcessor::createEditor()
{
    return new juce::GenericAudioProcessorEditor (*this);
}

bool OlvarAudioProcessor::hasEditor() const { return true; }

int OlvarAudioProcessor::getNumPrograms() { return 1; }
int OlvarAudioProcessor::getCurrentProgram() { return 0; }
void OlvarAudioProcessor::setCurrentProgram (int) {}
const juce::String OlvarAudioProcessor::getProgramName (int) { return {}; }
void OlvarAudioProcessor::changeProgramName (int, const juce::String&) {}

void OlvarAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    olvar::writeStateBlock (destData, { *enableParam, *mainParam, *pitchParam });
}

void OlvarAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    olvar::restoreStateBlock (data, sizeInBytes, { *enableParam, *mainParam, *pitchParam });
}

bool OlvarAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const auto output = layouts.getMainOutputChannelSet();

    if (output != juce::AudioChannelSet::mono() && output != juce::AudioChannelSet::stereo())
        return false;

    return layouts.getMainInputChannelSet() == output;
}

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new OlvarAudioProcessor();
}

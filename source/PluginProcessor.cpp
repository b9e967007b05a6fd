#include "PluginProcessor.h"

#include "PluginEditor.h"

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

    // About one second of hold at two counts per sample; a nonsense rate gives no hold
    // rather than an undefined conversion.
    constexpr double longestHold = 1 << 30;
    overHoldLimit = sampleRate > 0.0 ? (int) std::min (sampleRate * 2.0, longestHold) : 0;
}

void OlvarAudioProcessor::releaseResources()
{
    dsp->reset();
}

// Both precisions share one path: each sample is widened to double for the engine and the
// result rounded back, which is what converting the whole block would give, without a buffer.
template <typename Sample>
void OlvarAudioProcessor::processSamples (juce::AudioBuffer<Sample>& buffer)
{
    const auto numInputs = getTotalNumInputChannels();
    const auto numSamples = buffer.getNumSamples();

    for (auto channel = numInputs; channel < juce::jmin (getTotalNumOutputChannels(), buffer.getNumChannels()); ++channel)
        buffer.clear (channel, 0, numSamples);

    const auto sampleRate = getSampleRate();

    if (! enableParam->get())
    {
        lowLampLevel.store (-1, std::memory_order_relaxed);
        highLampLevel.store (-1, std::memory_order_relaxed);
        return;
    }

    if (buffer.getNumChannels() == 0)
        return;

    const auto mono = numInputs < 2 || buffer.getNumChannels() < 2;
    auto* left = buffer.getWritePointer (0);
    auto* right = mono ? left : buffer.getWritePointer (1);

    constexpr double silenceLevel = 9.999999999999982e-9;
    const auto silent = numSamples == 0 || (double) buffer.getMagnitude (0, numSamples) < silenceLevel;

    // The controls are read for every frame, so a change lands at the next frame.
    dsp->processBlock (left, right, numSamples, sampleRate,
                       [this] (double& main, double& pitch)
                       {
                           main = (double) mainParam->get();
                           pitch = (double) pitchParam->get();
                       },
                       silent, mono);

    handOverOverloads (numSamples);
}

// The lamps show the engine's overload flags and hold them for about a second: while an
// overload or a hold is active the count advances twice per block.
void OlvarAudioProcessor::handOverOverloads (int numSamples)
{
    const auto flagL = dsp->overL;
    const auto flagR = dsp->overR;
    const auto over = flagL != 0 || flagR != 0;

    const auto advanceHold = [&]
    {
        if (over || overHolding)
        {
            overHoldCount += numSamples;
            overHolding = true;
        }

        if (overHoldCount > overHoldLimit)
        {
            dsp->maxL = 0.0;
            dsp->maxR = 0.0;
            overHoldCount = 0;
            overHolding = false;
        }
    };

    advanceHold();
    overLampL.store (flagL, std::memory_order_relaxed);
    overLampR.store (flagR, std::memory_order_relaxed);
    advanceHold();
}

void OlvarAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    processSamples (buffer);
}

void OlvarAudioProcessor::processBlock (juce::AudioBuffer<double>& buffer, juce::MidiBuffer&)
{
    processSamples (buffer);
}

bool OlvarAudioProcessor::supportsDoublePrecisionProcessing() const { return true; }
double OlvarAudioProcessor::getTailLengthSeconds() const { return 0.0; }
bool OlvarAudioProcessor::acceptsMidi() const { return false; }
bool OlvarAudioProcessor::producesMidi() const { return false; }

juce::AudioProcessorEditor* OlvarAudioProcessor::createEditor()
{
    return new OlvarAudioProcessorEditor (*this);
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

#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include "CDSP.h"
#include "UpdateCheck.h"

#include <atomic>
#include <memory>
#include <thread>

class OlvarAudioProcessor : public juce::AudioProcessor
{
public:
    // The update check asks updateEndpoint; hosts use the build's endpoint.
    explicit OlvarAudioProcessor (const juce::String& updateEndpoint = olvar::getUpdateEndpoint());
    ~OlvarAudioProcessor() override;

    const juce::String getName() const override;

    void prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock) override;
    void releaseResources() override;

    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override;
    void processBlock (juce::AudioBuffer<double>&, juce::MidiBuffer&) override;
    bool supportsDoublePrecisionProcessing() const override;

    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;

    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;

    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int) override;
    const juce::String getProgramName (int) override;
    void changeProgramName (int, const juce::String&) override;

    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;

    void startBackgroundTasks();

    juce::AudioParameterBool* enableParam = nullptr;
    juce::AudioParameterFloat* mainParam = nullptr;
    juce::AudioParameterFloat* pitchParam = nullptr;

    std::unique_ptr<CDSP> dsp;

    // Shared with the editor's timer on the message thread.
    std::atomic<int> lowLampLevel { 1 };
    std::atomic<int> highLampLevel { 1 };
    std::atomic<int> overLampL { 0 };
    std::atomic<int> overLampR { 0 };

    int overHoldCount = 0;
    int overHoldLimit = 0;
    bool overHolding = false;

    std::atomic<bool> backgroundTasksStarted { false };
    std::thread updateThread;
    std::atomic<bool> updateAvailable { false };

private:
    template <typename Sample>
    void processSamples (juce::AudioBuffer<Sample>& buffer);
    void handOverOverloads (int numSamples);

    const juce::String updateEndpoint;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OlvarAudioProcessor)
};

#include "EditorTestSupport.h"

#include <atomic>
#include <thread>

namespace
{
struct ProcessorWithAnExtraParameter : OlvarAudioProcessor
{
    ProcessorWithAnExtraParameter()
    {
        addParameter (new juce::AudioParameterFloat (juce::ParameterID { "dbExtra", 0 }, "Extra", 0.0f, 1.0f, 0.5f));
    }
};

std::vector<juce::AlertWindow*> parameterErrorBoxes()
{
    std::vector<juce::AlertWindow*> boxes;

    for (auto* window : visibleAlertWindows())
        if (window->getName() == "ParamError")
            boxes.push_back (window);

    return boxes;
}

void dismissAll (const std::vector<juce::AlertWindow*>& windows)
{
    for (auto* window : windows)
        window->exitModalState (0);

    pumpMessages (50);
}
} // namespace

TEST (EditorLifecycle, AnUnknownParameterIsReportedOncePerConstruction)
{
    ProcessorWithAnExtraParameter processor;

    for (int construction = 1; construction <= 2; ++construction)
    {
        auto editor = std::make_unique<OlvarAudioProcessorEditor> (processor);
        pumpMessages (50);

        const auto boxes = parameterErrorBoxes();
        EXPECT_EQ (boxes.size(), 1u) << "construction " << construction;

        // The known controls are still bound.
        EXPECT_TRUE (editor->mainSlider.isVisible());
        EXPECT_EQ (editor->getParameterForSlider (&editor->pitchSlider), processor.pitchParam);

        dismissAll (boxes);
    }
}

TEST (EditorLifecycle, OpeningAndClosingWhileAudioRunsIsClean)
{
    OlvarAudioProcessor processor;
    processor.prepareToPlay (48000.0, 256);

    std::atomic<bool> running { true };
    std::atomic<int> blocks { 0 };

    std::thread audio ([&]
    {
        juce::AudioBuffer<float> buffer (2, 256);
        juce::MidiBuffer midi;

        while (running)
        {
            for (int channel = 0; channel < 2; ++channel)
                for (int i = 0; i < 256; ++i)
                    buffer.setSample (channel, i, 0.5f * std::sin (0.05f * (float) (i + channel)));

            processor.processBlock (buffer, midi);
            ++blocks;
        }
    });

    const auto componentsBefore = juce::Desktop::getInstance().getNumComponents();

    for (int round = 0; round < 100; ++round)
    {
        auto editor = std::make_unique<OlvarAudioProcessorEditor> (processor);
        editor->addToDesktop (0);
        editor->setVisible (true);

        // Automation from the host while the editor ticks.
        processor.mainParam->setValueNotifyingHost ((float) (round % 10) / 10.0f);
        editor->timerCallback();
        pumpMessages (2);
    }

    running = false;
    audio.join();

    EXPECT_GT (blocks.load(), 0);
    EXPECT_TRUE (visibleAlertWindows().empty());
    EXPECT_EQ (juce::Desktop::getInstance().getNumComponents(), componentsBefore);
}

TEST (EditorLifecycle, TheProcessorCreatesTheEditor)
{
    OlvarAudioProcessor processor;
    std::unique_ptr<juce::AudioProcessorEditor> editor (processor.createEditorIfNeeded());

    ASSERT_NE (dynamic_cast<OlvarAudioProcessorEditor*> (editor.get()), nullptr);
    EXPECT_EQ (processor.getActiveEditor(), editor.get());

    editor.reset();
    EXPECT_EQ (processor.getActiveEditor(), nullptr);
}

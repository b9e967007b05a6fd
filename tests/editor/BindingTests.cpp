#include "EditorTestSupport.h"

namespace
{
constexpr int enableIndex = 0, mainIndex = 1, pitchIndex = 2;

class EditorBindingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        editor = std::make_unique<OlvarAudioProcessorEditor> (processor);
        editor->timerCallback();
        processor.addListener (&host);
    }

    void TearDown() override { processor.removeListener (&host); }

    juce::MouseEvent mouseEvent (juce::Component& target, juce::Point<float> position, juce::Point<float> downPosition,
                                 juce::ModifierKeys modifiers, int clicks = 1, bool dragged = false)
    {
        const auto now = juce::Time::getCurrentTime();
        return juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(), position, modifiers,
                                 juce::MouseInputSource::defaultPressure, 0.0f, 0.0f, 0.0f, 0.0f,
                                 &target, &target, now, downPosition, now, clicks, dragged);
    }

    OlvarAudioProcessor processor;
    std::unique_ptr<OlvarAudioProcessorEditor> editor;
    HostNotifications host;
};
} // namespace

TEST_F (EditorBindingTest, DraggingASliderIsOneGestureWithItsValues)
{
    auto& slider = editor->mainSlider;
    const juce::Point<float> start (42.0f, 140.0f);
    const auto left = juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier);

    slider.mouseDown (mouseEvent (slider, start, start, left));

    for (int step = 1; step <= 10; ++step)
        slider.mouseDrag (mouseEvent (slider, start.translated (0.0f, -4.0f * (float) step), start, left, 1, true));

    slider.mouseUp (mouseEvent (slider, start.translated (0.0f, -40.0f), start, juce::ModifierKeys(), 1, true));

    EXPECT_EQ (host.begins[mainIndex], 1);
    EXPECT_EQ (host.ends[mainIndex], 1);
    EXPECT_GE (host.changes[mainIndex], 2);
    EXPECT_NEAR (processor.mainParam->get(), 0.58f, 0.0015f) << "40 pixels of a 500-pixel full range";
    EXPECT_EQ (host.changes[pitchIndex] + host.changes[enableIndex], 0);
}

TEST_F (EditorBindingTest, DoubleClickAndAltClickReturnToTheMiddleInOneGesture)
{
    for (const auto useAltClick : { false, true })
    {
        for (auto* slider : { &editor->mainSlider, &editor->pitchSlider })
        {
            const auto index = slider == &editor->mainSlider ? mainIndex : pitchIndex;
            auto* parameter = slider == &editor->mainSlider ? processor.mainParam : processor.pitchParam;
            SCOPED_TRACE (slider->getName() + (useAltClick ? " alt-click" : " double-click"));

            parameter->setValueNotifyingHost (0.8f);
            editor->timerCallback();
            host.reset();

            const juce::Point<float> centre (10.0f, 10.0f);

            if (useAltClick)
            {
                const auto alt = juce::ModifierKeys (juce::ModifierKeys::altModifier | juce::ModifierKeys::leftButtonModifier);
                slider->mouseDown (mouseEvent (*slider, centre, centre, alt));
                slider->mouseUp (mouseEvent (*slider, centre, centre, juce::ModifierKeys (juce::ModifierKeys::altModifier)));
            }
            else
            {
                slider->mouseDoubleClick (mouseEvent (*slider, centre, centre, juce::ModifierKeys(), 2));
            }

            EXPECT_EQ (parameter->get(), 0.5f);
            EXPECT_EQ (host.begins[index], 1);
            EXPECT_EQ (host.changes[index], 1);
            EXPECT_EQ (host.ends[index], 1);
        }
    }
}

TEST_F (EditorBindingTest, ChangesWithinFloatToleranceSendNothing)
{
    processor.mainParam->setValueNotifyingHost (0.123f);
    editor->mainSlider.setValue (0.9, juce::dontSendNotification);
    host.reset();

    // 0.123 as a double is not the float 0.123f, but within its tolerance.
    editor->mainSlider.setValue (0.123, juce::sendNotificationSync);
    EXPECT_EQ (host.changes[mainIndex], 0);

    editor->mainSlider.setValue (0.124, juce::sendNotificationSync);
    EXPECT_EQ (host.changes[mainIndex], 1);
    EXPECT_FLOAT_EQ (processor.mainParam->get(), 0.124f);
}

TEST_F (EditorBindingTest, HostAutomationMovesTheControlsWithinOneTickAndNothingComesBack)
{
    processor.mainParam->setValueNotifyingHost (0.7f);
    processor.pitchParam->setValueNotifyingHost (0.2f);
    processor.enableParam->setValueNotifyingHost (0.0f);
    host.reset();

    editor->timerCallback();

    EXPECT_FLOAT_EQ ((float) editor->mainSlider.getValue(), 0.7f);
    EXPECT_FLOAT_EQ ((float) editor->pitchSlider.getValue(), 0.2f);
    EXPECT_FALSE (editor->enableButton.getToggleState());

    for (int index = 0; index < 3; ++index)
        EXPECT_EQ (host.changes[index] + host.begins[index] + host.ends[index], 0) << "parameter " << index;
}

TEST_F (EditorBindingTest, ATogglesClickIsOneGestureAndDarkensTheMeters)
{
    ASSERT_TRUE (editor->enableButton.getToggleState());
    editor->enableButton.triggerClick();
    pumpMessages (50);

    EXPECT_FALSE (processor.enableParam->get());
    EXPECT_EQ (host.begins[enableIndex], 1);
    EXPECT_EQ (host.changes[enableIndex], 1);
    EXPECT_EQ (host.lastValue[enableIndex], 0.0f);
    EXPECT_EQ (host.ends[enableIndex], 1);

    editor->timerCallback();
    EXPECT_EQ (processor.lowLampLevel.load(), -1);
    EXPECT_EQ (processor.highLampLevel.load(), -1);
}

TEST_F (EditorBindingTest, MetersFollowTheEngineGains)
{
    processor.prepareToPlay (48000.0, 64);
    juce::AudioBuffer<float> buffer (2, 64);
    juce::MidiBuffer midi;

    for (const auto& [main, low] : { std::pair { 1.0f, 3 }, std::pair { 0.5f, 1 }, std::pair { 0.0f, -1 }, std::pair { 0.4f, 0 } })
    {
        processor.mainParam->setValueNotifyingHost (main);
        buffer.clear();
        processor.processBlock (buffer, midi);
        editor->timerCallback();

        EXPECT_EQ (processor.lowLampLevel.load(), low) << main;
        EXPECT_EQ (processor.highLampLevel.load(), low) << main;
    }
}

TEST (EditorLevels, GainsMapToLevelsWithBoundariesInTheUpperClass)
{
    const std::pair<double, int> cases[] = { { -8.0, -1 }, { -5.0001, -1 }, { -5.0, 0 }, { -1.0001, 0 }, { -1.0, 1 },
                                             { 0.0, 1 }, { 0.9999, 1 }, { 1.0, 2 }, { 4.99, 2 }, { 5.0, 3 }, { 6.0, 3 },
                                             { std::nan (""), 1 }, { -INFINITY, -1 }, { INFINITY, 3 } };

    for (const auto& [gain, level] : cases)
        EXPECT_EQ (OlvarAudioProcessorEditor::levelForGain (gain), level) << gain;
}

TEST_F (EditorBindingTest, ASliderWithoutAParameterChangesNothing)
{
    juce::Slider stray;
    stray.setName ("Unknown");
    EXPECT_EQ (editor->getParameterForSlider (&stray), nullptr);

    stray.setName ("Enable"); // a bool parameter's name
    EXPECT_EQ (editor->getParameterForSlider (&stray), nullptr);

    EXPECT_EQ (editor->getParameterForSlider (&editor->pitchSlider), processor.pitchParam);
}

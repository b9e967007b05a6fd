#pragma once

#include "PluginProcessor.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>

// Sliders drawn with the fader-cap images; the slots are part of the background.
class CustomLookAndFeel : public juce::LookAndFeel_V4
{
public:
    ~CustomLookAndFeel() override = default;

    void drawLinearSlider (juce::Graphics&, int x, int y, int width, int height, float sliderPos, float minSliderPos,
                           float maxSliderPos, const juce::Slider::SliderStyle, juce::Slider&) override;
    void drawLinearSliderBackground (juce::Graphics&, int x, int y, int width, int height, float sliderPos,
                                     float minSliderPos, float maxSliderPos, const juce::Slider::SliderStyle,
                                     juce::Slider&) override;
    void drawLinearSliderThumb (juce::Graphics&, int x, int y, int width, int height, float sliderPos,
                                float minSliderPos, float maxSliderPos, const juce::Slider::SliderStyle,
                                juce::Slider&) override;
};

// The power key: one of two image cells, lit when ticked.
class CustomLookAndFeel_EnableBtn : public juce::LookAndFeel_V4
{
public:
    ~CustomLookAndFeel_EnableBtn() override = default;

    void drawTickBox (juce::Graphics&, juce::Component&, float x, float y, float width, float height, bool ticked,
                      bool isEnabled, bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;
};

// The update badge: a red disc with a white exclamation mark, whatever image the button holds.
class CustomLookAndFeel_NoticationBtn : public juce::LookAndFeel_V4
{
public:
    ~CustomLookAndFeel_NoticationBtn() override = default;

    void drawImageButton (juce::Graphics&, juce::Image*, int imageX, int imageY, int imageW, int imageH,
                          const juce::Colour& overlayColour, float imageOpacity, juce::ImageButton&) override;
};

void setupSquareLookAndFeelColours (juce::LookAndFeel& lookAndFeel);

class OlvarAudioProcessorEditor : public juce::AudioProcessorEditor,
                                  public juce::Slider::Listener,
                                  public juce::Timer,
                                  public juce::Button::Listener
{
public:
    explicit OlvarAudioProcessorEditor (OlvarAudioProcessor&);
    ~OlvarAudioProcessorEditor() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    void timerCallback() override;
    void sliderDragStarted (juce::Slider*) override;
    void sliderDragEnded (juce::Slider*) override;
    void sliderValueChanged (juce::Slider*) override;
    void buttonClicked (juce::Button*) override;

    juce::AudioParameterFloat* getParameterForSlider (juce::Slider*);
    void showAboutDialog();
    void drawNum (juce::Graphics&, int x, int y, char c);

    // The bar-graph level of a band gain in dB: -1 (dark) to 3 (four segments).
    static int levelForGain (double gainDb);

    // The default sans-serif typeface for a preferred language, or empty to keep JUCE's.
    static juce::String typefaceForLanguage (const juce::String& languageCode);

    struct DialogTexts
    {
        juce::String aboutTitle, aboutMessage, aboutButton;
        juce::String noticeTitle, noticeMessage, noticeYes, noticeNo;
    };

    // Japanese when the language code starts with "ja", English otherwise.
    static DialogTexts dialogTextsFor (const juce::String& languageCode);

    // Opens the maker's web page; replaceable so tests never start a browser.
    std::function<void (const juce::URL&)> openInBrowser = [] (const juce::URL& url) { url.launchInDefaultBrowser(); };

    OlvarAudioProcessor& processorRef;
    std::unique_ptr<CustomLookAndFeel> sliderLookAndFeel;
    juce::ToggleButton enableButton;
    juce::ImageButton logoButton;
    juce::Slider mainSlider;
    juce::Slider pitchSlider;
    double displayValue = 0.0;
    std::unique_ptr<CustomLookAndFeel_EnableBtn> enableLookAndFeel;
    juce::ImageButton notificationButton;
    std::unique_ptr<CustomLookAndFeel_NoticationBtn> notificationLookAndFeel;
    std::unique_ptr<juce::AlertWindow> updateWindow;
    std::unique_ptr<juce::AlertWindow> aboutWindow;

private:
    void applyDefaultFontRule();
    void bindParameters();
    void setUpEnableButton (const juce::AudioParameterBool&);
    void setUpSlider (juce::Slider&, const juce::AudioParameterFloat&);
    void setUpImageButton (juce::ImageButton&);
    void showAbout (const DialogTexts&);

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OlvarAudioProcessorEditor)
};

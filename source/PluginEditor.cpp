#include "PluginEditor.h"

#include "EditorImages.h"
#include "FloatTolerance.h"
#include "PreferredLanguage.h"

namespace
{
template <size_t size>
juce::Image fetch (const unsigned char (&data)[size])
{
    return juce::ImageCache::getFromMemory (data, (int) size);
}

juce::String fromUtf8 (const char* text)
{
    return juce::String (juce::CharPointer_UTF8 (text));
}

// Images are drawn at their own size, never scaled.
void drawAt (juce::Graphics& g, const juce::Image& image, int x, int y)
{
    g.drawImage (image, x, y, image.getWidth(), image.getHeight(), 0, 0, image.getWidth(), image.getHeight());
}

constexpr int meterX = 135, meterY = 402, meterWidth = 79, meterHeight = 60;
constexpr int readoutX = 100, readoutY = 22;

const char* const productName = "Olvar";
const char* const versionText = OLVAR_VERSION_TEXT;
} // namespace

//==============================================================================
void CustomLookAndFeel::drawLinearSlider (juce::Graphics& g, int x, int y, int width, int height, float sliderPos,
                                          float minSliderPos, float maxSliderPos,
                                          const juce::Slider::SliderStyle style, juce::Slider& slider)
{
    g.setImageResamplingQuality (juce::Graphics::lowResamplingQuality);
    drawLinearSliderBackground (g, x, y, width, height, sliderPos, minSliderPos, maxSliderPos, style, slider);
    drawLinearSliderThumb (g, x, y, width, height, sliderPos, minSliderPos, maxSliderPos, style, slider);
}

void CustomLookAndFeel::drawLinearSliderBackground (juce::Graphics& g, int, int, int, int, float, float, float,
                                                    const juce::Slider::SliderStyle, juce::Slider&)
{
    // The slots are part of the background image; nothing is drawn here.
    g.setImageResamplingQuality (juce::Graphics::lowResamplingQuality);
}

void CustomLookAndFeel::drawLinearSliderThumb (juce::Graphics& g, int, int, int, int, float sliderPos, float,
                                               float maxSliderPos, const juce::Slider::SliderStyle style,
                                               juce::Slider& slider)
{
    g.setImageResamplingQuality (juce::Graphics::lowResamplingQuality);
    const auto r = (float) getSliderThumbRadius (slider);

    if (style == juce::Slider::LinearVertical)
    {
        const auto cap = fetch (temp15);
        const auto half = (float) (cap.getHeight() / 2);
        const auto y = (int) (((maxSliderPos - half - r) / (r + maxSliderPos)) * sliderPos - r);
        drawAt (g, cap, 0, y);
    }
    else
    {
        const auto cap = fetch (temp16);
        const auto width = (float) slider.getWidth();
        const auto t = (sliderPos - r) / (width - (r + r));
        const auto x = (int) (t * (float) (slider.getWidth() - cap.getWidth()));
        drawAt (g, cap, x, 0);
    }
}

void CustomLookAndFeel_EnableBtn::drawTickBox (juce::Graphics& g, juce::Component&, float, float, float, float,
                                               bool ticked, bool, bool, bool)
{
    g.setImageResamplingQuality (juce::Graphics::lowResamplingQuality);
    const auto key = fetch (temp3);
    const auto cellWidth = key.getWidth();
    const auto cellHeight = key.getHeight() / 2;
    g.drawImage (key, 0, 0, cellWidth, cellHeight, 0, ticked ? cellHeight : 0, cellWidth, cellHeight);
}

void CustomLookAndFeel_NoticationBtn::drawImageButton (juce::Graphics& g, juce::Image*, int, int, int, int,
                                                       const juce::Colour&, float, juce::ImageButton&)
{
    g.setImageResamplingQuality (juce::Graphics::lowResamplingQuality);

    g.setColour (juce::Colours::red);
    g.fillEllipse (0.0f, 0.0f, 24.0f, 24.0f);

    juce::Path mark;
    mark.addRectangle (10.0f, 4.0f, 4.0f, 10.0f);
    mark.addRectangle (10.0f, 17.0f, 4.0f, 4.0f);
    g.setColour (juce::Colours::white);
    g.fillPath (mark);
}

void setupSquareLookAndFeelColours (juce::LookAndFeel& lookAndFeel)
{
    lookAndFeel.setColour (juce::Slider::rotarySliderFillColourId, juce::Colours::red);
    lookAndFeel.setColour (juce::Slider::thumbColourId, juce::Colour (0xfff2f2f2));
    lookAndFeel.setColour (juce::Slider::textBoxOutlineColourId, juce::Colours::transparentWhite);
    lookAndFeel.setColour (juce::Slider::trackColourId, juce::Colours::black);
    lookAndFeel.setColour (juce::TextButton::buttonColourId, juce::Colours::white);
    lookAndFeel.setColour (juce::TextButton::textColourOffId, juce::Colours::red);
    lookAndFeel.setColour (juce::TextButton::buttonOnColourId, lookAndFeel.findColour (juce::TextButton::textColourOffId));
    lookAndFeel.setColour (juce::TextButton::textColourOnId, lookAndFeel.findColour (juce::TextButton::buttonColourId));
}

//==============================================================================
OlvarAudioProcessorEditor::OlvarAudioProcessorEditor (OlvarAudioProcessor& p)
    : juce::AudioProcessorEditor (&p), processorRef (p)
{
    applyDefaultFontRule();

    sliderLookAndFeel = std::make_unique<CustomLookAndFeel>();
    setupSquareLookAndFeelColours (*sliderLookAndFeel);

    bindParameters();

    addAndMakeVisible (logoButton);
    logoButton.setMouseCursor (juce::MouseCursor::PointingHandCursor);
    logoButton.setToggleState (true, juce::dontSendNotification);
    logoButton.setWantsKeyboardFocus (false);
    logoButton.addListener (this);
    setUpImageButton (logoButton);

    addAndMakeVisible (notificationButton);
    notificationLookAndFeel = std::make_unique<CustomLookAndFeel_NoticationBtn>();
    notificationButton.setLookAndFeel (notificationLookAndFeel.get());
    notificationButton.setMouseCursor (juce::MouseCursor::PointingHandCursor);
    notificationButton.setToggleState (true, juce::dontSendNotification);
    notificationButton.addListener (this);
    notificationButton.setVisible (false);
    setUpImageButton (notificationButton);

    setSize (350, 600);
    startTimer (50);
}

OlvarAudioProcessorEditor::~OlvarAudioProcessorEditor()
{
    stopTimer();

    // Every look-and-feel is detached before any of them is destroyed.
    enableButton.setLookAndFeel (nullptr);
    mainSlider.setLookAndFeel (nullptr);
    pitchSlider.setLookAndFeel (nullptr);
    notificationButton.setLookAndFeel (nullptr);
    logoButton.setLookAndFeel (nullptr);
}

juce::String OlvarAudioProcessorEditor::typefaceForLanguage (const juce::String& languageCode)
{
    if (languageCode.startsWith ("zh"))
        return "PingFang SC";

    if (languageCode.startsWith ("ja"))
        return "Arial Unicode MS";

    return {};
}

// Process-wide, and applied again by every editor.
void OlvarAudioProcessorEditor::applyDefaultFontRule()
{
    if (const auto typeface = typefaceForLanguage (olvar::getPreferredLanguage()); typeface.isNotEmpty())
        juce::Desktop::getInstance().getDefaultLookAndFeel().setDefaultSansSerifTypefaceName (typeface);
}

void OlvarAudioProcessorEditor::bindParameters()
{
    const auto parameters = processorRef.getParameters();

    for (auto* parameter : parameters)
    {
        if (parameter == nullptr)
            continue;

        const auto reportUnknown = [] (const juce::String& id)
        {
            juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::WarningIcon, "ParamError", "paramID : " + id);
        };

        if (auto* toggle = dynamic_cast<juce::AudioParameterBool*> (parameter))
        {
            if (toggle->getParameterID() == "dbEnable")
                setUpEnableButton (*toggle);
            else
                reportUnknown (toggle->getParameterID());
        }

        if (auto* amount = dynamic_cast<juce::AudioParameterFloat*> (parameter))
        {
            if (amount->getParameterID() == "dbMain")
                setUpSlider (mainSlider, *amount);
            else if (amount->getParameterID() == "dbPitch")
                setUpSlider (pitchSlider, *amount);
            else
                reportUnknown (amount->getParameterID());
        }
    }
}

void OlvarAudioProcessorEditor::setUpEnableButton (const juce::AudioParameterBool& parameter)
{
    enableButton.setName (parameter.getName (100));
    enableButton.setToggleState (true, juce::dontSendNotification);
    enableButton.setMouseCursor (juce::MouseCursor::PointingHandCursor);
    enableButton.setWantsKeyboardFocus (false);
    enableButton.addListener (this);
    addAndMakeVisible (enableButton);
    enableLookAndFeel = std::make_unique<CustomLookAndFeel_EnableBtn>();
    enableButton.setLookAndFeel (enableLookAndFeel.get());
}

void OlvarAudioProcessorEditor::setUpSlider (juce::Slider& slider, const juce::AudioParameterFloat& parameter)
{
    slider.setName (parameter.getName (100));
    addAndMakeVisible (slider);
    slider.setSliderStyle (&slider == &mainSlider ? juce::Slider::LinearVertical : juce::Slider::LinearHorizontal);
    slider.addListener (this);
    slider.setRange (0.0, 1.0, 0.001);
    slider.setTextBoxStyle (juce::Slider::NoTextBox, false, 0, 0);

    if (&slider == &mainSlider)
        slider.setMouseDragSensitivity (500);

    slider.setDoubleClickReturnValue (true, 0.5);
    slider.setSliderSnapsToMousePosition (false);
    slider.setLookAndFeel (sliderLookAndFeel.get());
}

void OlvarAudioProcessorEditor::setUpImageButton (juce::ImageButton& button)
{
    const auto logo = fetch (temp12);
    button.setImages (false, false, false,
                      logo, 1.0f, juce::Colours::transparentBlack,
                      logo, 1.0f, juce::Colours::transparentBlack,
                      logo, 1.0f, juce::Colours::transparentBlack, 0.0f);
}

void OlvarAudioProcessorEditor::resized()
{
    const auto key = fetch (temp3);
    const auto logo = fetch (temp12);

    enableButton.setBounds (12, 12, key.getWidth(), key.getHeight() / 2);
    logoButton.setBounds (200, 12, logo.getWidth(), logo.getHeight());
    mainSlider.setBounds (132, 92, fetch (temp15).getWidth(), 280);
    pitchSlider.setBounds (31, 520, 287, fetch (temp16).getHeight());
    notificationButton.setBounds (320, 6, 24, 24);
}

//==============================================================================
void OlvarAudioProcessorEditor::paint (juce::Graphics& g)
{
    g.setImageResamplingQuality (juce::Graphics::lowResamplingQuality);

    const auto background = fetch (temp1);
    g.drawImage (background, 0, 0, 350, 600, 0, 0, background.getWidth(), background.getHeight());

    // The readout: the value truncated toward zero, right-aligned in four cells.
    char text[5] = {};
    std::snprintf (text, sizeof (text), "%d", (int) displayValue);
    const auto length = (int) std::strlen (text);
    const auto cellWidth = fetch (temp13).getWidth();
    auto x = (4 - length) * cellWidth + readoutX;

    for (int i = 0; i < length; ++i)
    {
        drawNum (g, x, readoutY, text[i]);
        x += text[i] == '.' ? fetch (temp2).getWidth() : cellWidth;
    }

    // Each bar graph fills from the bottom: level 0 lights one segment, level 3 all four.
    const auto drawSegment = [&g] (const juce::Image& segment)
    {
        g.drawImage (segment, meterX, meterY, meterWidth, meterHeight, 0, 0, meterWidth, meterHeight);
    };

    if (processorRef.lowLampLevel.load (std::memory_order_relaxed) >= 0) drawSegment (fetch (temp8));
    if (processorRef.lowLampLevel.load (std::memory_order_relaxed) >= 1) drawSegment (fetch (temp9));
    if (processorRef.lowLampLevel.load (std::memory_order_relaxed) >= 2) drawSegment (fetch (temp10));
    if (processorRef.lowLampLevel.load (std::memory_order_relaxed) >= 3) drawSegment (fetch (temp11));

    if (processorRef.highLampLevel.load (std::memory_order_relaxed) >= 0) drawSegment (fetch (temp4));
    if (processorRef.highLampLevel.load (std::memory_order_relaxed) >= 1) drawSegment (fetch (temp5));
    if (processorRef.highLampLevel.load (std::memory_order_relaxed) >= 2) drawSegment (fetch (temp6));
    if (processorRef.highLampLevel.load (std::memory_order_relaxed) >= 3) drawSegment (fetch (temp7));

    if (processorRef.overLampL.load (std::memory_order_relaxed) > 0) drawAt (g, fetch (temp14), 56, 80);
    if (processorRef.overLampR.load (std::memory_order_relaxed) > 0) drawAt (g, fetch (temp14), 276, 80);
}

void OlvarAudioProcessorEditor::drawNum (juce::Graphics& g, int x, int y, char c)
{
    if (c == '.')
    {
        drawAt (g, fetch (temp2), x, y);
        return;
    }

    // '-' is the strip's last cell; any character that is not a digit shows cell 0.
    const auto strip = fetch (temp13);
    const auto cellHeight = strip.getHeight() / 11;
    const auto index = c == '-' ? 10 : (c >= '0' && c <= '9' ? c - '0' : 0);
    g.drawImage (strip, x, y, strip.getWidth(), cellHeight, 0, cellHeight * index, strip.getWidth(), cellHeight);
}

//==============================================================================
int OlvarAudioProcessorEditor::levelForGain (double gainDb)
{
    if (std::isnan (gainDb)) return 1;
    if (gainDb < -5.0)       return -1;
    if (gainDb < -1.0)       return 0;
    if (gainDb < 1.0)        return 1;
    if (gainDb < 5.0)        return 2;
    return 3;
}

void OlvarAudioProcessorEditor::timerCallback()
{
    if (processorRef.enableParam->get())
    {
        enableButton.setToggleState (true, juce::dontSendNotification);
        processorRef.lowLampLevel.store (levelForGain (processorRef.dsp->gain128.load (std::memory_order_relaxed)),
                                         std::memory_order_relaxed);
        processorRef.highLampLevel.store (levelForGain (processorRef.dsp->gain8k.load (std::memory_order_relaxed)),
                                          std::memory_order_relaxed);
    }
    else
    {
        enableButton.setToggleState (false, juce::dontSendNotification);
        processorRef.lowLampLevel.store (-1, std::memory_order_relaxed);
        processorRef.highLampLevel.store (-1, std::memory_order_relaxed);
    }

    const auto main = processorRef.mainParam->get();
    mainSlider.setValue (main, juce::dontSendNotification);
    displayValue = (double) (200.0f * main) - 100.0;
    pitchSlider.setValue (processorRef.pitchParam->get(), juce::dontSendNotification);

    if (isShowing())
    {
        notificationButton.setVisible (processorRef.updateAvailable.load());
        repaint();
    }
}

juce::AudioParameterFloat* OlvarAudioProcessorEditor::getParameterForSlider (juce::Slider* slider)
{
    const auto parameters = processorRef.getParameters();

    for (auto* parameter : parameters)
        if (parameter != nullptr && parameter->getName (100) == slider->getName())
            return dynamic_cast<juce::AudioParameterFloat*> (parameter);

    return nullptr;
}

void OlvarAudioProcessorEditor::sliderDragStarted (juce::Slider* slider)
{
    if (auto* parameter = getParameterForSlider (slider))
        parameter->beginChangeGesture();
}

void OlvarAudioProcessorEditor::sliderDragEnded (juce::Slider* slider)
{
    if (auto* parameter = getParameterForSlider (slider))
        parameter->endChangeGesture();
}

void OlvarAudioProcessorEditor::sliderValueChanged (juce::Slider* slider)
{
    auto* parameter = getParameterForSlider (slider);

    if (parameter == nullptr || (slider != &mainSlider && slider != &pitchSlider))
        return;

    const auto value = (float) slider->getValue();

    if (! olvar::approximatelyEqualFloat (value, parameter->get()))
        parameter->setValueNotifyingHost (parameter->convertTo0to1 (value));
}

void OlvarAudioProcessorEditor::buttonClicked (juce::Button* button)
{
    if (button == &logoButton || button == &notificationButton)
        showAboutDialog();

    juce::AudioParameterBool* parameter = nullptr;
    const auto parameters = processorRef.getParameters();

    for (auto* candidate : parameters)
    {
        if (candidate != nullptr && candidate->getName (100) == button->getName())
        {
            parameter = dynamic_cast<juce::AudioParameterBool*> (candidate);
            break;
        }
    }

    if (parameter == nullptr || button != &enableButton)
        return;

    const auto on = enableButton.getToggleState();
    parameter->beginChangeGesture();

    if (on != parameter->get())
        parameter->setValueNotifyingHost (on ? 1.0f : 0.0f);

    parameter->endChangeGesture();
}

//==============================================================================
OlvarAudioProcessorEditor::DialogTexts OlvarAudioProcessorEditor::dialogTextsFor (const juce::String& languageCode)
{
    const auto japanese = languageCode.startsWith ("ja");
    const juce::String product (productName);
    const juce::String maker ("RAVEK-AUDIO");
    const auto pick = [japanese] (const char* english, const char* japaneseUtf8)
    {
        return japanese ? fromUtf8 (japaneseUtf8) : juce::String (english);
    };

    DialogTexts texts;
    texts.aboutTitle = japanese ? product + fromUtf8 ("\xe3\x81\xab\xe3\x81\xa4\xe3\x81\x84\xe3\x81\xa6") : "About " + product;

    texts.aboutMessage << "Version:" << versionText << "\n"
                       << "\n"
                       << pick ("Sound design : ", "\xe3\x82\xb5\xe3\x82\xa6\xe3\x83\xb3\xe3\x83\x89\xe3\x83\x87\xe3\x82\xb6\xe3\x82\xa4\xe3\x83\xb3 : ") << maker << "\n"
                       << pick ("UI Design : ", "UI\xe3\x83\x87\xe3\x82\xb6\xe3\x82\xa4\xe3\x83\xb3 : ") << maker << "\n"
                       << pick ("Development : ", "\xe9\x96\x8b\xe7\x99\xba : ") << maker << "\n"
                       << pick ("Distribute : ", "\xe8\xb2\xa9\xe5\xa3\xb2 : ") << maker << "\n"
                       << "\n"
                       << fromUtf8 ("\xc2\xa9 2026 RAVEK-AUDIO. VST is a registered trademark of Steinberg Media Technologies GmbH.");
    texts.aboutButton = "  OK  ";

    texts.noticeTitle = japanese ? fromUtf8 ("\xe6\x96\xb0\xe3\x81\x97\xe3\x81\x84\xe3\x83\x90\xe3\x83\xbc\xe3\x82\xb8\xe3\x83\xa7\xe3\x83\xb3\xe3\x81\xae")
                                       + product
                                       + fromUtf8 ("\xe3\x81\x8c\xe3\x83\xaa\xe3\x83\xaa\xe3\x83\xbc\xe3\x82\xb9\xe3\x81\x95\xe3\x82\x8c\xe3\x81\xa6\xe3\x81\x84\xe3\x81\xbe\xe3\x81\x99")
                                 : "New " + product + " is released";
    texts.noticeMessage = pick ("Do you want to get the new version ? ",
                                "Web\xe3\x82\xb5\xe3\x82\xa4\xe3\x83\x88\xe3\x81\x8b\xe3\x82\x89\xe6\x96\xb0\xe3\x81\x97\xe3\x81\x84\xe3\x83\x90\xe3\x83\xbc\xe3\x82\xb8\xe3\x83\xa7\xe3\x83\xb3\xe3\x82\x92\xe5\x85\xa5\xe6\x89\x8b\xe3\x81\x97\xe3\x81\xbe\xe3\x81\x99\xe3\x81\x8b\xef\xbc\x9f ");
    texts.noticeYes = pick ("Yes, open the webpage", "\xe3\x81\xaf\xe3\x81\x84");
    texts.noticeNo = pick ("No, check later", "\xe3\x81\x84\xe3\x81\x84\xe3\x81\x88");
    return texts;
}

void OlvarAudioProcessorEditor::showAboutDialog()
{
    const auto texts = dialogTextsFor (olvar::getPreferredLanguage());

    if (! processorRef.updateAvailable.load())
    {
        showAbout (texts);
        return;
    }

    updateWindow = std::make_unique<juce::AlertWindow> (texts.noticeTitle, texts.noticeMessage, juce::MessageBoxIconType::WarningIcon, nullptr);
    updateWindow->addButton (texts.noticeYes, 1, juce::KeyPress(), juce::KeyPress());
    updateWindow->addButton (texts.noticeNo, 2, juce::KeyPress(), juce::KeyPress());

    // JUCE also calls back (with 0) when a window is deleted, by a newer window of its kind
    // or with the closing editor: the safe pointers then read null and nothing happens.
    juce::Component::SafePointer<OlvarAudioProcessorEditor> editor (this);
    juce::Component::SafePointer<juce::AlertWindow> window (updateWindow.get());

    updateWindow->enterModalState (true, juce::ModalCallbackFunction::create ([editor, window, texts] (int result)
    {
        if (editor == nullptr || window == nullptr)
            return;

        window->exitModalState (result);
        window->setVisible (false);

        if (result == 1)
            editor->openInBrowser (juce::URL (OLVAR_MAKER_WEBSITE));
        else
            editor->showAbout (texts);
    }), false);

    updateWindow->grabKeyboardFocus();
}

void OlvarAudioProcessorEditor::showAbout (const DialogTexts& texts)
{
    aboutWindow = std::make_unique<juce::AlertWindow> (texts.aboutTitle, juce::String(), juce::MessageBoxIconType::NoIcon, nullptr);
    aboutWindow->addButton (texts.aboutButton, 1, juce::KeyPress(), juce::KeyPress());
    aboutWindow->setMessage (texts.aboutMessage);

    juce::Component::SafePointer<juce::AlertWindow> window (aboutWindow.get());
    aboutWindow->enterModalState (true, juce::ModalCallbackFunction::create ([window] (int result)
    {
        if (window == nullptr)
            return;

        window->exitModalState (result);
        window->setVisible (false);
    }), false);

    aboutWindow->grabKeyboardFocus();
}

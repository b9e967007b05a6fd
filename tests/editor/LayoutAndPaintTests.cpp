#include "EditorTestSupport.h"

namespace
{
class EditorPaintTest : public ::testing::Test
{
protected:
    void SetUp() override { editor = std::make_unique<OlvarAudioProcessorEditor> (processor); }

    juce::Image snapshot() { return editor->createComponentSnapshot (editor->getLocalBounds(), true, 1.0f); }

    void setControls (float main, float pitch, bool enabled = true)
    {
        processor.mainParam->setValueNotifyingHost (main);
        processor.pitchParam->setValueNotifyingHost (pitch);
        processor.enableParam->setValueNotifyingHost (enabled ? 1.0f : 0.0f);
        editor->timerCallback();
    }

    OlvarAudioProcessor processor;
    std::unique_ptr<OlvarAudioProcessorEditor> editor;
};
} // namespace

TEST_F (EditorPaintTest, ChildrenSitWhereTheFaceExpectsThem)
{
    EXPECT_EQ (editor->getWidth(), 350);
    EXPECT_EQ (editor->getHeight(), 600);
    EXPECT_FALSE (editor->isResizable());

    const std::pair<juce::Component*, juce::Rectangle<int>> expected[] = {
        { &editor->enableButton, { 12, 12, 44, 44 } },
        { &editor->logoButton, { 200, 12, 136, 51 } },
        { &editor->mainSlider, { 132, 92, 84, 280 } },
        { &editor->pitchSlider, { 31, 520, 287, 36 } },
        { &editor->notificationButton, { 320, 6, 24, 24 } },
    };

    for (const auto& [component, bounds] : expected)
    {
        EXPECT_EQ (component->getBounds(), bounds) << component->getName();
        EXPECT_EQ (component->getParentComponent(), editor.get());
    }

    EXPECT_EQ (editor->mainSlider.getSliderStyle(), juce::Slider::LinearVertical);
    EXPECT_EQ (editor->pitchSlider.getSliderStyle(), juce::Slider::LinearHorizontal);
    EXPECT_EQ (editor->mainSlider.getName(), "Level");
    EXPECT_EQ (editor->pitchSlider.getName(), "Pitch");
    EXPECT_EQ (editor->enableButton.getName(), "Enable");
    EXPECT_FALSE (editor->notificationButton.isVisible());
}

TEST_F (EditorPaintTest, NotificationButtonAppearsOnTheFirstTickWhileShowing)
{
    finishUpdateCheck (processor);
    processor.updateAvailable = true;
    editor->timerCallback();
    EXPECT_FALSE (editor->notificationButton.isVisible()) << "shown while the editor is not on screen";

    editor->addToDesktop (0);
    editor->setVisible (true);
    ASSERT_TRUE (editor->isShowing());
    EXPECT_FALSE (editor->notificationButton.isVisible()) << "shown before a tick";

    editor->timerCallback();
    EXPECT_TRUE (editor->notificationButton.isVisible());
}

struct CapCase
{
    float value;
    int mainCapY;
    int pitchCapX;
};

TEST_F (EditorPaintTest, FaderCapsFollowTheirValues)
{
    const auto verticalCap = loadEditorImage ("fader-cap-vertical.png");
    const auto horizontalCap = loadEditorImage ("fader-cap-horizontal.png");

    for (const auto& c : { CapCase { 0.0f, 197, 0 }, CapCase { 0.5f, 97, 109 }, CapCase { 1.0f, -2, 219 } })
    {
        SCOPED_TRACE (c.value);
        setControls (c.value, c.value);
        const auto picture = snapshot();

        const auto main = editor->mainSlider.getBounds();
        EXPECT_TRUE (opaquePixelsAt (picture, verticalCap, verticalCap.getBounds(), main.getX(), main.getY() + c.mainCapY, main));
        EXPECT_FALSE (opaquePixelsAt (picture, verticalCap, verticalCap.getBounds(), main.getX(), main.getY() + c.mainCapY + 3, main));

        const auto pitch = editor->pitchSlider.getBounds();
        EXPECT_TRUE (opaquePixelsAt (picture, horizontalCap, horizontalCap.getBounds(), pitch.getX() + c.pitchCapX, pitch.getY(), pitch));
        EXPECT_FALSE (opaquePixelsAt (picture, horizontalCap, horizontalCap.getBounds(), pitch.getX() + c.pitchCapX + 3, pitch.getY(), pitch));
    }
}

TEST_F (EditorPaintTest, PowerKeyShowsItsLitCellOnlyWhenOn)
{
    const auto key = loadEditorImage ("power-key.png");
    const juce::Rectangle<int> offCell (0, 0, 44, 44), onCell (0, 44, 44, 44);

    setControls (0.5f, 0.5f, true);
    auto picture = snapshot();
    EXPECT_TRUE (opaquePixelsAt (picture, key, onCell, 12, 12, picture.getBounds()));
    EXPECT_FALSE (opaquePixelsAt (picture, key, offCell, 12, 12, picture.getBounds()));

    setControls (0.5f, 0.5f, false);
    picture = snapshot();
    EXPECT_TRUE (opaquePixelsAt (picture, key, offCell, 12, 12, picture.getBounds()));
    EXPECT_FALSE (opaquePixelsAt (picture, key, onCell, 12, 12, picture.getBounds()));
}

TEST_F (EditorPaintTest, OverloadLampsLightOnlyWhenSet)
{
    const auto lamp = loadEditorImage ("over-lamp.png");

    for (const auto& [left, right] : { std::pair { 0, 0 }, std::pair { 1, 0 }, std::pair { 0, 1 }, std::pair { 1, 1 } })
    {
        processor.overLampL = left;
        processor.overLampR = right;
        const auto picture = snapshot();

        EXPECT_EQ (opaquePixelsAt (picture, lamp, 56, 80), left == 1) << left << right;
        EXPECT_EQ (opaquePixelsAt (picture, lamp, 276, 80), right == 1) << left << right;
    }
}

TEST_F (EditorPaintTest, BarGraphsLightOneMoreSegmentPerLevel)
{
    const auto background = loadEditorImage ("background.png");
    std::vector<juce::Image> low, high;

    for (int i = 1; i <= 4; ++i)
    {
        low.push_back (loadEditorImage (("meter-low-segment-" + juce::String (i) + ".png").toRawUTF8()));
        high.push_back (loadEditorImage (("meter-high-segment-" + juce::String (i) + ".png").toRawUTF8()));
    }

    const juce::Rectangle<int> meter (135, 402, 79, 60);

    for (int level = -1; level <= 3; ++level)
    {
        const auto highLevel = 2 - level; // the sides are independent
        processor.lowLampLevel = level;
        processor.highLampLevel = highLevel;
        const auto picture = snapshot();

        // The window as it should look: the background with the lit segments laid over it.
        auto expected = background.getClippedImage (meter).createCopy();
        {
            juce::Graphics g (expected);

            for (int segment = 0; segment <= level; ++segment)
                g.drawImageAt (low[(size_t) segment], 0, 0);

            for (int segment = 0; segment <= highLevel; ++segment)
                g.drawImageAt (high[(size_t) segment], 0, 0);
        }

        for (int y = 0; y < meter.getHeight(); ++y)
            for (int x = 0; x < meter.getWidth(); ++x)
                ASSERT_EQ (picture.getPixelAt (meter.getX() + x, meter.getY() + y), expected.getPixelAt (x, y))
                    << "low level " << level << ", high level " << highLevel << " at " << x << ", " << y;
    }
}

struct ReadoutCase
{
    double value;
    const char* text;
};

TEST_F (EditorPaintTest, ReadoutTruncatesAndAlignsRight)
{
    const auto digits = loadEditorImage ("readout-digits.png");
    const auto background = loadEditorImage ("background.png");

    for (const auto& c : { ReadoutCase { -100.0, "-100" }, ReadoutCase { -49.5, "-49" }, ReadoutCase { 0.0, "0" },
                           ReadoutCase { 57.9, "57" }, ReadoutCase { 100.0, "100" }, ReadoutCase { -0.4, "0" } })
    {
        SCOPED_TRACE (c.text);
        editor->displayValue = c.value;
        const auto picture = snapshot();
        const auto length = (int) std::strlen (c.text);

        for (int cell = 0; cell < 4; ++cell)
        {
            const auto x = 100 + 16 * cell;
            const auto charIndex = cell - (4 - length);

            if (charIndex < 0)
            {
                // An empty cell shows the background.
                for (int y = 22; y < 44; ++y)
                    for (int dx = 0; dx < 16; ++dx)
                        ASSERT_EQ (picture.getPixelAt (x + dx, y), background.getPixelAt (x + dx, y)) << "cell " << cell;

                continue;
            }

            const auto character = c.text[charIndex];
            const auto glyph = character == '-' ? 10 : character - '0';
            EXPECT_TRUE (opaquePixelsAt (picture, digits, { 0, 22 * glyph, 16, 22 }, x, 22, picture.getBounds()))
                << "cell " << cell << " should show " << character;
        }
    }
}

TEST_F (EditorPaintTest, TimerTurnsTheMainAmountIntoTheReadoutValue)
{
    for (const auto& [main, shown] : { std::pair { 0.0f, -100.0 }, std::pair { 0.5f, 0.0 }, std::pair { 1.0f, 100.0 } })
    {
        setControls (main, 0.5f);
        EXPECT_EQ (editor->displayValue, shown) << main;
    }

    // The product is formed in single precision, then widened.
    setControls (0.789f, 0.5f);
    EXPECT_EQ (editor->displayValue, (double) (200.0f * processor.mainParam->get()) - 100.0);
    EXPECT_NE (editor->displayValue, 200.0 * (double) processor.mainParam->get() - 100.0);
}

TEST (EditorLookAndFeel, SquareColoursAreSetAndStable)
{
    CustomLookAndFeel lookAndFeel;

    for (int round = 0; round < 2; ++round)
    {
        setupSquareLookAndFeelColours (lookAndFeel);
        EXPECT_EQ (lookAndFeel.findColour (juce::Slider::rotarySliderFillColourId), juce::Colours::red);
        EXPECT_EQ (lookAndFeel.findColour (juce::Slider::thumbColourId), juce::Colour (0xfff2f2f2));
        EXPECT_EQ (lookAndFeel.findColour (juce::Slider::textBoxOutlineColourId), juce::Colours::transparentWhite);
        EXPECT_EQ (lookAndFeel.findColour (juce::Slider::trackColourId), juce::Colours::black);
        EXPECT_EQ (lookAndFeel.findColour (juce::TextButton::buttonColourId), juce::Colours::white);
        EXPECT_EQ (lookAndFeel.findColour (juce::TextButton::textColourOffId), juce::Colours::red);
        EXPECT_EQ (lookAndFeel.findColour (juce::TextButton::buttonOnColourId), juce::Colours::red);
        EXPECT_EQ (lookAndFeel.findColour (juce::TextButton::textColourOnId), juce::Colours::white);
    }
}

TEST (EditorLookAndFeel, BadgeIsARedDiscWithAWhiteMark)
{
    CustomLookAndFeel_NoticationBtn lookAndFeel;
    juce::ImageButton button;
    button.setLookAndFeel (&lookAndFeel);
    button.setBounds (0, 0, 24, 24);
    button.setImages (false, false, false, loadEditorImage ("logo.png"), 1.0f, {}, {}, 1.0f, {}, {}, 1.0f, {});

    const auto picture = button.createComponentSnapshot (button.getLocalBounds(), true, 1.0f);
    button.setLookAndFeel (nullptr);

    EXPECT_EQ (picture.getPixelAt (12, 8), juce::Colours::white);   // the stroke
    EXPECT_EQ (picture.getPixelAt (11, 19), juce::Colours::white);  // the dot
    EXPECT_EQ (picture.getPixelAt (12, 15), juce::Colours::red);    // between them
    EXPECT_EQ (picture.getPixelAt (5, 12), juce::Colours::red);
    EXPECT_EQ (picture.getPixelAt (0, 0).getAlpha(), 0);            // outside the disc
}

TEST (EditorLanguage, ChineseAndJapaneseChooseTheirTypefaces)
{
    const std::pair<const char*, const char*> cases[] = { { "zh-Hans-CN", "PingFang SC" }, { "zh_TW.UTF-8", "PingFang SC" },
                                                          { "ja-JP", "Arial Unicode MS" }, { "ja_JP.UTF-8", "Arial Unicode MS" },
                                                          { "en-US", "" }, { "fr-FR", "" }, { "", "" }, { "JA", "" } };

    for (const auto& [language, typeface] : cases)
        EXPECT_EQ (OlvarAudioProcessorEditor::typefaceForLanguage (language), typeface) << language;
}

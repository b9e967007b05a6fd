#include "EditorTestSupport.h"

namespace
{
class DialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        finishUpdateCheck (processor);
        createEditor();
    }

    void TearDown() override
    {
        editor.reset();
        pumpMessages (20);
    }

    void createEditor()
    {
        editor = std::make_unique<OlvarAudioProcessorEditor> (processor);
        editor->openInBrowser = [this] (const juce::URL& url) { opened.add (url.toString (false)); };
    }

    void clickLogo()
    {
        editor->logoButton.triggerClick();
        pumpMessages (50);
    }

    void press (juce::AlertWindow& window, const juce::String& buttonText)
    {
        auto* button = findButton (window, buttonText);
        ASSERT_NE (button, nullptr) << buttonText;
        button->triggerClick();
        pumpMessages (80);
    }

    OlvarAudioProcessor processor;
    std::unique_ptr<OlvarAudioProcessorEditor> editor;
    juce::StringArray opened;
};
} // namespace

TEST (DialogTexts, EnglishAndJapanese)
{
    const auto english = OlvarAudioProcessorEditor::dialogTextsFor ("en-GB");
    EXPECT_EQ (english.aboutTitle, "About Olvar");
    EXPECT_EQ (english.aboutButton, "  OK  ");
    EXPECT_EQ (english.noticeTitle, "New Olvar is released");
    EXPECT_EQ (english.noticeMessage, "Do you want to get the new version ? ");
    EXPECT_EQ (english.noticeYes, "Yes, open the webpage");
    EXPECT_EQ (english.noticeNo, "No, check later");

    const auto japanese = OlvarAudioProcessorEditor::dialogTextsFor ("ja-JP");
    EXPECT_EQ (japanese.aboutTitle, juce::String (juce::CharPointer_UTF8 ("Olvar\xe3\x81\xab\xe3\x81\xa4\xe3\x81\x84\xe3\x81\xa6")));
    EXPECT_EQ (japanese.aboutButton, "  OK  ");
    EXPECT_TRUE (japanese.noticeTitle.contains ("Olvar"));
    EXPECT_EQ (japanese.noticeYes, juce::String (juce::CharPointer_UTF8 ("\xe3\x81\xaf\xe3\x81\x84")));
    EXPECT_EQ (japanese.noticeNo, juce::String (juce::CharPointer_UTF8 ("\xe3\x81\x84\xe3\x81\x84\xe3\x81\x88")));
    EXPECT_TRUE (japanese.noticeMessage.endsWith (juce::String (juce::CharPointer_UTF8 ("\xef\xbc\x9f "))));

    for (const auto* language : { "zh-Hans-CN", "fr-FR", "", "JA" })
        EXPECT_EQ (OlvarAudioProcessorEditor::dialogTextsFor (language).aboutTitle, "About Olvar") << language;

    // Version first, an empty line around the four credits, the legal line last without a break.
    for (const auto& texts : { english, japanese })
    {
        const auto lines = juce::StringArray::fromLines (texts.aboutMessage);
        ASSERT_EQ (lines.size(), 8) << texts.aboutMessage;
        EXPECT_EQ (lines[0], "Version:1.1.0");
        EXPECT_TRUE (lines[1].isEmpty());
        EXPECT_TRUE (lines[6].isEmpty());

        for (int i = 2; i < 6; ++i)
            EXPECT_TRUE (lines[i].contains (" : RAVEK-AUDIO")) << lines[i];

        EXPECT_TRUE (lines[7].isNotEmpty());
        EXPECT_FALSE (texts.aboutMessage.endsWithChar ('\n'));
    }

    EXPECT_TRUE (english.aboutMessage.contains ("Sound design : "));
    EXPECT_TRUE (english.aboutMessage.contains ("Distribute : "));
}

TEST_F (DialogTest, WithoutAnUpdateTheLogoOpensTheAboutBox)
{
    const ScopedEnvironment language ("LANGUAGE", "ja_JP");
    clickLogo();

    ASSERT_NE (editor->aboutWindow, nullptr);
    EXPECT_EQ (editor->updateWindow, nullptr);
    EXPECT_TRUE (editor->aboutWindow->isVisible());
    EXPECT_EQ (editor->aboutWindow->getName(), OlvarAudioProcessorEditor::dialogTextsFor ("ja").aboutTitle);
    EXPECT_NE (findButton (*editor->aboutWindow, "  OK  "), nullptr);

    press (*editor->aboutWindow, "  OK  ");
    EXPECT_FALSE (editor->aboutWindow->isVisible());
    EXPECT_TRUE (opened.isEmpty());
}

TEST_F (DialogTest, DecliningTheNoticeShowsTheAboutBoxAndTheNextClickAsksAgain)
{
    const ScopedEnvironment language ("LANGUAGE", "en_GB");
    processor.updateAvailable = true;
    clickLogo();

    ASSERT_NE (editor->updateWindow, nullptr);
    EXPECT_EQ (editor->aboutWindow, nullptr);
    EXPECT_EQ (editor->updateWindow->getName(), "New Olvar is released");

    press (*editor->updateWindow, "No, check later");
    EXPECT_FALSE (editor->updateWindow->isVisible());
    ASSERT_NE (editor->aboutWindow, nullptr);
    EXPECT_TRUE (editor->aboutWindow->isVisible());
    EXPECT_EQ (editor->aboutWindow->getName(), "About Olvar");
    EXPECT_TRUE (opened.isEmpty());

    press (*editor->aboutWindow, "  OK  ");
    EXPECT_TRUE (processor.updateAvailable.load()) << "declining must not clear the flag";

    editor->notificationButton.triggerClick();
    pumpMessages (50);
    ASSERT_NE (editor->updateWindow, nullptr);
    EXPECT_TRUE (editor->updateWindow->isVisible());
}

TEST_F (DialogTest, AcceptingTheNoticeOpensTheWebSiteAndNoAboutBox)
{
    processor.updateAvailable = true;
    clickLogo();
    ASSERT_NE (editor->updateWindow, nullptr);

    press (*editor->updateWindow, "Yes, open the webpage");

    EXPECT_EQ (opened, juce::StringArray (OLVAR_MAKER_WEBSITE));
    EXPECT_EQ (editor->aboutWindow, nullptr);
    EXPECT_TRUE (visibleAlertWindows().empty());
}

TEST_F (DialogTest, ASecondClickReplacesTheWindow)
{
    clickLogo();
    juce::Component::SafePointer<juce::AlertWindow> first (editor->aboutWindow.get());
    ASSERT_NE (first, nullptr);

    clickLogo();
    EXPECT_EQ (first, nullptr) << "the first window was not deleted";
    ASSERT_NE (editor->aboutWindow, nullptr);
    EXPECT_EQ (visibleAlertWindows().size(), 1u);
    EXPECT_TRUE (opened.isEmpty());
}

TEST_F (DialogTest, ClosingTheEditorWithADialogOpenDeletesItAndOpensNothing)
{
    for (const auto updateAvailable : { true, false })
    {
        processor.updateAvailable = updateAvailable;
        clickLogo();
        ASSERT_EQ (visibleAlertWindows().size(), 1u);

        editor.reset();
        pumpMessages (80);

        EXPECT_TRUE (visibleAlertWindows().empty());
        EXPECT_TRUE (opened.isEmpty());

        createEditor();
    }
}

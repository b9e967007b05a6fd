#pragma once

#include "MessagePump.h"
#include "PluginEditor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

// Loads one of the editor's images from the repository, to compare a snapshot against.
inline juce::Image loadEditorImage (const char* name)
{
    return juce::ImageFileFormat::loadFrom (juce::File (OLVAR_IMAGE_FOLDER).getChildFile (name));
}

// Whether every fully opaque pixel of `area` in `piece` appears unchanged in `picture` with the
// area's top-left at (x, y). Pixels that fall outside `clip` are not compared.
inline bool opaquePixelsAt (const juce::Image& picture, const juce::Image& piece, juce::Rectangle<int> area,
                            int x, int y, juce::Rectangle<int> clip)
{
    int compared = 0;

    for (int row = 0; row < area.getHeight(); ++row)
        for (int column = 0; column < area.getWidth(); ++column)
        {
            const auto source = piece.getPixelAt (area.getX() + column, area.getY() + row);

            if (source.getAlpha() != 255 || ! clip.contains (x + column, y + row))
                continue;

            ++compared;

            if (picture.getPixelAt (x + column, y + row) != source)
                return false;
        }

    return compared > 0;
}

inline bool opaquePixelsAt (const juce::Image& picture, const juce::Image& piece, int x, int y)
{
    return opaquePixelsAt (picture, piece, piece.getBounds(), x, y, picture.getBounds());
}

// Lets the processor's own update check finish, so a test can set the flag without the
// check's result overwriting it.
inline void finishUpdateCheck (OlvarAudioProcessor& processor)
{
    if (processor.updateThread.joinable())
        processor.updateThread.join();
}

// Counts the host-side notifications a processor sends, per parameter index.
struct HostNotifications : juce::AudioProcessorListener
{
    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override
    {
        ++changes[index];
        lastValue[index] = value;
    }

    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}
    void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index) override { ++begins[index]; }
    void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index) override { ++ends[index]; }

    void reset()
    {
        std::fill (std::begin (changes), std::end (changes), 0);
        std::fill (std::begin (begins), std::end (begins), 0);
        std::fill (std::begin (ends), std::end (ends), 0);
        std::fill (std::begin (lastValue), std::end (lastValue), 0.0f);
    }

    int changes[8] {};
    int begins[8] {};
    int ends[8] {};
    float lastValue[8] {};
};

inline std::vector<juce::AlertWindow*> visibleAlertWindows()
{
    std::vector<juce::AlertWindow*> windows;
    auto& desktop = juce::Desktop::getInstance();

    for (int i = 0; i < desktop.getNumComponents(); ++i)
        if (auto* window = dynamic_cast<juce::AlertWindow*> (desktop.getComponent (i)); window != nullptr && window->isVisible())
            windows.push_back (window);

    return windows;
}

inline juce::TextButton* findButton (juce::Component& window, const juce::String& text)
{
    for (auto* child : window.getChildren())
        if (auto* button = dynamic_cast<juce::TextButton*> (child); button != nullptr && button->getButtonText() == text)
            return button;

    return nullptr;
}

// Sets an environment variable for the lifetime of the object.
class ScopedEnvironment
{
public:
    ScopedEnvironment (const char* nameToUse, const char* value) : name (nameToUse)
    {
        if (const auto* old = std::getenv (name))
            previous = old;

        setenv (name, value, 1);
    }

    ~ScopedEnvironment()
    {
        if (previous.has_value())
            setenv (name, previous->c_str(), 1);
        else
            unsetenv (name);
    }

private:
    const char* name;
    std::optional<std::string> previous;
};

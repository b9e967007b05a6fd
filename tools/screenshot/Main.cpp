// Writes screenshots of the editor: at default settings, and at full boost with a signal
// loud enough to light both overload lamps. Needs a display (run under xvfb-run).

#include "PluginEditor.h"

#include <cstdlib>
#include <iostream>

namespace
{
bool writePng (const juce::Image& image, const juce::File& file)
{
    file.deleteFile();
    juce::FileOutputStream out (file);
    return out.openedOk() && juce::PNGImageFormat().writeImageToStream (image, out);
}

juce::Image screenshot (OlvarAudioProcessor& processor)
{
    OlvarAudioProcessorEditor editor (processor);
    editor.timerCallback();
    return editor.createComponentSnapshot (editor.getLocalBounds(), true, 1.0f);
}

void playLoudBlock (OlvarAudioProcessor& processor)
{
    processor.setRateAndBufferSizeDetails (48000.0, 4800);
    processor.prepareToPlay (48000.0, 4800);
    juce::AudioBuffer<float> buffer (2, 4800);

    for (int channel = 0; channel < 2; ++channel)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            buffer.setSample (channel, i, 0.9f * std::sin (2.0f * juce::MathConstants<float>::pi * 128.0f * (float) i / 48000.0f));

    juce::MidiBuffer midi;
    processor.processBlock (buffer, midi);
}
} // namespace

int main (int argc, char** argv)
{
    setenv ("OLVAR_UPDATE_ENDPOINT", "http://127.0.0.1:9/olvar_update.php", 0);

    if (argc != 2)
    {
        std::cerr << "usage: olvar-screenshot <output-folder>\n";
        return 2;
    }

    const juce::ScopedJuceInitialiser_GUI juceInitialiser;
    const auto folder = juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]);

    if (! folder.createDirectory())
    {
        std::cerr << "olvar-screenshot: cannot create " << folder.getFullPathName() << "\n";
        return 1;
    }

    OlvarAudioProcessor defaults;
    const auto defaultFile = folder.getChildFile ("editor-default.png");

    OlvarAudioProcessor boosted;
    boosted.mainParam->setValueNotifyingHost (1.0f);
    playLoudBlock (boosted);
    const auto boostedFile = folder.getChildFile ("editor-full-boost.png");

    if (! writePng (screenshot (defaults), defaultFile) || ! writePng (screenshot (boosted), boostedFile))
    {
        std::cerr << "olvar-screenshot: cannot write into " << folder.getFullPathName() << "\n";
        return 1;
    }

    std::cout << defaultFile.getFullPathName() << "\n" << boostedFile.getFullPathName() << "\n";
    return 0;
}

#pragma once

#include <juce_core/juce_core.h>

#include <optional>

namespace olvar::render
{

struct Options
{
    juce::File plugin;
    juce::File input;  // none: render the demo
    juce::File output; // none: the default next to the input (or in the current folder)
    juce::File plot;   // none: derived from the output

    bool enable = true;
    double level = 0.5;
    double pitch = 0.5;

    bool doublePrecision = false;
    int blockSize = 512;

    int demoRate = 48000;
    double demoSeconds = 6.0;

    bool showHelp = false;

    bool hasInput() const { return input != juce::File(); }
    double readout() const { return 200.0 * level - 100.0; }
};

// Parses the command line (without the program name) against the current folder.
// On failure returns nothing and fills error with a one-line message.
std::optional<Options> parseOptions (const juce::StringArray& args, const juce::File& currentFolder, juce::String& error);

juce::String usageText();

} // namespace olvar::render

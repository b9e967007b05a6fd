#include "Options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace olvar::render
{
namespace
{
std::optional<double> parseNumber (const juce::String& text)
{
    const auto utf8 = text.toStdString();

    // strtod would skip leading blanks; a value with blanks around it is a typo.
    if (utf8.empty() || juce::CharacterFunctions::isWhitespace (utf8[0]))
        return {};

    char* end = nullptr;
    errno = 0;
    const auto value = std::strtod (utf8.c_str(), &end);

    if (errno != 0 || end != utf8.c_str() + utf8.size() || ! std::isfinite (value))
        return {};

    return value;
}

std::optional<long long> parseWholeNumber (const juce::String& text)
{
    const auto utf8 = text.toStdString();

    if (utf8.empty() || ! (juce::CharacterFunctions::isDigit (utf8[0]) || utf8[0] == '-' || utf8[0] == '+'))
        return {};

    char* end = nullptr;
    errno = 0;
    const auto value = std::strtoll (utf8.c_str(), &end, 10);

    if (errno != 0 || end != utf8.c_str() + utf8.size())
        return {};

    return value;
}

struct Parser
{
    const juce::StringArray& args;
    const juce::File& currentFolder;
    juce::String& error;
    int next = 0;

    bool fail (const juce::String& message)
    {
        error = message;
        return false;
    }

    // Both "--name value" and "--name=value"; a value may start with '-' (a negative readout).
    bool takeValue (const juce::String& name, std::optional<juce::String> inlineValue, juce::String& value)
    {
        if (inlineValue.has_value())
        {
            value = *inlineValue;
            return true;
        }

        if (next >= args.size())
            return fail (name + " needs a value");

        value = args[next++];
        return true;
    }

    bool number (const juce::String& name, const juce::String& text, double low, double high,
                 const juce::String& rangeText, double& result)
    {
        const auto value = parseNumber (text);

        if (! value.has_value() || *value < low || *value > high)
            return fail (name + " must be a number from " + rangeText + ", not '" + text + "'");

        result = *value;
        return true;
    }

    bool wholeNumber (const juce::String& name, const juce::String& text, long long low, long long high, int& result)
    {
        const auto value = parseWholeNumber (text);

        if (! value.has_value() || *value < low || *value > high)
            return fail (name + " must be a whole number from " + juce::String (low) + " to " + juce::String (high)
                         + ", not '" + text + "'");

        result = (int) *value;
        return true;
    }

    juce::File path (const juce::String& text) const
    {
        return currentFolder.getChildFile (text);
    }
};
} // namespace

std::optional<Options> parseOptions (const juce::StringArray& args, const juce::File& currentFolder, juce::String& error)
{
    Options options;
    options.plugin = juce::File ("~/.vst3/Olvar.vst3");

    Parser parser { args, currentFolder, error };
    const auto reject = [&error] (const juce::String& message) -> std::optional<Options>
    {
        error = message;
        return std::nullopt;
    };
    bool levelGiven = false, readoutGiven = false, rateGiven = false, lengthGiven = false;
    bool optionsEnded = false;

    while (parser.next < args.size())
    {
        const auto arg = args[parser.next++];

        if (optionsEnded || ! arg.startsWith ("-") || arg == "-")
        {
            if (arg.isEmpty())
                return reject ("the input file name is empty");

            if (options.hasInput())
                return reject ("only one input file can be rendered at a time (got '"
                                    + options.input.getFullPathName() + "' and '" + arg + "')");

            options.input = parser.path (arg);
            continue;
        }

        if (arg == "--")
        {
            optionsEnded = true;
            continue;
        }

        auto name = arg;
        std::optional<juce::String> inlineValue;

        if (arg.startsWith ("--") && arg.containsChar ('='))
        {
            name = arg.upToFirstOccurrenceOf ("=", false, false);
            inlineValue = arg.fromFirstOccurrenceOf ("=", false, false);
        }

        if (name == "-h" || name == "--help")
        {
            options.showHelp = true;
            continue;
        }

        juce::String value;

        if (name == "--plugin" || name == "--output" || name == "-o" || name == "--plot")
        {
            if (! parser.takeValue (name, inlineValue, value))
                return std::nullopt;

            if (value.isEmpty())
                return reject (name + " needs a path");

            (name == "--plugin" ? options.plugin : name == "--plot" ? options.plot : options.output) = parser.path (value);
        }
        else if (name == "--enable")
        {
            if (! parser.takeValue (name, inlineValue, value))
                return std::nullopt;

            const auto word = value.toLowerCase();

            if (word == "on" || word == "1" || word == "true")
                options.enable = true;
            else if (word == "off" || word == "0" || word == "false")
                options.enable = false;
            else
                return reject ("--enable must be on or off, not '" + value + "'");
        }
        else if (name == "--level")
        {
            if (! parser.takeValue (name, inlineValue, value) || ! parser.number (name, value, 0.0, 1.0, "0 to 1", options.level))
                return std::nullopt;

            levelGiven = true;
        }
        else if (name == "--readout")
        {
            double readout = 0.0;

            if (! parser.takeValue (name, inlineValue, value) || ! parser.number (name, value, -100.0, 100.0, "-100 to +100", readout))
                return std::nullopt;

            options.level = (readout + 100.0) / 200.0;
            readoutGiven = true;
        }
        else if (name == "--pitch")
        {
            if (! parser.takeValue (name, inlineValue, value) || ! parser.number (name, value, 0.0, 1.0, "0 to 1", options.pitch))
                return std::nullopt;
        }
        else if (name == "--precision")
        {
            if (! parser.takeValue (name, inlineValue, value))
                return std::nullopt;

            if (value != "single" && value != "double")
                return reject ("--precision must be single or double, not '" + value + "'");

            options.doublePrecision = value == "double";
        }
        else if (name == "--block-size")
        {
            if (! parser.takeValue (name, inlineValue, value) || ! parser.wholeNumber (name, value, 1, 65536, options.blockSize))
                return std::nullopt;
        }
        else if (name == "--rate")
        {
            if (! parser.takeValue (name, inlineValue, value) || ! parser.wholeNumber (name, value, 8000, 384000, options.demoRate))
                return std::nullopt;

            rateGiven = true;
        }
        else if (name == "--length")
        {
            if (! parser.takeValue (name, inlineValue, value)
                || ! parser.number (name, value, 0.1, 600.0, "0.1 to 600 seconds", options.demoSeconds))
                return std::nullopt;

            lengthGiven = true;
        }
        else
        {
            return reject ("unknown option '" + arg + "' (see --help)");
        }
    }

    if (options.showHelp)
        return options;

    if (levelGiven && readoutGiven)
        return reject ("give the main amount once: --level or --readout, not both");

    // A file is processed at its own rate and length; silently ignoring these would mislead.
    if (options.hasInput() && (rateGiven || lengthGiven))
        return reject (juce::String (rateGiven ? "--rate" : "--length") + " applies to the demo only; a file keeps its own");

    return options;
}

juce::String usageText()
{
    return R"(usage: olvar-render [options] [input-file]

Renders audio through the Olvar VST3 plug-in, loaded as a host loads it, and measures the
plug-in's magnitude response at the same settings.

With an input file (WAV, AIFF or FLAC; mono or stereo) the result has the input's format,
bit depth, channels, sample rate and length. Without one, a built-in demo (pink noise, a
kick drum and a 20 Hz to 20 kHz sweep, peaking below -6 dBFS) is rendered to a 24-bit
stereo WAV.

Options:
  --plugin PATH          the VST3 bundle to load (default: ~/.vst3/Olvar.vst3)
  -o, --output PATH      where the audio goes (default: NAME-olvar.EXT next to the input;
                         olvar-demo.wav in the current folder for the demo)
  --plot PATH            where the response plot goes, a PNG (default: the output path
                         with -response.png in place of its extension)
  --enable on|off        the Enable switch (default: on)
  --level X              the main amount (the Level parameter), 0 to 1 (default: 0.5, flat)
  --readout N            the main amount as the editor's readout shows it, -100 to +100
                         (readout = 200 x level - 100); instead of --level
  --pitch X              the balance (the Pitch parameter), 0 to 1 (default: 0.5)
  --precision single|double
                         the processing precision (default: single)
  --block-size N         samples per processing block, 1 to 65536 (default: 512)
  --rate HZ              the demo's sample rate, 8000 to 384000 (default: 48000)
  --length SECONDS       the demo's length, 0.1 to 600 (default: 6)
  -h, --help             show this text

It prints the gain at 20, 68, 128, 6000 and 8000 Hz and where the audio and the plot were
written. The output never replaces the input, and appears under its name only once it is
complete. A progress bar is shown on a terminal for audio longer than 10 seconds.
Exit status: 0 when done, 1 when rendering failed, 2 for a usage error.

Example:
  olvar-render --readout +50 --pitch 0.3 -o bright.wav song.wav
)";
}

} // namespace olvar::render

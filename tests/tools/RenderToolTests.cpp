// olvar-render run as a user runs it: a child process in a fresh folder of its own, with the
// built VST3, and its files read back through JUCE.

#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_graphics/juce_graphics.h>

#include "PluginProcessor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace
{
const juce::File renderTool (OLVAR_RENDER_TOOL);
const juce::File pluginBundle (OLVAR_VST3_BUNDLE);

//==============================================================================
// A child process with its output in files, its folder and environment chosen by the test.
class Child
{
public:
    Child (const juce::File& program, const juce::StringArray& args, const juce::File& workingFolder,
           const juce::File& logFolder, const std::map<std::string, std::string>& environment = {})
        : outFile (logFolder.getNonexistentChildFile ("stdout", ".txt")),
          errFile (logFolder.getNonexistentChildFile ("stderr", ".txt"))
    {
        // Everything the child needs is built before fork: after it, only exec-safe calls.
        std::vector<std::string> argStrings { program.getFullPathName().toStdString() };
        for (const auto& arg : args)
            argStrings.push_back (arg.toStdString());

        std::vector<std::string> envStrings;
        for (auto** entry = environ; *entry != nullptr; ++entry)
        {
            const std::string text (*entry);
            if (environment.count (text.substr (0, text.find ('='))) == 0)
                envStrings.push_back (text);
        }
        for (const auto& [name, value] : environment)
            envStrings.push_back (name + "=" + value);

        std::vector<char*> argv, envp;
        for (auto& text : argStrings)
            argv.push_back (text.data());
        for (auto& text : envStrings)
            envp.push_back (text.data());
        argv.push_back (nullptr);
        envp.push_back (nullptr);

        const auto folder = workingFolder.getFullPathName().toStdString();
        const auto outPath = outFile.getFullPathName().toStdString();
        const auto errPath = errFile.getFullPathName().toStdString();

        pid = fork();

        if (pid == 0)
        {
            const auto in = open ("/dev/null", O_RDONLY);
            const auto out = open (outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const auto err = open (errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);

            if (in < 0 || out < 0 || err < 0 || dup2 (in, 0) < 0 || dup2 (out, 1) < 0 || dup2 (err, 2) < 0
                || chdir (folder.c_str()) != 0)
                _exit (126);

            execve (argv[0], argv.data(), envp.data());
            _exit (127);
        }
    }

    ~Child()
    {
        if (pid > 0 && ! finished)
        {
            kill (pid, SIGKILL);
            wait();
        }
    }

    void sendSignal (int number) const { kill (pid, number); }

    // The exit status, or 128 + the signal that ended it.
    int wait()
    {
        int status = 0;

        while (waitpid (pid, &status, 0) < 0 && errno == EINTR)
        {
        }

        finished = true;
        return WIFEXITED (status) ? WEXITSTATUS (status) : 128 + WTERMSIG (status);
    }

    juce::String out() const { return outFile.loadFileAsString(); }
    juce::String err() const { return errFile.loadFileAsString(); }

    pid_t pid = -1;

private:
    juce::File outFile, errFile;
    bool finished = false;
};

struct Result
{
    int exitCode;
    juce::String out, err;
};

//==============================================================================
struct Audio
{
    juce::String formatName;
    int bits = 0;
    bool floatingPoint = false;
    double sampleRate = 0.0;
    std::vector<std::vector<int>> channels; // left-aligned integers, or float bit patterns

    int64_t length() const { return channels.empty() ? 0 : (int64_t) channels[0].size(); }

    float sampleAsFloat (size_t channel, size_t index) const
    {
        const auto raw = channels[channel][index];
        float value = 0.0f;

        if (floatingPoint)
            std::memcpy (&value, &raw, sizeof (value));
        else
            value = (float) ((double) raw / 2147483648.0);

        return value;
    }
};

juce::AudioFormatManager& formats()
{
    static juce::AudioFormatManager manager;

    if (manager.getNumKnownFormats() == 0)
    {
        manager.registerFormat (new juce::WavAudioFormat(), true);
        manager.registerFormat (new juce::AiffAudioFormat(), false);
        manager.registerFormat (new juce::FlacAudioFormat(), false);
    }

    return manager;
}

// Signals with the full range of a bit depth: both extremes, zero and -1 step, then noise.
Audio makeSignal (int bits, bool floatingPoint, int numChannels, double sampleRate, int length, int seed)
{
    Audio audio { {}, bits, floatingPoint, sampleRate, {} };
    juce::Random random (seed);

    for (int channel = 0; channel < numChannels; ++channel)
    {
        std::vector<int> samples ((size_t) length);

        for (size_t i = 0; i < samples.size(); ++i)
        {
            if (floatingPoint)
            {
                const float fixed[] { -1.0f, 1.0f, 0.0f, 1.0e-20f };
                const auto value = i < 4 ? fixed[i] : random.nextFloat() * 2.0f - 1.0f;
                std::memcpy (&samples[i], &value, sizeof (value));
            }
            else
            {
                const auto low = -(int64_t (1) << (bits - 1)), high = (int64_t (1) << (bits - 1)) - 1;
                const int64_t fixed[] { low, high, 0, -1 };
                const auto value = i < 4 ? fixed[i] : low + (int64_t) (random.nextDouble() * (double) (high - low + 1));
                samples[i] = (int) (uint32_t) ((uint64_t) value << (32 - bits));
            }
        }

        audio.channels.push_back (std::move (samples));
    }

    return audio;
}

void writeAudio (const juce::File& file, const Audio& audio)
{
    auto* format = formats().findFormatForFileExtension (file.getFileExtension());
    ASSERT_NE (format, nullptr);

    auto stream = file.createOutputStream();
    ASSERT_NE (stream, nullptr);

    std::unique_ptr<juce::AudioFormatWriter> writer (format->createWriterFor (
        stream.get(), audio.sampleRate, (unsigned int) audio.channels.size(), audio.bits, {}, 0));
    ASSERT_NE (writer, nullptr);
    stream.release();
    ASSERT_EQ (writer->isFloatingPoint(), audio.floatingPoint);

    std::vector<const int*> pointers;
    for (const auto& channel : audio.channels)
        pointers.push_back (channel.data());
    pointers.push_back (nullptr);

    ASSERT_TRUE (writer->write (pointers.data(), (int) audio.length()));
}

std::optional<Audio> readAudio (const juce::File& file)
{
    std::unique_ptr<juce::AudioFormatReader> reader (formats().createReaderFor (file));

    if (reader == nullptr)
        return std::nullopt;

    Audio audio { reader->getFormatName(), (int) reader->bitsPerSample, reader->usesFloatingPointData,
                  reader->sampleRate, {} };
    audio.channels.assign (reader->numChannels, std::vector<int> ((size_t) reader->lengthInSamples));

    std::vector<int*> pointers;
    for (auto& channel : audio.channels)
        pointers.push_back (channel.data());

    if (! reader->read (pointers.data(), (int) pointers.size(), 0, (int) reader->lengthInSamples, false))
        return std::nullopt;

    return audio;
}

juce::StringArray namesIn (const juce::File& folder)
{
    juce::StringArray names;

    // Hidden files too: that is where temporary files would hide.
    for (const auto& entry : juce::RangedDirectoryIterator (folder, false, "*", juce::File::findFilesAndDirectories))
        names.add (entry.getFile().getFileName());

    names.sort (false);
    return names;
}

juce::StringArray sorted (juce::StringArray names)
{
    names.sort (false);
    return names;
}

//==============================================================================
class RenderTool : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root = juce::File::getSpecialLocation (juce::File::tempDirectory)
                   .getNonexistentChildFile ("olvar-render-test", "", false);
        folder = root.getChildFile ("work");
        logs = root.getChildFile ("logs");
        ASSERT_TRUE (folder.createDirectory());
        ASSERT_TRUE (logs.createDirectory());
    }

    void TearDown() override { root.deleteRecursively(); }

    // Runs the tool with the built bundle in the test's folder; args come after --plugin.
    Result render (const juce::StringArray& args, const std::map<std::string, std::string>& environment = {})
    {
        juce::StringArray all { "--plugin", pluginBundle.getFullPathName() };
        all.addArray (args);
        return run (all, environment);
    }

    Result run (const juce::StringArray& args, const std::map<std::string, std::string>& environment = {})
    {
        Child child (renderTool, args, folder, logs, environment);
        const auto code = child.wait();
        return { code, child.out(), child.err() };
    }

    juce::File file (const juce::String& name) const { return folder.getChildFile (name); }

    juce::File root, folder, logs;
};

// The lines of the gain table, in order, as printed.
juce::StringArray gainLines (const juce::String& out)
{
    juce::StringArray lines, result;
    lines.addLines (out);

    for (const auto& line : lines)
        if (line.trim().startsWith ("20 Hz") || line.trim().startsWith ("68 Hz") || line.trim().startsWith ("128 Hz")
            || line.trim().startsWith ("6000 Hz") || line.trim().startsWith ("8000 Hz"))
            result.add (line.trim());

    return result;
}

juce::String lineStartingWith (const juce::String& out, const juce::String& start)
{
    juce::StringArray lines;
    lines.addLines (out);

    for (const auto& line : lines)
        if (line.startsWith (start))
            return line.substring (start.length()).trim();

    return {};
}
} // namespace

//==============================================================================
TEST_F (RenderTool, DemoWritesAudioPlotAndGainTable)
{
    const auto result = render ({});
    ASSERT_EQ (result.exitCode, 0) << result.err;
    EXPECT_EQ (result.err, "");

    EXPECT_EQ (namesIn (folder), sorted ({ "olvar-demo.wav", "olvar-demo-response.png" }));
    EXPECT_EQ (lineStartingWith (result.out, "Audio:"), file ("olvar-demo.wav").getFullPathName());
    EXPECT_EQ (lineStartingWith (result.out, "Plot:"), file ("olvar-demo-response.png").getFullPathName());

    // At the defaults the plug-in is flat.
    EXPECT_EQ (gainLines (result.out),
               juce::StringArray ({ "20 Hz    +0.00 dB", "68 Hz    +0.00 dB", "128 Hz    +0.00 dB",
                                    "6000 Hz    +0.00 dB", "8000 Hz    +0.00 dB" }));

    const auto audio = readAudio (file ("olvar-demo.wav"));
    ASSERT_TRUE (audio.has_value());
    EXPECT_EQ (audio->formatName, "WAV file");
    EXPECT_EQ (audio->bits, 24);
    EXPECT_FALSE (audio->floatingPoint);
    EXPECT_EQ (audio->channels.size(), 2u);
    EXPECT_EQ (audio->sampleRate, 48000.0);
    EXPECT_EQ (audio->length(), 6 * 48000);

    // Music-like level with headroom: loud enough to hear, peaks under -6 dBFS.
    for (size_t channel = 0; channel < 2; ++channel)
    {
        float peak = 0.0f;
        for (size_t i = 0; i < (size_t) audio->length(); ++i)
            peak = std::max (peak, std::abs (audio->sampleAsFloat (channel, i)));

        EXPECT_LT (peak, 0.5f);
        EXPECT_GT (peak, 0.25f);
    }

    const auto plot = juce::ImageFileFormat::loadFrom (file ("olvar-demo-response.png"));
    ASSERT_TRUE (plot.isValid());
    EXPECT_EQ (plot.getWidth(), 1200);
    EXPECT_EQ (plot.getHeight(), 700);

    // A flat response is drawn along the 0 dB line, half way down the plot area.
    std::vector<int> curveRows;
    for (int y = 0; y < plot.getHeight(); ++y)
    {
        const auto pixel = plot.getPixelAt (600, y);
        if (pixel.getBlue() > 150 && pixel.getRed() < 90)
            curveRows.push_back (y);
    }

    ASSERT_FALSE (curveRows.empty());
    EXPECT_NEAR (curveRows.front(), 358, 4);
    EXPECT_NEAR (curveRows.back(), 358, 4);
}

TEST_F (RenderTool, DemoOptionsSetRateLengthAndPaths)
{
    ASSERT_TRUE (file ("out").createDirectory());
    const auto result = render ({ "--rate", "8000", "--length", "0.5", "--block-size", "1", "--precision", "double",
                                  "-o", "out/custom.wav", "--plot", "out/curve.png" });
    ASSERT_EQ (result.exitCode, 0) << result.err;

    EXPECT_EQ (namesIn (file ("out")), sorted ({ "custom.wav", "curve.png" }));
    EXPECT_EQ (lineStartingWith (result.out, "Audio:"), file ("out/custom.wav").getFullPathName());
    EXPECT_EQ (lineStartingWith (result.out, "Plot:"), file ("out/curve.png").getFullPathName());

    const auto audio = readAudio (file ("out/custom.wav"));
    ASSERT_TRUE (audio.has_value());
    EXPECT_EQ (audio->sampleRate, 8000.0);
    EXPECT_EQ (audio->length(), 4000);

    // At 8 kHz the two highest bands lie above half the sample rate.
    const auto lines = gainLines (result.out);
    ASSERT_EQ (lines.size(), 5);
    EXPECT_EQ (lines[2], "128 Hz    +0.00 dB");
    EXPECT_TRUE (lines[3].contains ("n/a")) << lines[3];
    EXPECT_TRUE (lines[4].contains ("n/a")) << lines[4];

    EXPECT_TRUE (juce::ImageFileFormat::loadFrom (file ("out/curve.png")).isValid());
}

TEST_F (RenderTool, DemoAtTheHighestRateMeasuresTheWholeBand)
{
    const auto result = render ({ "--rate", "384000", "--length", "0.1" });
    ASSERT_EQ (result.exitCode, 0) << result.err;
    EXPECT_EQ (gainLines (result.out).size(), 5);
    EXPECT_FALSE (result.out.contains ("n/a"));
    const auto audio = readAudio (file ("olvar-demo.wav"));
    ASSERT_TRUE (audio.has_value());
    EXPECT_EQ (audio->sampleRate, 384000.0);
    EXPECT_EQ (audio->length(), 38400);
}

TEST_F (RenderTool, HelpListsEveryOption)
{
    const auto result = run ({ "--help" });
    EXPECT_EQ (result.exitCode, 0);
    EXPECT_TRUE (result.out.startsWith ("usage: olvar-render [options] [input-file]"));

    for (const auto* option : { "--plugin", "--output", "--plot", "--enable", "--level", "--readout", "--pitch",
                                "--precision", "--block-size", "--rate", "--length" })
        EXPECT_TRUE (result.out.contains (option)) << option;

    EXPECT_EQ (namesIn (folder), juce::StringArray());
}

//==============================================================================
// The settings reach the hosted instance: the tool prints what the plug-in itself reports.
namespace
{
struct SettingsCase
{
    const char* name;
    std::vector<const char*> args;
    const char* expected;
};

void PrintTo (const SettingsCase& c, std::ostream* os) { *os << c.name; }
} // namespace

class RenderToolSettings : public RenderTool, public ::testing::WithParamInterface<SettingsCase>
{
};

TEST_P (RenderToolSettings, ReachThePlugIn)
{
    juce::StringArray args { "--length", "0.2" };
    for (const auto* arg : GetParam().args)
        args.add (arg);

    const auto result = render (args);
    ASSERT_EQ (result.exitCode, 0) << result.err;
    EXPECT_EQ (lineStartingWith (result.out, "Settings:"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P (
    Options, RenderToolSettings,
    ::testing::Values (
        SettingsCase { "Defaults", {}, "Enable On, Level 0.50 (readout 0), Pitch 0.50" },
        SettingsCase { "LevelAndPitch", { "--level", "0.8", "--pitch", "0.25" }, "Enable On, Level 0.80 (readout +60), Pitch 0.25" },
        SettingsCase { "NegativeReadout", { "--readout", "-50" }, "Enable On, Level 0.25 (readout -50), Pitch 0.50" },
        SettingsCase { "FullReadoutSwitchedOff", { "--readout=+100", "--enable", "off" }, "Enable Off, Level 1.00 (readout +100), Pitch 0.50" },
        SettingsCase { "Extremes", { "--level", "0", "--pitch", "1", "--enable", "on" }, "Enable On, Level 0.00 (readout -100), Pitch 1.00" }),
    [] (const auto& testInfo) { return std::string (testInfo.param.name); });

//==============================================================================
namespace
{
struct FormatCase
{
    const char* name;
    const char* extension;
    int bits;
    bool floatingPoint;
    int channels;
    double sampleRate;
};

void PrintTo (const FormatCase& c, std::ostream* os) { *os << c.name; }
} // namespace

class RenderToolFormats : public RenderTool, public ::testing::WithParamInterface<FormatCase>
{
};

TEST_P (RenderToolFormats, FlatRenderKeepsFormatAndSamples)
{
    const auto& format = GetParam();
    const auto input = file (juce::String ("take") + format.extension);
    const auto original = makeSignal (format.bits, format.floatingPoint, format.channels, format.sampleRate, 12345, 7);
    writeAudio (input, original);

    const auto result = render ({ input.getFileName() });
    ASSERT_EQ (result.exitCode, 0) << result.err;
    EXPECT_EQ (result.err, "");

    const auto output = file (juce::String ("take-olvar") + format.extension);
    EXPECT_EQ (lineStartingWith (result.out, "Audio:"), output.getFullPathName());
    EXPECT_TRUE (file ("take-olvar-response.png").existsAsFile());

    const auto inputAudio = readAudio (input);
    const auto rendered = readAudio (output);
    ASSERT_TRUE (inputAudio.has_value());
    ASSERT_TRUE (rendered.has_value());

    EXPECT_EQ (rendered->formatName, inputAudio->formatName);
    EXPECT_EQ (rendered->bits, format.bits);
    EXPECT_EQ (rendered->floatingPoint, format.floatingPoint);
    EXPECT_EQ (rendered->sampleRate, format.sampleRate);
    ASSERT_EQ (rendered->channels.size(), (size_t) format.channels);
    ASSERT_EQ (rendered->length(), 12345);

    // At the flat setting every sample, extremes included, comes back bit for bit.
    for (size_t channel = 0; channel < rendered->channels.size(); ++channel)
        EXPECT_EQ (rendered->channels[channel], original.channels[channel]) << "channel " << channel;
}

INSTANTIATE_TEST_SUITE_P (
    Files, RenderToolFormats,
    ::testing::Values (FormatCase { "Wav16Mono", ".wav", 16, false, 1, 44100.0 },
                       FormatCase { "Wav16Stereo", ".wav", 16, false, 2, 44100.0 },
                       FormatCase { "Wav24Stereo", ".wav", 24, false, 2, 48000.0 },
                       FormatCase { "Wav24Mono", ".wav", 24, false, 1, 96000.0 },
                       FormatCase { "WavFloatStereo", ".wav", 32, true, 2, 48000.0 },
                       FormatCase { "WavFloatMono", ".wav", 32, true, 1, 22050.0 },
                       FormatCase { "Aiff16Stereo", ".aiff", 16, false, 2, 44100.0 },
                       FormatCase { "Aiff16Mono", ".aif", 16, false, 1, 32000.0 },
                       FormatCase { "Flac24Stereo", ".flac", 24, false, 2, 48000.0 },
                       FormatCase { "Flac24Mono", ".flac", 24, false, 1, 88200.0 }),
    [] (const auto& testInfo) { return std::string (testInfo.param.name); });

//==============================================================================
TEST_F (RenderTool, SingleAndDoublePrecisionAgree)
{
    const auto original = makeSignal (24, false, 2, 48000.0, 20000, 3);
    writeAudio (file ("in.wav"), original);

    const auto renderWith = [this] (const char* precision, const char* name, juce::StringArray settings)
    {
        settings.addArray ({ "--precision", precision, "-o", name, "in.wav" });
        const auto result = render (settings);
        EXPECT_EQ (result.exitCode, 0) << result.err;
        EXPECT_TRUE (result.out.contains (juce::String (precision) + " precision"));
        return readAudio (file (name));
    };

    // Flat: both precisions give back the input exactly.
    const auto single = renderWith ("single", "single.wav", {});
    const auto twice = renderWith ("double", "double.wav", {});
    ASSERT_TRUE (single.has_value() && twice.has_value());
    EXPECT_EQ (single->channels, original.channels);
    EXPECT_EQ (twice->channels, original.channels);

    // Elsewhere they differ by rounding only.
    const auto singleShaped = renderWith ("single", "single-shaped.wav", { "--level", "0.8", "--pitch", "0.3" });
    const auto doubleShaped = renderWith ("double", "double-shaped.wav", { "--level", "0.8", "--pitch", "0.3" });
    ASSERT_TRUE (singleShaped.has_value() && doubleShaped.has_value());
    ASSERT_EQ (singleShaped->length(), doubleShaped->length());

    float largest = 0.0f;
    for (size_t channel = 0; channel < 2; ++channel)
        for (size_t i = 0; i < (size_t) singleShaped->length(); ++i)
            largest = std::max (largest, std::abs (singleShaped->sampleAsFloat (channel, i) - doubleShaped->sampleAsFloat (channel, i)));

    EXPECT_LT (largest, 1.0e-4f);
}

TEST_F (RenderTool, ARenderThroughTheBundleEqualsTheProcessorRunDirectly)
{
    const auto original = makeSignal (32, true, 2, 48000.0, 12000, 5);
    writeAudio (file ("in.wav"), original);

    for (const auto* precision : { "single", "double" })
    {
        SCOPED_TRACE (precision);
        const auto result = render ({ "--level", "0.8", "--pitch", "0.3", "--block-size", "512",
                                      "--precision", precision, "-o", "out.wav", "in.wav" });
        ASSERT_EQ (result.exitCode, 0) << result.err;
        const auto rendered = readAudio (file ("out.wav"));
        ASSERT_TRUE (rendered.has_value());

        OlvarAudioProcessor processor;
        processor.setRateAndBufferSizeDetails (48000.0, 512);
        processor.prepareToPlay (48000.0, 512);
        processor.mainParam->setValueNotifyingHost (0.8f);
        processor.pitchParam->setValueNotifyingHost (0.3f);
        juce::MidiBuffer midi;

        const auto useDouble = juce::String (precision) == "double";
        int mismatches = 0;

        for (int start = 0; start < (int) original.length(); start += 512)
        {
            const auto n = std::min (512, (int) original.length() - start);
            juce::AudioBuffer<float> floats (2, n);
            juce::AudioBuffer<double> doubles (2, n);

            for (int channel = 0; channel < 2; ++channel)
                for (int i = 0; i < n; ++i)
                {
                    floats.setSample (channel, i, original.sampleAsFloat ((size_t) channel, (size_t) (start + i)));
                    doubles.setSample (channel, i, floats.getSample (channel, i));
                }

            if (useDouble)
                processor.processBlock (doubles, midi);
            else
                processor.processBlock (floats, midi);

            for (int channel = 0; channel < 2; ++channel)
                for (int i = 0; i < n; ++i)
                {
                    const auto expected = useDouble ? (float) doubles.getSample (channel, i) : floats.getSample (channel, i);
                    mismatches += rendered->sampleAsFloat ((size_t) channel, (size_t) (start + i)) != expected ? 1 : 0;
                }
        }

        EXPECT_EQ (mismatches, 0) << "samples that differ from the processor run directly";
    }
}

TEST_F (RenderTool, ExistingOutputIsReplacedWithoutLeftovers)
{
    writeAudio (file ("in.wav"), makeSignal (16, false, 2, 44100.0, 5000, 11));
    ASSERT_TRUE (file ("in-olvar.wav").replaceWithText ("an older render"));
    ASSERT_TRUE (file ("in-olvar-response.png").replaceWithText ("an older plot"));

    const auto result = render ({ "in.wav" });
    ASSERT_EQ (result.exitCode, 0) << result.err;

    // Hidden files included: no temporary file stays behind.
    EXPECT_EQ (namesIn (folder), sorted ({ "in.wav", "in-olvar.wav", "in-olvar-response.png" }));
    const auto rendered = readAudio (file ("in-olvar.wav"));
    ASSERT_TRUE (rendered.has_value());
    EXPECT_EQ (rendered->length(), 5000);
    EXPECT_TRUE (juce::ImageFileFormat::loadFrom (file ("in-olvar-response.png")).isValid());
}

TEST_F (RenderTool, ProgressBarOnlyOnATerminalForLongAudio)
{
    // Twelve seconds: long enough for the bar.
    writeAudio (file ("long.wav"), makeSignal (16, false, 1, 8000.0, 12 * 8000, 5));

    const auto piped = render ({ "-o", "piped.wav", "long.wav" });
    ASSERT_EQ (piped.exitCode, 0) << piped.err;
    EXPECT_EQ (piped.err, "");

    // script(1) gives the tool a terminal for stderr.
    const juce::File script ("/usr/bin/script");
    ASSERT_TRUE (script.existsAsFile());
    const auto command = "'" + renderTool.getFullPathName() + "' --plugin '" + pluginBundle.getFullPathName()
                         + "' -o tty.wav long.wav";
    Child child (script, { "-qec", command, "/dev/null" }, folder, logs);
    ASSERT_EQ (child.wait(), 0) << child.out() << child.err();

    const auto screen = child.out();
    EXPECT_TRUE (screen.contains ("\r[" + juce::String::repeatedString ("#", 30) + "] 100%")) << screen;
    EXPECT_TRUE (screen.contains ("] 50%")) << screen;
    EXPECT_TRUE (file ("tty.wav").existsAsFile());
}

TEST_F (RenderTool, InterruptedRenderLeavesNoFiles)
{
    // Ten minutes in blocks of one sample: far longer than it takes to interrupt it.
    writeAudio (file ("in.wav"), makeSignal (16, false, 1, 8000.0, 600 * 8000, 9));

    Child child (renderTool, { "--plugin", pluginBundle.getFullPathName(), "--block-size", "1", "in.wav" }, folder, logs);

    // Interrupt it once its temporary file exists.
    bool writing = false;
    for (int attempt = 0; attempt < 6000 && ! writing; ++attempt)
    {
        writing = namesIn (folder).size() > 1;
        if (! writing)
            std::this_thread::sleep_for (std::chrono::milliseconds (10));
    }

    ASSERT_TRUE (writing) << "the render never started writing: " << child.err();
    child.sendSignal (SIGTERM);
    EXPECT_EQ (child.wait(), 128 + SIGTERM) << child.err();

    EXPECT_EQ (namesIn (folder), juce::StringArray ({ "in.wav" }));
}

//==============================================================================
// Output names that resolve to the input: refused, the input left as it was.
namespace
{
struct AliasCase
{
    const char* name;
    const char* output;
};

void PrintTo (const AliasCase& c, std::ostream* os) { *os << c.name; }
} // namespace

class RenderToolInputProtection : public RenderTool, public ::testing::WithParamInterface<AliasCase>
{
};

TEST_P (RenderToolInputProtection, RefusesToOverwriteTheInput)
{
    writeAudio (file ("in.wav"), makeSignal (16, false, 2, 44100.0, 3000, 2));
    ASSERT_TRUE (file ("sub").createDirectory());
    ASSERT_TRUE (file ("in.wav").createSymbolicLink (file ("link.wav"), false));
    ASSERT_EQ (link (file ("in.wav").getFullPathName().toRawUTF8(), file ("hard.wav").getFullPathName().toRawUTF8()), 0);

    juce::MemoryBlock before;
    ASSERT_TRUE (file ("in.wav").loadFileAsData (before));
    const auto namesBefore = namesIn (folder);

    const auto result = render ({ "-o", GetParam().output, "in.wav" });
    EXPECT_NE (result.exitCode, 0);
    EXPECT_TRUE (result.err.contains ("refusing to write the output over the input file")) << result.err;

    juce::MemoryBlock after;
    ASSERT_TRUE (file ("in.wav").loadFileAsData (after));
    EXPECT_EQ (after, before);
    EXPECT_EQ (namesIn (folder), namesBefore);
}

INSTANTIATE_TEST_SUITE_P (Aliases, RenderToolInputProtection,
                          ::testing::Values (AliasCase { "SamePath", "in.wav" },
                                             AliasCase { "RoundAbout", "./sub/../in.wav" },
                                             AliasCase { "SymbolicLink", "link.wav" },
                                             AliasCase { "HardLink", "hard.wav" }),
                          [] (const auto& testInfo) { return std::string (testInfo.param.name); });

//==============================================================================
// Each failure: a non-zero exit, one line on stderr saying why, and no file written.
namespace
{
struct ErrorCase
{
    const char* name;
    std::vector<const char*> args;
    int exitCode;
    const char* message;
};

void PrintTo (const ErrorCase& c, std::ostream* os) { *os << c.name; }
} // namespace

class RenderToolErrors : public RenderTool, public ::testing::WithParamInterface<ErrorCase>
{
protected:
    void prepareInputs()
    {
        writeAudio (file ("in.wav"), makeSignal (16, false, 2, 44100.0, 2000, 4));
        writeAudio (file ("three.wav"), makeSignal (16, false, 3, 44100.0, 2000, 4));

        juce::MemoryBlock garbage (4096);
        juce::Random (99).fillBitsRandomly (garbage.getData(), garbage.getSize());
        ASSERT_TRUE (file ("garbage.wav").replaceWithData (garbage.getData(), garbage.getSize()));

        ASSERT_TRUE (file ("notes.txt").replaceWithText ("not audio"));
        ASSERT_TRUE (file ("empty.vst3").createDirectory());
        ASSERT_TRUE (file ("folder.wav").createDirectory());
        ASSERT_TRUE (file ("junk.vst3").replaceWithText ("not a plug-in"));
    }
};

TEST_P (RenderToolErrors, FailWithAMessageAndNoFiles)
{
    prepareInputs();
    const auto namesBefore = namesIn (folder);

    juce::StringArray args;
    for (const auto* arg : GetParam().args)
        args.add (arg);

    // The built bundle comes first, so a later --plugin overrides it.
    const auto result = render (args);
    EXPECT_EQ (result.exitCode, GetParam().exitCode) << result.err;
    EXPECT_TRUE (result.err.startsWith ("olvar-render: ")) << result.err;
    EXPECT_TRUE (result.err.contains (GetParam().message)) << result.err;
    EXPECT_EQ (result.err.trimEnd().indexOfChar ('\n'), -1) << result.err;
    EXPECT_EQ (result.out, "");
    EXPECT_EQ (namesIn (folder), namesBefore);
}

INSTANTIATE_TEST_SUITE_P (
    Cases, RenderToolErrors,
    ::testing::Values (
        ErrorCase { "MissingInput", { "missing.wav" }, 1, "no such file" },
        ErrorCase { "GarbageInput", { "garbage.wav" }, 1, "cannot read" },
        ErrorCase { "UnknownFormat", { "notes.txt" }, 1, "unknown format" },
        ErrorCase { "ThreeChannels", { "three.wav" }, 1, "only mono and stereo" },
        ErrorCase { "FolderAsInput", { "folder.wav" }, 1, "is a folder" },
        ErrorCase { "TwoInputs", { "in.wav", "three.wav" }, 2, "only one input file" },
        ErrorCase { "LevelAbove", { "--level", "1.001" }, 2, "--level must be a number from 0 to 1" },
        ErrorCase { "LevelBelow", { "--level", "-0.01" }, 2, "--level must be a number from 0 to 1" },
        ErrorCase { "LevelNotANumber", { "--level", "0.5x" }, 2, "--level must be a number" },
        ErrorCase { "LevelMissingValue", { "--level" }, 2, "--level needs a value" },
        ErrorCase { "ReadoutAbove", { "--readout", "100.5" }, 2, "--readout must be a number from -100 to +100" },
        ErrorCase { "ReadoutBelow", { "--readout=-101" }, 2, "--readout must be a number from -100 to +100" },
        ErrorCase { "LevelAndReadout", { "--level", "0.6", "--readout", "20" }, 2, "not both" },
        ErrorCase { "PitchAbove", { "--pitch", "1.5" }, 2, "--pitch must be a number from 0 to 1" },
        ErrorCase { "PitchBelow", { "--pitch", "-1" }, 2, "--pitch must be a number from 0 to 1" },
        ErrorCase { "EnableWord", { "--enable", "maybe" }, 2, "--enable must be on or off" },
        ErrorCase { "Precision", { "--precision", "half" }, 2, "--precision must be single or double" },
        ErrorCase { "BlockSizeZero", { "--block-size", "0" }, 2, "--block-size must be a whole number from 1 to 65536" },
        ErrorCase { "BlockSizeAbove", { "--block-size", "65537" }, 2, "--block-size must be a whole number from 1 to 65536" },
        ErrorCase { "BlockSizeFraction", { "--block-size", "2.5" }, 2, "--block-size must be a whole number" },
        ErrorCase { "RateBelow", { "--rate", "7999" }, 2, "--rate must be a whole number from 8000 to 384000" },
        ErrorCase { "RateAbove", { "--rate", "384001" }, 2, "--rate must be a whole number from 8000 to 384000" },
        ErrorCase { "LengthZero", { "--length", "0" }, 2, "--length must be a number from 0.1 to 600 seconds" },
        ErrorCase { "LengthAbove", { "--length", "601" }, 2, "--length must be a number from 0.1 to 600 seconds" },
        ErrorCase { "RateWithAFile", { "--rate", "44100", "in.wav" }, 2, "--rate applies to the demo only" },
        ErrorCase { "UnknownOption", { "--volume", "3" }, 2, "unknown option '--volume'" },
        ErrorCase { "MissingPlugIn", { "--plugin", "nowhere/Olvar.vst3" }, 1, "no plug-in bundle at" },
        ErrorCase { "EmptyBundle", { "--plugin", "empty.vst3" }, 1, "is not a loadable VST3 plug-in" },
        ErrorCase { "JunkBundle", { "--plugin", "junk.vst3" }, 1, "is not a loadable VST3 plug-in" },
        ErrorCase { "OutputFormatDiffers", { "-o", "in-olvar.flac", "in.wav" }, 1, "must be a WAV file" },
        ErrorCase { "OutputFolderMissing", { "-o", "nowhere/out.wav" }, 1, "does not exist" },
        ErrorCase { "OutputIsAFolder", { "-o", "folder.wav", "in.wav" }, 1, "is a folder" },
        ErrorCase { "PlotNotPng", { "--plot", "curve.jpg" }, 1, "must end in .png" }),
    [] (const auto& testInfo) { return std::string (testInfo.param.name); });

TEST_F (RenderTool, DefaultPlugInIsTheUsersInstalledOne)
{
    const auto home = root.getChildFile ("home");
    ASSERT_TRUE (home.createDirectory());

    const auto result = run ({ "--length", "0.2" }, { { "HOME", home.getFullPathName().toStdString() } });
    EXPECT_EQ (result.exitCode, 1);
    EXPECT_TRUE (result.err.contains ("no plug-in bundle at " + home.getChildFile (".vst3/Olvar.vst3").getFullPathName()))
        << result.err;
    EXPECT_EQ (namesIn (folder), juce::StringArray());
}

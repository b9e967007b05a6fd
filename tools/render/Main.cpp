// Renders audio through a built Olvar VST3, loaded through JUCE's VST3 hosting as a host
// loads it, and measures the plug-in's magnitude response at the same settings.

#include "DemoSignal.h"
#include "Options.h"
#include "PendingFile.h"
#include "Response.h"

#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <unistd.h>

using namespace olvar::render;

namespace
{
// Thrown for anything that stops a render; main prints it as one line.
struct Failure
{
    juce::String message;
};

[[noreturn]] void fail (const juce::String& message)
{
    throw Failure { message };
}

// Float samples travel in JUCE's int sample arrays as their bit patterns.
template <typename To, typename From>
To bitCast (From value)
{
    static_assert (sizeof (To) == sizeof (From));
    To result;
    std::memcpy (&result, &value, sizeof (result));
    return result;
}

juce::String hertzText (double frequency)
{
    return frequency == std::round (frequency) ? juce::String ((int64_t) frequency) : juce::String (frequency, 2);
}

//==============================================================================
// Where the samples come from: a file, or the demo. Both give doubles, which hold every
// 16-, 24- and 32-bit float sample exactly, so a flat render reproduces its input bit for bit.
class Source
{
public:
    virtual ~Source() = default;

    virtual int getNumChannels() const = 0;
    virtual double getSampleRate() const = 0;
    virtual int64_t getLength() const = 0;

    // The next numSamples, in order from the start; silence past the end.
    virtual void read (juce::AudioBuffer<double>& destination, int numSamples) = 0;
};

class FileSource final : public Source
{
public:
    explicit FileSource (std::unique_ptr<juce::AudioFormatReader> readerToUse)
        : reader (std::move (readerToUse)) {}

    int getNumChannels() const override { return (int) reader->numChannels; }
    double getSampleRate() const override { return reader->sampleRate; }
    int64_t getLength() const override { return reader->lengthInSamples; }

    void read (juce::AudioBuffer<double>& destination, int numSamples) override
    {
        const auto channels = getNumChannels();
        raw.resize ((size_t) channels);
        int* pointers[2] {};

        for (int channel = 0; channel < channels; ++channel)
        {
            raw[(size_t) channel].resize ((size_t) numSamples);
            pointers[channel] = raw[(size_t) channel].data();
        }

        if (! reader->read (pointers, channels, position, numSamples, false))
            fail ("cannot read the input file past sample " + juce::String (position));

        // The reader gives left-aligned 32-bit integers, or floats in the same storage.
        constexpr double integerScale = 1.0 / 2147483648.0;

        for (int channel = 0; channel < channels; ++channel)
        {
            const auto* in = pointers[channel];
            auto* out = destination.getWritePointer (channel);

            for (int i = 0; i < numSamples; ++i)
                out[i] = reader->usesFloatingPointData ? (double) bitCast<float> (in[i]) : in[i] * integerScale;
        }

        position += numSamples;
    }

private:
    std::unique_ptr<juce::AudioFormatReader> reader;
    std::vector<std::vector<int>> raw;
    int64_t position = 0;
};

class DemoSource final : public Source
{
public:
    DemoSource (double rate, double seconds)
        : sampleRate (rate), demo (rate, (int64_t) std::llround (seconds * rate)) {}

    int getNumChannels() const override { return DemoSignal::numChannels; }
    double getSampleRate() const override { return sampleRate; }
    int64_t getLength() const override { return demo.getLength(); }

    void read (juce::AudioBuffer<double>& destination, int numSamples) override
    {
        demo.generate (destination.getArrayOfWritePointers(), numSamples);
    }

private:
    double sampleRate;
    DemoSignal demo;
};

//==============================================================================
// Writes samples through a JUCE writer, quantising to the file's bit depth itself: JUCE's
// float conversion scales by 0x7fffffff and then drops the low bits, which moves some samples
// by one step.
class Sink
{
public:
    Sink (std::unique_ptr<juce::AudioFormatWriter> writerToUse, int channels)
        : writer (std::move (writerToUse)), numChannels (channels)
    {
    }

    template <typename Sample>
    void write (const juce::AudioBuffer<Sample>& buffer, int start, int numSamples)
    {
        scratch.resize ((size_t) numChannels);
        const auto bits = writer->getBitsPerSample();
        const auto floatingPoint = writer->isFloatingPoint();
        const auto steps = std::ldexp (1.0, bits - 1);
        const auto shift = 32 - bits;

        for (int channel = 0; channel < numChannels; ++channel)
        {
            const auto* in = buffer.getReadPointer (channel, start);
            auto& out = scratch[(size_t) channel];
            out.resize ((size_t) numSamples);

            for (int i = 0; i < numSamples; ++i)
            {
                if (floatingPoint)
                {
                    out[(size_t) i] = bitCast<int> ((float) in[i]);
                    continue;
                }

                auto step = std::nearbyint ((double) in[i] * steps);

                if (step >= steps || step < -steps || std::isnan (step))
                {
                    ++clippedSamples;
                    step = std::isnan (step) ? 0.0 : std::clamp (step, -steps, steps - 1.0);
                }

                out[(size_t) i] = (int) (uint32_t) ((uint64_t) (int64_t) step << shift);
            }
        }

        pointers.clearQuick();
        for (int channel = 0; channel < numChannels; ++channel)
            pointers.add (scratch[(size_t) channel].data());
        pointers.add (nullptr);

        if (! writer->write (pointers.getRawDataPointer(), numSamples))
            fail ("cannot write the output file (is the disk full?)");
    }

    // Closes the file, completing its header.
    void finish() { writer.reset(); }

    int64_t getClippedSamples() const { return clippedSamples; }

private:
    std::unique_ptr<juce::AudioFormatWriter> writer;
    int numChannels;
    std::vector<std::vector<int>> scratch;
    juce::Array<const int*> pointers;
    int64_t clippedSamples = 0;
};

//==============================================================================
// A single updating line on a terminal; nothing when stderr is not one, or when the render is short.
class ProgressLine
{
public:
    ProgressLine (int64_t total, double sampleRate)
        : totalSamples (total),
          enabled (isatty (STDERR_FILENO) != 0 && (double) total > 10.0 * sampleRate)
    {
    }

    void update (int64_t done)
    {
        if (! enabled)
            return;

        const auto percent = (int) (100 * std::min (done, totalSamples) / std::max<int64_t> (totalSamples, 1));

        if (percent == shownPercent)
            return;

        shownPercent = percent;
        constexpr int width = 30;
        const auto filled = percent * width / 100;
        std::cerr << "\r[" << std::string ((size_t) filled, '#') << std::string ((size_t) (width - filled), '-') << "] "
                  << percent << "%" << std::flush;
    }

    void finish()
    {
        if (enabled && shownPercent >= 0)
            std::cerr << "\n" << std::flush;
    }

private:
    int64_t totalSamples;
    bool enabled;
    int shownPercent = -1;
};

//==============================================================================
struct Settings
{
    bool enable;
    double level, pitch;
};

juce::AudioProcessorParameter& findParameter (juce::AudioPluginInstance& instance, const juce::String& name)
{
    for (auto* parameter : instance.getParameters())
        if (parameter->getName (100) == name)
            return *parameter;

    fail ("the plug-in has no parameter named \"" + name + "\"");
}

// A hosted instance with the settings applied before it is prepared, so it starts at them.
std::unique_ptr<juce::AudioPluginInstance> createPrepared (juce::AudioPluginFormat& format,
                                                          const juce::PluginDescription& description,
                                                          const Settings& settings, double sampleRate,
                                                          int blockSize, int channels, bool doublePrecision)
{
    juce::String error;
    auto instance = format.createInstanceFromDescription (description, sampleRate, blockSize, error);

    if (instance == nullptr)
        fail ("cannot create " + description.name + ": " + (error.isEmpty() ? juce::String ("unknown error") : error));

    const auto layout = channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
    juce::AudioProcessor::BusesLayout buses;
    buses.inputBuses.add (layout);
    buses.outputBuses.add (layout);

    if (! instance->setBusesLayout (buses))
        fail (description.name + " does not accept a " + layout.getDescription().toLowerCase() + " layout");

    if (doublePrecision)
    {
        if (! instance->supportsDoublePrecisionProcessing())
            fail (description.name + " does not support double-precision processing");

        instance->setProcessingPrecision (juce::AudioProcessor::doublePrecision);
    }

    findParameter (*instance, "Enable").setValueNotifyingHost (settings.enable ? 1.0f : 0.0f);
    findParameter (*instance, "Level").setValueNotifyingHost ((float) settings.level);
    findParameter (*instance, "Pitch").setValueNotifyingHost ((float) settings.pitch);

    instance->setNonRealtime (true);
    instance->prepareToPlay (sampleRate, blockSize);
    return instance;
}

// Runs the source through the instance block by block. The plug-in's reported latency is
// compensated, so the output lines up with the input and has its length.
template <typename Sample>
void render (juce::AudioPluginInstance& instance, Source& source, Sink& sink, int blockSize)
{
    const auto channels = source.getNumChannels();
    const auto total = source.getLength();
    const auto latency = (int64_t) std::max (0, instance.getLatencySamples());

    juce::AudioBuffer<double> input (channels, blockSize);
    juce::AudioBuffer<Sample> work (channels, blockSize);
    juce::MidiBuffer midi;
    ProgressLine progress (total, source.getSampleRate());

    for (int64_t position = 0; position < total + latency;)
    {
        const auto numSamples = (int) std::min<int64_t> (blockSize, total + latency - position);
        source.read (input, numSamples);

        for (int channel = 0; channel < channels; ++channel)
            std::transform (input.getReadPointer (channel), input.getReadPointer (channel) + numSamples,
                            work.getWritePointer (channel), [] (double sample) { return (Sample) sample; });

        juce::AudioBuffer<Sample> block (work.getArrayOfWritePointers(), channels, numSamples);
        instance.processBlock (block, midi);
        midi.clear();

        // This block's output belongs at [position - latency, position - latency + numSamples).
        const auto outputStart = position - latency;
        const auto first = std::max<int64_t> (0, -outputStart);
        const auto last = std::min<int64_t> (numSamples, total - outputStart);

        if (last > first)
            sink.write (block, (int) first, (int) (last - first));

        position += numSamples;
        progress.update (std::max<int64_t> (0, position - latency));
    }

    progress.finish();
}

// The whole impulse response in one block of a fresh instance: at least a second, a power of two.
template <typename Sample>
std::vector<float> measureImpulseResponse (juce::AudioPluginFormat& format, const juce::PluginDescription& description,
                                           const Settings& settings, double sampleRate, int channels)
{
    const auto order = juce::jlimit (16, 19, (int) std::ceil (std::log2 (sampleRate)));
    const auto size = 1 << order;

    const auto instance = createPrepared (format, description, settings, sampleRate, size, channels,
                                          std::is_same_v<Sample, double>);
    juce::AudioBuffer<Sample> buffer (channels, size);
    buffer.clear();

    for (int channel = 0; channel < channels; ++channel)
        buffer.setSample (channel, 0, (Sample) 1);

    juce::MidiBuffer midi;
    instance->processBlock (buffer, midi);
    instance->releaseResources();

    std::vector<float> response ((size_t) size);
    for (int i = 0; i < size; ++i)
        response[(size_t) i] = (float) buffer.getSample (0, i);

    return response;
}

//==============================================================================
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

bool sameFile (const juce::File& a, const juce::File& b)
{
    if (a == b)
        return true;

    std::error_code error;
    return std::filesystem::equivalent (a.getFullPathName().toStdString(), b.getFullPathName().toStdString(), error);
}

void checkWritableTarget (const juce::File& target, const juce::String& what, const juce::File& input)
{
    if (input != juce::File() && sameFile (target, input))
        fail ("refusing to write the " + what + " over the input file " + input.getFullPathName());

    if (target.isDirectory())
        fail ("the " + what + " path " + target.getFullPathName() + " is a folder");

    if (! target.getParentDirectory().isDirectory())
        fail ("the folder " + target.getParentDirectory().getFullPathName() + " for the " + what + " does not exist");
}

juce::String signedNumber (double value)
{
    const auto rounded = std::round (value * 10.0) / 10.0;
    const auto text = std::abs (rounded - std::round (rounded)) < 1.0e-9 ? juce::String ((int) std::lround (rounded))
                                                                          : juce::String (rounded, 1);
    return rounded > 0.0 ? "+" + text : text;
}

struct FileDetails
{
    juce::String formatName;
    int bits = 0;
    bool floatingPoint = false;
};

// "WAV" rather than JUCE's "WAV file".
juce::String shortName (const juce::String& formatName)
{
    return formatName.upToLastOccurrenceOf (" file", false, false);
}

juce::String describe (const FileDetails& details)
{
    return juce::String (details.bits) + "-bit" + (details.floatingPoint ? " float " : " ") + shortName (details.formatName);
}

int run (const Options& options)
{
    // The source, and the format it is written back in.
    std::unique_ptr<Source> source;
    juce::AudioFormat* outputFormat = nullptr;
    FileDetails details;
    juce::StringPairArray metadata;
    auto output = options.output;

    if (options.hasInput())
    {
        const auto& input = options.input;

        if (! input.exists())
            fail ("no such file: " + input.getFullPathName());

        if (input.isDirectory())
            fail (input.getFullPathName() + " is a folder, not an audio file");

        auto* format = formats().findFormatForFileExtension (input.getFileExtension());

        if (format == nullptr)
            fail ("unknown format of " + input.getFullPathName() + ": olvar-render reads WAV, AIFF and FLAC files");

        auto stream = input.createInputStream();

        if (stream == nullptr)
            fail ("cannot open " + input.getFullPathName());

        std::unique_ptr<juce::AudioFormatReader> reader (format->createReaderFor (stream.release(), true));

        if (reader == nullptr)
            fail ("cannot read " + input.getFullPathName() + " as a " + shortName (format->getFormatName()) + " file");

        if (reader->numChannels != 1 && reader->numChannels != 2)
            fail (input.getFullPathName() + " has " + juce::String (reader->numChannels)
                  + " channels; only mono and stereo files can be rendered");

        if (reader->sampleRate <= 0.0 || reader->lengthInSamples < 0)
            fail (input.getFullPathName() + " has an invalid sample rate or length");

        details = { format->getFormatName(), (int) reader->bitsPerSample, reader->usesFloatingPointData };
        metadata = reader->metadataValues;
        outputFormat = format;
        source = std::make_unique<FileSource> (std::move (reader));

        if (output == juce::File())
            output = input.getSiblingFile (input.getFileNameWithoutExtension() + "-olvar" + input.getFileExtension());
    }
    else
    {
        source = std::make_unique<DemoSource> ((double) options.demoRate, options.demoSeconds);
        outputFormat = formats().findFormatForFileExtension (".wav");
        details = { outputFormat->getFormatName(), 24, false };

        if (output == juce::File())
            output = juce::File::getCurrentWorkingDirectory().getChildFile ("olvar-demo.wav");
    }

    if (formats().findFormatForFileExtension (output.getFileExtension()) != outputFormat)
        fail ("the output " + output.getFullPathName() + " must be a " + shortName (outputFormat->getFormatName())
              + " file (" + outputFormat->getFileExtensions().joinIntoString (", ") + "), like the "
              + (options.hasInput() ? "input" : "demo"));

    const auto plot = options.plot != juce::File()
                          ? options.plot
                          : output.getSiblingFile (output.getFileNameWithoutExtension() + "-response.png");

    if (! plot.hasFileExtension (".png"))
        fail ("the plot is a PNG image: its path must end in .png, not " + plot.getFileName());

    if (sameFile (plot, output))
        fail ("the plot and the audio cannot both be written to " + output.getFullPathName());

    checkWritableTarget (output, "output", options.input);
    checkWritableTarget (plot, "plot", options.input);

    // The plug-in, as a host finds and loads it.
    if (! options.plugin.exists())
        fail ("no plug-in bundle at " + options.plugin.getFullPathName());

    juce::VST3PluginFormat vst3;
    juce::OwnedArray<juce::PluginDescription> descriptions;
    vst3.findAllTypesForFile (descriptions, options.plugin.getFullPathName());

    if (descriptions.isEmpty())
        fail (options.plugin.getFullPathName() + " is not a loadable VST3 plug-in");

    const auto description = *descriptions[0];
    const Settings settings { options.enable, options.level, options.pitch };
    const auto sampleRate = source->getSampleRate();
    const auto channels = source->getNumChannels();

    // Render into a temporary file beside the output.
    PendingFile pendingAudio (output);
    juce::String settingsText;
    int64_t clipped = 0;

    {
        auto instance = createPrepared (vst3, description, settings, sampleRate, options.blockSize, channels,
                                        options.doublePrecision);

        // What the plug-in itself now reports, so a value it rejected or snapped shows.
        auto& level = findParameter (*instance, "Level");
        settingsText = "Enable " + findParameter (*instance, "Enable").getCurrentValueAsText()
                       + ", Level " + level.getCurrentValueAsText()
                       + " (readout " + signedNumber (200.0 * level.getValue() - 100.0) + ")"
                       + ", Pitch " + findParameter (*instance, "Pitch").getCurrentValueAsText();

        auto stream = pendingAudio.getTemporary().createOutputStream();

        if (stream == nullptr || stream->failedToOpen())
            fail ("cannot create " + pendingAudio.getTemporary().getFullPathName());

        const auto quality = outputFormat->getQualityOptions().isEmpty() ? 0 : outputFormat->getQualityOptions().size() / 2;
        std::unique_ptr<juce::AudioFormatWriter> writer (outputFormat->createWriterFor (
            stream.get(), sampleRate, (unsigned int) channels, details.bits, metadata, quality));

        if (writer == nullptr)
            fail ("cannot write " + describe (details) + " files");

        stream.release(); // the writer owns it now

        // JUCE writes 32-bit WAV only as float and 32-bit AIFF only as integers.
        if (writer->isFloatingPoint() != details.floatingPoint)
            std::cerr << "olvar-render: note: the input's 32-bit " << (details.floatingPoint ? "float" : "integer")
                      << " samples are written as 32-bit " << (writer->isFloatingPoint() ? "float" : "integer")
                      << ", the only 32-bit " << shortName (details.formatName)
                      << " that can be written\n";

        Sink sink (std::move (writer), channels);

        if (options.doublePrecision)
            render<double> (*instance, *source, sink, options.blockSize);
        else
            render<float> (*instance, *source, sink, options.blockSize);

        instance->releaseResources();
        sink.finish();
        clipped = sink.getClippedSamples();
    }

    // The response at the same settings, rate, layout and precision.
    const MagnitudeResponse response (options.doublePrecision
                                          ? measureImpulseResponse<double> (vst3, description, settings, sampleRate, channels)
                                          : measureImpulseResponse<float> (vst3, description, settings, sampleRate, channels),
                                      sampleRate);

    const auto precisionText = juce::String (options.doublePrecision ? "double" : "single") + " precision";
    const auto title = description.name + " response: " + settingsText + ", " + hertzText (sampleRate) + " Hz, "
                       + precisionText;

    PendingFile pendingPlot (plot);
    {
        juce::FileOutputStream stream (pendingPlot.getTemporary());
        juce::PNGImageFormat png;

        if (stream.failedToOpen() || ! png.writeImageToStream (drawResponsePlot (response, title), stream))
            fail ("cannot write the plot to " + pendingPlot.getTemporary().getFullPathName());

        stream.flush();

        if (stream.getStatus().failed())
            fail ("cannot write the plot: " + stream.getStatus().getErrorMessage());
    }

    juce::String error;
    if (! pendingAudio.commit (error) || ! pendingPlot.commit (error))
        fail (error);

    if (clipped > 0)
        std::cerr << "olvar-render: warning: " << clipped << " samples clipped at full scale\n";

    std::cout << description.name << " " << description.version << " from " << options.plugin.getFullPathName() << "\n"
              << "Settings: " << settingsText << "\n"
              << "Rendered: " << (options.hasInput() ? options.input.getFileName() : juce::String ("demo")) << ", "
              << juce::String ((double) source->getLength() / sampleRate, 2) << " s, "
              << (channels == 1 ? "mono" : "stereo") << ", " << hertzText (sampleRate) << " Hz, "
              << describe (details) << ", " << precisionText << ", blocks of " << options.blockSize << "\n"
              << "Gain at the band frequencies:\n";

    for (const auto frequency : bandFrequencies)
    {
        std::cout << hertzText (frequency).paddedLeft (' ', 8) << " Hz  ";

        if (frequency <= response.getNyquist())
            std::cout << juce::String::formatted ("%+7.2f dB\n", std::round (response.gainDbAt (frequency) * 100.0) / 100.0 + 0.0);
        else
            std::cout << "    n/a (above half the sample rate)\n";
    }

    std::cout << "Audio: " << output.getFullPathName() << "\n"
              << "Plot:  " << plot.getFullPathName() << "\n";
    return 0;
}
} // namespace

int main (int argc, char** argv)
{
    // Rendering should not ask the internet about updates: the plug-in's check goes to a
    // closed loopback port unless the caller chose an endpoint.
    setenv ("OLVAR_UPDATE_ENDPOINT", "http://127.0.0.1:9/olvar_update.php", 0);

    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add (juce::String::fromUTF8 (argv[i]));

    juce::String error;
    const auto options = parseOptions (args, juce::File::getCurrentWorkingDirectory(), error);

    if (! options.has_value())
    {
        std::cerr << "olvar-render: " << error << "\n";
        return 2;
    }

    if (options->showHelp)
    {
        std::cout << usageText();
        return 0;
    }

    removePendingFilesOnSignals();
    juce::ScopedJuceInitialiser_GUI juceInitialiser;

    try
    {
        return run (*options);
    }
    catch (const Failure& failure)
    {
        std::cerr << "olvar-render: " << failure.message << "\n";
    }
    catch (const std::exception& exception)
    {
        std::cerr << "olvar-render: " << exception.what() << "\n";
    }

    return 1;
}

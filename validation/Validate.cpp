// olvar-validate: loads the built VST3 through JUCE's hosting and exercises it the way strict
// validators and demanding hosts do. Every check is a named case; a failed case prints why.
//
//   olvar-validate --plugin PATH [--group NAME]... [--quick] [--seed N] [--verbose]

#include "PluginProcessor.h"

#include "IgnoreXErrors.h"
#include "LoopbackHttpServer.h"
#include "MessagePump.h"
#include "RealtimeProbe.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <thread>

#include <dirent.h>

namespace
{
//==============================================================================
// Case bookkeeping.

struct Options
{
    juce::String plugin;
    juce::StringArray groups;
    bool quick = false;
    bool verbose = false;
    uint32_t seed = 20240501;
};

Options options;

struct Tally
{
    int passed = 0;
    int failed = 0;
};

std::map<std::string, Tally> tallies;
std::string currentGroup;

// A case collects failure messages; the first few are printed under its name.
class Case
{
public:
    explicit Case (std::string nameIn) : name (currentGroup + "/" + std::move (nameIn)) {}

    ~Case()
    {
        auto& tally = tallies[currentGroup];

        if (failures.empty())
        {
            ++tally.passed;

            if (options.verbose)
                std::cout << "  ok   " << name << "\n";
        }
        else
        {
            ++tally.failed;
            std::cout << "  FAIL " << name << "\n";

            for (size_t i = 0; i < failures.size() && i < 5; ++i)
                std::cout << "       " << failures[i] << "\n";

            if (failures.size() > 5)
                std::cout << "       (" << failures.size() - 5 << " more)\n";
        }

        std::cout.flush();
    }

    bool check (bool condition, const std::string& message)
    {
        if (! condition)
            failures.push_back (message);

        return condition;
    }

    bool failed() const { return ! failures.empty(); }

private:
    std::string name;
    std::vector<std::string> failures;
};

template <typename... Parts>
std::string describe (const Parts&... parts)
{
    std::ostringstream out;
    (out << ... << parts);
    return out.str();
}

//==============================================================================
// Hosting.

// Scanned once, as hosts do: describing the bundle makes (and destroys) an instance of its own.
std::unique_ptr<juce::AudioPluginInstance> loadPlugin (double rate = 48000.0, int block = 512)
{
    static juce::VST3PluginFormat format;
    static const auto description = []() -> std::unique_ptr<juce::PluginDescription>
    {
        juce::OwnedArray<juce::PluginDescription> found;
        format.findAllTypesForFile (found, options.plugin);
        return found.size() == 1 ? std::make_unique<juce::PluginDescription> (*found[0]) : nullptr;
    }();

    if (description == nullptr)
        return nullptr;

    juce::String error;
    return format.createInstanceFromDescription (*description, rate, block, error);
}

juce::AudioProcessorParameter* findParameter (juce::AudioProcessor& processor, const juce::String& name)
{
    for (auto* parameter : processor.getParameters())
        if (parameter->getName (100) == name)
            return parameter;

    return nullptr;
}

// The plug-in's own three, without the wrapper's bypass.
std::vector<juce::AudioProcessorParameter*> ownParameters (juce::AudioProcessor& processor)
{
    std::vector<juce::AudioProcessorParameter*> result;

    for (const auto* name : { "Enable", "Level", "Pitch" })
        if (auto* parameter = findParameter (processor, name))
            result.push_back (parameter);

    return result;
}

bool setLayout (juce::AudioProcessor& processor, int channels)
{
    const auto set = channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (set);
    layout.outputBuses.add (set);
    return processor.setBusesLayout (layout);
}

std::mt19937 rng;

float uniform (float low, float high) { return std::uniform_real_distribution<float> (low, high) (rng); }
int uniformInt (int low, int high) { return std::uniform_int_distribution<int> (low, high) (rng); }

// Extremes come up often: they are where filters misbehave.
float randomParameterValue()
{
    switch (uniformInt (0, 5))
    {
        case 0: return 0.0f;
        case 1: return 1.0f;
        default: return uniform (0.0f, 1.0f);
    }
}

//==============================================================================
// Signals and output checks.

enum class Signal { music, silence, square, dc, badNumbers };

const char* signalName (Signal s)
{
    switch (s)
    {
        case Signal::music: return "music";
        case Signal::silence: return "silence";
        case Signal::square: return "full-scale square";
        case Signal::dc: return "DC";
        case Signal::badNumbers: return "NaN/inf/subnormal bursts";
    }

    return "?";
}

// Two channels of one signal at the given rate; music is a few partials with a beat and noise.
template <typename Sample>
std::vector<std::vector<Sample>> makeSignal (Signal signal, double rate, int length)
{
    std::vector<std::vector<Sample>> channels (2, std::vector<Sample> ((size_t) length));
    const auto twoPi = 2.0 * juce::MathConstants<double>::pi;
    std::uniform_real_distribution<double> noise (-0.05, 0.05);

    for (int c = 0; c < 2; ++c)
    {
        for (int i = 0; i < length; ++i)
        {
            const auto t = (double) i / rate;
            double v = 0.0;

            switch (signal)
            {
                case Signal::music:
                case Signal::badNumbers:
                {
                    const auto beat = std::exp (-30.0 * std::fmod (t, 0.25));
                    v = 0.3 * std::sin (twoPi * 55.0 * t) * beat + 0.2 * std::sin (twoPi * (220.0 + 110.0 * c) * t)
                      + 0.1 * std::sin (twoPi * 7000.0 * t) + noise (rng);
                    break;
                }
                case Signal::silence: v = 0.0; break;
                case Signal::square: v = std::fmod (t * 100.0, 1.0) < 0.5 ? 1.0 : -1.0; break;
                case Signal::dc: v = c == 0 ? 1.0 : -0.5; break;
            }

            channels[(size_t) c][(size_t) i] = (Sample) v;
        }

        if (signal == Signal::badNumbers)
        {
            const Sample bad[] = { std::numeric_limits<Sample>::quiet_NaN(), std::numeric_limits<Sample>::infinity(),
                                   -std::numeric_limits<Sample>::infinity(), std::numeric_limits<Sample>::denorm_min(),
                                   (Sample) (std::numeric_limits<Sample>::min() / 3) };

            // Five bursts spread over the first half; the second half shows whether it recovers.
            for (int b = 0; b < 5; ++b)
            {
                const auto start = (b * length) / 10 + c;
                for (int i = start; i < juce::jmin (length / 2, start + 37); ++i)
                    channels[(size_t) c][(size_t) i] = (i % 3 == 0) ? bad[b] : bad[(b + i) % 5];
            }
        }
    }

    return channels;
}

struct OutputScan
{
    // Well above what the equaliser's largest boost makes of a full-scale input.
    static constexpr double defaultBound = 16.0;
    double bound = defaultBound;

    double peak = 0.0;
    std::string problem;

    template <typename Sample>
    void scan (const juce::AudioBuffer<Sample>& buffer, int channels, int64_t position)
    {
        for (int c = 0; c < channels && problem.empty(); ++c)
        {
            const auto* data = buffer.getReadPointer (c);

            for (int i = 0; i < buffer.getNumSamples(); ++i)
            {
                const auto v = data[i];
                const auto kind = std::fpclassify (v);

                if (kind == FP_NAN || kind == FP_INFINITE || kind == FP_SUBNORMAL || std::abs ((double) v) > bound)
                {
                    problem = describe (kind == FP_NAN ? "NaN" : kind == FP_INFINITE ? "infinity" : kind == FP_SUBNORMAL ? "subnormal" : "unbounded value",
                                        " (", (double) v, ") in the output at sample ", position + i, ", channel ", c);
                    return;
                }

                peak = std::max (peak, std::abs ((double) v));
            }
        }
    }
};

double overallPeak = 0.0;

//==============================================================================
// processing: rates x block sizes x layouts x precisions, every signal through each.

constexpr int randomBlocks = -1;

template <typename Sample>
void runProcessingCase (juce::AudioPluginInstance& instance, double rate, int blockSize, int channels)
{
    const auto doublePrecision = std::is_same_v<Sample, double>;
    Case test (describe (rate, "Hz/", blockSize == randomBlocks ? std::string ("random-blocks") : describe ("block-", blockSize),
                         channels == 1 ? "/mono" : "/stereo", doublePrecision ? "/double" : "/single"));

    instance.releaseResources();

    if (! test.check (setLayout (instance, channels), "the plug-in refused the layout"))
        return;

    instance.setProcessingPrecision (doublePrecision ? juce::AudioProcessor::doublePrecision : juce::AudioProcessor::singlePrecision);
    const auto maximum = blockSize == randomBlocks ? 2048 : blockSize;
    instance.setRateAndBufferSizeDetails (rate, maximum);
    instance.prepareToPlay (rate, maximum);

    const auto params = ownParameters (instance);
    const auto enabled = uniformInt (0, 7) != 0;
    params[0]->setValueNotifyingHost (enabled ? 1.0f : 0.0f);
    params[1]->setValueNotifyingHost (randomParameterValue());
    params[2]->setValueNotifyingHost (randomParameterValue());

    juce::AudioBuffer<Sample> buffer (channels, maximum);
    juce::MidiBuffer midi;
    const auto length = juce::jmax (2048, 2 * maximum);

    for (auto signal : { Signal::music, Signal::silence, Signal::square, Signal::dc, Signal::badNumbers })
    {
        const auto input = makeSignal<Sample> (signal, rate, length);
        OutputScan scan;
        double tailEnergy = 0.0;

        for (int position = 0; position < length && scan.problem.empty();)
        {
            const auto n = juce::jmin (length - position,
                                       blockSize == randomBlocks ? uniformInt (1, maximum) : blockSize);
            buffer.setSize (channels, n, false, false, true);

            for (int c = 0; c < channels; ++c)
                buffer.copyFrom (c, 0, input[(size_t) c].data() + position, n);

            instance.processBlock (buffer, midi);

            // Switched off, the audio passes untouched, bad numbers and all.
            if (enabled)
                scan.scan (buffer, channels, position);
            else
                for (int c = 0; c < channels && scan.problem.empty(); ++c)
                    if (std::memcmp (buffer.getReadPointer (c), input[(size_t) c].data() + position, sizeof (Sample) * (size_t) n) != 0)
                        scan.problem = describe ("switched off, the output differs from the input in the block at sample ", position);

            for (int c = 0; c < channels; ++c)
                for (int i = juce::jmax (0, length * 3 / 4 - position); i < n; ++i)
                    tailEnergy += (double) buffer.getSample (c, i) * (double) buffer.getSample (c, i);

            position += n;
        }

        test.check (scan.problem.empty(), describe (signalName (signal), " (Enable ", params[0]->getValue(), ", Level ",
                                                    params[1]->getValue(), ", Pitch ", params[2]->getValue(), "): ", scan.problem));
        overallPeak = std::max (overallPeak, scan.peak);

        // After the bursts the music must come back rather than stay muted.
        if (signal == Signal::badNumbers && scan.problem.empty())
            test.check (tailEnergy > 0.0, "the output stayed silent after the NaN/inf/subnormal bursts");
    }

    instance.releaseResources();
}

void groupProcessing()
{
    auto instance = loadPlugin();

    if (Case test ("load"); ! test.check (instance != nullptr, "cannot load " + options.plugin.toStdString()))
        return;

    const std::vector<double> allRates { 8000, 11025, 22050, 44100, 48000, 88200, 96000, 176400, 192000, 384000 };
    const std::vector<int> allBlocks { 1, 2, 15, 32, 64, 441, 512, 1024, 4096, randomBlocks };
    const auto rates = options.quick ? std::vector<double> { 8000, 44100, 96000, 384000 } : allRates;
    const auto blocks = options.quick ? std::vector<int> { 1, 15, 512, randomBlocks } : allBlocks;

    for (auto rate : rates)
        for (auto block : blocks)
            for (int channels : { 1, 2 })
            {
                runProcessingCase<float> (*instance, rate, block, channels);
                runProcessingCase<double> (*instance, rate, block, channels);
            }

    std::cout << "  largest output peak seen: " << overallPeak << " (bound " << OutputScan::defaultBound << ")\n";
}

void checkOutOfRangeAutomation (juce::AudioPluginInstance& instance);

//==============================================================================
// automation: a new value every 32 samples inside random gestures, while processing.

void groupAutomation()
{
    auto instance = loadPlugin();

    if (Case test ("load"); ! test.check (instance != nullptr, "cannot load the plug-in"))
        return;

    for (auto rate : { 44100.0, 96000.0 })
        for (int channels : { 1, 2 })
        {
            Case test (describe ("gestures-every-32-samples/", rate, "Hz/", channels == 1 ? "mono" : "stereo"));
            instance->releaseResources();
            setLayout (*instance, channels);
            instance->setProcessingPrecision (juce::AudioProcessor::singlePrecision);
            instance->prepareToPlay (rate, 32);

            const auto params = ownParameters (*instance);
            const auto input = makeSignal<float> (Signal::music, rate, 32 * 2000);
            juce::AudioBuffer<float> buffer (channels, 32);
            juce::MidiBuffer midi;
            OutputScan scan;
            int gestureLeft = 0;
            juce::AudioProcessorParameter* moving = nullptr;

            for (int block = 0; block < 2000 && scan.problem.empty(); ++block)
            {
                if (gestureLeft == 0)
                {
                    if (moving != nullptr)
                        moving->endChangeGesture();

                    moving = params[(size_t) uniformInt (0, 2)];
                    moving->beginChangeGesture();
                    gestureLeft = uniformInt (1, 64);
                }

                --gestureLeft;
                const auto value = randomParameterValue();
                moving->setValueNotifyingHost (value);
                test.check (std::abs (moving->getValue() - value) <= (moving == params[0] ? 0.5f : 1.0e-6f),
                            describe (moving->getName (20), " reads ", moving->getValue(), " after being set to ", value));

                for (int c = 0; c < channels; ++c)
                    buffer.copyFrom (c, 0, input[(size_t) c].data() + block * 32, 32);

                instance->processBlock (buffer, midi);
                scan.scan (buffer, channels, block * 32);

                if (block % 64 == 0)
                    pumpMessages (0); // the host passes changes on to the controller on its message thread
            }

            if (moving != nullptr)
                moving->endChangeGesture();

            test.check (scan.problem.empty(), scan.problem);

            for (auto* p : params)
                test.check (p->getValue() >= 0.0f && p->getValue() <= 1.0f,
                            describe (p->getName (20), " left out of range: ", p->getValue()));
        }

    checkOutOfRangeAutomation (*instance);
}

// Values a broken host might send (NaN from parsing "nan", infinities, outside 0..1): the audio
// must stay clean.
void checkOutOfRangeAutomation (juce::AudioPluginInstance& instance)
{
    Case test ("host-sends-nan-inf-and-out-of-range-values");
    instance.releaseResources();
    setLayout (instance, 2);
    instance.setProcessingPrecision (juce::AudioProcessor::singlePrecision);
    instance.prepareToPlay (48000.0, 64);

    const auto params = ownParameters (instance);
    const auto input = makeSignal<float> (Signal::music, 48000.0, 64 * 400);
    juce::AudioBuffer<float> buffer (2, 64);
    juce::MidiBuffer midi;
    OutputScan scan;
    // Coming back from a NaN Level (muted meanwhile) gives a transient peaking near 17 for
    // music that peaks at 0.65: finite and short, but above the normal bound.
    scan.bound = 64.0;
    const float values[] = { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(), -1.0f, 2.0f, 0.75f };
    int block = 0;

    for (auto* p : params)
        for (auto value : values)
        {
            params[0]->setValueNotifyingHost (1.0f);
            p->setValueNotifyingHost (value);

            for (int i = 0; i < 20 && scan.problem.empty(); ++i, ++block)
            {
                for (int c = 0; c < 2; ++c)
                    buffer.copyFrom (c, 0, input[(size_t) c].data() + (block % 400) * 64, 64);

                instance.processBlock (buffer, midi);
                scan.scan (buffer, 2, block * 64);
            }

            test.check (scan.problem.empty(), describe (p->getName (20), " set to ", value, ": ", scan.problem));
            if (options.verbose)
                std::cout << "       " << p->getName (20) << " set to " << value << ": output peak " << scan.peak << "\n";

            scan.peak = 0.0;
            scan.problem.clear();
            pumpMessages (0);
        }

    for (auto* p : params)
        p->setValueNotifyingHost (p->getDefaultValue());
}

//==============================================================================
// text: fuzzed parameter text both ways, through the host and in process.

juce::String randomText()
{
    static const char* const pieces[] = { "0", "1", "0.5", "-", "+", ".", "e", "E", "308", "-1e308", "1e-320", "nan", "NaN",
                                          "inf", "-inf", "Infinity", "on", "Off", "ON", "true", "%", " ", "\t", "dB", "0x1p3",
                                          "99999999999999999999", "1,5", "\xc3\xa9", "\xe2\x88\x9e", "\xf0\x9f\x8e\xb5", "" };
    juce::String text;
    const auto count = uniformInt (0, 6);

    for (int i = 0; i < count; ++i)
    {
        if (uniformInt (0, 4) == 0)
            text += juce::String::charToString ((juce::juce_wchar) uniformInt (1, 0x10FFFF) & 0x1FFFFF);
        else
            text += juce::String::fromUTF8 (pieces[uniformInt (0, (int) std::size (pieces) - 1)]);
    }

    return text;
}

int nanTexts = 0;

void checkParameterText (juce::AudioProcessorParameter& parameter, const std::string& where)
{
    Case test (where + "/" + parameter.getName (20).toStdString());
    const auto isSwitch = parameter.getNumSteps() == 2;

    for (int i = 0; i < 400; ++i)
    {
        const auto value = i < 3 ? (float) i * 0.5f : randomParameterValue();
        const auto maxLength = uniformInt (0, 3) == 0 ? uniformInt (0, 4) : 1024;
        const auto text = parameter.getText (value, maxLength);

        test.check (maxLength == 0 || text.length() <= juce::jmax (maxLength, 128),
                    describe ("getText(", value, ", ", maxLength, ") gave ", text.length(), " characters"));

        if (maxLength == 1024)
        {
            // The full text reads back as (nearly) the same value: the float texts show the value
            // snapped to its 0.001 step with two decimals.
            const auto back = parameter.getValueForText (text);
            test.check (isSwitch ? (back >= 0.5f) == (value >= 0.5f) : std::abs (back - value) <= 0.0056f,
                        describe ("\"", text, "\" for ", value, " reads back as ", back));
        }

        const auto fuzzed = randomText();
        const auto read = parameter.getValueForText (fuzzed);

        // JUCE's default parsing (which the plug-in keeps) turns text reading "nan" into NaN; the
        // automation group checks that such a value from the host does no harm.
        if (std::isnan (read) && std::isnan (fuzzed.getFloatValue()))
            ++nanTexts;
        else
            test.check (std::isfinite (read) && read >= 0.0f && read <= 1.0f,
                        describe ("getValueForText(\"", fuzzed, "\") gave ", read));
    }
}

void groupText()
{
    auto instance = loadPlugin();

    if (Case test ("load"); ! test.check (instance != nullptr, "cannot load the plug-in"))
        return;

    for (auto* parameter : ownParameters (*instance))
        checkParameterText (*parameter, "hosted");

    OlvarAudioProcessor processor;

    for (auto* parameter : processor.getParameters())
        checkParameterText (*parameter, "in-process");

    std::cout << "  " << nanTexts << " fuzzed texts read as NaN (JUCE's default parsing of \"nan...\")\n";
}

//==============================================================================
// state: round trips, random and truncated blocks through the processor and through the host.

juce::MemoryBlock hostState (juce::AudioPluginInstance& instance)
{
    juce::MemoryBlock block;
    instance.getStateInformation (block);
    return block;
}

// The component's own bytes inside the host's saved state (JUCE's host stores them in XML).
juce::MemoryBlock componentState (const juce::MemoryBlock& host)
{
    juce::MemoryBlock component;

    if (const auto xml = juce::AudioProcessor::getXmlFromBinary (host.getData(), (int) host.getSize()))
        if (auto* element = xml->getChildByName ("IComponent"))
            component.fromBase64Encoding (element->getAllSubText());

    return component;
}

// The host's state with the component's bytes replaced: what a host hands back from its project file.
juce::MemoryBlock withComponentState (const juce::MemoryBlock& host, const juce::MemoryBlock& component)
{
    const auto xml = juce::AudioProcessor::getXmlFromBinary (host.getData(), (int) host.getSize());
    juce::MemoryBlock result;

    if (xml == nullptr)
        return result;

    if (auto* element = xml->getChildByName ("IComponent"))
    {
        element->deleteAllTextElements();
        element->addTextElement (component.toBase64Encoding());
    }

    juce::AudioProcessor::copyXmlToBinary (*xml, result);
    return result;
}

juce::MemoryBlock randomBytes (int size)
{
    juce::MemoryBlock block ((size_t) size);

    for (size_t i = 0; i < block.getSize(); ++i)
        block[i] = (char) uniformInt (0, 255);

    return block;
}

// A random block, a truncated copy of a valid one, or (when flips are allowed) a copy with
// some bytes changed.
juce::MemoryBlock mangled (const juce::MemoryBlock& valid, bool allowFlips = true)
{
    juce::MemoryBlock block (valid);

    switch (uniformInt (0, allowFlips ? 3 : 1))
    {
        case 0: return randomBytes (uniformInt (0, 300));
        case 1: block.setSize ((size_t) uniformInt (0, (int) block.getSize())); return block;
        default:
            for (int i = uniformInt (1, 6); i > 0 && block.getSize() > 0; --i)
                block[(size_t) uniformInt (0, (int) block.getSize() - 1)] = (char) uniformInt (0, 255);
            return block;
    }
}

std::string parametersOutOfRange (juce::AudioProcessor& processor)
{
    for (auto* p : processor.getParameters())
    {
        const auto v = p->getValue();

        if (! (v >= 0.0f && v <= 1.0f))
            return describe (p->getName (20), " = ", v);
    }

    return {};
}

void groupState()
{
    auto instance = loadPlugin();
    auto other = loadPlugin();

    if (Case test ("load"); ! test.check (instance != nullptr && other != nullptr, "cannot load the plug-in"))
        return;

    {
        Case test ("host-round-trip-identical-bytes");

        for (int round = 0; round < 100; ++round)
        {
            for (auto* p : ownParameters (*instance))
                p->setValueNotifyingHost (randomParameterValue());

            pumpMessages (0);
            const auto first = hostState (*instance);
            other->setStateInformation (first.getData(), (int) first.getSize());
            pumpMessages (0);
            const auto second = hostState (*other);
            instance->setStateInformation (first.getData(), (int) first.getSize());
            const auto third = hostState (*instance);

            test.check (componentState (first) == componentState (second),
                        describe ("round ", round, ": the component state differs after set/get in another instance"));
            test.check (first == third, describe ("round ", round, ": get, set, get gave different host bytes"));

            // The switch travels as on or off, whatever value the host set it to.
            for (auto* p : ownParameters (*instance))
            {
                const auto there = findParameter (*other, p->getName (20))->getValue();
                const auto travelled = p->getNumSteps() == 2 ? (there >= 0.5f) == (p->getValue() >= 0.5f)
                                                             : std::abs (there - p->getValue()) <= 1.0e-6f;
                test.check (travelled, describe ("round ", round, ": ", p->getName (20), " is ", there, " after set state, not ", p->getValue()));
            }
        }
    }

    {
        Case test ("in-process-round-trip-identical-bytes");
        OlvarAudioProcessor a, b;

        for (int round = 0; round < 200; ++round)
        {
            for (auto* p : a.getParameters())
                p->setValueNotifyingHost (randomParameterValue());

            juce::MemoryBlock first, second, third;
            a.getStateInformation (first);
            b.setStateInformation (first.getData(), (int) first.getSize());
            b.getStateInformation (second);
            a.setStateInformation (first.getData(), (int) first.getSize());
            a.getStateInformation (third);
            test.check (first == second && first == third, describe ("round ", round, ": state bytes changed through set/get"));
        }
    }

    {
        Case test ("in-process-random-and-truncated-blocks");
        OlvarAudioProcessor processor;
        juce::MemoryBlock valid;
        processor.getStateInformation (valid);

        for (int round = 0; round < 5000; ++round)
        {
            const auto block = mangled (valid);
            processor.setStateInformation (block.getData(), (int) block.getSize());
            const auto problem = parametersOutOfRange (processor);
            test.check (problem.empty(), describe ("round ", round, ": ", problem));

            juce::MemoryBlock after;
            processor.getStateInformation (after);
            test.check (after.getSize() > 9, describe ("round ", round, ": no state written after a bad block"));
        }
    }

    {
        // Whole host blobs cut or replaced, and the component's bytes mangled inside a well-formed host
        // blob. JUCE's wrapper trusts the sizes written in the VST2 bank header and in its own trailer
        // (see fuzz/README.md), so an envelope keeps its header and sizes consistent with its bytes:
        // only what the wrapper hands on is mangled, which is what a damaged project file gives.
        Case test ("host-random-and-truncated-blocks");
        const auto valid = hostState (*instance);
        const auto component = componentState (valid);
        constexpr size_t bankHeader = 16 + 160;
        constexpr size_t trailer = 64;

        for (int round = 0; round < (options.quick ? 300 : 2000); ++round)
        {
            juce::MemoryBlock block;

            if (round % 2 == 0)
            {
                block = mangled (valid, false);
            }
            else
            {
                auto bytes = mangled (component);

                // A same-sized block keeps JUCE's trailer (magic and size) intact.
                if (bytes.getSize() == component.getSize())
                    bytes.copyFrom (static_cast<const char*> (component.getData()) + component.getSize() - trailer,
                                    (int) (component.getSize() - trailer), trailer);

                if (bytes.getSize() >= 4 && std::memcmp (bytes.getData(), component.getData(), 4) == 0)
                {
                    if (bytes.getSize() < bankHeader)
                    {
                        bytes.setSize (0);
                    }
                    else
                    {
                        bytes.copyFrom (component.getData(), 0, bankHeader);
                        const auto bankSize = juce::ByteOrder::swapIfLittleEndian ((uint32_t) (bytes.getSize() - 24));
                        const auto chunkSize = juce::ByteOrder::swapIfLittleEndian ((uint32_t) (bytes.getSize() - bankHeader));
                        bytes.copyFrom (&bankSize, 16 + 4, 4);
                        bytes.copyFrom (&chunkSize, 16 + 156, 4);

                        // A cut block loses JUCE's trailer.
                        if (bytes.getSize() != component.getSize() && std::memcmp (static_cast<const char*> (bytes.getData()) + bytes.getSize() - 15, "JUCEPrivateData", 15) == 0)
                            bytes.setSize (bytes.getSize() - 1);
                    }
                }

                block = withComponentState (valid, bytes);
            }

            instance->setStateInformation (block.getData(), (int) block.getSize());
            pumpMessages (0);
            const auto problem = parametersOutOfRange (*instance);
            test.check (problem.empty(), describe ("round ", round, ": ", problem));
        }

        // Still works afterwards.
        instance->setStateInformation (valid.getData(), (int) valid.getSize());
        test.check (componentState (hostState (*instance)) == component, "the valid state did not restore after the bad ones");
    }
}

//==============================================================================
// An audio thread and an automation thread working one instance while the message thread
// does something else.

class AudioAndAutomation
{
public:
    AudioAndAutomation (juce::AudioPluginInstance& instanceIn, bool automate)
        : instance (instanceIn)
    {
        instance.releaseResources();
        setLayout (instance, 2);
        instance.setProcessingPrecision (juce::AudioProcessor::singlePrecision);
        instance.prepareToPlay (48000.0, 256);

        audio = std::thread ([this]
        {
            juce::AudioBuffer<float> buffer (2, 256);
            juce::MidiBuffer midi;
            const auto input = makeSignal<float> (Signal::music, 48000.0, 48000);
            int64_t position = 0;

            while (! stop)
            {
                const auto offset = (int) (position % (48000 - 256));
                for (int c = 0; c < 2; ++c)
                    buffer.copyFrom (c, 0, input[(size_t) c].data() + offset, 256);

                instance.processBlock (buffer, midi);
                scan.scan (buffer, 2, position);
                position += 256;
                ++blocks;
                std::this_thread::sleep_for (std::chrono::microseconds (500));
            }
        });

        if (automate)
            automation = std::thread ([this]
            {
                const auto params = ownParameters (instance);
                std::minstd_rand local (7);

                while (! stop)
                {
                    auto* p = params[local() % 3];
                    p->beginChangeGesture();

                    for (int i = 0; i < 16 && ! stop; ++i)
                    {
                        p->setValueNotifyingHost ((float) (local() % 1001) / 1000.0f);
                        std::this_thread::sleep_for (std::chrono::microseconds (700));
                    }

                    p->endChangeGesture();
                }
            });
    }

    ~AudioAndAutomation() { finish(); }

    void finish()
    {
        stop = true;

        if (audio.joinable())
            audio.join();

        if (automation.joinable())
            automation.join();
    }

    juce::AudioPluginInstance& instance;
    std::atomic<bool> stop { false };
    std::atomic<int64_t> blocks { 0 };
    OutputScan scan;
    std::thread audio, automation;
};

//==============================================================================
// editor: opened and closed while audio and automation run.

void groupEditor()
{
    // The instance's update check waits on this server until the second round, so the update
    // thread finishes (with "newer version") while the editor, audio and automation all run.
    LoopbackHttpServer server ([] (const std::string&)
    {
        LoopbackHttpServer::Response response;
        response.status = 202;
        response.holdUntilReleased = true;
        return response;
    });

    const auto previousEndpoint = juce::SystemStats::getEnvironmentVariable ("OLVAR_UPDATE_ENDPOINT", {});
    setenv ("OLVAR_UPDATE_ENDPOINT", server.urlFor ("/olvar_update.php").c_str(), 1);
    auto instance = loadPlugin();
    setenv ("OLVAR_UPDATE_ENDPOINT", previousEndpoint.toRawUTF8(), 1);

    if (Case test ("load"); ! test.check (instance != nullptr, "cannot load the plug-in"))
        return;

    {
        Case test ("open-close-while-processing-and-automating");
        AudioAndAutomation work (*instance, true);

        for (int round = 0; round < (options.quick ? 4 : 10); ++round)
        {
            if (round == 1)
                server.release (true);

            std::unique_ptr<juce::AudioProcessorEditor> editor (instance->createEditorIfNeeded());

            if (! test.check (editor != nullptr, describe ("round ", round, ": no editor")))
                break;

            editor->setVisible (true);
            editor->addToDesktop (0);
            pumpMessages (150 + 50 * (round % 3)); // the editor's timer runs meanwhile

            test.check (editor->getWidth() > 0 && editor->getHeight() > 0,
                        describe ("round ", round, ": the editor has no size (", editor->getWidth(), "x", editor->getHeight(), ")"));
            editor.reset();
            test.check (instance->getActiveEditor() == nullptr, describe ("round ", round, ": the host still has an active editor"));
            pumpMessages (20);
        }

        const auto blocksBefore = work.blocks.load();
        pumpMessages (50);
        test.check (work.blocks.load() > blocksBefore, "audio stopped while the editor came and went");
        work.finish();
        test.check (work.scan.problem.empty(), work.scan.problem);
        test.check (server.getNumRequests() == 1, describe (server.getNumRequests(), " update requests instead of one"));
    }
}

//==============================================================================
// bypass: the host's switch flipped while processing; bypassed blocks pass the input untouched.

void groupBypass()
{
    auto instance = loadPlugin();

    if (Case test ("load"); ! test.check (instance != nullptr, "cannot load the plug-in"))
        return;

    auto* bypass = instance->getBypassParameter();

    if (Case test ("has-bypass"); ! test.check (bypass != nullptr, "the host found no bypass parameter"))
        return;

    for (int precision = 0; precision < 2; ++precision)
    {
        Case test (precision == 0 ? "switched-while-processing/single" : "switched-while-processing/double");
        instance->releaseResources();
        setLayout (*instance, 2);
        instance->setProcessingPrecision (precision == 0 ? juce::AudioProcessor::singlePrecision : juce::AudioProcessor::doublePrecision);
        instance->prepareToPlay (48000.0, 128);

        findParameter (*instance, "Level")->setValueNotifyingHost (1.0f); // a clearly audible effect
        const auto input = makeSignal<double> (Signal::music, 48000.0, 128 * 600);
        juce::AudioBuffer<float> single (2, 128);
        juce::AudioBuffer<double> dual (2, 128);
        juce::MidiBuffer midi;
        OutputScan scan;
        bool bypassed = false;
        int changedBlocks = 0, bypassedBlocks = 0, differingBypassed = 0;

        for (int block = 0; block < 600; ++block)
        {
            if (block % uniformInt (3, 11) == 0)
            {
                bypassed = ! bypassed;
                bypass->setValueNotifyingHost (bypassed ? 1.0f : 0.0f);
            }

            double difference = 0.0;

            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < 128; ++i)
                {
                    const auto x = input[(size_t) c][(size_t) (block * 128 + i)];
                    single.setSample (c, i, (float) x);
                    dual.setSample (c, i, x);
                }

            if (precision == 0)
            {
                instance->processBlock (single, midi);
                scan.scan (single, 2, block * 128);
            }
            else
            {
                instance->processBlock (dual, midi);
                scan.scan (dual, 2, block * 128);
            }

            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < 128; ++i)
                {
                    const auto x = input[(size_t) c][(size_t) (block * 128 + i)];
                    const auto y = precision == 0 ? (double) single.getSample (c, i) : dual.getSample (c, i);
                    difference = std::max (difference, std::abs (y - (precision == 0 ? (double) (float) x : x)));
                }

            if (bypassed)
            {
                ++bypassedBlocks;
                differingBypassed += difference > 0.0 ? 1 : 0;
            }
            else if (difference > 0.0)
            {
                ++changedBlocks;
            }
        }

        test.check (scan.problem.empty(), scan.problem);
        test.check (differingBypassed == 0, describe (differingBypassed, " of ", bypassedBlocks, " bypassed blocks were not the input"));
        test.check (changedBlocks > 0, "no processed block differed from its input: the effect never ran");
        test.check (bypass->getValue() == (bypassed ? 1.0f : 0.0f), "the bypass parameter does not read back as set");

        bypass->setValueNotifyingHost (0.0f);
    }
}

//==============================================================================
// instances: 50 created and destroyed quickly while their update checks wait on a slow server.

std::vector<std::string> threadNames()
{
    std::vector<std::string> names;

    if (auto* dir = opendir ("/proc/self/task"))
    {
        while (auto* entry = readdir (dir))
        {
            const auto name = juce::File ("/proc/self/task/" + juce::String (entry->d_name) + "/comm").loadFileAsString().trim();

            // JUCE's timer thread is a process-wide singleton, started by the first timer anywhere.
            if (entry->d_name[0] != '.' && name != "JUCE Timer")
                names.push_back (name.toStdString());
        }

        closedir (dir);
    }

    std::sort (names.begin(), names.end());
    return names;
}

int countThreads() { return (int) threadNames().size(); }

void groupInstances()
{
    const auto previousEndpoint = juce::SystemStats::getEnvironmentVariable ("OLVAR_UPDATE_ENDPOINT", {});
    constexpr int count = 50;
    constexpr double timeoutSeconds = 3.0;
    const double slack = options.quick ? 12.0 : 5.0;

    // A first instance brings up JUCE's own long-lived threads and caches.
    loadPlugin().reset();
    const auto namesBefore = threadNames();
    const auto threadsBefore = (int) namesBefore.size();
    size_t heapAfterFirstRound = 0;

    for (int round = 0; round < 2; ++round)
    {
        Case test (describe ("create-destroy-50-with-slow-update-server/round-", round + 1));

        {
            // The server keeps every request waiting without a byte of answer; the check's own
            // time-out (3 s without data) is what ends each request.
            LoopbackHttpServer server ([] (const std::string&)
            {
                LoopbackHttpServer::Response response;
                response.holdUntilReleased = true;
                return response;
            });

            setenv ("OLVAR_UPDATE_ENDPOINT", server.urlFor ("/olvar_update.php").c_str(), 1);
            std::vector<std::unique_ptr<juce::AudioPluginInstance>> instances;
            const auto start = std::chrono::steady_clock::now();

            for (int i = 0; i < count; ++i)
            {
                instances.push_back (loadPlugin());

                if (! test.check (instances.back() != nullptr, describe ("instance ", i, " did not load")))
                    break;
            }

            const auto created = std::chrono::steady_clock::now();
            const auto requestsArrived = server.waitForRequests ((size_t) count, 5000);
            const auto destroyStart = std::chrono::steady_clock::now();
            instances.clear();
            const auto destroyed = std::chrono::steady_clock::now();

            const auto destroySeconds = std::chrono::duration<double> (destroyed - destroyStart).count();
            const auto createSeconds = std::chrono::duration<double> (created - start).count();
            std::cout << "  round " << round + 1 << ": 50 created in " << createSeconds << " s, destroyed in "
                      << destroySeconds << " s\n";

            test.check (requestsArrived, describe ("only ", server.getNumRequests(), " of ", count, " update requests reached the server"));
            test.check (destroySeconds <= timeoutSeconds + slack,
                        describe ("destroying the instances took ", destroySeconds, " s: longer than the ", timeoutSeconds, " s time-out"));

            // Every client has hung up by now, so dropping the held connections finds them closed.
            server.release (false);
            test.check (server.waitUntilClientsClosed (5000), "update requests were left open after their instances went");
        }

        // Threads take a moment to be reaped after join.
        auto threadsAfter = countThreads();
        for (int wait = 0; wait < 150 && threadsAfter > threadsBefore; ++wait)
        {
            pumpMessages (20);
            threadsAfter = countThreads();
        }

        if (! test.check (threadsAfter <= threadsBefore, describe (threadsAfter - threadsBefore, " threads were left behind")))
        {
            std::string before, after;
            for (const auto& n : namesBefore) before += " " + n;
            for (const auto& n : threadNames()) after += " " + n;
            test.check (false, "threads before:" + before + "; after:" + after);
        }

        // The first round fills caches; the second must give back all it takes.
        pumpMessages (50);
        const auto heap = currentHeapBytes();

        if (round == 0)
            heapAfterFirstRound = heap;
        else
            test.check (heap <= heapAfterFirstRound + 256 * 1024,
                        describe ("the heap grew by ", (double) (heap - heapAfterFirstRound) / 1024.0, " KiB over 50 instances"));
    }

    setenv ("OLVAR_UPDATE_ENDPOINT", previousEndpoint.toRawUTF8(), 1);
}

//==============================================================================
// realtime: no heap allocation and no lock inside processBlock.

template <typename Sample>
std::pair<size_t, size_t> probeProcessBlock (juce::AudioProcessor& processor, int channels, int blockSize)
{
    juce::AudioBuffer<Sample> buffer (channels, blockSize);
    juce::MidiBuffer midi;
    const auto input = makeSignal<Sample> (Signal::badNumbers, 48000.0, blockSize * 40);
    size_t allocations = 0, locks = 0;
    const auto params = ownParameters (processor);

    for (int block = 0; block < 40; ++block)
    {
        for (int c = 0; c < channels; ++c)
            buffer.copyFrom (c, 0, input[(size_t) c].data() + block * blockSize, blockSize);

        // Parameter changes between blocks, as the host's automation makes them.
        params[(size_t) (block % 3)]->setValueNotifyingHost (block % 3 == 0 ? (block % 6 == 0 ? 1.0f : 0.0f) : randomParameterValue());

        {
            const ScopedRealtimeProbe probe;
            processor.processBlock (buffer, midi);

            if (block > 0) // the host's first call may set itself up
            {
                allocations += probe.getAllocations();
                locks += probe.getLocks();
            }
        }
    }

    return { allocations, locks };
}

void groupRealtime()
{
    if (Case test ("allocation-hooks"); ! test.check (allocationHooksInstalled(), "allocations cannot be counted here"))
        return;

    if (! ScopedRealtimeProbe::canCountLocks())
        std::cout << "  (locks are not counted in a sanitizer build)\n";

    for (int channels : { 1, 2 })
        for (int precision = 0; precision < 2; ++precision)
        {
            const auto suffix = describe (channels == 1 ? "mono" : "stereo", precision == 0 ? "/single" : "/double");

            {
                Case test ("in-process-processBlock/" + suffix);
                OlvarAudioProcessor processor;
                setLayout (processor, channels);
                processor.setRateAndBufferSizeDetails (48000.0, 256);
                processor.prepareToPlay (48000.0, 256);
                const auto [allocations, locks] = precision == 0 ? probeProcessBlock<float> (processor, channels, 256)
                                                                 : probeProcessBlock<double> (processor, channels, 256);
                test.check (allocations == 0, describe (allocations, " heap allocations inside processBlock"));
                test.check (locks == 0, describe (locks, " locks taken inside processBlock"));
            }

            {
                // Through the host and the wrapper, for the record: JUCE 7.0.5's VST3 wrapper
                // (JuceVST3Component::processAudio, before it calls processBlock) allocates on
                // every call, and JUCE's host on its first calls; neither is the plug-in's code.
                auto instance = loadPlugin();

                if (instance == nullptr)
                    continue;

                instance->releaseResources();
                setLayout (*instance, channels);
                instance->setProcessingPrecision (precision == 0 ? juce::AudioProcessor::singlePrecision : juce::AudioProcessor::doublePrecision);
                instance->prepareToPlay (48000.0, 256);
                const auto [allocations, locks] = precision == 0 ? probeProcessBlock<float> (*instance, channels, 256)
                                                                 : probeProcessBlock<double> (*instance, channels, 256);
                std::cout << "  hosted " << suffix << ": " << allocations << " allocations and " << locks
                          << " lock calls in 39 process calls, all in JUCE's host and wrapper\n";
            }
        }
}

//==============================================================================

const std::vector<std::pair<std::string, std::function<void()>>> groups {
    { "processing", groupProcessing },
    { "automation", groupAutomation },
    { "text", groupText },
    { "state", groupState },
    { "editor", groupEditor },
    { "bypass", groupBypass },
    { "instances", groupInstances },
    { "realtime", groupRealtime },
};

int usage()
{
    std::cerr << "usage: olvar-validate --plugin PATH [--group NAME]... [--quick] [--seed N] [--verbose]\n"
                 "groups:";
    for (const auto& g : groups)
        std::cerr << " " << g.first;
    std::cerr << "\n";
    return 2;
}
} // namespace

int main (int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg (argv[i]);

        if (arg == "--plugin" && i + 1 < argc) options.plugin = argv[++i];
        else if (arg == "--group" && i + 1 < argc) options.groups.add (argv[++i]);
        else if (arg == "--seed" && i + 1 < argc) options.seed = (uint32_t) std::strtoul (argv[++i], nullptr, 10);
        else if (arg == "--quick") options.quick = true;
        else if (arg == "--verbose") options.verbose = true;
        else return usage();
    }

    if (options.plugin.isEmpty())
        return usage();

    for (const auto& name : options.groups)
        if (std::none_of (groups.begin(), groups.end(), [&] (const auto& g) { return name == juce::String (g.first); }))
            return usage();

    // Every instance's update check goes to a closed loopback port unless a case names its own server.
    setenv ("OLVAR_UPDATE_ENDPOINT", ("http://127.0.0.1:" + std::to_string (findClosedLoopbackPort()) + "/olvar_update.php").c_str(), 1);

    for (const auto* name : { "http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "all_proxy" })
        unsetenv (name);

    setenv ("no_proxy", "*", 1);
    ignoreXErrors();
    const juce::ScopedJuceInitialiser_GUI juceInitialiser;

    // The host scans the bundle once (which makes an instance of its own) before any case.
    loadPlugin().reset();

    rng.seed (options.seed);
    std::cout << "olvar-validate: " << options.plugin << " (seed " << options.seed << (options.quick ? ", quick" : "") << ")\n";

    int passed = 0, failed = 0;

    for (const auto& [name, run] : groups)
    {
        if (! options.groups.isEmpty() && ! options.groups.contains (name))
            continue;

        currentGroup = name;
        std::cout << name << ":\n";
        const auto start = std::chrono::steady_clock::now();
        run();
        const auto seconds = std::chrono::duration<double> (std::chrono::steady_clock::now() - start).count();
        const auto& tally = tallies[name];
        std::cout << "  " << tally.passed + tally.failed << " cases, " << tally.failed << " failed (" << seconds << " s)\n";
        passed += tally.passed;
        failed += tally.failed;
    }

    std::cout << passed << " passed, " << failed << " failed\n";
    return failed == 0 ? 0 : 1;
}

#include "Entries.h"

#include "CDSP.h"
#include "Floor.h"
#include "PluginProcessor.h"

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_dsp/juce_dsp.h>

#include <cmath>
#include <ostream>

namespace olvarbench
{
namespace
{
constexpr double sampleRate = 48000.0;
constexpr float mainAmount = 0.75f;      // all five bands running
constexpr float mainAlternate = 0.751f;  // the other value when the main amount moves every block
constexpr float balance = 0.5f;

const char* precisionName (bool isDouble) { return isDouble ? "double" : "single"; }
const char* controlsName (bool changing) { return changing ? "main changes every block" : "steady"; }

// The coefficients Olvar's engine designs at these settings, for the floor and JUCE's cascade.
void olvarCoefficients (SectionCoefficients (&out)[CDSP::numBands])
{
    CDSP engine;
    double l = 0.0, r = 0.0;
    engine.DoProcess (0.0, 0.0, &l, &r, sampleRate, mainAmount, balance, false, false);

    for (int s = 0; s < CDSP::numBands; ++s)
        out[s] = { engine.b0[0][s], engine.b1[0][s], engine.b2[0][s], engine.a1[0][s], engine.a2[0][s] };
}

juce::AudioProcessorParameter* findParameter (juce::AudioProcessor& processor, const juce::String& idOrName)
{
    for (auto* parameter : processor.getParameters())
    {
        if (auto* hosted = dynamic_cast<juce::AudioPluginInstance::HostedParameter*> (parameter))
            if (hosted->getParameterID() == idOrName || hosted->getParameterID() == "sym:" + idOrName)
                return parameter;

        if (parameter->getName (100) == idOrName)
            return parameter;
    }

    return nullptr;
}

// Olvar's parameters are 0..1, so the normalised value is the value.
struct OlvarControls
{
    juce::AudioProcessorParameter* enable = nullptr;
    juce::AudioProcessorParameter* main = nullptr;
    juce::AudioProcessorParameter* pitch = nullptr;

    bool valid() const { return enable != nullptr && main != nullptr && pitch != nullptr; }

    void setSteady() const
    {
        enable->setValue (1.0f);
        main->setValue (mainAmount);
        pitch->setValue (balance);
    }

    void beforeBlock (bool changing, long blockIndex) const
    {
        if (changing)
            main->setValue ((blockIndex & 1) != 0 ? mainAlternate : mainAmount);
    }
};

template <typename Sample>
Measurement timeProcessor (juce::AudioProcessor& processor, const EntryOptions& options, int blockSize,
                           const std::function<void (long)>& beforeBlock)
{
    juce::AudioBuffer<Sample> buffer;
    juce::MidiBuffer midi;

    return measureBlocks<Sample> (blockSize, options.timing, [&] (Sample* left, Sample* right, int n, long block)
    {
        if (beforeBlock)
            beforeBlock (block);

        Sample* channels[] = { left, right };
        buffer.setDataToReferTo (channels, 2, n);
        processor.processBlock (buffer, midi);
    });
}

void prepareStereo (juce::AudioProcessor& processor, int blockSize, bool isDouble)
{
    juce::AudioProcessor::BusesLayout stereo;
    stereo.inputBuses.add (juce::AudioChannelSet::stereo());
    stereo.outputBuses.add (juce::AudioChannelSet::stereo());
    processor.setBusesLayout (stereo);
    processor.setProcessingPrecision (isDouble ? juce::AudioProcessor::doublePrecision
                                               : juce::AudioProcessor::singlePrecision);
    processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
    processor.prepareToPlay (sampleRate, blockSize);
}

Row olvarRow (const char* path, bool isDouble, int blockSize, bool changing)
{
    Row row;
    row.entry = "Olvar processBlock";
    row.path = path;
    row.precision = precisionName (isDouble);
    row.blockSize = blockSize;
    row.controls = controlsName (changing);
    row.note = "main 0.75, balance 0.5: five bands";
    return row;
}

void runOlvar (juce::AudioProcessor& processor, Row& row, const EntryOptions& options, bool isDouble, bool changing)
{
    prepareStereo (processor, row.blockSize, isDouble);
    OlvarControls controls { findParameter (processor, "Enable"), findParameter (processor, "Level"),
                             findParameter (processor, "Pitch") };

    if (! controls.valid())
    {
        row.note = "parameters Enable, Level, Pitch not found";
        return;
    }

    controls.setSteady();
    const auto beforeBlock = [&] (long block) { controls.beforeBlock (changing, block); };

    row.result = isDouble ? timeProcessor<double> (processor, options, row.blockSize, beforeBlock)
                          : timeProcessor<float> (processor, options, row.blockSize, beforeBlock);
    row.measured = true;
    processor.releaseResources();
}

std::unique_ptr<juce::AudioPluginInstance> loadPlugin (juce::AudioPluginFormat& format, const juce::String& identifier,
                                                       int blockSize, juce::String& error)
{
    juce::OwnedArray<juce::PluginDescription> found;
    format.findAllTypesForFile (found, identifier);

    if (found.isEmpty())
    {
        error = "not found: " + identifier;
        return nullptr;
    }

    auto instance = format.createInstanceFromDescription (*found[0], sampleRate, blockSize, error);

    if (instance == nullptr && error.isEmpty())
        error = "could not be instantiated";

    return instance;
}

//==============================================================================
// Peers, hosted as LV2. Each setting is given as the text the host would type, so enumerated
// ports take their labels and the others their plain values. JUCE names the ports "sym:<symbol>";
// their enable ports stay at their default (on), since JUCE presents them as a bypass switch.
struct PeerSetting
{
    const char* port;
    const char* text;
};

struct Peer
{
    const char* entry;
    const char* uri;
    std::vector<PeerSetting> settings;
    const char* note;
};

// Q of a peaking band as a bandwidth in octaves: 2/ln2 * asinh (1 / 2Q).
std::vector<Peer> peers()
{
    return {
        { "x42 fil4 (stereo)", "http://gareus.org/oss/lv2/fil4#stereo",
          { { "HighPass", "0" }, { "LowPass", "0" }, { "HSsec", "0" },
            { "LSsec", "1" }, { "LSfreq", "25" }, { "LSgain", "-4" },
            { "sec1", "1" }, { "freq1", "68" }, { "q1", "0.1556" }, { "gain1", "2.5" },
            { "sec2", "1" }, { "freq2", "128" }, { "q2", "1.7403" }, { "gain2", "3" },
            { "sec3", "1" }, { "freq3", "6000" }, { "q3", "0.3673" }, { "gain3", "1.5" },
            { "sec4", "1" }, { "freq4", "8000" }, { "q4", "1.7403" }, { "gain4", "3" } },
          "low shelf 25 Hz -4 dB; peaks 68 Hz +2.5, 128 Hz +3, 6 kHz +1.5, 8 kHz +3 dB; high shelf, high/low pass off" },
        { "LSP para_equalizer_x16_stereo", "http://lsp-plug.in/plugins/lv2/para_equalizer_x16_stereo",
          { { "mode", "IIR" }, { "fft", "Off" },
            { "ft_0", "Lo-shelf" }, { "fm_0", "RLC (BT)" }, { "f_0", "20" }, { "g_0", "0.630957" }, { "q_0", "0.7071" },
            { "ft_1", "Bell" }, { "fm_1", "RLC (BT)" }, { "f_1", "128" }, { "g_1", "1.412538" }, { "q_1", "0.7794" },
            { "ft_2", "Bell" }, { "fm_2", "RLC (BT)" }, { "f_2", "8000" }, { "g_2", "1.412538" }, { "q_2", "0.7794" },
            { "ft_3", "Bell" }, { "fm_3", "RLC (BT)" }, { "f_3", "68" }, { "g_3", "1.333521" }, { "q_3", "9.2723" },
            { "ft_4", "Bell" }, { "fm_4", "RLC (BT)" }, { "f_4", "6000" }, { "g_4", "1.188502" }, { "q_4", "3.9239" } },
          "IIR mode, 5 of 16 bands: shelf 20 Hz -4 dB; bells 128 Hz +3, 8 kHz +3, 68 Hz +2.5, 6 kHz +1.5 dB; FFT analysis off" },
    };
}

void runPeer (juce::LV2PluginFormat& format, const Peer& peer, Row& row, const EntryOptions& options, std::ostream& log)
{
    juce::String error;
    auto instance = loadPlugin (format, peer.uri, row.blockSize, error);

    if (instance == nullptr)
    {
        row.note = ("JUCE's LV2 host cannot load it: " + error).toStdString();
        return;
    }

    prepareStereo (*instance, row.blockSize, false);
    juce::StringArray missing;

    for (const auto& setting : peer.settings)
    {
        if (auto* parameter = findParameter (*instance, setting.port))
            parameter->setValue (parameter->getValueForText (setting.text));
        else
            missing.add (setting.port);
    }

    if (! missing.isEmpty())
    {
        juce::StringArray offered;

        for (auto* parameter : instance->getParameters())
            if (auto* hosted = dynamic_cast<juce::AudioPluginInstance::HostedParameter*> (parameter))
                offered.add (hosted->getParameterID() + " (" + parameter->getName (40) + ")");

        row.note = ("ports not found: " + missing.joinIntoString (", ") + "; it offers " + offered.joinIntoString (", ")).toStdString();
        return;
    }

    row.note = peer.note;
    row.result = timeProcessor<float> (*instance, options, row.blockSize, {});
    row.measured = true;

    // What the plug-in reports back, so a setting it refused shows in the log.
    if (row.blockSize == options.blockSizes.front())
    {
        log << "  " << peer.entry << " settings as reported:";

        for (const auto& setting : peer.settings)
            if (auto* parameter = findParameter (*instance, setting.port))
                log << " " << setting.port << "=" << parameter->getText (parameter->getValue(), 32);

        log << "\n";
    }

    instance->releaseResources();
}

//==============================================================================
// JUCE's own IIR filters with Olvar's coefficients: one filter per channel and band, each
// band run over the whole block before the next.
class JuceIirCascade
{
public:
    explicit JuceIirCascade (const SectionCoefficients (&c)[CDSP::numBands])
    {
        for (int s = 0; s < CDSP::numBands; ++s)
        {
            auto coefficients = new juce::dsp::IIR::Coefficients<double> (c[s].b0, c[s].b1, c[s].b2, 1.0, c[s].a1, c[s].a2);

            for (auto& channel : filters)
                channel[s].coefficients = coefficients;
        }

        juce::dsp::ProcessSpec processSpec { sampleRate, 512, 1 };

        for (auto& channel : filters)
            for (auto& filter : channel)
                filter.prepare (processSpec);
    }

    void process (double* left, double* right, int n)
    {
        double* channels[] = { left, right };

        for (int c = 0; c < 2; ++c)
        {
            juce::dsp::AudioBlock<double> block (channels + c, 1, (size_t) n);
            juce::dsp::ProcessContextReplacing<double> context (block);

            for (auto& filter : filters[c])
                filter.process (context);
        }
    }

private:
    juce::dsp::IIR::Filter<double> filters[2][CDSP::numBands];
};
} // namespace

std::vector<Row> runAllEntries (const EntryOptions& options, std::ostream& log)
{
    std::vector<Row> rows;
    SectionCoefficients coefficients[CDSP::numBands];
    olvarCoefficients (coefficients);

    const auto progress = [&] (const Row& row)
    {
        log << "  " << row.entry << ", " << row.path << ", " << row.precision << ", block " << row.blockSize
            << ", " << row.controls << (row.measured ? "" : ": not measured") << "\n";
        log.flush();
    };

    // Olvar in process.
    for (const auto isDouble : { true, false })
        for (const auto blockSize : options.blockSizes)
            for (const auto changing : { false, true })
            {
                auto row = olvarRow ("in process", isDouble, blockSize, changing);
                OlvarAudioProcessor processor;
                runOlvar (processor, row, options, isDouble, changing);
                progress (row);
                rows.push_back (row);
            }

    // Olvar through its VST3 bundle, loaded as a JUCE host loads it.
    juce::VST3PluginFormat vst3;

    for (const auto isDouble : { true, false })
        for (const auto blockSize : options.blockSizes)
            for (const auto changing : { false, true })
            {
                auto row = olvarRow ("VST3", isDouble, blockSize, changing);
                juce::String error;

                if (auto instance = loadPlugin (vst3, options.vst3Bundle, blockSize, error))
                {
                    if (isDouble && ! instance->supportsDoublePrecisionProcessing())
                        row.note = "the bundle does not offer double precision";
                    else
                        runOlvar (*instance, row, options, isDouble, changing);
                }
                else
                {
                    row.note = "cannot load " + options.vst3Bundle + ": " + error.toStdString();
                }

                progress (row);
                rows.push_back (row);
            }

    // The floor and JUCE's cascade, both with Olvar's coefficients.
    const auto measureCascade = [&] (auto cascade, const char* entry, const char* note)
    {
        for (const auto blockSize : options.blockSizes)
        {
            Row row;
            row.entry = entry;
            row.path = "in process";
            row.precision = "double";
            row.blockSize = blockSize;
            row.controls = "steady";
            row.note = note;
            row.result = measureBlocks<double> (blockSize, options.timing, [&] (double* l, double* r, int n, long)
            {
                cascade.process (l, r, n);
            });
            row.measured = true;
            progress (row);
            rows.push_back (row);
        }
    };

    measureCascade (FloorCascade (coefficients), "floor: TDF-II cascade",
                    "same 5 sections and coefficients; both channels in one SSE2 register; no cleaning");
    measureCascade (JuceIirCascade (coefficients), "JUCE dsp::IIR::Filter cascade",
                    "same 5 sections and coefficients; one filter per channel and band");

    // Peers.
    juce::LV2PluginFormat lv2;

    for (const auto& peer : peers())
        for (const auto blockSize : options.blockSizes)
        {
            Row row;
            row.entry = peer.entry;
            row.path = "LV2";
            row.precision = "single";
            row.blockSize = blockSize;
            row.controls = "steady";
            runPeer (lv2, peer, row, options, log);
            progress (row);
            rows.push_back (row);
        }

    return rows;
}
} // namespace olvarbench

#include "Memory.h"

#include "PluginProcessor.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <cmath>
#include <memory>
#include <vector>

#include <dlfcn.h>
#include <unistd.h>

namespace juce
{
// JUCE's own message dispatch on Linux; MessageManager only exposes it for modal loops.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

namespace olvarbench
{
namespace
{
long residentKilobytes()
{
    long pages = 0, resident = 0;

    if (auto* file = std::fopen ("/proc/self/statm", "r"))
    {
        if (std::fscanf (file, "%ld %ld", &pages, &resident) != 2)
            resident = 0;

        std::fclose (file);
    }

    return resident * (long) (sysconf (_SC_PAGESIZE) / 1024);
}

void pumpMessages (int milliseconds)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) milliseconds;

    do
    {
        while (juce::dispatchNextMessageOnSystemQueue (true)) {}
        juce::Thread::sleep (1);
    }
    while (juce::Time::getMillisecondCounter() < end);
}

// Xvfb runs without a window manager, so window-manager atoms JUCE looks up "only if they
// exist" are missing and some property changes fail. JUCE leaves X errors to the host in a
// plug-in build; the probe is the host here, as the tests' main is for the tests.
void ignoreXErrors()
{
    if (auto* x11 = dlopen ("libX11.so.6", RTLD_NOW | RTLD_GLOBAL))
    {
        using Handler = int (*) (void*, void*);
        using SetHandler = Handler (*) (Handler);

        if (auto setHandler = reinterpret_cast<SetHandler> (dlsym (x11, "XSetErrorHandler")))
            setHandler ([] (void*, void*) { return 0; });
    }
}

struct Instance
{
    std::unique_ptr<juce::AudioProcessor> processor;
    std::unique_ptr<juce::AudioProcessorEditor> editor;
};

std::unique_ptr<juce::AudioProcessor> makeInstance (bool viaVst3, const std::string& bundle)
{
    if (! viaVst3)
        return std::make_unique<OlvarAudioProcessor>();

    juce::VST3PluginFormat format;
    juce::OwnedArray<juce::PluginDescription> found;
    format.findAllTypesForFile (found, bundle);

    if (found.isEmpty())
        return nullptr;

    juce::String error;
    return format.createInstanceFromDescription (*found[0], 48000.0, 512, error);
}

// Prepared and run for a few blocks, so buffers a host would cause to exist do exist.
void exercise (juce::AudioProcessor& processor)
{
    processor.setRateAndBufferSizeDetails (48000.0, 512);
    processor.prepareToPlay (48000.0, 512);
    juce::AudioBuffer<float> buffer (2, 512);
    juce::MidiBuffer midi;

    for (int block = 0; block < 4; ++block)
    {
        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < 512; ++i)
                buffer.setSample (c, i, 0.1f * (float) std::sin (0.05 * (i + 512 * block)));

        processor.processBlock (buffer, midi);
    }
}

bool openEditor (Instance& instance)
{
    instance.editor.reset (instance.processor->createEditorIfNeeded());

    if (instance.editor == nullptr)
        return false;

    instance.editor->addToDesktop (0);
    instance.editor->setVisible (true);
    return true;
}
} // namespace

int memoryProbe (const std::string& variant, const std::string& bundle, int count)
{
    const bool viaVst3 = variant.rfind ("vst3", 0) == 0;
    const bool withEditors = variant.find ("editors") != std::string::npos;

    if (withEditors)
        ignoreXErrors();

    juce::ScopedJuceInitialiser_GUI juceInitialiser;
    pumpMessages (50);

    std::vector<Instance> instances;
    instances.reserve ((size_t) count);
    const long before = residentKilobytes();
    long afterFirst = 0;

    for (int i = 0; i < count; ++i)
    {
        Instance instance;
        instance.processor = makeInstance (viaVst3, bundle);

        if (instance.processor == nullptr)
        {
            std::cerr << "cannot create an instance\n";
            return 1;
        }

        exercise (*instance.processor);

        if (withEditors && ! openEditor (instance))
        {
            std::cerr << "cannot open an editor\n";
            return 1;
        }

        instances.push_back (std::move (instance));

        if (withEditors)
            pumpMessages (20); // let it paint once, as a host's window would

        if (i == 0)
            afterFirst = residentKilobytes();
    }

    pumpMessages (200);
    const long afterAll = residentKilobytes();
    std::cout << "rss-kB " << before << " " << afterFirst << " " << afterAll << std::endl;

    for (auto& instance : instances)
        instance.editor.reset();

    pumpMessages (50);
    instances.clear();
    return 0;
}

int reportMemory (const std::string& self, const std::string& bundle, int count, std::ostream& out)
{
    const bool haveDisplay = std::getenv ("DISPLAY") != nullptr;

    out << "Resident memory, " << count << " instances in one process (each prepared at 48 kHz / 512 and run for 4 blocks)\n"
        << std::left << std::setw (28) << "variant" << std::right << std::setw (12) << "before kB"
        << std::setw (14) << "+first kB" << std::setw (16) << "per further kB" << std::setw (14) << "total kB" << "\n";

    for (const char* variant : { "in-process", "in-process+editors", "vst3", "vst3+editors" })
    {
        out << std::left << std::setw (28) << variant << std::right;

        if (std::string (variant).find ("editors") != std::string::npos && ! haveDisplay)
        {
            out << "  (needs a display: run under xvfb-run)\n";
            continue;
        }

        juce::ChildProcess child;
        juce::StringArray command { juce::String (self), "--memory-probe", variant, "--instances", juce::String (count),
                                    "--vst3", juce::String (bundle) };

        if (! child.start (command, juce::ChildProcess::wantStdOut))
        {
            out << "  (could not start the probe)\n";
            continue;
        }

        const auto text = child.readAllProcessOutput();
        const auto tokens = juce::StringArray::fromTokens (text.fromFirstOccurrenceOf ("rss-kB", false, false).trim(), false);

        if (! text.contains ("rss-kB") || tokens.size() < 3)
        {
            out << "  (probe failed: " << text.trim() << ")\n";
            continue;
        }

        const auto before = tokens[0].getLargeIntValue();
        const auto first = tokens[1].getLargeIntValue();
        const auto all = tokens[2].getLargeIntValue();
        const auto perFurther = count > 1 ? (double) (all - first) / (count - 1) : 0.0;

        out << std::setw (12) << before << std::setw (14) << (first - before) << std::setw (16) << std::fixed
            << std::setprecision (1) << perFurther << std::setw (14) << all << "\n";
    }

    return 0;
}
} // namespace olvarbench

// Loads an Olvar VST3 bundle through JUCE's VST3 hosting, as a host would, and prints
// what the host sees: identity, buses and parameters.

#include <juce_audio_processors/juce_audio_processors.h>

#include <cstdlib>
#include <iostream>

namespace
{
void printUsage()
{
    std::cout << "usage: olvar-info [path/to/Olvar.vst3]\n"
                 "Loads the bundle (default: ~/.vst3/Olvar.vst3) as a VST3 host does and prints its identity and parameters.\n";
}

int fail (const juce::String& message)
{
    std::cerr << "olvar-info: " << message << "\n";
    return 1;
}
} // namespace

int main (int argc, char** argv)
{
    // Inspecting the plug-in should not ask the internet about updates: its check goes
    // to a closed loopback port unless the caller chose an endpoint.
    setenv ("OLVAR_UPDATE_ENDPOINT", "http://127.0.0.1:9/olvar_update.php", 0);

    juce::ScopedJuceInitialiser_GUI juceInitialiser;

    if (argc > 2 || (argc == 2 && (juce::String (argv[1]) == "-h" || juce::String (argv[1]) == "--help")))
    {
        printUsage();
        return argc > 2 ? 2 : 0;
    }

    const auto bundle = argc == 2 ? juce::File::getCurrentWorkingDirectory().getChildFile (argv[1])
                                  : juce::File ("~/.vst3/Olvar.vst3");

    if (! bundle.exists())
        return fail ("no plug-in bundle at " + bundle.getFullPathName());

    juce::VST3PluginFormat format;
    juce::OwnedArray<juce::PluginDescription> descriptions;
    format.findAllTypesForFile (descriptions, bundle.getFullPathName());

    if (descriptions.isEmpty())
        return fail (bundle.getFullPathName() + " is not a loadable VST3 plug-in");

    const auto& description = *descriptions[0];
    juce::String error;
    const auto instance = format.createInstanceFromDescription (description, 48000.0, 512, error);

    if (instance == nullptr)
        return fail ("cannot create " + description.name + ": " + error);

    std::cout << "Plug-in:      " << description.name << " (" << description.pluginFormatName << ")\n"
              << "Vendor:       " << description.manufacturerName << "\n"
              << "Version:      " << description.version << "\n"
              << "Category:     " << description.category << "\n"
              << "Identifier:   " << description.createIdentifierString() << "\n"
              << "Bundle:       " << bundle.getFullPathName() << "\n"
              << "Channels:     " << description.numInputChannels << " in, " << description.numOutputChannels << " out\n"
              << "Precision:    " << (instance->supportsDoublePrecisionProcessing() ? "single and double" : "single") << "\n"
              << "Parameters:\n";

    for (auto* parameter : instance->getParameters())
        std::cout << "  " << parameter->getParameterIndex() << "  " << parameter->getName (100).paddedRight (' ', 8)
                  << " default " << parameter->getText (parameter->getDefaultValue(), 100) << "\n";

    return 0;
}

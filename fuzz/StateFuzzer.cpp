// libFuzzer target: any bytes through OlvarAudioProcessor::setStateInformation. After each
// input every parameter must be in range, and the state written must read back to itself.

#include "PluginProcessor.h"

#include <cstdlib>
#include <cstring>

namespace
{
OlvarAudioProcessor* processor = nullptr;

[[noreturn]] void fail (const char* what)
{
    fprintf (stderr, "state fuzzer: %s\n", what);
    abort();
}
} // namespace

extern "C" int LLVMFuzzerInitialize (int*, char***);
extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    // The processor's update check must stay on this machine: a closed loopback port.
    setenv ("OLVAR_UPDATE_ENDPOINT", "http://127.0.0.1:9/olvar_update.php", 1);
    setenv ("no_proxy", "*", 1);
    processor = new OlvarAudioProcessor();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    if (size > (size_t) std::numeric_limits<int>::max())
        return 0;

    // Each input starts from the defaults, so a crash reproduces from its input alone.
    processor->enableParam->setValueNotifyingHost (1.0f);
    processor->mainParam->setValueNotifyingHost (0.5f);
    processor->pitchParam->setValueNotifyingHost (0.5f);

    // A copy of exactly the input's size, so reading past it is caught.
    std::unique_ptr<uint8_t[]> copy (new uint8_t[size]);
    if (size > 0)
        std::memcpy (copy.get(), data, size);

    processor->setStateInformation (copy.get(), (int) size);

    for (auto* parameter : processor->getParameters())
    {
        const auto value = parameter->getValue();

        if (! (value >= 0.0f && value <= 1.0f))
            fail ("a parameter left its range");
    }

    if (! std::isfinite (processor->mainParam->get()) || ! std::isfinite (processor->pitchParam->get()))
        fail ("a parameter is not a number");

    juce::MemoryBlock first, second;
    processor->getStateInformation (first);
    processor->setStateInformation (first.getData(), (int) first.getSize());
    processor->getStateInformation (second);

    if (first != second)
        fail ("the written state does not read back to itself");

    return 0;
}

#include "StateBlock.h"

#include "FloatTolerance.h"

namespace olvar
{
namespace
{
const juce::Identifier rootTag ("MYPLUGINSETTINGS");
const juce::Identifier enableAttribute ("dbEnable");
const juce::Identifier mainAttribute ("dbMain");
const juce::Identifier pitchAttribute ("dbPitch");

// A value that is not a number reads as 0, as any other text that is not a number does;
// a NaN must never reach a parameter.
double readNumber (const juce::XmlElement& xml, const juce::Identifier& name, double currentValue)
{
    const auto value = xml.getDoubleAttribute (name, currentValue);
    return std::isnan (value) ? 0.0 : value;
}

void restoreFloat (juce::AudioParameterFloat& parameter, const juce::XmlElement& xml, const juce::Identifier& name)
{
    const auto newValue = (float) readNumber (xml, name, (double) parameter.get());

    if (! approximatelyEqualFloat (parameter.get(), newValue))
        parameter.setValueNotifyingHost (parameter.convertTo0to1 (newValue));
}
} // namespace

void writeStateBlock (juce::MemoryBlock& destData, const StateParameters& parameters)
{
    juce::XmlElement xml (rootTag);
    xml.setAttribute (enableAttribute, parameters.enable.get() ? 1 : 0);
    xml.setAttribute (mainAttribute, (double) parameters.main.get());
    xml.setAttribute (pitchAttribute, (double) parameters.pitch.get());

    juce::AudioProcessor::copyXmlToBinary (xml, destData);
}

void restoreStateBlock (const void* data, int sizeInBytes, const StateParameters& parameters)
{
    const auto xml = juce::AudioProcessor::getXmlFromBinary (data, sizeInBytes);

    if (xml == nullptr || ! xml->hasTagName (rootTag))
        return;

    const auto enabled = readNumber (*xml, enableAttribute, parameters.enable.get() ? 1.0 : 0.0) != 0.0;

    if (enabled != parameters.enable.get())
        parameters.enable.setValueNotifyingHost (enabled ? 1.0f : 0.0f);

    restoreFloat (parameters.main, *xml, mainAttribute);
    restoreFloat (parameters.pitch, *xml, pitchAttribute);
}

} // namespace olvar

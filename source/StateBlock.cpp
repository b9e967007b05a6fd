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

// Whether the block's text (what JUCE's getXmlFromBinary would parse) is safe to give JUCE 7's
// XML parser, which reads past the end of text that ends in a cut UTF-8 character and loops
// forever on a processing instruction inside an element ("<E><??>>"). So the text must be
// valid UTF-8, and "<?" may only open it (the XML declaration). Such text is never
// well-formed settings anyway.
bool isSafeToParse (const void* data, int sizeInBytes)
{
    if (sizeInBytes <= 8)
        return true; // getXmlFromBinary ignores it without reading the text

    const auto* bytes = static_cast<const uint8_t*> (data);
    const auto declared = (int32_t) juce::ByteOrder::littleEndianInt (bytes + 4);
    const auto length = (size_t) juce::jlimit (0, sizeInBytes - 8, declared);
    const auto* text = bytes + 8;
    bool contentSeen = false;

    for (size_t i = 0; i < length && text[i] != 0;)
    {
        const auto lead = text[i];

        if (lead == '<' && i + 1 < length && text[i + 1] == '?' && contentSeen)
            return false;

        contentSeen = contentSeen || ! juce::CharacterFunctions::isWhitespace ((char) lead);

        const size_t extra = lead < 0x80 ? 0 : (lead & 0xe0) == 0xc0 ? 1 : (lead & 0xf0) == 0xe0 ? 2 : (lead & 0xf8) == 0xf0 ? 3 : 4;

        if (extra == 4 || i + extra >= length)
            return false;

        for (size_t k = 1; k <= extra; ++k)
            if ((text[i + k] & 0xc0) != 0x80)
                return false;

        i += extra + 1;
    }

    return true;
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
    if (! isSafeToParse (data, sizeInBytes))
        return;

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

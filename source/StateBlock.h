#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

namespace olvar
{

// The saved state: "VC2!", the text length, a single-line XML element
// <MYPLUGINSETTINGS dbEnable=".." dbMain=".." dbPitch=".."/>, and a zero byte.
struct StateParameters
{
    juce::AudioParameterBool& enable;
    juce::AudioParameterFloat& main;
    juce::AudioParameterFloat& pitch;
};

void writeStateBlock (juce::MemoryBlock& destData, const StateParameters& parameters);

// Malformed blocks are ignored; attributes that are missing keep their parameter's value.
// Only values that really change are sent to the host.
void restoreStateBlock (const void* data, int sizeInBytes, const StateParameters& parameters);

} // namespace olvar

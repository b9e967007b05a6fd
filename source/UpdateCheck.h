#pragma once

#include <juce_core/juce_core.h>

namespace olvar
{

// The address asked whether a newer version exists: the build's endpoint, unless the
// OLVAR_UPDATE_ENDPOINT environment variable names another (a mirror, or a test server).
juce::String getUpdateEndpoint();

// One blocking request: GET endpoint?v=version. True only when the server answered 202,
// which means a newer version exists; every failure gives false. Never call it on the
// message or audio thread.
bool isNewerVersionAvailable (const juce::String& endpoint, const juce::String& version);

} // namespace olvar

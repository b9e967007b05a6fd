#include "UpdateCheck.h"

#include <cstdlib>

namespace olvar
{

juce::String getUpdateEndpoint()
{
    if (const auto* fromEnvironment = std::getenv ("OLVAR_UPDATE_ENDPOINT"); fromEnvironment != nullptr && *fromEnvironment != 0)
        return juce::String::fromUTF8 (fromEnvironment);

    return OLVAR_UPDATE_ENDPOINT;
}

bool isNewerVersionAvailable (const juce::String& endpoint, const juce::String& version)
{
    constexpr int connectionTimeoutMs = 3000;
    constexpr int newerVersionStatus = 202;

    const juce::URL url (endpoint + "?v=" + version);
    int statusCode = 0;

    const auto options = juce::URL::InputStreamOptions (juce::URL::ParameterHandling::inAddress)
                             .withConnectionTimeoutMs (connectionTimeoutMs)
                             .withStatusCode (&statusCode);

    // Only the status line matters: the answer's body is never read.
    const auto stream = url.createInputStream (options);
    return stream != nullptr && statusCode == newerVersionStatus;
}

} // namespace olvar

#include <juce_events/juce_events.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "IgnoreXErrors.h"

// Every processor a test creates, in process or inside a loaded bundle, asks this
// endpoint unless a test names its own: a closed loopback port, refused at once.
// Proxies are switched off so loopback requests never leave the machine.
int main (int argc, char** argv)
{
    setenv ("OLVAR_UPDATE_ENDPOINT", "http://127.0.0.1:9/olvar_update.php", 1);

    for (const auto* name : { "http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "all_proxy" })
        unsetenv (name);

    setenv ("no_proxy", "*", 1);

    ::testing::InitGoogleTest (&argc, argv);
    ignoreXErrors();
    juce::ScopedJuceInitialiser_GUI juce;
    return RUN_ALL_TESTS();
}

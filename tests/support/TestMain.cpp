#include <juce_events/juce_events.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include <dlfcn.h>

namespace
{
// Xvfb runs without a window manager, so window-manager atoms that JUCE looks up "only if
// they exist" are missing and some property changes fail. JUCE ignores X errors in its own
// apps but leaves that to the host in a plug-in; here the tests are the host.
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
} // namespace

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

#pragma once

#include <dlfcn.h>

// Xvfb runs without a window manager, so window-manager atoms that JUCE looks up "only if
// they exist" are missing and some property changes fail. JUCE ignores X errors in its own
// apps but leaves that to the host in a plug-in; here the program is the host.
inline void ignoreXErrors()
{
    if (auto* x11 = dlopen ("libX11.so.6", RTLD_NOW | RTLD_GLOBAL))
    {
        using Handler = int (*) (void*, void*);
        using SetHandler = Handler (*) (Handler);

        if (auto setHandler = reinterpret_cast<SetHandler> (dlsym (x11, "XSetErrorHandler")))
            setHandler ([] (void*, void*) { return 0; });
    }
}

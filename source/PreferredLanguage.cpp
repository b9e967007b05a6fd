#include "PreferredLanguage.h"

#if JUCE_MAC
 #include <CoreFoundation/CoreFoundation.h>
#else
 #include <cstdlib>
#endif

namespace olvar
{

juce::String getPreferredLanguage()
{
   #if JUCE_MAC
    juce::String language;

    if (auto languages = CFLocaleCopyPreferredLanguages())
    {
        if (CFArrayGetCount (languages) > 0)
            language = juce::String::fromCFString ((CFStringRef) CFArrayGetValueAtIndex (languages, 0));

        CFRelease (languages);
    }

    return language;
   #else
    for (const auto* variable : { "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG" })
    {
        const auto* raw = std::getenv (variable);
        const auto value = raw != nullptr ? juce::String::fromUTF8 (raw) : juce::String();

        // LANGUAGE is a colon-separated priority list.
        if (const auto first = value.upToFirstOccurrenceOf (":", false, false); first.isNotEmpty())
            return first;
    }

    return {};
   #endif
}

} // namespace olvar

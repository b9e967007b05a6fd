#pragma once

#include <juce_core/juce_core.h>

namespace olvar
{

// The user's first preferred language code ("ja-JP", "zh-Hans-CN", "en_GB.UTF-8"...), or an
// empty string when the system names none. Only its first two characters are used.
// macOS: CoreFoundation's preferred-language list; elsewhere the first of LANGUAGE,
// LC_ALL, LC_MESSAGES and LANG that is set, as gettext reads them.
juce::String getPreferredLanguage();

} // namespace olvar

#pragma once

#include <cmath>
#include <limits>

namespace olvar
{

// Float equality within the default tolerance of JUCE 8's juce::approximatelyEqual:
// absolute: the smallest normal float; relative: float epsilon of the larger magnitude.
// Non-finite values compare exactly. JUCE 7's own version differs (it uses the signed
// maximum and no exact path), so parameter writes use this one.
inline bool approximatelyEqualFloat (float a, float b) noexcept
{
    if (! (std::isfinite (a) && std::isfinite (b)))
        return a == b;

    const auto difference = std::abs (a - b);

    return difference <= std::numeric_limits<float>::min()
        || difference <= std::numeric_limits<float>::epsilon() * std::max (std::abs (a), std::abs (b));
}

} // namespace olvar

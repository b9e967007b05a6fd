// Every rate the plug-in may meet: an impulse through the full cascade dies away. The 1e-8
// flush can leave a resonant low band in a small limit cycle while the input is not flagged
// silent (about -120 dB at 44.1 kHz, -86 dB at 384 kHz, where a sample moves least); a silent
// block clears it, so the test asks for the decay below -80 dB.

#include "CDSP.h"

#include <gtest/gtest.h>

#include <cmath>

TEST (ImpulseDecay, EveryRateAndExtremeSettingDecaysToSilence)
{
    for (const auto rate : { 8000.0, 11025.0, 16000.0, 22050.0, 44100.0, 48000.0, 96000.0, 192000.0, 384000.0 })
        for (const auto main : { 0.0, 1.0 })
            for (const auto pitch : { 0.0, 0.5, 1.0 })
            {
                CDSP dsp;
                dsp.reset();

                double left = 0.0, right = 0.0, peak = 0.0, tail = 0.0;
                const auto length = (int) (3.0 * rate);

                for (int i = 0; i < length; ++i)
                {
                    const auto input = i == 0 ? 1.0 : 0.0;
                    dsp.DoProcess (input, -input, &left, &right, rate, main, pitch, false, false);
                    peak = std::max ({ peak, std::abs (left), std::abs (right) });

                    if (i >= length - (int) (rate / 10.0))
                        tail = std::max ({ tail, std::abs (left), std::abs (right) });
                }

                EXPECT_TRUE (std::isfinite (peak) && peak < 4.0) << rate << " Hz, m " << main << ", p " << pitch << ": peak " << peak;
                EXPECT_LT (tail, 1.0e-4) << rate << " Hz, m " << main << ", p " << pitch << ": still ringing after 3 s";
            }
}

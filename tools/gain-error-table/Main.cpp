// Prints how far each band's coefficients miss their intended gain, for the mixed-precision
// design alone ("before") and for the design the engine actually uses ("after", which falls
// back to double precision past the allowed error). Shelf: gain at DC. Peaking: gain at the
// centre frequency.

#include "CDSP.h"

#include <cmath>
#include <cstdio>
#include <initializer_list>

namespace
{
    using namespace bandDesign;

    struct BandRow
    {
        int band;
        const char* name;
        double gains[4];
    };

    const BandRow bandRows[] = {
        { band20Hz, "20 Hz shelf", { -0.5, -2.0, -4.0, -8.0 } },
        { band128Hz, "128 Hz", { -6.0, -3.0, 3.0, 6.0 } },
        { band8kHz, "8 kHz", { -6.0, -3.0, 3.0, 6.0 } },
        { band68Hz, "68 Hz", { -5.0, -2.5, 2.5, 5.0 } },
        { band6kHz, "6 kHz", { -3.0, -1.5, 1.5, 3.0 } },
    };

    const double rates[] = { 44100.0, 48000.0, 96000.0, 192000.0, 384000.0, 768000.0 };

    double mixedError (int band, double fs, double gainDb)
    {
        const float fsf = static_cast<float> (fs);

        if (band == band20Hz)
            return shelfGainErrorDb (lowShelfMixedPrecision (fsf, static_cast<float> (gainDb)), gainDb);

        const BandConstants constants = bandConstants (band, fsf, defaultWidthOctaves);
        return peakingGainErrorDb (peakingFromPrewarp (constants.k, static_cast<float> (gainDb), constants.q),
                                   constants, gainDb);
    }

    Design engineDesign (int band, double fs, double gainDb)
    {
        if (band == band20Hz)
            return designLowShelf (static_cast<float> (fs), static_cast<float> (gainDb));

        return designPeaking (band, fs, gainDb, defaultWidthOctaves);
    }

    double engineError (int band, double fs, double gainDb, const Design& d)
    {
        if (band == band20Hz)
            return shelfGainErrorDb (d.coeffs, gainDb);

        return peakingGainErrorDb (d.coeffs, piF[band], static_cast<float> (fs), gainDb);
    }

    void printCell (double e)
    {
        if (std::isnan (e))
            std::printf (" wrong sign");
        else
            std::printf (" %+.4f", e);
    }

    // Band gain as the engine forms it from the main control, balance at its centre.
    double bandGain (int band, double m)
    {
        switch (band)
        {
            case band20Hz: return -std::fabs (m * 16.0 - 8.0);
            case band68Hz: return m * 10.0 - 5.0;
            case band6kHz: return m * 6.0 - 3.0;
            default:       return m * 12.0 - 6.0;
        }
    }
}

int main()
{
    std::printf ("Gain error in dB (actual minus intended), before -> after; * marks a double-precision fallback.\n\n");
    std::printf ("| rate (Hz) | band | gain: before -> after | | | |\n");
    std::printf ("|---|---|---|---|---|---|\n");

    for (double fs : rates)
    {
        for (const BandRow& row : bandRows)
        {
            std::printf ("| %.0f | %s", fs, row.name);

            for (double g : row.gains)
            {
                const Design d = engineDesign (row.band, fs, g);
                std::printf (" | %+.1f dB:", g);
                printCell (mixedError (row.band, fs, g));
                std::printf (" ->");
                printCell (engineError (row.band, fs, g, d));
                std::printf ("%s", d.usedDouble ? "*" : "");
            }

            std::printf (" |\n");
        }
    }

    // Worst case over the whole main control range, to show where the fallback is needed.
    std::printf ("\nLargest |error| in dB over m = 0..1 in steps of 0.001 (balance centred):\n\n");
    std::printf ("| rate (Hz) | band | max before | max after | fallbacks |\n");
    std::printf ("|---|---|---|---|---|\n");

    for (double fs : rates)
    {
        for (const BandRow& row : bandRows)
        {
            double worstBefore = 0.0, worstAfter = 0.0;
            int fallbacks = 0;
            bool signFlip = false;

            for (int i = 0; i <= 1000; ++i)
            {
                const double g = bandGain (row.band, i / 1000.0);

                if (g == 0.0)
                    continue;

                const double before = mixedError (row.band, fs, g);
                const Design d = engineDesign (row.band, fs, g);
                const double after = engineError (row.band, fs, g, d);

                if (std::isnan (before))
                    signFlip = true;
                else
                    worstBefore = std::fmax (worstBefore, std::fabs (before));

                worstAfter = std::fmax (worstAfter, std::fabs (after));
                fallbacks += d.usedDouble ? 1 : 0;
            }

            std::printf ("| %.0f | %s | %.4f%s | %.4f | %d |\n", fs, row.name, worstBefore,
                         signFlip ? " (and wrong sign)" : "", worstAfter, fallbacks);
        }
    }

    // Not part of the fallback rule, shown for information: far below a peaking band the gain
    // should be 0 dB, and the float rounding of D shows there first at high rates.
    std::printf ("\nPeaking bands' gain at DC in dB (intended 0), worst over m = 0..1, engine design:\n\n");
    std::printf ("| rate (Hz) | 128 Hz | 8 kHz | 68 Hz | 6 kHz |\n");
    std::printf ("|---|---|---|---|---|\n");

    for (double fs : rates)
    {
        std::printf ("| %.0f", fs);

        for (int band : { band128Hz, band8kHz, band68Hz, band6kHz })
        {
            double worst = 0.0;

            for (int i = 0; i <= 1000; ++i)
            {
                const double g = bandGain (band, i / 1000.0);
                if (g == 0.0)
                    continue;
                const Coefficients c = engineDesign (band, fs, g).coeffs;
                const double dcDb = 20.0 * std::log10 (std::fabs ((c.b0 + c.b1 + c.b2) / (1.0 + c.a1 + c.a2)));
                if (std::fabs (dcDb) > std::fabs (worst))
                    worst = dcDb;
            }

            std::printf (" | %+.4f", worst);
        }

        std::printf (" |\n");
    }

    return 0;
}

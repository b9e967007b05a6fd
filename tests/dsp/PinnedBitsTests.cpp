// Exact bit patterns of the coefficients and of an impulse response at the common rates,
// taken from the reviewed implementation (whose coefficients agree with the 48 kHz
// reference values). Any change to the arithmetic, its order or its rounding shows up here,
// so optimisations can be checked for bit-exactness.

#include "CDSP.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>

namespace
{
    struct PinnedCase
    {
        double fs, m, p;
        double coeffs[5][5]; // per band: b0, b1, b2, a1, a2
        double impulse[6];   // first-channel response to (1, -0.5) followed by zeros
        double left999, right999; // both channels at sample 999
    };

    void PrintTo (const PinnedCase& c, std::ostream* os)
    {
        *os << "fs " << c.fs << " m " << c.m << " p " << c.p;
    }

    bool sameBits (double a, double b)
    {
        return std::memcmp (&a, &b, sizeof (double)) == 0;
    }

    class PinnedBits : public ::testing::TestWithParam<PinnedCase> {};

    TEST_P (PinnedBits, CoefficientsOfBothChannels)
    {
        const PinnedCase& c = GetParam();
        CDSP dsp;
        double l = 0.0, r = 0.0;
        dsp.DoProcess (1.0, -0.5, &l, &r, c.fs, c.m, c.p, false, false);

        for (int ch = 0; ch < 2; ++ch)
            for (int s = 0; s < 5; ++s)
            {
                const double* got[5] = { &dsp.b0[ch][s], &dsp.b1[ch][s], &dsp.b2[ch][s], &dsp.a1[ch][s], &dsp.a2[ch][s] };
                for (int k = 0; k < 5; ++k)
                    EXPECT_TRUE (sameBits (*got[k], c.coeffs[s][k]))
                        << "fs " << c.fs << " ch " << ch << " band " << s << " coefficient " << k
                        << ": " << *got[k] << " vs " << c.coeffs[s][k];
            }
    }

    TEST_P (PinnedBits, ImpulseResponse)
    {
        const PinnedCase& c = GetParam();
        CDSP dsp;
        double l = 0.0, r = 0.0;
        dsp.DoProcess (1.0, -0.5, &l, &r, c.fs, c.m, c.p, false, false);
        EXPECT_TRUE (sameBits (l, c.impulse[0])) << "sample 0";

        for (int i = 1; i <= 999; ++i)
        {
            dsp.DoProcess (0.0, 0.0, &l, &r, c.fs, c.m, c.p, false, false);

            if (i < 6)
            {
                EXPECT_TRUE (sameBits (l, c.impulse[i])) << "sample " << i;
            }
        }

        EXPECT_TRUE (sameBits (l, c.left999)) << l;
        EXPECT_TRUE (sameBits (r, c.right999)) << r;
    }

    INSTANTIATE_TEST_SUITE_P (
        CommonRates, PinnedBits,
        ::testing::Values (
            PinnedCase { 48000.0, 1.0, 0.5,
                          { { 0x1.ff7228aebf26fp-1, -0x1.fe7fc7f855678p+0, 0x1.fd8e4c8ffc542p-1, -0x1.fe7f7289c8ec8p+0, 0x1.fd01226c52fdp-1 },
                            { 0x1.02b5a33aba52fp+0, -0x1.fa7be83865d91p+0, 0x1.efb0f180c1a6ap-1, -0x1.fa7be83865d91p+0, 0x1.f51c397346cdp-1 },
                            { 0x1.5b000b2deae06p+0, -0x1.49222507329b4p-1, -0x1.1dde71d91e06ap-4, -0x1.49222507329b4p-1, 0x1.24888c65fd92bp-2 },
                            { 0x1.0018778b81f81p+0, -0x1.ffbbec1099085p+0, 0x1.ff514a4c182f5p-1, -0x1.ffbbec1099085p+0, 0x1.ff823ae32ef9fp-1 },
                            { 0x1.08baa665fc398p+0, -0x1.4c1d5741415b1p+0, 0x1.99e75e5369a1bp-1, -0x1.4c1d5741415b1p+0, 0x1.ab5caa24d26ecp-1 } },
                          { 0x1.6a5f778e58091p+0, 0x1.4e57ca5cc9838p-2, -0x1.273bf8586cc6p-2,
                            -0x1.4d8a50ae47175p-2, -0x1.45a21b9a97b29p-3, -0x1.5f00ac54961cp-8 },
                          -0x1.3f74b1675c6ep-11, 0x1.3f74b1675fecfp-12 },
            PinnedCase { 44100.0, 0.2, 0.8,
                          { { 0x1.ffabf821a85fcp-1, -0x1.fea40a4f883d4p+0, 0x1.fd9d2c3894c3ap-1, -0x1.fea3d862efe0dp+0, 0x1.fd498a4dbe6ecp-1 },
                            { 0x1.feef3f82cec49p-1, -0x1.f8f1302846616p+0, 0x1.f31e203057cf5p-1, -0x1.f8f1302846616p+0, 0x1.f20d6139a9a7ap-1 },
                            { 0x1.ae9288e9a1d42p-1, -0x1.c69031b5f9eap-2, 0x1.c5da04271a5c5p-3, -0x1.c69031b5f9eap-2, 0x1.004855a1e59f2p-4 },
                            { 0x1.fff5db390e673p-1, -0x1.ffab461e05999p+0, 0x1.ff6cfca962606p-1, -0x1.ffab461e05999p+0, 0x1.ff62d91d927dfp-1 },
                            { 0x1.f5dd4929aac06p-1, -0x1.2c7f964940d0dp+0, 0x1.9dd4e6795ac7cp-1, -0x1.2c7f964940d0dp+0, 0x1.93b22fa305882p-1 } },
                          { 0x1.a4de2f140c474p-1, -0x1.7d28f94e8b06p-4, 0x1.1cbacc4a6726p-3,
                            0x1.4376df8e9e6a8p-4, 0x1.1bf1f22b709eep-5, 0x1.2e26e958926p-7 },
                          0x1.f03473b80a326p-14, -0x1.f03473b87f01p-15 },
            PinnedCase { 96000.0, 0.1, 0.3,
                          { { 0x1.ffc9f8f1530aap-1, -0x1.ff50b3bffa6bcp+0, 0x1.fed7a7f99451dp-1, -0x1.ff50a4e4b06e5p+0, 0x1.fea1bfa2c6e8ep-1 },
                            { 0x1.fdfd0ee0983fcp-1, -0x1.fb3e8fb4d5dp+0, 0x1.f8892db58c233p-1, -0x1.fb3e8fb4d5dp+0, 0x1.f6863cece491cp-1 },
                            { 0x1.d35f616d42145p-1, -0x1.32741c4a21c47p+0, 0x1.e0b4039d9b4ccp-2, -0x1.32741c4a21c47p+0, 0x1.8772c58081282p-2 },
                            { 0x1.ffed9cdc3b472p-1, -0x1.ffccdee21033ep+0, 0x1.ffaeb94a2d6fp-1, -0x1.ffccdee21033ep+0, 0x1.ff9c5506911a3p-1 },
                            { 0x1.fbbe3710b8e21p-1, -0x1.bf485f220ba2cp+0, 0x1.cc870fe8b37dbp-1, -0x1.bf485f220ba2cp+0, 0x1.c84547c52bc86p-1 } },
                          { 0x1.cd692550859abp-1, -0x1.fcee04c777f7p-4, -0x1.2f08e497b9ep-6,
                            0x1.99c4331eeba94p-6, 0x1.3166feac6d674p-5, 0x1.23e6207011c28p-5 },
                      -0x1.9d7d8e49acf0ap-13, 0x1.9d7d8e49c1cd6p-14 }));
} // namespace

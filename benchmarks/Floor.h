#pragma once

// The floor: five second-order sections as a plain transposed-direct-form-II cascade, both
// channels in one register, no cleaning and no change detection. What a biquad cascade costs
// on this machine when nothing else is asked of it.

#if defined(__SSE2__) || defined(_M_X64)
 #include <emmintrin.h>
#endif

namespace olvarbench
{
struct SectionCoefficients
{
    double b0, b1, b2, a1, a2;
};

class FloorCascade
{
public:
    static constexpr int numSections = 5;

    explicit FloorCascade (const SectionCoefficients (&c)[numSections]) noexcept
    {
        for (int s = 0; s < numSections; ++s)
        {
            b0[s] = splat (c[s].b0);
            b1[s] = splat (c[s].b1);
            b2[s] = splat (c[s].b2);
            na1[s] = splat (-c[s].a1);
            na2[s] = splat (-c[s].a2);
            s1[s] = splat (0.0);
            s2[s] = splat (0.0);
        }
    }

    template <typename Sample>
    void process (Sample* left, Sample* right, int numFrames) noexcept
    {
        V z1[numSections], z2[numSections];

        for (int s = 0; s < numSections; ++s)
        {
            z1[s] = s1[s];
            z2[s] = s2[s];
        }

        for (int i = 0; i < numFrames; ++i)
        {
            V x = pair ((double) left[i], (double) right[i]);

            for (int s = 0; s < numSections; ++s)
            {
                const V y = add (mul (b0[s], x), z1[s]);
                z1[s] = add (add (mul (b1[s], x), mul (na1[s], y)), z2[s]);
                z2[s] = add (mul (b2[s], x), mul (na2[s], y));
                x = y;
            }

            left[i] = (Sample) lo (x);
            right[i] = (Sample) hi (x);
        }

        for (int s = 0; s < numSections; ++s)
        {
            s1[s] = z1[s];
            s2[s] = z2[s];
        }
    }

private:
#if defined(__SSE2__) || defined(_M_X64)
    using V = __m128d;
    static V splat (double v) noexcept { return _mm_set1_pd (v); }
    static V pair (double l, double r) noexcept { return _mm_set_pd (r, l); }
    static V add (V a, V b) noexcept { return _mm_add_pd (a, b); }
    static V mul (V a, V b) noexcept { return _mm_mul_pd (a, b); }
    static double lo (V v) noexcept { return _mm_cvtsd_f64 (v); }
    static double hi (V v) noexcept { return _mm_cvtsd_f64 (_mm_unpackhi_pd (v, v)); }
#else
    struct V { double l, r; };
    static V splat (double v) noexcept { return { v, v }; }
    static V pair (double l, double r) noexcept { return { l, r }; }
    static V add (V a, V b) noexcept { return { a.l + b.l, a.r + b.r }; }
    static V mul (V a, V b) noexcept { return { a.l * b.l, a.r * b.r }; }
    static double lo (V v) noexcept { return v.l; }
    static double hi (V v) noexcept { return v.r; }
#endif

    V b0[numSections], b1[numSections], b2[numSections], na1[numSections], na2[numSections];
    V s1[numSections], s2[numSections];
};
} // namespace olvarbench

#pragma once

#include <cfloat>
#include <cstdint>
#include <cstring>

// Two doubles, one per channel, worked on together: one SSE2 register on x86-64 (SSE2 is part
// of the baseline there), a plain pair elsewhere. Every operation is the same IEEE operation
// per lane as the scalar code, so results are bit-identical to working channel by channel.

#if defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64)
 #include <emmintrin.h>
 #define OLVAR_STEREO_LANES_SSE2 1
#else
 #define OLVAR_STEREO_LANES_SSE2 0
#endif

namespace olvar::lanes
{
#if OLVAR_STEREO_LANES_SSE2
struct Pair
{
    __m128d v;
};

inline Pair make (double left, double right) noexcept { return { _mm_set_pd (right, left) }; }
inline Pair splat (double value) noexcept { return { _mm_set1_pd (value) }; }
inline double left (Pair p) noexcept { return _mm_cvtsd_f64 (p.v); }
inline double right (Pair p) noexcept { return _mm_cvtsd_f64 (_mm_unpackhi_pd (p.v, p.v)); }

inline Pair operator+ (Pair a, Pair b) noexcept { return { _mm_add_pd (a.v, b.v) }; }
inline Pair operator- (Pair a, Pair b) noexcept { return { _mm_sub_pd (a.v, b.v) }; }
inline Pair operator* (Pair a, Pair b) noexcept { return { _mm_mul_pd (a.v, b.v) }; }

// Each lane kept when low <= |v| <= DBL_MAX, else +0: no branch, NaN and infinities fail both tests.
inline Pair keepInRange (Pair v, Pair low) noexcept
{
    const __m128d magnitude = _mm_andnot_pd (_mm_set1_pd (-0.0), v.v);
    const __m128d inRange = _mm_and_pd (_mm_cmpge_pd (magnitude, low.v), _mm_cmple_pd (magnitude, _mm_set1_pd (DBL_MAX)));
    return { _mm_and_pd (v.v, inRange) };
}

// Per lane: a > b ? a : b (what "if (a > max) max = a" leaves in max).
inline Pair greaterOf (Pair a, Pair b) noexcept { return { _mm_max_pd (a.v, b.v) }; }

// Loads and stores of one frame; float samples are widened and rounded exactly as a cast does.
inline Pair load (const double* l, const double* r) noexcept { return { _mm_loadh_pd (_mm_load_sd (l), r) }; }
inline Pair load (const float* l, const float* r) noexcept
{
    return { _mm_cvtps_pd (_mm_unpacklo_ps (_mm_load_ss (l), _mm_load_ss (r))) }; // both widened in one go
}
inline void storeLeft (Pair p, double* l) noexcept { _mm_store_sd (l, p.v); }
inline void storeBoth (Pair p, double* l, double* r) noexcept { _mm_store_sd (l, p.v); _mm_storeh_pd (r, p.v); }
inline void storeLeft (Pair p, float* l) noexcept { *l = (float) left (p); }

inline void storeBoth (Pair p, float* l, float* r) noexcept
{
    const __m128 narrowed = _mm_cvtpd_ps (p.v);
    _mm_store_ss (l, narrowed);
    _mm_store_ss (r, _mm_shuffle_ps (narrowed, narrowed, 1));
}
#else
struct Pair
{
    double l, r;
};

inline Pair make (double left, double right) noexcept { return { left, right }; }
inline Pair splat (double value) noexcept { return { value, value }; }
inline double left (Pair p) noexcept { return p.l; }
inline double right (Pair p) noexcept { return p.r; }

inline Pair operator+ (Pair a, Pair b) noexcept { return { a.l + b.l, a.r + b.r }; }
inline Pair operator- (Pair a, Pair b) noexcept { return { a.l - b.l, a.r - b.r }; }
inline Pair operator* (Pair a, Pair b) noexcept { return { a.l * b.l, a.r * b.r }; }

inline double keepInRange (double v, double low) noexcept
{
    const double magnitude = v < 0.0 ? -v : v;
    return (magnitude >= low && magnitude <= DBL_MAX) ? v : 0.0;
}

inline Pair keepInRange (Pair v, Pair low) noexcept { return { keepInRange (v.l, low.l), keepInRange (v.r, low.r) }; }
inline Pair greaterOf (Pair a, Pair b) noexcept { return { a.l > b.l ? a.l : b.l, a.r > b.r ? a.r : b.r }; }

template <typename Sample>
inline Pair load (const Sample* l, const Sample* r) noexcept { return { (double) *l, (double) *r }; }

template <typename Sample>
inline void storeLeft (Pair p, Sample* l) noexcept { *l = (Sample) p.l; }

template <typename Sample>
inline void storeBoth (Pair p, Sample* l, Sample* r) noexcept { *l = (Sample) p.l; *r = (Sample) p.r; }
#endif

// Whether cleaning leaves v exactly as it is: +0, or a normal finite number.
inline bool isClean (double v) noexcept
{
    std::uint64_t bits;
    std::memcpy (&bits, &v, sizeof bits);
    const double magnitude = v < 0.0 ? -v : v;
    return bits == 0 || (magnitude >= DBL_MIN && magnitude <= DBL_MAX);
}

inline bool sameBits (double a, double b) noexcept
{
    return std::memcmp (&a, &b, sizeof a) == 0;
}
} // namespace olvar::lanes

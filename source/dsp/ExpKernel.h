#pragma once
// A power of two in double precision made only of additions, multiplications and
// bit operations, so that loops over a block of values vectorise. Paired with a
// test that says when its float rounding might differ from the C library's, the
// gain curve can use it on every frame and fall back to the library on the rare
// frames where the two could disagree: the audio keeps the library's bits.
#include "CpuDispatch.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace vrc
{

/** 2^x with a relative error about 1e-12, far below a float's rounding step of
    6e-8, for |x| <= 1000; elsewhere the result is meaningless (but computing it is
    harmless). The range is checked by the caller rather than clamped here: GCC does
    not vectorise a loop with two selects in a row followed by arithmetic. */
inline double exp2Kernel (double x) noexcept
{
    // Adding 1.5 * 2^52 rounds x to an integer k and leaves k in the low mantissa bits.
    constexpr double shifter = 0x1.8p52;
    const double shifted = x + shifter;
    std::uint64_t kBits;
    std::memcpy (&kBits, &shifted, sizeof kBits);
    const double k = shifted - shifter;
    const double f = x - k; // exact, within [-0.5, 0.5]

    // 2^f on [-0.5, 0.5]: interpolation at the nine Chebyshev nodes (error 1.1e-12).
    double p = 0x1.63d136366db24p-20;
    p = p * f + 0x1.00dc4a532fb8ep-16;
    p = p * f + 0x1.4308ac85aa947p-13;
    p = p * f + 0x1.5d8745a728441p-10;
    p = p * f + 0x1.3b2ab7181b755p-7;
    p = p * f + 0x1.c6b08dd6fd234p-5;
    p = p * f + 0x1.ebfbdff823cedp-3;
    p = p * f + 0x1.62e42fef84cf0p-1;
    p = p * f + 1.0;

    // 2^k built directly as a double's exponent field (k + 1023 lies in 23..2023).
    const std::uint64_t scaleBits = (kBits + 1023u) << 52;
    double scale;
    std::memcpy (&scale, &scaleBits, sizeof scale);
    return p * scale;
}

// How far, in float rounding steps, the C library's results may stray from
// exactly rounded ones: its expf is documented within 0.502 steps, its double exp2
// within a double's step (2^-29 of a float's). The kernel's own error (1e-5 steps)
// is added.
constexpr double expfMargin = 0.004;
constexpr double exp2Margin = 0.0001;

/** float(2^x) from the kernel, and a word that is 1 where that float might not be
    the one the library's value rounds to (the caller then asks the library), 0
    where it certainly is. The word is 64 bits wide like the kernel's doubles, so
    vector code never has to narrow it across lanes. */
struct KernelFloat
{
    float value;
    std::uint64_t uncertain;
};

/** exp2Kernel(x) rounded to float, for |x| <= 125 where the float is a normal
    number (the callers check their arguments against that range). Uncertain
    where the double lies within 'margin' float steps of a boundary between two
    floats, so that another computation of the same value, accurate to half a step
    plus that margin, could round to a different float. */
inline KernelFloat exp2AsFloat (double x, double margin) noexcept
{
    const double e = exp2Kernel (x);
    std::uint64_t bits;
    std::memcpy (&bits, &e, sizeof bits);

    // The 29 low mantissa bits of a double are its position within a float step
    // (of its own binade, which also places the boundary just below a power of two
    // right); a boundary sits at 2^28. Near it when 0 <= t < 2 tolerance: the sign
    // bits of t and t - 2 tolerance say so without a compare, all in 64-bit lanes.
    const auto tolerance = static_cast<std::int64_t> (margin * 0x1p29);
    const std::int64_t t = static_cast<std::int64_t> (bits & 0x1FFFFFFFu) - (0x10000000 - tolerance);
    const std::uint64_t near = static_cast<std::uint64_t> (~t & (t - 2 * tolerance)) >> 63;
    return { static_cast<float> (e), near };
}

constexpr double log2OfE = 1.4426950408889634074;
constexpr double log2Of10 = 3.321928094887362347870319;

/** Arguments per call of the passes below at most (their scratch lives on the stack). */
constexpr int expPassFrames = 256;

/** 10^q rounded to float by the library, through a double-precision power of two. */
inline float powerOfTenByLibrary (float q) noexcept
{
    return static_cast<float> (std::exp2 (static_cast<double> (q) * log2Of10));
}

/** out[i] = float(2^(arg[i] scale)) from the kernel for n <= expPassFrames
    arguments; where that float is uncertain, or |arg[i]| exceeds 'limit' (or is
    NaN), and used[i] is set (or used is null), library(arg[i]) instead. The
    loops over all arguments are vector code; the frames redone are rare. */
template <class Library>
VRC_INLINE_PASS void exp2Pass (const float* arg, const int* used, float* out, int n, double scale, double margin,
                               float limit, Library library) noexcept
{
    alignas (32) std::uint64_t uncertain[expPassFrames];
    alignas (32) int outside[expPassFrames];
    std::uint64_t anyUncertain = 0;
    for (int i = 0; i < n; ++i)
    {
        const auto e = exp2AsFloat (static_cast<double> (arg[i]) * scale, margin);
        out[i] = e.value;
        uncertain[i] = e.uncertain;
        anyUncertain |= e.uncertain;
    }
    // The range is checked on the float arguments, 8 to a vector, rather than on
    // the doubles or the kernel's result.
    int anyOutside = 0;
    for (int i = 0; i < n; ++i)
    {
        outside[i] = static_cast<int> (! (std::fabs (arg[i]) <= limit));
        anyOutside |= outside[i];
    }
    if ((anyUncertain != 0) | (anyOutside != 0))
        for (int i = 0; i < n; ++i)
            if (((uncertain[i] != 0) | (outside[i] != 0)) && (used == nullptr || used[i] != 0))
                out[i] = library (arg[i]);
}

/** expf(arg[i]) where used[i] is set, for n <= expPassFrames arguments: the knee's exponentials. */
VRC_INLINE_PASS void exponentialsPass (const float* arg, const int* used, float* out, int n) noexcept
{
    // e^-87 and e^87 are normal floats.
    exp2Pass (arg, used, out, n, log2OfE, expfMargin, 87.0f, [] (float a) { return std::exp (a); });
}

/** powerOfTenByLibrary(q[i]) for n <= expPassFrames values. */
VRC_INLINE_PASS void powersOfTenPass (const float* q, float* out, int n) noexcept
{
    // 10^-37 and 10^37 are normal floats.
    exp2Pass (q, nullptr, out, n, log2Of10, exp2Margin, 37.0f, powerOfTenByLibrary);
}

} // namespace vrc

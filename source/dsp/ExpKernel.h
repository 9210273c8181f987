#pragma once
// A power of two in double precision made of a table lookup, a short polynomial
// and bit operations, so that loops over a block of values vectorise. Paired with a
// test that says when its float rounding might differ from the C library's, the
// gain curve can use it on every frame and fall back to the library on the rare
// frames where the two could disagree: the audio keeps the library's bits.
#include "CpuDispatch.h"
#include "Exp2Steps.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace vrc
{

/** 2^x with a relative error below 1.5e-13, far below a float's rounding step of
    6e-8, for |x| <= 1000; elsewhere the result is meaningless (but computing it is
    harmless: the table index is always in range). The range is checked by the
    caller rather than clamped here: GCC does not vectorise a loop with two selects
    in a row followed by arithmetic. */
inline double exp2Kernel (double x) noexcept
{
    // Adding 1.5 * 2^52 rounds 256 x to an integer n and leaves n in the low
    // mantissa bits: n / 256 = k + j / 256 with j its low 8 bits.
    constexpr double shifter = 0x1.8p52;
    const double shifted = x * 256.0 + shifter;
    std::uint64_t nBits;
    std::memcpy (&nBits, &shifted, sizeof nBits);
    const double r = x - (shifted - shifter) * 0x1p-8; // exact, within [-2^-9, 2^-9]

    // 2^r - 1 by its Taylor polynomial: over so short an interval the first
    // omitted term is below 1.4e-13.
    double p = 0x1.c6b08d704a0c0p-5;
    p = p * r + 0x1.ebfbdff82c58fp-3;
    p = p * r + 0x1.62e42fefa39efp-1;
    p = p * r;
    const double t = exp2Steps[nBits & 255u];
    const double v = t + t * p;

    // Times 2^k by adding k to the exponent field: the shifts keep k's low 12
    // bits, and the addition wraps modulo 2^64, so a negative k subtracts.
    std::uint64_t bits;
    std::memcpy (&bits, &v, sizeof bits);
    bits += (nBits >> 8) << 52;
    double result;
    std::memcpy (&result, &bits, sizeof result);
    return result;
}

// How far, in float rounding steps, the C library's results may stray from
// exactly rounded ones: its expf is documented within 0.502 steps, its double exp2
// within a double's step (2^-29 of a float's). The kernel's own error (3e-6 steps)
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

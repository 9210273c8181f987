#pragma once
// A power of two in double precision made only of additions, multiplications and
// bit operations, so that loops over a block of values vectorise. Paired with a
// test that says when its float rounding might differ from the C library's, the
// gain curve can use it on every frame and fall back to the library on the rare
// frames where the two could disagree: the audio keeps the library's bits.
#include <cmath>
#include <cstdint>
#include <cstring>

namespace vrc
{

/** True where exp2Kernel(x) is meaningful: |x| <= 1000 (so not NaN). */
inline bool exp2KernelCovers (double x) noexcept
{
    return (x >= -1000.0) & (x <= 1000.0); // no short circuit: no branch in vector loops
}

/** 2^x with a relative error about 1e-12, far below a float's rounding step of
    6e-8, where exp2KernelCovers(x); elsewhere the result is meaningless. The range
    is checked by the caller rather than clamped here: GCC does not vectorise a loop
    with two selects in a row followed by arithmetic. */
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

/** True when 'exact', a double close to the true value, lies within 'margin' float
    rounding steps of the boundary between two floats, so that another computation
    of the same value, accurate to half a step plus that margin, could round it to a
    different float than 'rounded' (which is float(exact)). Also true for results that
    are zero, subnormal, infinite or NaN. */
inline bool nearRoundingBoundary (double exact, float rounded, double margin) noexcept
{
    std::uint32_t bits;
    std::memcpy (&bits, &rounded, sizeof bits);
    const std::uint32_t exponentBits = bits & 0x7F800000u;
    float powerOfTwo; // 2^E of the result's binade, as a float
    std::memcpy (&powerOfTwo, &exponentBits, sizeof powerOfTwo);
    // Just below a power of two the floats are twice as dense: the boundary on that
    // side is half as far. (Arithmetic rather than a select keeps the loop vector code.)
    const bool belowPowerOfTwo = ((bits & 0x007FFFFFu) == 0u) & (exact < static_cast<double> (rounded));
    const double halfStep = static_cast<double> (powerOfTwo) * 0x1p-24
                            * (1.0 - 0.5 * static_cast<double> (static_cast<int> (belowPowerOfTwo)));
    const double distance = std::fabs (exact - static_cast<double> (rounded));
    // Non-short-circuit operators: no branches, so loops over blocks stay vector code.
    const bool special = (exponentBits == 0u) | (exponentBits == 0x7F800000u);
    return special | (distance > halfStep * (1.0 - 2.0 * margin));
}

// How far, in float rounding steps, the C library's results may stray from
// exactly rounded ones: its expf is documented within 0.502 steps, its double exp2
// within a double's step (2^-29 of a float's). The kernel's own error (1e-5 steps)
// is added.
constexpr double expfMargin = 0.004;
constexpr double exp2Margin = 0.0001;

/** float(2^x) from the kernel, and whether that float is certainly the one the
    library's value rounds to (otherwise the caller asks the library). */
struct KernelFloat
{
    float value;
    bool certain;
};

inline KernelFloat exp2AsFloat (double x, double margin) noexcept
{
    const double e = exp2Kernel (x);
    const auto rounded = static_cast<float> (e);
    return { rounded, static_cast<bool> (exp2KernelCovers (x) & ! nearRoundingBoundary (e, rounded, margin)) };
}

} // namespace vrc

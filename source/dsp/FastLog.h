#pragma once
// Cheap logarithms used by the decibel transfer curve: a bit-level exponent plus
// a quadratic fit of the mantissa. They are deliberately approximate; the
// approximation error is part of the curve's sound and must not be "fixed".
#include <cstdint>
#include <cstring>

namespace vrc
{

/** Approximate log2 for positive finite v; exact at powers of two. */
inline float fastLog2 (float v) noexcept
{
    std::uint32_t bits;
    std::memcpy (&bits, &v, sizeof bits);
    const auto exponent = static_cast<float> (static_cast<int> ((bits >> 23) & 255u) - 128);

    // Keep sign and mantissa, force the biased exponent to 127: m lies in [1, 2).
    const std::uint32_t mantissaBits = (bits & 0x807FFFFFu) + 0x3F800000u;
    float m;
    std::memcpy (&m, &mantissaBits, sizeof m);

    // The quadratic is evaluated in double and rounded once: that keeps the
    // approximation exact at powers of two (log2(1) is 0, not -6e-8).
    const double md = m;
    const auto q = static_cast<float> (md * (2.0 - md * static_cast<double> (0.3333333432674408f))
                                       - static_cast<double> (0.6666666865348816f));
    return exponent + q;
}

constexpr float fastLogLn2 = 0.6931471824645996f;

/** fastLog2(10) ln 2: dividing by it makes fastLog10(10) exactly 1. */
inline float fastLog10Divisor() noexcept
{
    return fastLog2 (10.0f) * fastLogLn2;
}

/** fastLog10 with its divisor passed in, for loops that must not touch a static. */
inline float fastLog10 (float v, float divisor) noexcept
{
    const float numerator = fastLog2 (v) * fastLogLn2;
    return numerator / divisor;
}

/** log10 built from fastLog2, normalised so that fastLog10(10) is exactly 1. */
inline float fastLog10 (float v) noexcept
{
    static const float divisor = fastLog10Divisor();
    return fastLog10 (v, divisor);
}

} // namespace vrc

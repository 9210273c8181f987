// Exhaustive check that the gain curve's exponentials give the C library's
// floats: every float argument of the knee's expf (-2 pi to 0) and of the power
// of ten (exponents -20 to 10, i.e. -400 dB to +200 dB) is computed both ways.
// The fallback to the library on flagged values is part of what is checked, so
// any mismatch means a library less accurate than the margins assume (run it on
// each platform: under wine for the Windows build).
#include "ExpKernel.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace
{
float fromBits (std::uint32_t b)
{
    float f;
    std::memcpy (&f, &b, sizeof f);
    return f;
}
std::uint32_t bitsOf (float f)
{
    std::uint32_t b;
    std::memcpy (&b, &f, sizeof b);
    return b;
}

/** Walks every float from lo to hi (same sign, lo closer to zero) and counts flags and mismatches. */
template <class Kernel, class Library>
bool check (const char* name, float lo, float hi, Kernel kernel, Library library)
{
    unsigned long long total = 0, flagged = 0, mismatched = 0;
    for (std::uint32_t b = bitsOf (lo); b <= bitsOf (hi); ++b)
    {
        const float x = fromBits (b);
        const auto k = kernel (x);
        const float lib = library (x);
        const float mine = k.uncertain == 0 ? k.value : lib;
        ++total;
        flagged += k.uncertain;
        if (bitsOf (mine) != bitsOf (lib))
        {
            if (++mismatched <= 5)
                std::printf ("  %s(%.9g): kernel %.9g, library %.9g\n", name, static_cast<double> (x),
                             static_cast<double> (mine), static_cast<double> (lib));
        }
    }
    std::printf ("%-12s [%g, %g]: %llu floats, %llu sent to the library (%.3f%%), %llu different\n", name,
                 static_cast<double> (lo), static_cast<double> (hi), total, flagged, 100.0 * static_cast<double> (flagged) / static_cast<double> (total),
                 mismatched);
    return mismatched == 0;
}
} // namespace

int main()
{
    constexpr double log2OfE = 1.4426950408889634074;
    constexpr double log2Of10 = 3.321928094887362347870319;
    auto knee = [] (float a) { return vrc::exp2AsFloat (static_cast<double> (a) * log2OfE, vrc::expfMargin); };
    auto power = [] (float q) { return vrc::exp2AsFloat (static_cast<double> (q) * log2Of10, vrc::exp2Margin); };
    auto expf = [] (float a) { return std::exp (a); };
    auto pow10 = [] (float q) { return static_cast<float> (std::exp2 (static_cast<double> (q) * log2Of10)); };

    bool ok = check ("knee expf", -0.0f, -6.2831854820251465f, knee, expf);
    ok = check ("power of 10", -0.0f, -20.0f, power, pow10) && ok;
    ok = check ("power of 10", 0.0f, 10.0f, power, pow10) && ok;
    std::printf (ok ? "identical to the library everywhere\n" : "DIFFERENCES\n");
    return ok ? 0 : 1;
}

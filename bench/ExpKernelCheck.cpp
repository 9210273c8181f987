// Check that the gain curve's exponential passes give the C library's floats:
// every float argument of the knee's expf (-2 pi to 0, and on to where the
// result leaves the floats, which only odd settings reach) and of the power of
// ten (exponents -20 to 10, i.e. -400 dB to +200 dB, and likewise on to where
// the floats end), or every stride-th one, goes
// through the passes the curve runs (vector kernel, rounding check and the
// library's recomputation of flagged values, in blocks as the curve calls them)
// and is compared with the library. Any mismatch means a broken pass or a library
// less accurate than the margins assume (run it on each platform: under wine for
// the Windows build). ctest runs a sample; no argument walks every float.
//   vrc_exp_check [stride]
#include "CpuDispatch.h"
#include "ExpKernel.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

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

enum class Pass { knee, power };

VRC_INLINE_PASS void runPass (Pass pass, const float* arg, const int* used, float* out, int n)
{
    if (pass == Pass::knee)
        vrc::exponentialsPass (arg, used, out, n);
    else
        vrc::powersOfTenPass (arg, out, n);
}

#if VRC_AVX2_DISPATCH
VRC_TARGET_AVX2 void runPassAvx2 (Pass pass, const float* arg, const int* used, float* out, int n)
{
    runPass (pass, arg, used, out, n);
}
#endif

/** Runs the arguments through the pass, a block at a time, and counts flagged values and mismatches. */
template <class NextArgument>
bool check (const char* name, Pass pass, NextArgument&& next)
{
    constexpr int block = vrc::expPassFrames;
    float arg[block] = {}, out[block] = {};
    int used[block] = {};
    unsigned long long total = 0, flagged = 0, mismatched = 0;
    for (bool more = true; more;)
    {
        int n = 0;
        for (; n < block && (more = next (arg[n])); ++n)
            used[n] = 1;
#if VRC_AVX2_DISPATCH
        if (vrc::cpuHasAvx2())
            runPassAvx2 (pass, arg, used, out, n);
        else
#endif
            runPass (pass, arg, used, out, n);
        for (int i = 0; i < n; ++i)
        {
            const float x = arg[i];
            const double scale = pass == Pass::knee ? vrc::log2OfE : vrc::log2Of10;
            flagged += vrc::exp2AsFloat (static_cast<double> (x) * scale, pass == Pass::knee ? vrc::expfMargin : vrc::exp2Margin).uncertain;
            const float lib = pass == Pass::knee ? std::exp (x) : vrc::powerOfTenByLibrary (x);
            if (bitsOf (out[i]) != bitsOf (lib) && ! (x != x && out[i] != out[i]) && ++mismatched <= 5)
                std::printf ("  %s(%.9g): pass %.9g, library %.9g\n", name, static_cast<double> (x),
                             static_cast<double> (out[i]), static_cast<double> (lib));
        }
        total += static_cast<unsigned long long> (n);
    }
    std::printf ("%-12s: %llu floats, %llu near a rounding boundary (%.3f%%), %llu different\n", name, total, flagged,
                 100.0 * static_cast<double> (flagged) / static_cast<double> (total), mismatched);
    return mismatched == 0;
}

/** The floats from lo to hi (same sign, lo closer to zero) in steps of 'stride' bit patterns. */
bool checkRange (const char* name, Pass pass, float lo, float hi, std::uint32_t stride)
{
    std::printf ("[%g, %g] ", static_cast<double> (lo), static_cast<double> (hi));
    std::uint64_t b = bitsOf (lo);
    const std::uint64_t last = bitsOf (hi);
    return check (name, pass, [&] (float& x)
                  {
                      if (b > last)
                          return false;
                      x = fromBits (static_cast<std::uint32_t> (b));
                      b += stride;
                      return true;
                  });
}

/** Arguments far outside the kernel's range, which only odd settings produce. */
bool checkOutliers (const char* name, Pass pass)
{
    static const float outliers[] = { std::nanf (""), INFINITY, -INFINITY, 1.0e30f, -1.0e30f, 1.0e6f, -1.0e6f,
                                      4000.0f, -4000.0f, 400.0f, -400.0f, 126.0f, -126.0f };
    size_t i = 0;
    std::printf ("outliers ");
    return check (name, pass, [&] (float& x)
                  {
                      if (i == std::size (outliers))
                          return false;
                      x = outliers[i++];
                      return true;
                  });
}
} // namespace

int main (int argc, char** argv)
{
    const long stride = argc > 1 ? std::strtol (argv[1], nullptr, 10) : 1;
    if (stride < 1 || stride > 1000000000)
    {
        std::fprintf (stderr, "usage: vrc_exp_check [stride >= 1]\n");
        return 2;
    }
    const auto s = static_cast<std::uint32_t> (stride);
    bool ok = checkRange ("knee expf", Pass::knee, -0.0f, -110.0f, s);
    ok = checkRange ("knee expf", Pass::knee, 0.0f, 100.0f, s) && ok;
    ok = checkOutliers ("knee expf", Pass::knee) && ok;
    ok = checkRange ("power of 10", Pass::power, -0.0f, -50.0f, s) && ok;
    ok = checkRange ("power of 10", Pass::power, 0.0f, 40.0f, s) && ok;
    ok = checkOutliers ("power of 10", Pass::power) && ok;
    std::printf (ok ? "identical to the library everywhere\n" : "DIFFERENCES\n");
    return ok ? 0 : 1;
}

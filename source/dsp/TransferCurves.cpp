#include "TransferCurves.h"

#include "BitSelect.h"
#include "CpuDispatch.h"
#include "ExpKernel.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace vrc
{

namespace
{
constexpr float pi = 3.1415927410125732f;
constexpr float twoPi = 6.2831854820251465f;

// Frames per pass: the scratch arrays live on the stack.
constexpr int chunkFrames = expPassFrames;
} // namespace

float DecibelCurve::kneeBlend (float d) noexcept
{
    const float e = std::exp (d * 4.0f * pi - twoPi);
    return std::min (2.0f - 2.0f / (1.0f + e), 1.0f);
}

LinearCurve::LinearCurve (const CurveSettings& s) noexcept
    : ratio (s.ratio)
{
    b = s.kneeWidth / s.thresholdGain;
    const float invB = 1.0f / b;
    // The bend starts below the threshold by 1/b: at zero for the softest knee.
    start = std::max (s.thresholdGain, invB) - invB;
}

DecibelCurve::DecibelCurve (const CurveSettings& s) noexcept
    : threshold (s.thresholdDb), ratio (s.ratio), knee (s.kneeWidth)
{
    kneeSixth = knee / 6.0f;
    kneeStart = threshold - knee / 2.0f;
    // Below the knee the blend is constant (d = 0); precomputing it saves an
    // exponential on most samples without changing a single bit of the result.
    floorBend = kneeBlend (0.0f);
    // Outside the knee's lower half the term shape() subtracts is one of these,
    // computed by the same float steps as for any other blend.
    termInKnee = ratio * 1.0f * knee / 6.0f;
    termBelowKnee = ratio * floorBend * knee / 6.0f;
    // A frame is in the upper half when float(m / knee) >= 0.5, m = min(knee, over).
    // Round to nearest makes that m / knee >= 0.5 - 2^-26 (the tie rounds to 0.5,
    // the even one), i.e. m >= knee (0.5 - 2^-26), a product that is exact in
    // double. Comparing m with the smallest float at or above it answers the
    // same without the division, for any positive normal knee width.
    const double halfKnee = static_cast<double> (knee) * (0.5 - 0x1p-26);
    halfKneeTestExact = knee >= 0x1p-60f && knee <= 0x1p100f;
    halfKneeFrom = static_cast<float> (halfKnee);
    if (halfKneeTestExact && static_cast<double> (halfKneeFrom) < halfKnee)
        halfKneeFrom = std::nextafter (halfKneeFrom, 2.0f * halfKneeFrom);
    logDivisor = fastLog10Divisor();
}

void DecibelCurve::gains (const float* envelope, float* out, int n) const noexcept
{
#if VRC_AVX2_DISPATCH
    if (cpuHasAvx2())
    {
        gainsAvx2 (envelope, out, n);
        return;
    }
#endif
    for (int start = 0; start < n; start += chunkFrames)
        gainsOfChunk<chunkFrames> (envelope + start, out + start, std::min (chunkFrames, n - start));
}

#if VRC_AVX2_DISPATCH
VRC_TARGET_AVX2 void DecibelCurve::gainsAvx2 (const float* envelope, float* out, int n) const noexcept
{
    for (int start = 0; start < n; start += chunkFrames)
        gainsOfChunk<chunkFrames> (envelope + start, out + start, std::min (chunkFrames, n - start));
}
#endif

// Each loop below is one pass over the chunk with no branches and no calls, so
// the compiler turns it into vector code (a loop that mixes selects with the
// conversions to double does not vectorise, hence the separate passes). The
// knee's exponential and the power of ten come from exp2Kernel; on the few frames
// where its float might round differently from the library's, the library
// computes that frame again. Divisions are the passes' slowest step, so the
// knee's three are made only for chunks where some frame sits in the knee's
// lower half; every other frame's blend, and the term it adds, is one of two
// constants.
template <int chunk>
void DecibelCurve::gainsOfChunk (const float* envelope, float* out, int n) const noexcept
{
    alignas (32) float level[chunk], term[chunk], q[chunk];
    alignas (32) int usesExp[chunk];

    // Level in dB; the offset keeps the logarithm finite in digital silence.
    for (int j = 0; j < n; ++j)
        level[j] = 20.0f * fastLog10 (envelope[j] + 1.0e-7f, logDivisor);

    // Which frames use the logistic blend's exponential: those in the knee's lower
    // half. From the middle of the knee upward the blend is exactly 1, below the
    // knee it is floorBend.
    int users = 0;
    if (halfKneeTestExact)
    {
        for (int j = 0; j < n; ++j)
        {
            const float shifted = level[j] - kneeSixth;
            const float over = shifted - kneeStart;
            const float m = knee < over ? knee : over;
            const bool inKnee = shifted > kneeStart;
            usesExp[j] = inKnee & ! (m >= halfKneeFrom);
            term[j] = bitSelect (inKnee, termInKnee, termBelowKnee);
            users += usesExp[j];
        }
    }
    else
    {
        for (int j = 0; j < n; ++j)
        {
            const float shifted = level[j] - kneeSixth;
            const float over = shifted - kneeStart;
            const float d = (knee < over ? knee : over) / knee;
            const bool inKnee = shifted > kneeStart;
            usesExp[j] = inKnee & ! (d >= 0.5f);
            term[j] = bitSelect (inKnee, termInKnee, termBelowKnee);
            users += usesExp[j];
        }
    }
    if (users > 0)
        kneeTerms (level, usesExp, users, term, n);

    // The rest of shape(), written with selects: the output level in dB over 20.
    for (int j = 0; j < n; ++j)
    {
        const float x = level[j];
        const float shifted = x - kneeSixth;
        const float excess = (shifted - threshold) * ratio;
        const float f = shifted > threshold ? excess : 0.0f;
        const float y = x - (term[j] + f);
        q[j] = y / 20.0f;
    }

    // The power of ten, for every frame.
    powersOfTenPass (q, out, n);

    for (int j = 0; j < n; ++j)
    {
        const float g = out[j] / (envelope[j] + 1.0e-8f);
        // The two offsets above do not match, so near silence g would climb to about
        // 9.6 (+19.6 dB): an expander on quiet or phase-cancelled material. This curve
        // only ever reduces; NaN from a degenerate knee setting also lands here.
        out[j] = g <= 1.0f ? g : 1.0f;
    }
}

/** For the frames in the knee's lower half: the logistic blend from its
    exponential, and the term ratio * blend * knee / 6 that shape() subtracts.
    Other frames keep the term they have. */
VRC_INLINE_PASS void DecibelCurve::kneeTerms (const float* level, const int* usesExp, int users, float* term, int n) const noexcept
{
    alignas (16) float kneeArg[chunkFrames], kneeExp[chunkFrames];
    for (int j = 0; j < n; ++j)
    {
        const float shifted = level[j] - kneeSixth;
        const float over = shifted - kneeStart;
        const float d = (knee < over ? knee : over) / knee;
        kneeArg[j] = d * 4.0f * pi - twoPi;
    }

    // The exponential over the whole chunk when most frames use it, otherwise
    // gathered into a dense list.
    if (users * 2 > n)
    {
        exponentialsPass (kneeArg, usesExp, kneeExp, n);
    }
    else
    {
        alignas (16) int frame[chunkFrames], denseUse[chunkFrames];
        alignas (16) float denseArg[chunkFrames], denseExp[chunkFrames];
        int count = 0;
        for (int j = 0; j < n; ++j)
        {
            frame[count] = j;
            count += usesExp[j];
        }
        for (int i = 0; i < count; ++i)
        {
            denseArg[i] = kneeArg[frame[i]];
            denseUse[i] = 1;
        }
        exponentialsPass (denseArg, denseUse, denseExp, count);
        for (int j = 0; j < n; ++j)
            kneeExp[j] = 0.0f; // any finite value: frames that do not use the exponential discard it
        for (int i = 0; i < count; ++i)
            kneeExp[frame[i]] = denseExp[i];
    }

    // (Two passes: with both divisions in one loop GCC keeps a branch.)
    float* const blend = kneeArg; // the arguments are no longer needed
    for (int j = 0; j < n; ++j)
    {
        const float b = 2.0f - 2.0f / (1.0f + kneeExp[j]);
        blend[j] = 1.0f < b ? 1.0f : b;
    }
    for (int j = 0; j < n; ++j)
        term[j] = bitSelect (usesExp[j] != 0, ratio * blend[j] * knee / 6.0f, term[j]);
}

} // namespace vrc

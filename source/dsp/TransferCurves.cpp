#include "TransferCurves.h"

#include "BitSelect.h"
#include "CpuDispatch.h"
#include "ExpKernel.h"

#include <algorithm>
#include <cmath>

namespace vrc
{

namespace
{
constexpr float pi = 3.1415927410125732f;
constexpr float twoPi = 6.2831854820251465f;
constexpr double log2OfE = 1.4426950408889634074;
constexpr double log2Of10 = 3.321928094887362347870319;

// Frames per pass: the scratch arrays live on the stack.
constexpr int chunkFrames = 256;
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

namespace
{
/** expf(arg[i]) for n arguments, as the library would give it where used[i] is set. */
VRC_INLINE_PASS void kneeExponentials (const float* arg, const int* used, float* out, int n) noexcept
{
    alignas (16) int recompute[chunkFrames];
    int anyRecompute = 0;
    for (int i = 0; i < n; ++i)
    {
        const auto e = exp2AsFloat (static_cast<double> (arg[i]) * log2OfE, expfMargin);
        out[i] = e.value;
        recompute[i] = used[i] & static_cast<int> (! e.certain);
        anyRecompute |= recompute[i];
    }
    if (anyRecompute != 0)
        for (int i = 0; i < n; ++i)
            if (recompute[i] != 0)
                out[i] = std::exp (arg[i]);
}
} // namespace

// Each loop below is one pass over the chunk with no branches and no calls, so
// the compiler turns it into vector code (a loop that mixes selects with the
// conversions to double does not vectorise, hence the separate passes). The
// knee's exponential and the power of ten come from exp2Kernel; on the few frames
// where its float might round differently from the library's, the library
// computes that frame again.
template <int chunk>
void DecibelCurve::gainsOfChunk (const float* envelope, float* out, int n) const noexcept
{
    alignas (16) float level[chunk], kneeArg[chunk], kneeExp[chunk], fixedBend[chunk], q[chunk];
    alignas (16) int usesExp[chunk], recompute[chunk];

    // Level in dB; the offset keeps the logarithm finite in digital silence.
    for (int j = 0; j < n; ++j)
        level[j] = 20.0f * fastLog10 (envelope[j] + 1.0e-7f, logDivisor);

    // Position in the knee, d in [0, 1], and the argument of the logistic blend's
    // exponential, which only frames in the lower half of the knee use.
    for (int j = 0; j < n; ++j)
    {
        const float shifted = level[j] - kneeSixth;
        const float over = shifted - kneeStart;
        const float d = (knee < over ? knee : over) / knee;
        kneeArg[j] = d * 4.0f * pi - twoPi;
        const bool inKnee = shifted > kneeStart;
        usesExp[j] = inKnee & ! (d >= 0.5f);
        // From the middle of the knee upward the blend is exactly 1.
        fixedBend[j] = bitSelect (inKnee, 1.0f, floorBend);
    }

    // The exponential for the frames that use it: over the whole chunk when most
    // do, otherwise gathered into a dense list (below the knee, in quiet passages
    // and silence, there are none).
    int users = 0;
    for (int j = 0; j < n; ++j)
        users += usesExp[j];
    if (users * 2 > n)
    {
        kneeExponentials (kneeArg, usesExp, kneeExp, n);
    }
    else if (users == 0)
    {
        for (int j = 0; j < n; ++j)
            kneeExp[j] = 0.0f; // any finite value: no frame uses it
    }
    else
    {
        alignas (16) int frame[chunk], denseUse[chunk];
        alignas (16) float denseArg[chunk], denseExp[chunk];
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
        kneeExponentials (denseArg, denseUse, denseExp, count);
        for (int j = 0; j < n; ++j)
            kneeExp[j] = 0.0f; // any finite value: frames that do not use the exponential discard it
        for (int i = 0; i < count; ++i)
            kneeExp[frame[i]] = denseExp[i];
    }

    // shape(), written with selects: the blend, then the output level.
    float* const bend = kneeArg; // the arguments are no longer needed
    for (int j = 0; j < n; ++j)
    {
        const float blend = 2.0f - 2.0f / (1.0f + kneeExp[j]);
        const float cappedBlend = 1.0f < blend ? 1.0f : blend;
        bend[j] = usesExp[j] != 0 ? cappedBlend : fixedBend[j];
    }
    for (int j = 0; j < n; ++j)
    {
        const float x = level[j];
        const float shifted = x - kneeSixth;
        const float excess = (shifted - threshold) * ratio;
        const float f = shifted > threshold ? excess : 0.0f;
        const float y = x - (ratio * bend[j] * knee / 6.0f + f);
        q[j] = y / 20.0f;
    }

    // The power of ten.
    int anyRecompute = 0;
    for (int j = 0; j < n; ++j)
    {
        const auto p = exp2AsFloat (static_cast<double> (q[j]) * log2Of10, exp2Margin);
        const int again = static_cast<int> (! p.certain);
        out[j] = p.value;
        recompute[j] = again;
        anyRecompute |= again;
    }
    if (anyRecompute != 0)
        for (int j = 0; j < n; ++j)
            if (recompute[j] != 0)
                out[j] = powerOfTen (q[j]);

    for (int j = 0; j < n; ++j)
    {
        const float g = out[j] / (envelope[j] + 1.0e-8f);
        // The two offsets above do not match, so near silence g would climb to about
        // 9.6 (+19.6 dB): an expander on quiet or phase-cancelled material. This curve
        // only ever reduces; NaN from a degenerate knee setting also lands here.
        out[j] = g <= 1.0f ? g : 1.0f;
    }
}

} // namespace vrc

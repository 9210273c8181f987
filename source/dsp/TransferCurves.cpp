#include "TransferCurves.h"

#include "FastLog.h"

#include <algorithm>
#include <cmath>

namespace vrc
{

namespace
{
constexpr float pi = 3.1415927410125732f;
constexpr float twoPi = 6.2831854820251465f;

// Twice the logistic function of 4 pi (d - 1/2): the knee's blend from 0 to 1.
float kneeBlend (float d) noexcept
{
    const float e = std::exp (d * 4.0f * pi - twoPi);
    return std::min (2.0f - 2.0f / (1.0f + e), 1.0f);
}
} // namespace

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
}

float DecibelCurve::shape (float x) const noexcept
{
    const float shifted = x - kneeSixth;
    float s = floorBend;
    if (shifted > kneeStart)
    {
        const float d = std::min (shifted - kneeStart, knee) / knee;
        // From the middle of the knee upward the blend is exactly 1.
        s = (d >= 0.5f) ? 1.0f : kneeBlend (d);
    }
    const float f = shifted > threshold ? (shifted - threshold) * ratio : 0.0f;
    return x - (ratio * s * knee / 6.0f + f);
}

float DecibelCurve::gain (float envelope) const noexcept
{
    // The offset keeps the logarithm finite in digital silence.
    const float level = 20.0f * fastLog10 (envelope + 1.0e-7f);
    const float y = shape (level);
    const auto out = static_cast<float> (std::pow (10.0f, y / 20.0f));
    const float g = out / (envelope + 1.0e-8f);
    // The two offsets above do not match, so near silence g would climb to about
    // 9.6 (+19.6 dB): an expander on quiet or phase-cancelled material. This curve
    // only ever reduces; NaN from a degenerate knee setting also lands here.
    return g <= 1.0f ? g : 1.0f;
}

} // namespace vrc

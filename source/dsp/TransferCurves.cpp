#include "TransferCurves.h"

#include <algorithm>
#include <cmath>

namespace vrc
{

namespace
{
constexpr float pi = 3.1415927410125732f;
constexpr float twoPi = 6.2831854820251465f;
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
}

} // namespace vrc

#include "NeedleGeometry.h"

#include <cmath>

namespace vrc
{

namespace
{
// The needle aims at a point that runs along a line aimLineDistance px from the
// pivot; at aim position a the needle leans by atan ((a - d) / d), upright at a = d.
constexpr float aimLineDistance = 212.0f;
constexpr double aimAtZeroDb = 285.0;     // the aim position for 0 dB
constexpr double aimGrowthPerDb = 1.055;  // raised to aimExponent per dB
constexpr double aimExponent = 2.1;
constexpr double outerRadius = 83.0;      // the outer end's distance from the pivot
constexpr double innerSpread = 43.0;      // the inner end's sideways travel per unit of sin (angle)
} // namespace

NeedleLine needleLine (float s, float pivotY, float innerY) noexcept
{
    // The scale is exponential: each dB moves the aim point by a factor 1.055^2.1,
    // which spreads the marks around 0 dB and squeezes the quiet end.
    const double k = aimExponent * std::log (aimGrowthPerDb);
    const auto a = static_cast<float> (aimAtZeroDb * std::exp (k * static_cast<double> (s)));
    const auto b = static_cast<float> (static_cast<float> (aimLineDistance - a) / aimLineDistance);
    const double t = -static_cast<double> (static_cast<float> (std::atan (static_cast<double> (b))));
    const auto sinT = static_cast<float> (std::sin (t));
    const auto cosT = static_cast<float> (std::cos (t));
    const auto pivotX = static_cast<double> (needlePivotX);

    NeedleLine line;
    line.innerX = static_cast<float> (pivotX + innerSpread * static_cast<double> (sinT));
    line.innerY = innerY;
    line.outerX = static_cast<float> (pivotX + outerRadius * static_cast<double> (sinT));
    line.outerY = static_cast<float> (static_cast<double> (pivotY) - outerRadius * static_cast<double> (cosT));
    line.angle = t;
    return line;
}

} // namespace vrc

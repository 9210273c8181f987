#include "NeedleGeometry.h"

#include <cmath>

namespace vrc
{

NeedleLine needleLine (float s, float pivotY, float innerY) noexcept
{
    // The scale is exponential: each dB moves the aim point by a factor 1.055^2.1,
    // which spreads the marks around 0 dB and squeezes the quiet end.
    const double k = 2.1 * std::log (1.055);
    const auto a = static_cast<float> (285.0 * std::exp (k * static_cast<double> (s)));
    const auto b = static_cast<float> (static_cast<float> (212.0f - a) / 212.0f);
    const double t = -static_cast<double> (static_cast<float> (std::atan (static_cast<double> (b))));
    const auto sinT = static_cast<float> (std::sin (t));
    const auto cosT = static_cast<float> (std::cos (t));

    NeedleLine line;
    line.innerX = static_cast<float> (704.0 + 43.0 * static_cast<double> (sinT));
    line.innerY = innerY;
    line.outerX = static_cast<float> (704.0 + 83.0 * static_cast<double> (sinT));
    line.outerY = static_cast<float> (static_cast<double> (pivotY) - 83.0 * static_cast<double> (cosT));
    line.angle = t;
    return line;
}

} // namespace vrc

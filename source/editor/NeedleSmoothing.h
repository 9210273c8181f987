#pragma once
// One paint's step of a meter needle: the reading is held to the printed scale,
// then the needle moves half-way from where it stands toward it. A reading that
// is not a number counts as the bottom of the scale, so it cannot poison the
// needle's state for the rest of the window's life.

namespace vrc
{

/** New needle level (dB) after one step from `state` toward `reading`, held to lowest..highest. */
constexpr float smoothNeedle (float state, float reading, float lowest, float highest) noexcept
{
    float r = reading;
    if (r > highest)
        r = highest;
    else if (! (r >= lowest)) // also catches NaN
        r = lowest;

    // The difference is a float; the half-step is taken in double and rounded once.
    return static_cast<float> (static_cast<double> (r - state) * 0.5 + static_cast<double> (state));
}

} // namespace vrc

#pragma once
// Where a meter needle stands for a smoothed level in dB. The editor draws the
// needles with it and the artwork generator prints the scale marks with it, so
// the printed scale and the needle can never disagree.

namespace vrc
{

struct NeedleLine
{
    float innerX, innerY; // end on the horizontal line 37 px above the pivot
    float outerX, outerY; // end on the circle of radius 83 around the pivot
    double angle;         // radians, clockwise from straight up
};

constexpr float needlePivotX = 704.0f;
constexpr float upperPivotY = 117.0f, upperInnerY = 80.0f;
constexpr float lowerPivotY = 205.0f, lowerInnerY = 168.0f; // below the window's edge

/** Needle for level s (dB) with the pivot at (needlePivotX, pivotY) and the inner end at height innerY. */
NeedleLine needleLine (float s, float pivotY, float innerY) noexcept;

} // namespace vrc

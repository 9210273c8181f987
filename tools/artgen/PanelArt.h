#pragma once
// The 800 x 200 background: brushed dark panel, screws, the product name and
// origin line, the printed knob and switch scales, and the two meter faces.
#include <juce_graphics/juce_graphics.h>

namespace artgen
{

constexpr int panelWidth = 800, panelHeight = 200;

/** The whole background picture, opaque RGB. */
juce::Image renderBackground();

} // namespace artgen

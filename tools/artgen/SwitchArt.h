#pragma once
// The two-position curve switch: a bright lever in a dark slot on a small
// mounting plate, lever up when off and down when on.
#include <juce_graphics/juce_graphics.h>

namespace artgen
{

constexpr int switchWidth = 29, switchHeight = 45;

/** The switch, 29 x 45 RGBA, with the lever at the bottom of the slot when `on`. */
juce::Image renderSwitch (bool on);

} // namespace artgen

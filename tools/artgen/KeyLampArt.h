#pragma once
// The lit "SIDECHAIN" label the panel shows while the detector listens to a
// key: amber print glowing in a small dark window, in the panel's typeface.
#include <juce_graphics/juce_graphics.h>

namespace artgen
{

constexpr int keyLampWidth = 72, keyLampHeight = 15;

/** The label, keyLampWidth x keyLampHeight RGBA, lit. */
juce::Image renderKeyLamp();

} // namespace artgen

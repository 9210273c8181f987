#pragma once
// The two meter windows of the background. Every scale mark is placed with the
// needle geometry the editor draws its needles with, so marks and needles agree.
#include <juce_graphics/juce_graphics.h>

namespace artgen
{

/** Draws the upper ("INPUT") and lower ("GAIN REDUCTION") meters onto the panel. */
void drawMeters (juce::Image& panel);

} // namespace artgen

#pragma once
// The knob: a black knurled skirt around a spun-aluminium cap, with an
// engraved line on the cap and a cream mark on the skirt as its pointer.
#include <juce_graphics/juce_graphics.h>

namespace artgen
{

/** One square frame of frameSize pixels, the knob turned `degrees` clockwise
    from 12 o'clock, on a transparent ground with its own soft shadow. */
juce::Image renderKnobFrame (int frameSize, int degrees);

/** 360 frames side by side, frame k turned k degrees: 360 * frameSize by frameSize. */
juce::Image renderKnobStrip (int frameSize);

} // namespace artgen

#pragma once
// Pictures for the README: the knobs at several positions, and the background
// as the plug-in shows it with its controls and needles in place.
#include <juce_graphics/juce_graphics.h>

namespace artgen
{

/** Both knob sizes at five positions across their sweep, on the panel. */
juce::Image composeKnobSheet (const juce::Image& background, const juce::Image& strip80, const juce::Image& strip64);

/** The background with knobs, switch and needles drawn where the editor puts them. */
juce::Image composePreview (const juce::Image& background, const juce::Image& strip80, const juce::Image& strip64,
                            const juce::Image& switchOff);

} // namespace artgen

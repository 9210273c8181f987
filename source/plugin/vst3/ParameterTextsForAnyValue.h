#pragma once
// What the VST3 wrapper asks of a plug-in whose parameters are host indices:
// the text any normalised value would show, so a host can label automation
// and value tooltips with VR-C's own texts rather than the current value's.
#include <juce_core/juce_core.h>

namespace vrc
{
class ParameterTextsForAnyValue
{
public:
    virtual ~ParameterTextsForAnyValue() = default;
    virtual juce::String getParameterTextForValue (int index, float normalised) const = 0;
};
} // namespace vrc

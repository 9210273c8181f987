#pragma once
// The text any normalised value of a parameter would show, not only the
// current one: hosts label automation lanes and value tooltips with it. Format
// layers that need it (the VST3 wrapper) look for this interface.
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

#pragma once
// The eight parameters as CLAP describes them: ids are host indices, values are
// in the units the editor shows (dB, s, %), the curve is a stepped enumeration
// shown by its labels, and texts are the plug-in's own display texts.
#include "ClapAbi.h"

#include <cstdint>
#include <optional>

namespace vrc::clap
{
/** Fills info for index; false outside 0..7. */
bool parameterInfo (std::uint32_t index, ParamInfo& info) noexcept;

/** The text shown for a display value of parameter id, cut to fit capacity
    bytes with its terminator; false for an unknown id, a non-finite value or
    no room. */
bool parameterValueText (Id id, double value, char* text, std::uint32_t capacity) noexcept;

/** A display value read back from a text: a number, optionally followed by the
    parameter's unit, or one of the curve's labels; clamped to the range. */
std::optional<double> parameterValueFromText (Id id, const char* text) noexcept;
} // namespace vrc::clap

#pragma once
// A parameter as the formats that carry display units show and automate it (LV2
// ports, CLAP values: dB, s, %): its range lowest first, and the one mapping from
// such a value to the host's normalised value, so every format lands on the
// same physical value for the same number.
#include "Parameters.h"

namespace vrc
{
constexpr float displayLowest (const ParameterInfo& p) noexcept { return p.lowest() * p.displayScale; }
constexpr float displayHighest (const ParameterInfo& p) noexcept { return p.highest() * p.displayScale; }
constexpr float displayDefault (const ParameterInfo& p) noexcept { return p.defaultValue * p.displayScale; }

/** The unit's symbol as texts print it after a value ("dB", "s", "%"), empty for none. */
constexpr const char* unitText (ParameterUnit u) noexcept
{
    switch (u)
    {
        case ParameterUnit::db: return "dB";
        case ParameterUnit::seconds: return "s";
        case ParameterUnit::percent: return "%";
        case ParameterUnit::none: break;
    }
    return "";
}

/** The display value of a physical one, in double so that a host writing back
    what it read lands on the same float. */
inline double displayValueOf (ParameterId id, float physical) noexcept
{
    return static_cast<double> (physical) * static_cast<double> (parameterTable[static_cast<unsigned> (id)].displayScale);
}

/** The normalised value a display value stands for: clamped to the range (a
    switch flips at its midpoint), then taken through the same linear mapping a
    VST2 host's value goes through. value must not be NaN. */
inline float normalisedForDisplayValue (ParameterId id, double value) noexcept
{
    const auto& p = parameterTable[static_cast<unsigned> (id)];
    const auto lowest = static_cast<double> (displayLowest (p));
    const auto highest = static_cast<double> (displayHighest (p));
    value = value < lowest ? lowest : (value > highest ? highest : value);
    if (p.enumeration)
        return value >= 0.5 ? 1.0f : 0.0f;
    const double physical = value / static_cast<double> (p.displayScale);
    const float span = p.maximum - p.minimum;
    return static_cast<float> ((physical - static_cast<double> (p.minimum)) / static_cast<double> (span));
}
} // namespace vrc

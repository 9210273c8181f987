#pragma once
// The plug-in's eight parameters: host index, name, range and default. Every
// other place (processor, editor, persistence, tools) derives from this table.
#include <array>

namespace vrc
{

enum class ParameterId : int
{
    threshold = 0,
    ratio = 1,
    gain = 2,
    attack = 3,
    release = 4,
    knee = 5,
    dryWet = 6,
    curve = 7
};

struct ParameterInfo
{
    ParameterId id;
    const char* name;       // as the host shows it
    float minimum;          // physical value at normalised 0
    float maximum;          // physical value at normalised 1
    float defaultValue;     // physical
};

constexpr int numParameters = 8;

/** Default knee: under the default decibel curve, 0.94 gives a knee about 12 dB
    wide, bending from about 4 dB below the threshold to 2 dB above it. */
constexpr float defaultKnee = 0.94f;

inline constexpr std::array<ParameterInfo, numParameters> parameterTable { {
    { ParameterId::threshold, "Threshold", 0.0f, -40.0f, 0.0f },
    { ParameterId::ratio, "Ratio", 0.5f, 1.0f, 0.5f },
    { ParameterId::gain, "Gain", -20.0f, 30.0f, 0.0f },
    { ParameterId::attack, "Attack", 0.0f, 0.3f, 0.05f },
    { ParameterId::release, "Release", 0.01f, 5.0f, 0.1f },
    { ParameterId::knee, "Knee", 0.0f, 1.0f, defaultKnee },
    { ParameterId::dryWet, "Dry/Wet", 0.0f, 1.0f, 1.0f },
    { ParameterId::curve, "Transfert Curve", 0.0f, 1.0f, 1.0f },
} };

/** Identifiers for hosts that name parameters rather than number them (each
    LV2 parameter URI ends in one). Sessions store them, so they never change. */
inline constexpr std::array<const char*, numParameters> parameterIds { {
    "threshold", "ratio", "gain", "attack", "release", "knee", "dry_wet", "curve" } };

constexpr bool isValidParameterIndex (int index) noexcept { return index >= 0 && index < numParameters; }

} // namespace vrc

#pragma once
// The LV2 plug-ins of the bundle and their ports, shared by the plug-in, its UI
// and the Turtle writer, so the description hosts read cannot drift from the
// code. Control ports hold the values the editor shows (dB, s, %).
#include "processor/Parameters.h"

#include <array>
#include <cstdint>

namespace vrc::lv2
{
enum class Unit { none, db, seconds, percent };

struct SettingPort
{
    const char* symbol;   // also the last part of the old parameter URIs
    const char* name;
    Unit unit;
    float minimum, maximum, defaultValue; // in port units
    float unitsPerPhysical;               // 100 for a share shown in %
    bool logarithmic;                     // the editor's knob spends its travel on small values
    bool enumeration;                     // an integer switch between the two curves
};

/** Port index i carries host parameter i, so control indices never move between
    plug-ins of the bundle. */
inline constexpr std::array<SettingPort, numParameters> settingPorts { {
    { "threshold", "Threshold", Unit::db, -40.0f, 0.0f, 0.0f, 1.0f, false, false },
    { "ratio", "Ratio", Unit::none, 0.5f, 1.0f, 0.5f, 1.0f, false, false },
    { "gain", "Gain", Unit::db, -20.0f, 30.0f, 0.0f, 1.0f, false, false },
    { "attack", "Attack", Unit::seconds, 0.0f, 0.3f, 0.05f, 1.0f, false, false },
    { "release", "Release", Unit::seconds, 0.01f, 5.0f, 0.1f, 1.0f, true, false },
    { "knee", "Knee", Unit::none, 0.0f, 1.0f, defaultKnee, 1.0f, false, false },
    { "dry_wet", "Dry/Wet", Unit::percent, 0.0f, 100.0f, 100.0f, 100.0f, false, false },
    { "curve", "Transfert Curve", Unit::none, 0.0f, 1.0f, 1.0f, 1.0f, false, true },
} };
inline constexpr const char* curveLabels[2] = { "linear", "exp" };

constexpr std::uint32_t enabledPort = numParameters;
constexpr std::uint32_t latencyPort = numParameters + 1;
constexpr std::uint32_t firstAudioPort = numParameters + 2;

/** One plug-in of the bundle. Audio ports follow the control ports: inputs,
    outputs, then key inputs (a detector-only signal, marked as a side chain). */
struct Variant
{
    const char* uri;
    const char* name;
    int inputs, outputs, keyInputs;
};
inline constexpr std::array<Variant, 3> variants { {
    { "urn:veskara:vr-c", "VR-C", 2, 2, 0 },
    { "urn:veskara:vr-c-mono", "VR-C Mono", 1, 1, 0 },
    { "urn:veskara:vr-c-sidechain", "VR-C Sidechain", 2, 2, 2 },
} };
inline constexpr const char* uiUri = "urn:veskara:vr-c:UI";
/** Every plug-in of the bundle keeps its chunk under this key (the first
    build's), so states move freely between them and older sessions. */
inline constexpr const char* stateKeyUri = "urn:veskara:vr-c:StateString";
/** Saved beside the chunk by builds whose chunk always equals the ports the host
    saves with it; a session without it is restored from its chunk alone. */
inline constexpr const char* portsHoldSettingsKeyUri = "urn:veskara:vr-c:portsHoldSettings";

/** The normalised host value a port value stands for: clamped to the port's
    range, then taken through the same linear mapping a VST2 host's value goes
    through, so a port holding a VST2 display text gives that parameter's value. */
inline float normalisedForPortValue (std::uint32_t port, float value) noexcept
{
    const auto& p = settingPorts[port];
    const auto& info = parameterTable[port];
    if (! (value == value)) // NaN: the default, never a poisoned engine
        value = p.defaultValue;
    value = value < p.minimum ? p.minimum : (value > p.maximum ? p.maximum : value);
    if (p.enumeration)
        return value >= 0.5f ? 1.0f : 0.0f;
    const double physical = static_cast<double> (value) / static_cast<double> (p.unitsPerPhysical);
    const float span = info.maximum - info.minimum;
    return static_cast<float> ((physical - static_cast<double> (info.minimum)) / static_cast<double> (span));
}

/** The port value that shows a physical value (what the UI writes to the host). */
inline float portValueForPhysical (std::uint32_t port, float physical) noexcept
{
    return static_cast<float> (static_cast<double> (physical) * static_cast<double> (settingPorts[port].unitsPerPhysical));
}
} // namespace vrc::lv2

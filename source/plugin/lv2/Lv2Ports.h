#pragma once
// The LV2 plug-ins of the bundle and their ports, shared by the plug-in, its UI
// and the Turtle writer, so the description hosts read cannot drift from the
// code. Control ports hold the values the editor shows (dB, s, %).
#include "processor/ParameterDisplay.h"

#include <array>
#include <cstdint>

namespace vrc::lv2
{
using Unit = ParameterUnit;

struct SettingPort
{
    const char* symbol;   // also the last part of the old parameter URIs
    const char* name;
    Unit unit;
    float minimum, maximum, defaultValue; // in port units
    float unitsPerPhysical;               // 100 for a share shown in %
    bool logarithmic;                     // hosts may show the port on a logarithmic scale
    bool enumeration;                     // an integer switch between the two curves
};

/** A parameter as an LV2 control port: its range in display units, lowest
    first (LV2 has no range that runs downwards, as threshold's does). */
constexpr SettingPort settingPortFor (const ParameterInfo& p) noexcept
{
    return { p.symbol, p.name, p.unit, displayLowest (p), displayHighest (p), displayDefault (p),
             p.displayScale, p.logarithmic, p.enumeration };
}

/** Port index i carries host parameter i, so control indices never move between
    plug-ins of the bundle. */
inline constexpr std::array<SettingPort, numParameters> settingPorts { {
    settingPortFor (parameterTable[0]), settingPortFor (parameterTable[1]), settingPortFor (parameterTable[2]),
    settingPortFor (parameterTable[3]), settingPortFor (parameterTable[4]), settingPortFor (parameterTable[5]),
    settingPortFor (parameterTable[6]), settingPortFor (parameterTable[7]),
} };

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
    if (! (value == value)) // NaN: the default, never a poisoned engine
        value = settingPorts[port].defaultValue;
    return normalisedForDisplayValue (static_cast<ParameterId> (port), value);
}

/** The port value that shows a physical value (what the UI writes to the host). */
inline float portValueForPhysical (std::uint32_t port, float physical) noexcept
{
    return static_cast<float> (static_cast<double> (physical) * static_cast<double> (settingPorts[port].unitsPerPhysical));
}
} // namespace vrc::lv2

#pragma once
// The plug-in's eight parameters: one record each with everything a format
// needs to describe it (name, symbol, unit, range, default, display scale,
// hints). Every other place (processor, editor, persistence, formats, tools)
// derives from this table.
#include <array>
#include <cstddef>

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

/** The unit a parameter is shown in (after displayScale). */
enum class ParameterUnit { none, db, seconds, percent };

struct ParameterInfo
{
    ParameterId id;
    const char* name;       // as the host shows it (frozen: sessions and hosts keep it)
    const char* symbol;     // for hosts that name parameters rather than number them (frozen)
    ParameterUnit unit;
    float minimum;          // physical value at normalised 0 (threshold's range runs downwards)
    float maximum;          // physical value at normalised 1
    float defaultValue;     // physical
    float displayScale;     // displayed = physical × this (100 for a share shown in %)
    bool logarithmic;       // the editor's knob spends its travel on small values
    bool enumeration;       // a switch between the two curves, 0 and 1

    constexpr float lowest() const noexcept { return minimum < maximum ? minimum : maximum; }
    constexpr float highest() const noexcept { return minimum < maximum ? maximum : minimum; }
};

constexpr int numParameters = 8;

/** Default knee: under the default decibel curve, 0.94 gives a knee about 12 dB
    wide, bending from about 4 dB below the threshold to 2 dB above it. */
constexpr float defaultKnee = 0.94f;

// Names and symbols are what saved sessions and hosts already hold ("Transfert
// Curve" included): they never change.
inline constexpr std::array<ParameterInfo, numParameters> parameterTable { {
    { ParameterId::threshold, "Threshold", "threshold", ParameterUnit::db, 0.0f, -40.0f, 0.0f, 1.0f, false, false },
    { ParameterId::ratio, "Ratio", "ratio", ParameterUnit::none, 0.5f, 1.0f, 0.5f, 1.0f, false, false },
    { ParameterId::gain, "Gain", "gain", ParameterUnit::db, -20.0f, 30.0f, 0.0f, 1.0f, false, false },
    { ParameterId::attack, "Attack", "attack", ParameterUnit::seconds, 0.0f, 0.3f, 0.05f, 1.0f, false, false },
    { ParameterId::release, "Release", "release", ParameterUnit::seconds, 0.01f, 5.0f, 0.1f, 1.0f, true, false },
    { ParameterId::knee, "Knee", "knee", ParameterUnit::none, 0.0f, 1.0f, defaultKnee, 1.0f, false, false },
    { ParameterId::dryWet, "Dry/Wet", "dry_wet", ParameterUnit::percent, 0.0f, 1.0f, 1.0f, 100.0f, false, false },
    { ParameterId::curve, "Transfert Curve", "curve", ParameterUnit::none, 0.0f, 1.0f, 1.0f, 1.0f, false, true },
} };

/** Physical values by host parameter index. */
using SettingsValues = std::array<float, numParameters>;

/** Every parameter at its default. */
constexpr SettingsValues defaultSettings() noexcept
{
    SettingsValues values {};
    for (const auto& p : parameterTable)
        values[static_cast<std::size_t> (p.id)] = p.defaultValue;
    return values;
}

/** The curve switch's labels, for values 0 and 1. */
inline constexpr const char* curveLabels[2] = { "linear", "exp" };

/** The order in which a full set of settings reaches the engine: ratio before
    release, because the release coefficient takes the ratio of the moment it is
    written. Every place that writes all settings (a resume, a restored session,
    a format's first block) goes in this order. */
inline constexpr std::array<ParameterId, numParameters> engineWriteOrder { {
    ParameterId::ratio, ParameterId::threshold, ParameterId::gain, ParameterId::attack,
    ParameterId::release, ParameterId::knee, ParameterId::dryWet, ParameterId::curve } };

constexpr bool writesEverySettingOnceRatioFirst (const std::array<ParameterId, numParameters>& order) noexcept
{
    int ratioAt = -1, releaseAt = -1;
    for (int i = 0; i < numParameters; ++i)
    {
        for (int j = 0; j < i; ++j)
            if (order[(unsigned) j] == order[(unsigned) i])
                return false;
        ratioAt = order[(unsigned) i] == ParameterId::ratio ? i : ratioAt;
        releaseAt = order[(unsigned) i] == ParameterId::release ? i : releaseAt;
    }
    return ratioAt >= 0 && ratioAt < releaseAt;
}
static_assert (writesEverySettingOnceRatioFirst (engineWriteOrder));

constexpr bool isValidParameterIndex (int index) noexcept { return index >= 0 && index < numParameters; }

namespace detail
{
constexpr bool sameText (const char* a, const char* b) noexcept
{
    while (*a != 0 && *a == *b)
        ++a, ++b;
    return *a == *b;
}

constexpr bool tableIsConsistent() noexcept
{
    for (int i = 0; i < numParameters; ++i)
    {
        const auto& p = parameterTable[(unsigned) i];
        if (static_cast<int> (p.id) != i || ! (p.lowest() <= p.defaultValue && p.defaultValue <= p.highest())
            || p.displayScale <= 0.0f || (p.enumeration && (p.lowest() != 0.0f || p.highest() != 1.0f)))
            return false;
        for (int j = 0; j < i; ++j)
            if (sameText (p.symbol, parameterTable[(unsigned) j].symbol))
                return false;
    }
    return true;
}
} // namespace detail

// Row i is host index i, every default lies in its range, symbols are unique.
static_assert (detail::tableIsConsistent());

} // namespace vrc

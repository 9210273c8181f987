#pragma once
// The plug-in's eight parameters: one record each with everything any part of
// the product says about it (host name, symbol, chunk attribute, command-line
// option, panel label, unit, range, default, display scale, hints). Every other
// place (processor, editor, persistence, formats, tools) derives from this table.
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

    // Frozen names (see the block above the table): never change a byte.
    const char* name;           // as the host shows it
    const char* symbol;         // LV2 port symbol; the string id of VST3 and CLAP hosts
    const char* chunkAttribute; // the attribute in the saved settings chunk
    const char* option;         // vrc-render's option ("--drywet")

    // Texts that may be improved.
    const char* label;          // printed on the panel by the control
    const char* shortName;      // in a line of settings ("dry/wet -6 dB, ...")
    const char* summary;        // what it does, in a line of vrc-render --help

    ParameterUnit unit;
    float minimum;          // physical value at normalised 0 (threshold's range runs downwards)
    float maximum;          // physical value at normalised 1
    float defaultValue;     // physical
    float displayScale;     // displayed = physical × this (100 for a share shown in %)
    bool logarithmic;       // LV2 hosts may give the port a logarithmic scale (the range excludes 0)
    bool enumeration;       // a switch between the two curves, 0 and 1

    constexpr float lowest() const noexcept { return minimum < maximum ? minimum : maximum; }
    constexpr float highest() const noexcept { return minimum < maximum ? maximum : minimum; }
};

constexpr int numParameters = 8;

/** Default knee: under the default decibel curve, 0.94 gives a knee about 12 dB
    wide, bending from about 4 dB below the threshold to 2 dB above it. */
constexpr float defaultKnee = 0.94f;

// ---- Frozen names ----------------------------------------------------------
// Saved sessions, host projects and automation, LV2 and CLAP hosts, and scripts
// that call vrc-render hold these strings. Each stays byte for byte as it is,
// the old spellings included ("Transfert Curve", the chunk's "thresold"): a
// changed byte loses a user's settings or automation without a word. They are:
//   - the settings chunk's element name, below, and each row's chunkAttribute
//     (read back ignoring ASCII case, written exactly so);
//   - each row's name (VST2, VST3, CLAP, LV2 show it) and symbol (LV2 port
//     symbol, the string id VST3 and CLAP hosts keep);
//   - each row's vrc-render option, and the curve switch's two labels (CLAP
//     value texts, LV2 scale points, and the values --curve takes).
// Tests pin every one of them against literals of their own.
inline constexpr const char* settingsElementName = "VeskCompSettings";
inline constexpr const char* curveLabels[2] = { "linear", "exp" };

inline constexpr std::array<ParameterInfo, numParameters> parameterTable { {
    { ParameterId::threshold, "Threshold", "threshold", "thresold", "--threshold",
      "THRESHOLD", "threshold", "level above which the signal is compressed",
      ParameterUnit::db, 0.0f, -40.0f, 0.0f, 1.0f, false, false },
    { ParameterId::ratio, "Ratio", "ratio", "ratio", "--ratio",
      "RATIO", "ratio", "share of the level above the threshold that is removed",
      ParameterUnit::none, 0.5f, 1.0f, 0.5f, 1.0f, false, false },
    { ParameterId::gain, "Gain", "gain", "gain", "--gain",
      "GAIN", "gain", "make-up gain",
      ParameterUnit::db, -20.0f, 30.0f, 0.0f, 1.0f, false, false },
    { ParameterId::attack, "Attack", "attack", "attack", "--attack",
      "ATTACK", "attack", "attack time",
      ParameterUnit::seconds, 0.0f, 0.3f, 0.05f, 1.0f, false, false },
    { ParameterId::release, "Release", "release", "release", "--release",
      "RELEASE", "release", "release time; the engine adds 45 ms x ratio",
      ParameterUnit::seconds, 0.01f, 5.0f, 0.1f, 1.0f, true, false },
    { ParameterId::knee, "Knee", "knee", "knee", "--knee",
      "KNEE", "knee", "knee: 0 gives the softest, widest bend, 1 the sharpest",
      ParameterUnit::none, 0.0f, 1.0f, defaultKnee, 1.0f, false, false },
    { ParameterId::dryWet, "Dry/Wet", "dry_wet", "drywet", "--drywet",
      "SUM", "dry/wet", "share of the compressed signal in the output",
      ParameterUnit::percent, 0.0f, 1.0f, 1.0f, 100.0f, false, false },
    { ParameterId::curve, "Transfert Curve", "curve", "curve", "--curve",
      "CURVE", "curve", "linear: amplitudes, rational knee; exp: decibels, logistic knee",
      ParameterUnit::none, 0.0f, 1.0f, 1.0f, 1.0f, false, true },
} };
// ---- End of the frozen names -----------------------------------------------

constexpr const ParameterInfo& parameterInfo (ParameterId id) noexcept
{
    return parameterTable[static_cast<std::size_t> (id)];
}

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

/** An order in which to visit all parameters. */
using ParameterOrder = std::array<ParameterId, numParameters>;

/** The order in which a full set of settings reaches the engine: ratio before
    release, because the release coefficient takes the ratio of the moment it is
    written. Every place that writes all settings (a resume, a restored session,
    a format's first block) goes in this order. */
inline constexpr ParameterOrder engineWriteOrder { {
    ParameterId::ratio, ParameterId::threshold, ParameterId::gain, ParameterId::attack,
    ParameterId::release, ParameterId::knee, ParameterId::dryWet, ParameterId::curve } };

/** Whether an order names every parameter exactly once. */
constexpr bool holdsEveryParameterOnce (const ParameterOrder& order) noexcept
{
    for (int i = 0; i < numParameters; ++i)
    {
        const int id = static_cast<int> (order[(unsigned) i]);
        if (id < 0 || id >= numParameters)
            return false;
        for (int j = 0; j < i; ++j)
            if (order[(unsigned) j] == order[(unsigned) i])
                return false;
    }
    return true;
}

constexpr bool writesEverySettingOnceRatioFirst (const ParameterOrder& order) noexcept
{
    int ratioAt = -1, releaseAt = -1;
    for (int i = 0; i < numParameters; ++i)
    {
        ratioAt = order[(unsigned) i] == ParameterId::ratio ? i : ratioAt;
        releaseAt = order[(unsigned) i] == ParameterId::release ? i : releaseAt;
    }
    return holdsEveryParameterOnce (order) && ratioAt >= 0 && ratioAt < releaseAt;
}
static_assert (writesEverySettingOnceRatioFirst (engineWriteOrder));

constexpr bool isValidParameterIndex (int index) noexcept { return index >= 0 && index < numParameters; }

namespace detail
{
constexpr char lowerAscii (char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char> (c - 'A' + 'a') : c; }

constexpr bool sameText (const char* a, const char* b, bool ignoringCase = false) noexcept
{
    while (*a != 0 && (ignoringCase ? lowerAscii (*a) == lowerAscii (*b) : *a == *b))
        ++a, ++b;
    return ignoringCase ? lowerAscii (*a) == lowerAscii (*b) : *a == *b;
}

constexpr bool isEmpty (const char* text) noexcept { return text == nullptr || *text == 0; }

/** Two parameters may share no name a reader tells them apart by: the chunk's
    attributes are matched ignoring case, the rest exactly. */
constexpr bool namesClash (const ParameterInfo& p, const ParameterInfo& q) noexcept
{
    return sameText (p.name, q.name) || sameText (p.symbol, q.symbol) || sameText (p.chunkAttribute, q.chunkAttribute, true)
           || sameText (p.option, q.option) || sameText (p.label, q.label) || sameText (p.shortName, q.shortName);
}

constexpr bool tableIsConsistent() noexcept
{
    for (int i = 0; i < numParameters; ++i)
    {
        const auto& p = parameterTable[(unsigned) i];
        if (static_cast<int> (p.id) != i || ! (p.lowest() <= p.defaultValue && p.defaultValue <= p.highest())
            || p.displayScale <= 0.0f || (p.enumeration && (p.lowest() != 0.0f || p.highest() != 1.0f))
            || (p.logarithmic && p.lowest() <= 0.0f))
            return false;
        for (const char* text : { p.name, p.symbol, p.chunkAttribute, p.option, p.label, p.shortName, p.summary })
            if (isEmpty (text))
                return false;
        if (p.option[0] != '-' || p.option[1] != '-')
            return false;
        for (int j = 0; j < i; ++j)
            if (namesClash (p, parameterTable[(unsigned) j]))
                return false;
    }
    return true;
}
} // namespace detail

// Row i is host index i, every default lies in its range, a logarithmic range
// stays above 0, every text is there and no two parameters share a name.
static_assert (detail::tableIsConsistent());

} // namespace vrc

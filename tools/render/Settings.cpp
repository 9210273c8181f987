#include "Settings.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>

namespace vrc::render
{

namespace
{
// A chunk holds one short XML line; anything far larger is not one.
constexpr std::int64_t maximumChunkBytes = 1 << 20;

const ControlOption& controlFor (ParameterId id)
{
    for (const auto& c : controlOptions)
        if (c.id == id)
            return c;
    return controlOptions[0];
}

const char* controlName (ParameterId id)
{
    switch (id)
    {
        case ParameterId::threshold: return "threshold";
        case ParameterId::ratio: return "ratio";
        case ParameterId::gain: return "gain";
        case ParameterId::attack: return "attack";
        case ParameterId::release: return "release";
        case ParameterId::knee: return "knee";
        case ParameterId::dryWet: return "dry/wet";
        case ParameterId::curve: return "curve";
    }
    return "";
}

float toUser (const ControlOption& c, float physical)
{
    return static_cast<float> (static_cast<double> (physical) * c.userScale);
}
} // namespace

SettingsValues defaultSettings()
{
    SettingsValues values {};
    for (const auto& p : parameterTable)
        values[static_cast<size_t> (p.id)] = p.defaultValue;
    return values;
}

std::string applyStateFile (const std::string& path, SettingsValues& values, std::vector<std::string>& warnings)
{
    // Read through a plain descriptor up to one byte past the limit, whatever the
    // file is: a pipe, a device without end, a FIFO.
    const int fd = ::open (path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return "cannot read settings chunk '" + path + "': " + (errno == ENOENT ? std::string ("no such file") : std::strerror (errno));
    std::vector<char> data;
    char block[4096];
    for (;;)
    {
        const auto n = ::read (fd, block, sizeof (block));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || data.size() > (size_t) maximumChunkBytes)
            break;
        data.insert (data.end(), block, block + n);
    }
    const int readError = errno;
    ::close (fd);
    if (data.size() > (size_t) maximumChunkBytes)
        return "'" + path + "' is not a VR-C settings chunk (more than " + std::to_string (maximumChunkBytes >> 10) + " KiB)";
    if (data.empty() && readError == EISDIR)
        return "cannot read settings chunk '" + path + "': it is a folder";

    const auto restored = readSettingsChunk (data.data(), static_cast<int> (data.size()));
    const bool any = std::any_of (restored.begin(), restored.end(), [] (const auto& v) { return v.has_value(); });
    if (! any)
        return "'" + path + "' is not a VR-C settings chunk";

    for (size_t i = 0; i < restored.size(); ++i)
    {
        if (! restored[i])
            continue;
        values[i] = *restored[i];
        // Restored as the plug-in restores a session, but a value the control cannot
        // reach is worth a word: the same value as an option would be refused.
        const auto& info = parameterTable[i];
        const float low = std::min (info.minimum, info.maximum), high = std::max (info.minimum, info.maximum);
        if (! (values[i] >= low && values[i] <= high))
        {
            const auto& control = controlFor (info.id);
            warnings.push_back ("'" + path + "' sets " + controlName (info.id) + " to " + formatUserValue (control, values[i])
                                + ", outside the control's range " + userRange (control) + "; used as the plug-in would");
        }
    }
    return {};
}

std::string applyOptionSettings (const Options& options, SettingsValues& values)
{
    for (const auto& c : controlOptions)
    {
        const auto& given = options.settings[static_cast<size_t> (c.id)];
        if (! given)
            continue;

        // Rounded to the float the plug-in stores, then compared with the table's floats.
        const auto v = static_cast<float> (*given);
        const auto& info = parameterTable[static_cast<size_t> (c.id)];
        const float low = std::min (info.minimum, info.maximum), high = std::max (info.minimum, info.maximum);
        if (! options.force && (v < low || v > high))
            return std::string (c.option) + " " + formatUserValue (c, v) + " is outside the control's range "
                   + userRange (c) + " (--force accepts it)";
        values[static_cast<size_t> (c.id)] = v;
    }
    return {};
}

std::string formatNumber (float v)
{
    char text[64];
    const auto result = std::to_chars (text, text + sizeof (text), v);
    return std::string (text, result.ptr);
}

std::string formatUserValue (const ControlOption& c, float physical)
{
    if (c.id == ParameterId::curve)
    {
        // The engine truncates toward zero: only values of 1 or more select the decibel curve.
        const char* name = physical >= 1.0f ? "exp" : "linear";
        return (physical == 0.0f || physical == 1.0f) ? std::string (name)
                                                      : std::string (name) + " (" + formatNumber (physical) + ")";
    }
    const float user = toUser (c, physical);
    std::string text = (c.id == ParameterId::gain && user > 0.0f ? "+" : "") + formatNumber (user);
    if (*c.unit != 0)
        text += std::string (" ") + c.unit;
    return text;
}

std::string userRange (const ControlOption& c)
{
    const auto& info = parameterTable[static_cast<size_t> (c.id)];
    const float low = std::min (info.minimum, info.maximum), high = std::max (info.minimum, info.maximum);
    std::string text = formatNumber (toUser (c, low)) + " .. " + formatNumber (toUser (c, high));
    if (*c.unit != 0)
        text += std::string (" ") + c.unit;
    return text;
}

std::string describeSettings (const SettingsValues& values)
{
    std::string text;
    for (const auto& p : parameterTable)
    {
        if (! text.empty())
            text += ", ";
        text += std::string (controlName (p.id)) + " "
                + formatUserValue (controlFor (p.id), values[static_cast<size_t> (p.id)]);
    }
    return text;
}

} // namespace vrc::render

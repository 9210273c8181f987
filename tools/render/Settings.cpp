#include "Settings.h"

#include "processor/ParameterDisplay.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include <charconv>

namespace vrc::render
{

namespace
{
// A chunk holds one short XML line; anything far larger is not one.
constexpr std::int64_t maximumChunkBytes = 1 << 20;

float toUser (const ParameterInfo& p, float physical)
{
    return static_cast<float> (displayValueOf (p.id, physical));
}
} // namespace

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
        if (! (values[i] >= info.lowest() && values[i] <= info.highest()))
            warnings.push_back ("'" + path + "' sets " + info.shortName + " to " + formatUserValue (info, values[i])
                                + ", outside the control's range " + userRange (info) + "; used as the plug-in would");
    }
    return {};
}

std::string applyOptionSettings (const Options& options, SettingsValues& values)
{
    for (const auto& p : parameterTable)
    {
        const auto& given = options.settings[static_cast<size_t> (p.id)];
        if (! given)
            continue;

        // Rounded to the float the plug-in stores, then compared with the table's floats.
        const auto v = static_cast<float> (*given);
        if (! options.force && (v < p.lowest() || v > p.highest()))
            return std::string (p.option) + " " + formatUserValue (p, v) + " is outside the control's range "
                   + userRange (p) + " (--force accepts it)";
        values[static_cast<size_t> (p.id)] = v;
    }
    return {};
}

std::string formatNumber (float v)
{
    char text[64];
    const auto result = std::to_chars (text, text + sizeof (text), v);
    return std::string (text, result.ptr);
}

std::string formatUserValue (const ParameterInfo& p, float physical)
{
    if (p.enumeration)
    {
        // The engine truncates toward zero: only values of 1 or more select the decibel curve.
        const char* name = curveLabels[physical >= 1.0f ? 1 : 0];
        return (physical == 0.0f || physical == 1.0f) ? std::string (name)
                                                      : std::string (name) + " (" + formatNumber (physical) + ")";
    }
    // A control that reaches both sides of 0 (the make-up gain) says "+" for a raise.
    const bool signedControl = p.lowest() < 0.0f && p.highest() > 0.0f;
    const float user = toUser (p, physical);
    std::string text = (signedControl && user > 0.0f ? "+" : "") + formatNumber (user);
    if (*unitText (p.unit) != 0)
        text += std::string (" ") + unitText (p.unit);
    return text;
}

std::string userRange (const ParameterInfo& p)
{
    std::string text = formatNumber (toUser (p, p.lowest())) + " .. " + formatNumber (toUser (p, p.highest()));
    if (*unitText (p.unit) != 0)
        text += std::string (" ") + unitText (p.unit);
    return text;
}

std::string describeSettings (const SettingsValues& values)
{
    std::string text;
    for (const auto& p : parameterTable)
    {
        if (! text.empty())
            text += ", ";
        text += std::string (p.shortName) + " " + formatUserValue (p, values[static_cast<size_t> (p.id)]);
    }
    return text;
}

} // namespace vrc::render

#include "SettingsChunk.h"

#include "ParameterText.h"
#include "SettingsXmlReader.h"

#include <juce_core/juce_core.h>

#include <cmath>
#include <cstring>
#include <string_view>

namespace vrc
{

namespace
{
bool equalsIgnoringAsciiCase (std::string_view a, std::string_view b) noexcept
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
    {
        auto lower = [] (char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char> (c - 'A' + 'a') : c; };
        if (lower (a[i]) != lower (b[i]))
            return false;
    }
    return true;
}

std::uint32_t readLittleEndian32 (const std::uint8_t* p) noexcept
{
    return static_cast<std::uint32_t> (p[0]) | (static_cast<std::uint32_t> (p[1]) << 8)
           | (static_cast<std::uint32_t> (p[2]) << 16) | (static_cast<std::uint32_t> (p[3]) << 24);
}

// The framework's number reader accumulates exponent digits in an int, which
// overflows (undefined behaviour) on a damaged text like "1e+5000000000001".
// Any exponent of more than five significant digits already means infinity or
// zero, so such a run is shortened to 99999 before the framework reads it.
juce::String withBoundedExponent (const juce::String& text)
{
    auto p = text.getCharPointer();
    auto skipDigits = [&p]
    {
        while (p.isDigit())
            ++p;
    };
    p.incrementToEndOfWhitespace();
    if (*p == '+' || *p == '-')
        ++p;
    skipDigits();
    if (*p == '.')
    {
        ++p;
        skipDigits();
    }
    if (*p != 'e' && *p != 'E')
        return text;
    ++p;
    if (*p == '+' || *p == '-')
        ++p;
    while (*p == '0')
        ++p;
    const auto digitsStart = p;
    skipDigits();
    if (p - digitsStart <= 5)
        return text;
    return juce::String (text.getCharPointer(), digitsStart) + "99999" + juce::String (p);
}

void appendLittleEndian32 (std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back (static_cast<std::uint8_t> ((v >> shift) & 0xffu));
}
} // namespace

std::string settingsXml (const SettingsValues& values)
{
    std::string text = "<";
    text += settingsElementName;
    for (auto id : settingsWriteOrder)
    {
        text += ' ';
        text += parameterInfo (id).chunkAttribute;
        text += "=\"";
        text += formatShortest9 (static_cast<double> (values[static_cast<size_t> (id)]));
        text += '"';
    }
    text += "/>";
    return text;
}

std::vector<std::uint8_t> writeSettingsChunk (const SettingsValues& values)
{
    const auto text = settingsXml (values);
    std::vector<std::uint8_t> chunk;
    chunk.reserve (text.size() + 10);
    appendLittleEndian32 (chunk, settingsChunkMagic);
    appendLittleEndian32 (chunk, static_cast<std::uint32_t> (text.size()));
    chunk.insert (chunk.end(), text.begin(), text.end());
    chunk.push_back (0); // the text's terminator
    chunk.push_back (0); // and one more zero byte, which older readers expect
    return chunk;
}

std::optional<float> readSettingsNumber (std::string_view text)
{
    // The leading number only; a text that does not start with one reads as 0.
    const double v = withBoundedExponent (juce::String::fromUTF8 (text.data(), static_cast<int> (text.size())))
                         .getDoubleValue();
    // A value beyond the float range would turn the audio into inf/NaN; such a
    // damaged attribute is ignored like an absent one.
    const auto narrowed = static_cast<float> (v);
    if (! std::isfinite (narrowed))
        return std::nullopt;
    return narrowed;
}

RestoredSettings readSettingsChunk (const void* data, int sizeInBytes)
{
    RestoredSettings restored;
    if (data == nullptr || sizeInBytes <= 8)
        return restored;

    const auto* bytes = static_cast<const std::uint8_t*> (data);
    if (readLittleEndian32 (bytes) != settingsChunkMagic)
        return restored;

    const auto declaredLength = static_cast<std::int32_t> (readLittleEndian32 (bytes + 4));
    if (declaredLength <= 0)
        return restored;

    // A length beyond the chunk is read only to the chunk's end; a zero byte ends the text early.
    auto length = static_cast<size_t> (std::min (declaredLength, sizeInBytes - 8));
    const auto* text = reinterpret_cast<const char*> (bytes + 8);
    if (const void* zero = std::memchr (text, 0, length))
        length = static_cast<size_t> (static_cast<const char*> (zero) - text);

    // Damaged bytes that are not UTF-8 count as a foreign chunk, never as text.
    if (! juce::CharPointer_UTF8::isValidString (text, static_cast<int> (length)))
        return restored;

    // A document that simply stops would still yield the attributes read so far.
    // A chunk cut short must restore nothing, and every complete document ends with '>'.
    const std::string_view document (text, length);
    const auto lastNonSpace = document.find_last_not_of (" \t\n\v\f\r");
    if (lastNonSpace == std::string_view::npos || document[lastNonSpace] != '>')
        return restored;

    const auto element = readXmlRootElement (document);
    if (! element.has_value() || ! equalsIgnoringAsciiCase (element->name, settingsElementName))
        return restored;

    for (auto id : settingsRestoreOrder)
    {
        for (const auto& [name, value] : element->attributes)
        {
            if (equalsIgnoringAsciiCase (name, parameterInfo (id).chunkAttribute))
            {
                restored[static_cast<size_t> (id)] = readSettingsNumber (value);
                break;
            }
        }
    }
    return restored;
}

} // namespace vrc

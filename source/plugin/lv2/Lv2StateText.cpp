#include "Lv2StateText.h"

namespace vrc::lv2
{
namespace
{
constexpr char alphabet[] = ".ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+";

/** A character's six bits, or -1 for a character the framework skips. The
    framework looks characters up in a table from '+' (43) for 80 entries, where
    the gaps read as 0; beyond it they are skipped. */
struct DecodingTable
{
    constexpr DecodingTable()
    {
        for (int c = 0; c < 256; ++c)
            values[c] = c >= 43 && c < 43 + 80 ? 0 : -1;
        for (int i = 0; i < 64; ++i)
            values[static_cast<unsigned char> (alphabet[i])] = static_cast<signed char> (i);
    }
    signed char values[256] {};
};
constexpr DecodingTable decoding;

int sixBits (unsigned char c) noexcept { return decoding.values[c]; }
} // namespace

std::optional<std::vector<std::uint8_t>> decodeStateText (const char* text, std::size_t size)
{
    if (text == nullptr)
        return std::nullopt;

    std::size_t at = 0, count = 0;
    for (; at < size && text[at] >= '0' && text[at] <= '9'; ++at)
    {
        count = count * 10 + static_cast<std::size_t> (text[at] - '0');
        if (count > maxStateBytes)
            return std::nullopt;
    }
    if (at == 0 || at >= size || text[at] != '.')
        return std::nullopt;

    std::vector<std::uint8_t> bytes (count);
    const std::size_t totalBits = count * 8;
    std::size_t bit = 0;
    for (++at; at < size && text[at] != '\0' && bit < totalBits; ++at)
    {
        const int value = sixBits (static_cast<unsigned char> (text[at]));
        if (value < 0)
            continue;
        for (int b = 0; b < 6 && bit < totalBits; ++b, ++bit)
            if ((value >> b) & 1)
                bytes[bit / 8] = static_cast<std::uint8_t> (bytes[bit / 8] | (1u << (bit % 8)));
    }
    return bytes;
}
} // namespace vrc::lv2

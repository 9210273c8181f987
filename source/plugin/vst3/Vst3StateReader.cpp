#include "Vst3StateReader.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace vrc::vst3
{
namespace
{
constexpr std::string_view trailerMarker = "JUCEPrivateData";
constexpr std::size_t sizeFieldBytes = 8, leadingZeroBytes = 8;

/** Bounds-checked reading of the wrapper's private block (the framework's
    serialised tree: a type name, a property count, then name and value pairs). */
class BlockReader
{
public:
    BlockReader (const std::uint8_t* dataIn, std::size_t sizeIn) noexcept : data (dataIn), size (sizeIn) {}

    bool atEnd() const noexcept { return at >= size; }

    /** A terminated string, or nothing when the block ends first. */
    std::optional<std::string_view> string() noexcept
    {
        const auto* start = data + at;
        const auto* end = static_cast<const std::uint8_t*> (std::memchr (start, 0, size - at));
        if (end == nullptr)
            return std::nullopt;
        at += static_cast<std::size_t> (end - start) + 1;
        return std::string_view (reinterpret_cast<const char*> (start), static_cast<std::size_t> (end - start));
    }

    /** The framework's compressed integer: a byte count (with the sign in its top
        bit) and that many little-endian bytes. */
    std::optional<std::int64_t> compressedInt() noexcept
    {
        const auto head = byte();
        if (! head.has_value())
            return std::nullopt;
        const int count = *head & 0x7f;
        if (count > 4)
            return std::nullopt;
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i)
        {
            const auto b = byte();
            if (! b.has_value())
                return std::nullopt;
            value |= static_cast<std::uint32_t> (*b) << (8 * i);
        }
        return (*head & 0x80) != 0 ? -static_cast<std::int64_t> (value) : static_cast<std::int64_t> (value);
    }

    /** A value as true or false, for the kinds the bypass switch is saved as
        (a flag or a number); nothing for any other kind or a short block. */
    std::optional<bool> switchValue() noexcept
    {
        const auto length = compressedInt();
        if (! length.has_value())
            return std::nullopt;
        if (*length <= 0)
            return false; // an empty value
        const auto kind = byte();
        if (! kind.has_value())
            return std::nullopt;
        enum : std::uint8_t { intKind = 1, trueKind = 2, falseKind = 3, doubleKind = 4, int64Kind = 6 };
        switch (*kind)
        {
            case trueKind: return true;
            case falseKind: return false;
            case intKind: return nonZero (4);
            case int64Kind: return nonZero (8);
            case doubleKind:
            {
                if (size - at < 8)
                    return std::nullopt;
                double d = 0;
                std::memcpy (&d, data + at, 8);
                at += 8;
                return d != 0.0;
            }
            default: return std::nullopt;
        }
    }

private:
    std::optional<std::uint8_t> byte() noexcept
    {
        if (at >= size)
            return std::nullopt;
        return data[at++];
    }

    std::optional<bool> nonZero (std::size_t bytes) noexcept
    {
        if (size - at < bytes)
            return std::nullopt;
        const bool any = std::any_of (data + at, data + at + bytes, [] (std::uint8_t b) { return b != 0; });
        at += bytes;
        return any;
    }

    const std::uint8_t* data;
    std::size_t size, at = 0;
};

/** The bypass switch in a private block: off unless a readable "Bypass" property
    says otherwise (the last one wins); reading stops at anything unexpected. */
bool readBypass (const std::uint8_t* data, std::size_t size) noexcept
{
    BlockReader reader (data, size);
    const auto type = reader.string();
    if (! type.has_value() || type->empty())
        return false;
    const auto count = reader.compressedInt();
    bool bypass = false;
    for (std::int64_t i = 0; count.has_value() && i < *count && ! reader.atEnd(); ++i)
    {
        const auto name = reader.string();
        const auto value = name.has_value() ? reader.switchValue() : std::nullopt;
        if (! value.has_value())
            break;
        if (*name == "Bypass")
            bypass = *value;
    }
    return bypass;
}
} // namespace

std::optional<std::vector<std::uint8_t>> collectState (const std::function<int (void*, int)>& read)
{
    std::vector<std::uint8_t> bytes;
    constexpr int piece = 4096;
    std::uint8_t buffer[piece];
    for (;;)
    {
        const int got = std::min (read (buffer, piece), piece);
        if (got <= 0)
            return bytes;
        if (bytes.size() + static_cast<std::size_t> (got) > maxStateBytes)
            return std::nullopt;
        bytes.insert (bytes.end(), buffer, buffer + got);
    }
}

StateParts splitState (const std::uint8_t* data, std::size_t size) noexcept
{
    if (data == nullptr)
        return {};
    const std::size_t trailerBytes = trailerMarker.size() + sizeFieldBytes;
    if (size < trailerBytes
        || std::memcmp (data + size - trailerMarker.size(), trailerMarker.data(), trailerMarker.size()) != 0)
        return { size, std::nullopt };

    std::uint64_t privateSize = 0;
    for (std::size_t i = 0; i < sizeFieldBytes; ++i)
        privateSize |= static_cast<std::uint64_t> (data[size - trailerBytes + i]) << (8 * i);

    if (size - trailerBytes < leadingZeroBytes || privateSize > size - trailerBytes - leadingZeroBytes)
        return {};

    const std::size_t privateStart = size - trailerBytes - static_cast<std::size_t> (privateSize);
    StateParts parts { privateStart - leadingZeroBytes, std::nullopt };
    if (privateSize > 0)
        parts.bypass = readBypass (data + privateStart, static_cast<std::size_t> (privateSize));
    return parts;
}
} // namespace vrc::vst3

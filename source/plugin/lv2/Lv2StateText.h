#pragma once
// The LV2 build's saved state as the framework writes it: the byte count in
// decimal, '.', then six bits per character from the framework's alphabet. Read
// here in bounded time and memory, before the framework sees any of it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vrc::lv2
{
/** Far above any settings chunk; a larger count is refused rather than allocated. */
constexpr std::size_t maxStateBytes = 1u << 20;

/** The bytes a state text encodes, decoded as the framework decodes them (other
    characters skipped, missing bits zero, surplus ones dropped), reading at most
    size bytes and stopping at a terminator. Nothing when the count is not plain
    decimal digits followed by '.', or exceeds maxStateBytes. */
std::optional<std::vector<std::uint8_t>> decodeStateText (const char* text, std::size_t size);
} // namespace vrc::lv2

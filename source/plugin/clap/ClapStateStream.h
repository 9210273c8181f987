#pragma once
// The bytes of a saved state, through the host's streams. Hosts may move fewer
// bytes per call than asked; a stream that lies, fails or never ends is refused
// in bounded time and memory before the processor sees anything.
#include "ClapAbi.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vrc::clap
{
/** Far above any settings chunk; a longer stream is refused rather than stored. */
constexpr std::size_t maxStateBytes = 1u << 20;

/** Everything the stream holds up to its end, or nothing when it reports an
    error, claims more than was asked, or holds more than maxStateBytes. */
std::optional<std::vector<std::uint8_t>> readWholeStream (const InputStream& stream);

/** Writes all of bytes, however few the host takes per call. */
bool writeWholeStream (const OutputStream& stream, const std::uint8_t* bytes, std::size_t size) noexcept;
} // namespace vrc::clap

#pragma once
// The VST3 build's saved state as a host hands it back: the plug-in's settings
// chunk, then the framework wrapper's trailer (eight zero bytes, a private block
// holding the bypass switch, its 64-bit size and a 15-byte marker). Read here
// with every size checked, so the wrapper never computes an offset from them.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace vrc::vst3
{
/** Far above any state the plug-in saves; a longer stream is refused. */
constexpr std::size_t maxStateBytes = 1u << 20;

/** A host's stream read whole: read (buffer, wanted) delivers up to wanted bytes
    and returns how many (0 or less at the end). Nothing when the stream holds
    more than maxStateBytes, which is read no further than one piece beyond. */
std::optional<std::vector<std::uint8_t>> collectState (const std::function<int (void* buffer, int wanted)>& read);

struct StateParts
{
    /** Bytes of the settings chunk at the start (0: restore nothing). */
    std::size_t chunkSize = 0;
    /** The bypass switch, when the state carries a private block. */
    std::optional<bool> bypass;
};

/** The parts of a saved state. A state without the marker is all chunk, as
    states from before the wrapper kept a trailer; one whose trailer does not fit
    inside it is damaged and restores nothing. */
StateParts splitState (const std::uint8_t* data, std::size_t size) noexcept;
} // namespace vrc::vst3

#pragma once
// Compressed inputs and the frames that really are in them. The framework's
// FLAC and Ogg readers pad with silence wherever decoding stops, so a cut file
// would render at its announced length; these checks find the true end.
#include <juce_core/juce_core.h>

#include <cstdint>
#include <optional>

namespace vrc::render
{

/** Frames a FLAC file decodes to (libFLAC, stopping at the first point it cannot pass);
    nullopt when the file cannot be decoded at all. Linear in the file's size. */
std::optional<std::uint64_t> countFlacFrames (const juce::File& file);

/** Frames an Ogg Vorbis file decodes to from its start, up to the first point where
    decoding fails (a hole or damage): the stated length comes from the last page's
    position, which one damaged page can set to anything. nullopt when it cannot be opened. */
std::optional<std::uint64_t> countOggFrames (const juce::File& file);

/** Whether an Ogg file's last page is whole and carries the end-of-stream mark, as
    every finished Ogg file's does. Reads at most the last 64 KiB. */
bool oggEndsCleanly (const juce::File& file);

} // namespace vrc::render

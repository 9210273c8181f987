#pragma once
// WAV and AIFF inputs are never handed to the framework's parsers as they are.
// Their chunks are walked here, in time and memory bounded by the file's size,
// and the framework reads a minimal header of ours in front of the audio bytes
// that really are in the file: a header that claims more than the file holds
// can neither pad the render with invented frames nor steer a parser.
#include <juce_core/juce_core.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace vrc::render
{

struct PcmContainer
{
    bool recognised = false;   // a RIFF/RF64 WAVE or FORM AIFF/AIFC file
    bool isAiff = false;
    std::string error;         // recognised, but its structure is unusable
    juce::MemoryBlock header;  // the clean header the framework reads
    std::int64_t dataStart = 0, dataBytes = 0; // the audio bytes present in the file
    // What the header claims, in frames; nullopt when its size field is 0 or all ones
    // (a recorder that never finished), which means "to the end of the file".
    std::optional<std::uint64_t> claimedFrames;
    int bytesPerFrame = 0;
    int channels = 0;
};

/** Walks the file's chunks; recognised stays false for anything but WAV and AIFF. */
PcmContainer scanPcmContainer (const juce::File& file);

/** The clean header followed by the file's audio bytes, as one stream. */
std::unique_ptr<juce::InputStream> openCleanStream (const juce::File& file, const PcmContainer& container);

} // namespace vrc::render

#pragma once
// What libsndfile's FLAC and Ogg decoders keep to themselves: it stops at the
// first damaged FLAC frame or Ogg page without an error, and reads only the
// first stream of a chained Ogg file. These checks walk the file on their own
// and say where and what, so a render never passes over damage in silence.
#include <cstdint>
#include <optional>
#include <string>

namespace vrc::render
{

/** The first thing wrong in a compressed stream. */
struct StreamFault
{
    std::uint64_t frame = 0;  // the frame it lies at (FLAC), or the last good position before it (Ogg)
    std::uint64_t offset = 0; // the byte in the file
    std::string what;         // "a frame fails its checksum"
    bool exactFrame = true;
};

/** Decodes a FLAC file with libFLAC and returns its first decoding error; an
    error after the last frame the header announces (a tag appended to the file)
    is no fault. Linear in the file's size. */
std::optional<StreamFault> checkFlac (const std::string& path, std::uint64_t statedFrames);

struct OggCheck
{
    std::optional<StreamFault> fault; // the first; its frame is the stream's position at the last good page
    std::uint64_t lastPosition = 0;   // the first stream's last page position, damage or not
};

/** Walks every Ogg page of a file: checksums, page sequence, a second stream
    after the first (a chained file), a cut last page, a missing end mark. Past
    damage it finds the next page, so the stream's stated length is still known. */
OggCheck checkOgg (const std::string& path);

} // namespace vrc::render

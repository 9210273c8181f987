#pragma once
// What libsndfile's FLAC and Ogg decoders keep to themselves: it stops at the
// first damaged FLAC frame or Ogg page without an error (or decodes on past an
// Ogg hole, moving later audio earlier), and reads only the first stream of a
// chained Ogg file. These checks say where and what, before the audio is read,
// so a render stops at the damage instead of passing over it in silence.
#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vrc::render
{

/** The first thing wrong in a compressed stream. */
struct StreamFault
{
    std::uint64_t frame = 0;  // the frame it lies at (FLAC), or the last good position before it (Ogg)
    std::uint64_t offset = 0; // the byte in the file
    std::string what;         // "a frame fails its checksum"
    bool exactFrame = true;
    bool located = true;      // false: the whole stream is wrong somewhere (a checksum over all of it)
};

/** Decodes a FLAC file with libFLAC and returns its first decoding error, or a
    mismatch with the MD5 of the audio its header holds; an error after the last
    frame the header announces (a tag appended to the file) is no fault. Linear
    in the file's size. */
std::optional<StreamFault> checkFlac (const std::string& path, std::uint64_t statedFrames);

struct OggCheck
{
    std::optional<StreamFault> fault; // the first; its frame is the stream's position at the last good page
    std::uint64_t lastPosition = 0;   // the first stream's last page position, damage or not
    bool opus = false;                // positions are then 48 kHz samples, counted from the first audible one
};

/** Walks Ogg pages as bytes arrive, in one pass (a pipe is read once): checksums,
    page sequence, a second stream after the first (a chained file, whatever its
    serial number), a cut last page, a missing end mark. Past damage it finds the
    next page, so the stream's stated length is still known. Holds at most one
    page of bytes. */
class OggWalker
{
public:
    void push (const std::uint8_t* data, size_t n);
    /** No more bytes: what remains is a cut page; a stream without its end mark is cut. */
    const OggCheck& finish();
    const OggCheck& result() const noexcept { return check; }
    /** A second stream was met: the walk is over, the rest of the bytes need not come. */
    bool chainedFound() const noexcept { return chained; }

    /** The position (in the stream's own units, pre-skip removed) up to which the
        audio is whole, once damage has been met; -1 before. Safe from any thread. */
    std::int64_t wholeUpTo() const noexcept { return stopAt.load(); }

private:
    void fault (std::string what);
    bool takePage(); // false: more bytes needed
    std::uint64_t position (std::uint64_t granule) const noexcept;

    OggCheck check;
    std::vector<std::uint8_t> pending;
    size_t start = 0;         // pending[start] is the byte at `offset` in the file
    std::uint64_t offset = 0;
    std::optional<std::uint32_t> firstSerial;
    std::map<std::uint32_t, std::uint32_t> nextSequence; // per serial
    bool firstEnded = false, dataSeen = false, headSeen = false, chained = false;
    std::uint32_t preSkip = 0;
    std::atomic<std::int64_t> stopAt { -1 };
};

/** The whole file through an OggWalker. */
OggCheck checkOgg (const std::string& path);

} // namespace vrc::render

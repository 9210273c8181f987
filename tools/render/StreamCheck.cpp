#include "StreamCheck.h"

#include <FLAC/stream_decoder.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace vrc::render
{

namespace
{
struct FlacState
{
    std::uint64_t decoded = 0;
    std::optional<StreamFault> fault;
    FLAC__StreamDecoder* decoder = nullptr;
};

FLAC__StreamDecoderWriteStatus countFrames (const FLAC__StreamDecoder*, const FLAC__Frame* frame, const FLAC__int32* const*, void* data)
{
    static_cast<FlacState*> (data)->decoded += frame->header.blocksize;
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

const char* describe (FLAC__StreamDecoderErrorStatus status)
{
    switch (status)
    {
        case FLAC__STREAM_DECODER_ERROR_STATUS_LOST_SYNC: return "bytes that are no FLAC frame (lost sync)";
        case FLAC__STREAM_DECODER_ERROR_STATUS_BAD_HEADER: return "a frame header is damaged";
        case FLAC__STREAM_DECODER_ERROR_STATUS_FRAME_CRC_MISMATCH: return "a frame fails its checksum";
        case FLAC__STREAM_DECODER_ERROR_STATUS_UNPARSEABLE_STREAM: return "a frame cannot be decoded";
        default: break;
    }
    return "a decoding error";
}

void recordError (const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus status, void* data)
{
    auto& state = *static_cast<FlacState*> (data);
    if (state.fault)
        return;
    FLAC__uint64 offset = 0;
    FLAC__stream_decoder_get_decode_position (state.decoder, &offset);
    state.fault = StreamFault { state.decoded, offset, describe (status) };
}

struct FileCloser
{
    void operator() (std::FILE* f) const { std::fclose (f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

/** Ogg's CRC-32: polynomial 0x04c11db7, not reflected, over the page with its CRC field zeroed. */
std::uint32_t oggCrc (const std::uint8_t* data, size_t n)
{
    static const auto table = []
    {
        std::array<std::uint32_t, 256> t {};
        for (std::uint32_t i = 0; i < 256; ++i)
        {
            std::uint32_t r = i << 24;
            for (int bit = 0; bit < 8; ++bit)
                r = (r & 0x80000000u) != 0 ? (r << 1) ^ 0x04c11db7u : r << 1;
            t[i] = r;
        }
        return t;
    }();
    std::uint32_t crc = 0;
    for (size_t i = 0; i < n; ++i)
        crc = (crc << 8) ^ table[((crc >> 24) ^ data[i]) & 0xff];
    return crc;
}

std::uint32_t le32 (const std::uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | ((std::uint32_t) p[3] << 24); }
std::uint64_t le64 (const std::uint8_t* p) { return le32 (p) | ((std::uint64_t) le32 (p + 4) << 32); }

// A page header is 27 bytes and its segment table up to 255 more; its body at most 255 * 255.
constexpr size_t pageHeaderBytes = 27;
} // namespace

std::optional<StreamFault> checkFlac (const std::string& path, std::uint64_t statedFrames)
{
    FlacState state;
    state.decoder = FLAC__stream_decoder_new();
    if (state.decoder == nullptr)
        return std::nullopt;
    // libFLAC compares the decoded audio with the header's MD5 when it saw the whole
    // stream and the MD5 is not all zeros (an encoder that could not compute it).
    FLAC__stream_decoder_set_md5_checking (state.decoder, true);
    const bool opened = FLAC__stream_decoder_init_file (state.decoder, path.c_str(), countFrames, nullptr, recordError, &state)
                        == FLAC__STREAM_DECODER_INIT_STATUS_OK;
    if (opened)
        FLAC__stream_decoder_process_until_end_of_stream (state.decoder);
    const bool md5Matches = ! opened || FLAC__stream_decoder_finish (state.decoder);
    FLAC__stream_decoder_delete (state.decoder);
    // Bytes after the last announced frame (an ID3 or APE tag) end in lost sync: harmless.
    if (state.fault && statedFrames > 0 && state.fault->frame >= statedFrames)
        state.fault.reset();
    if (! state.fault && ! md5Matches)
        state.fault = StreamFault { state.decoded, 0,
                                    "the decoded audio does not match the MD5 checksum in its header (some samples decode "
                                    "to other values than were encoded)",
                                    false, false };
    return state.fault;
}

void OggWalker::fault (std::string what)
{
    if (check.fault)
        return;
    check.fault = StreamFault { check.lastPosition, offset, std::move (what), false };
    stopAt.store ((std::int64_t) check.lastPosition);
}

std::uint64_t OggWalker::position (std::uint64_t granule) const noexcept
{
    return check.opus ? (granule > preSkip ? granule - preSkip : 0) : granule;
}

void OggWalker::push (const std::uint8_t* data, size_t n)
{
    if (chained)
        return;
    // (the consumed front is dropped before it outgrows what is still needed)
    if (start > 0 && start >= pending.size() / 2)
    {
        pending.erase (pending.begin(), pending.begin() + (std::ptrdiff_t) start);
        start = 0;
    }
    pending.insert (pending.end(), data, data + n);
    while (takePage())
    {
    }
}

bool OggWalker::takePage()
{
    const std::uint8_t* page = pending.data() + start;
    const size_t available = pending.size() - start;
    if (available < pageHeaderBytes)
        return false;
    if (std::memcmp (page, "OggS", 4) != 0 || page[4] != 0)
    {
        fault ("bytes that are no Ogg page");
        // After damage, the next capture pattern: the pages after it still tell the stream's length.
        size_t skip = 1;
        while (skip + 4 <= available && std::memcmp (page + skip, "OggS", 4) != 0)
            ++skip;
        skip = std::min (skip, available - std::min<size_t> (available, 3)); // a pattern split across pushes
        skip = std::max<size_t> (skip, 1);
        start += skip;
        offset += skip;
        return true;
    }
    const size_t segments = page[26];
    if (available < pageHeaderBytes + segments)
        return false;
    size_t body = 0;
    for (size_t i = 0; i < segments; ++i)
        body += page[pageHeaderBytes + i];
    const size_t size = pageHeaderBytes + segments + body;
    if (available < size)
        return false;

    std::array<std::uint8_t, 4> stored {};
    std::memcpy (stored.data(), page + 22, 4);
    std::memset (pending.data() + start + 22, 0, 4);
    const bool intact = oggCrc (page, size) == le32 (stored.data());
    std::memcpy (pending.data() + start + 22, stored.data(), 4);
    if (! intact)
    {
        fault ("a page fails its checksum");
        start += 1;
        offset += 1;
        return true;
    }

    const std::uint8_t flags = page[5];
    const std::uint32_t serial = le32 (page + 14), sequence = le32 (page + 18);
    const bool beginsStream = (flags & 0x02) != 0;
    if (! firstSerial)
        firstSerial = serial;
    // Streams that begin together (audio beside a skeleton) share the file; one
    // that begins after the first stream's audio (or end) is a chained file, even
    // under the same serial number.
    if (beginsStream && (dataSeen || firstEnded))
    {
        fault ("a second stream begins here (a chained Ogg file; only the first stream is read)");
        pending.clear(); // nothing after the first stream is walked
        start = 0;
        chained = true;
        return false;
    }
    if (! beginsStream)
        dataSeen = true;
    if (auto expected = nextSequence.find (serial); expected != nextSequence.end() && expected->second != sequence)
        fault ("pages are missing before this one");
    nextSequence[serial] = sequence + 1;

    if (serial == *firstSerial)
    {
        // Opus counts positions in 48 kHz samples from before its pre-skip, which
        // the decoder drops: a listener's time starts after it.
        if (! headSeen && segments > 0 && body >= 12 && std::memcmp (page + pageHeaderBytes + segments, "OpusHead", 8) == 0)
        {
            check.opus = true;
            preSkip = (std::uint32_t) page[pageHeaderBytes + segments + 10] | ((std::uint32_t) page[pageHeaderBytes + segments + 11] << 8);
        }
        headSeen = true;
        const std::uint64_t granule = le64 (page + 6);
        if (granule != ~std::uint64_t { 0 })
            check.lastPosition = position (granule);
        firstEnded = firstEnded || (flags & 0x04) != 0;
    }
    start += size;
    offset += size;
    return true;
}

const OggCheck& OggWalker::finish()
{
    if (chained)
        return check;
    if (pending.size() > start)
        fault ("the file is cut short inside a page");
    pending.clear();
    start = 0;
    if (firstSerial && ! firstEnded)
        fault ("the stream stops without its end mark (the file was cut short)");
    return check;
}

OggCheck checkOgg (const std::string& path)
{
    OggWalker walker;
    FilePtr file (std::fopen (path.c_str(), "rb"));
    if (file == nullptr)
        return {};
    std::vector<std::uint8_t> buffer (1 << 16);
    for (size_t n; ! walker.chainedFound() && (n = std::fread (buffer.data(), 1, buffer.size(), file.get())) > 0;)
        walker.push (buffer.data(), n);
    return walker.finish();
}

} // namespace vrc::render

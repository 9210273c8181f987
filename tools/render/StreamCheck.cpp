#include "StreamCheck.h"

#include <FLAC/stream_decoder.h>

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
constexpr size_t largestPage = pageHeaderBytes + 255 + 255 * 255;
} // namespace

std::optional<StreamFault> checkFlac (const std::string& path, std::uint64_t statedFrames)
{
    FlacState state;
    state.decoder = FLAC__stream_decoder_new();
    if (state.decoder == nullptr)
        return std::nullopt;
    // (no MD5 check: it needs the whole stream and says nothing about where)
    const bool opened = FLAC__stream_decoder_init_file (state.decoder, path.c_str(), countFrames, nullptr, recordError, &state)
                        == FLAC__STREAM_DECODER_INIT_STATUS_OK;
    if (opened)
        FLAC__stream_decoder_process_until_end_of_stream (state.decoder);
    FLAC__stream_decoder_delete (state.decoder);
    // Bytes after the last announced frame (an ID3 or APE tag) end in lost sync: harmless.
    if (state.fault && statedFrames > 0 && state.fault->frame >= statedFrames)
        return std::nullopt;
    return state.fault;
}

OggCheck checkOgg (const std::string& path)
{
    OggCheck result;
    FilePtr file (std::fopen (path.c_str(), "rb"));
    if (file == nullptr)
        return result;

    std::vector<std::uint8_t> page (largestPage);
    std::uint64_t offset = 0;
    std::optional<std::uint32_t> firstSerial;
    std::map<std::uint32_t, std::uint32_t> nextSequence;
    bool firstEnded = false, dataSeen = false;
    const auto fault = [&] (std::string what)
    {
        if (! result.fault)
            result.fault = StreamFault { result.lastPosition, offset, std::move (what), false };
    };
    // After damage, the next capture pattern: the pages after it still tell the stream's length.
    const auto resync = [&]
    {
        std::fseek (file.get(), (long) ++offset, SEEK_SET);
        for (int matched = 0, c; matched < 4 && (c = std::fgetc (file.get())) != EOF; ++offset)
            matched = c == "OggS"[matched] ? matched + 1 : (c == 'O' ? 1 : 0);
        offset -= std::min<std::uint64_t> (offset, 4);
        return std::fseek (file.get(), (long) offset, SEEK_SET) == 0;
    };

    for (;;)
    {
        const size_t head = std::fread (page.data(), 1, pageHeaderBytes, file.get());
        if (head == 0)
            break;
        if (head < pageHeaderBytes || std::memcmp (page.data(), "OggS", 4) != 0 || page[4] != 0)
        {
            fault (head < pageHeaderBytes ? "the file is cut short inside a page" : "bytes that are no Ogg page");
            if (head < pageHeaderBytes || ! resync())
                break;
            continue;
        }
        const size_t segments = page[26];
        size_t body = 0;
        const bool whole = std::fread (page.data() + pageHeaderBytes, 1, segments, file.get()) == segments
                           && [&]
                           {
                               for (size_t i = 0; i < segments; ++i)
                                   body += page[pageHeaderBytes + i];
                               return std::fread (page.data() + pageHeaderBytes + segments, 1, body, file.get()) == body;
                           }();
        if (! whole)
        {
            fault ("the file is cut short inside a page");
            break;
        }
        const size_t size = pageHeaderBytes + segments + body;

        const std::uint8_t flags = page[5];
        const std::uint32_t serial = le32 (page.data() + 14), sequence = le32 (page.data() + 18);
        const std::uint32_t crc = le32 (page.data() + 22);
        std::memset (page.data() + 22, 0, 4);
        if (oggCrc (page.data(), size) != crc)
        {
            fault ("a page fails its checksum");
            if (! resync())
                break;
            continue;
        }

        const bool beginsStream = (flags & 0x02) != 0;
        if (! firstSerial)
            firstSerial = serial;
        // Streams that begin together (audio beside a skeleton) share the file;
        // one that begins after the first has ended is a chained file.
        if (beginsStream && (dataSeen || firstEnded) && serial != *firstSerial)
        {
            fault ("a second stream begins here (a chained Ogg file; only the first stream is read)");
            return result;
        }
        if (! beginsStream)
            dataSeen = true;
        if (auto expected = nextSequence.find (serial); expected != nextSequence.end() && expected->second != sequence)
            fault ("pages are missing before this one");
        nextSequence[serial] = sequence + 1;

        if (serial == *firstSerial)
        {
            const std::uint64_t granule = le64 (page.data() + 6);
            if (granule != ~std::uint64_t { 0 })
                result.lastPosition = granule;
            firstEnded = firstEnded || (flags & 0x04) != 0;
        }
        offset += size;
    }
    if (firstSerial && ! firstEnded)
        fault ("the stream stops without its end mark (the file was cut short)");
    return result;
}

} // namespace vrc::render

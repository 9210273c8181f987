#include "StreamCheck.h"

#include <FLAC/stream_decoder.h>
#include <vorbis/vorbisfile.h>

#include <cstring>
#include <vector>

namespace vrc::render
{

namespace
{
FLAC__StreamDecoderWriteStatus countFrames (const FLAC__StreamDecoder*, const FLAC__Frame* frame, const FLAC__int32* const*, void* data)
{
    *static_cast<std::uint64_t*> (data) += frame->header.blocksize;
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void ignoreError (const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void*) {}

// The largest Ogg page: a 27-byte header, 255 lacing values and 255 segments of 255 bytes.
constexpr std::int64_t maximumOggPage = 27 + 255 + 255 * 255;
} // namespace

std::optional<std::uint64_t> countFlacFrames (const juce::File& file)
{
    auto* decoder = FLAC__stream_decoder_new();
    if (decoder == nullptr)
        return std::nullopt;
    std::uint64_t frames = 0;
    const bool opened = FLAC__stream_decoder_init_file (decoder, file.getFullPathName().toRawUTF8(), countFrames, nullptr,
                                                        ignoreError, &frames)
                        == FLAC__STREAM_DECODER_INIT_STATUS_OK;
    if (opened)
        FLAC__stream_decoder_process_until_end_of_stream (decoder);
    FLAC__stream_decoder_delete (decoder);
    if (! opened)
        return std::nullopt;
    return frames;
}

std::optional<std::uint64_t> countOggFrames (const juce::File& file)
{
    OggVorbis_File vf {};
    if (ov_fopen (file.getFullPathName().toRawUTF8(), &vf) != 0)
        return std::nullopt;
    std::uint64_t frames = 0;
    for (;;)
    {
        float** pcm = nullptr;
        int stream = 0;
        const long n = ov_read_float (&vf, &pcm, 1 << 14, &stream);
        if (n <= 0)
            break;
        frames += (std::uint64_t) n;
    }
    ov_clear (&vf);
    return frames;
}

bool oggEndsCleanly (const juce::File& file)
{
    juce::FileInputStream in (file);
    const auto size = in.getTotalLength();
    const auto start = std::max<std::int64_t> (0, size - maximumOggPage);
    std::vector<std::uint8_t> tail ((size_t) (size - start));
    if (in.failedToOpen() || ! in.setPosition (start) || in.read (tail.data(), (int) tail.size()) != (int) tail.size())
        return false;

    // The last capture pattern whose page header is whole.
    for (auto at = (std::int64_t) tail.size() - 27; at >= 0; --at)
    {
        const auto* p = tail.data() + at;
        if (std::memcmp (p, "OggS", 4) != 0 || p[4] != 0)
            continue;
        const int segments = p[26];
        if (at + 27 + segments > (std::int64_t) tail.size())
            return false;
        std::int64_t body = 0;
        for (int i = 0; i < segments; ++i)
            body += p[27 + i];
        return at + 27 + segments + body == (std::int64_t) tail.size() && (p[5] & 0x04) != 0;
    }
    return false;
}

} // namespace vrc::render

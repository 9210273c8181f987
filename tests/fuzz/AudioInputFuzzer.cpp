// Feeds arbitrary bytes to vrc-render's input reader as an audio file:
// libsndfile's opening and decoding and the checks on top of it (the header log,
// the FLAC and Ogg stream walks). Every input must open or be refused, read to
// its end and say what was wrong with it, without a finding. The Ogg page walk
// must also say the same whether its bytes come at once or in pieces, as a pipe
// gives them.
#include "AudioInput.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    // One file per process, rewritten for each input.
    static const std::string path = []
    {
        char pattern[] = "/tmp/vrc-input-fuzz-XXXXXX";
        const int fd = ::mkstemp (pattern);
        if (fd >= 0)
            ::close (fd);
        return std::string (pattern);
    }();
    if (std::FILE* f = std::fopen (path.c_str(), "wb"))
    {
        if (std::fwrite (data, 1, size, f) != size)
            std::abort();
        std::fclose (f);
    }
    else
        std::abort();

    // The walk in pieces of 1 to 16 bytes, chosen by the input's first byte.
    {
        const auto whole = vrc::render::checkOgg (path);
        vrc::render::OggWalker pieces;
        const size_t step = size > 0 ? 1 + data[0] % 16 : 1;
        for (size_t at = 0; at < size && ! pieces.chainedFound(); at += step)
            pieces.push (data + at, std::min (step, size - at));
        const auto& inPieces = pieces.finish();
        if (whole.fault.has_value() != inPieces.fault.has_value() || whole.lastPosition != inPieces.lastPosition
            || (whole.fault && (whole.fault->offset != inPieces.fault->offset || whole.fault->what != inPieces.fault->what
                                || whole.fault->frame != inPieces.fault->frame)))
            std::abort(); // the walk depends on how its bytes arrive
    }

    vrc::render::AudioInput in;
    if (! in.open (path, 2))
        return 0;
    // A few bytes of a compressed stream can decode to minutes of silence: each
    // input reads at most this many frames, which keeps every run short.
    constexpr std::int64_t frameLimit = 1 << 22;
    std::vector<float> left (4096), right (4096);
    float* channels[] = { left.data(), right.data() };
    while (in.framesRead() < frameLimit && in.read (channels, 4096) > 0)
    {
    }
    if (in.length() >= 0 && in.framesRead() > in.length() && in.length() < frameLimit)
        std::abort(); // more frames than libsndfile said the file holds
    (void) in.problems();
    return 0;
}

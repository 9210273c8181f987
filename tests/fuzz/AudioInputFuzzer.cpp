// Feeds arbitrary bytes to vrc-render's input opening as an audio file: the
// header walk, the clean header given to the framework's readers and the
// frame counts of compressed streams. Every input must open or be refused in
// bounded time, and an opened one must read to its end without a finding.
#include "AudioFiles.h"

#include <cstdlib>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    // One file per process, rewritten for each input.
    static const juce::File file = []
    {
        char pattern[] = "/tmp/vrc-input-fuzz-XXXXXX";
        const int fd = ::mkstemp (pattern);
        if (fd >= 0)
            ::close (fd);
        return juce::File (pattern);
    }();
    if (! file.replaceWithData (data, size))
        std::abort();

    auto in = vrc::render::openInput (file);
    if (in.reader == nullptr)
        return 0;
    // The length is bounded by what the file holds (a few frames per byte at most).
    if (in.reader->lengthInSamples > (juce::int64) size * 8 + 65536)
        std::abort();
    juce::AudioBuffer<float> buffer ((int) in.reader->numChannels, 4096);
    for (juce::int64 at = 0; at < in.reader->lengthInSamples; at += 4096)
        in.reader->read (&buffer, 0, (int) std::min<juce::int64> (4096, in.reader->lengthInSamples - at), at, true, true);
    return 0;
}

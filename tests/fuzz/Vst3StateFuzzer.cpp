// Feeds arbitrary bytes to the VST3 build's state restore as a host's stream: read
// in pieces of a size that varies with the input, split into chunk and trailer by the
// project's reader, and the chunk restored. The chunk must lie inside the bytes,
// the stream must read back whole, and the restored settings must re-save cleanly.
#include "plugin/vst3/Vst3StateReader.h"
#include "FuzzedProcessor.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    // The piece size follows from the length, so the input is the state itself.
    const std::size_t piece = 1 + size % 64;
    std::size_t at = 0;
    const auto collected = vrc::vst3::collectState ([&] (void* buffer, int wanted)
    {
        const auto n = std::min<std::size_t> ({ (std::size_t) wanted, piece, size - at });
        std::memcpy (buffer, data + at, n);
        at += n;
        return (int) n;
    });
    if (! collected.has_value() || collected->size() != size
        || ! std::equal (collected->begin(), collected->end(), data))
        std::abort();

    const auto parts = vrc::vst3::splitState (collected->data(), collected->size());
    if (parts.chunkSize > collected->size())
        std::abort();

    vrc::fuzz::restoreAndCheckResave (collected->data(), parts.chunkSize);
    return 0;
}

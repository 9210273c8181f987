// Feeds arbitrary bytes to the VST3 build's state restore as a host's stream: read
// in pieces of a size that varies with the input, split into chunk and trailer by the
// project's reader, and the chunk restored. The chunk must lie inside the bytes,
// the stream must read back whole, and the restored settings must re-save cleanly.
#include "plugin/vst3/Vst3StateReader.h"
#include "processor/SettingsChunk.h"
#include "processor/VeskCompAudioProcessor.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace
{
VeskCompAudioProcessor& processor()
{
    // Left alive at exit on purpose, as in StateFuzzer.cpp.
    static auto* framework = new juce::ScopedJuceInitialiser_GUI();
    static auto* instance = new VeskCompAudioProcessor();
    juce::ignoreUnused (framework);
    return *instance;
}
} // namespace

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

    auto& p = processor();
    if (parts.chunkSize > 0)
        p.setStateInformation (collected->data(), static_cast<int> (parts.chunkSize));
    juce::MemoryBlock saved;
    p.getStateInformation (saved);
    for (const auto& value : vrc::readSettingsChunk (saved.getData(), static_cast<int> (saved.getSize())))
        if (! value.has_value())
            std::abort();
    return 0;
}

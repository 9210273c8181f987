// splitState against states built byte by byte: the chunk it finds never runs
// past the state (the framework's wrapper casts it to int, which hides a
// wrapped-around size from every test through the binary), and a trailer that
// does not fit restores nothing.
#include "plugin/vst3/Vst3StateReader.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
using vrc::vst3::splitState;

std::string trailer (std::uint64_t privateSize)
{
    std::string t;
    for (int i = 0; i < 8; ++i)
        t += static_cast<char> ((privateSize >> (8 * i)) & 0xff);
    return t + "JUCEPrivateData";
}

TEST (Vst3StateReader, ChunkSizeStaysInsideTheStateForEveryTrailer)
{
    const std::string chunk = "VC2!chunk-bytes";
    const struct
    {
        const char* name;
        std::string state;
        std::size_t chunkSize;
    } cases[] = {
        { "no trailer: all chunk", chunk, chunk.size() },
        { "chunk, zeros, empty private block", chunk + std::string (8, '\0') + trailer (0), chunk.size() },
        { "trailer alone", trailer (0), 0 },
        { "fewer bytes before the trailer than its leading zeros", std::string (7, '\0') + trailer (0), 0 },
        { "one byte before the trailer", std::string (1, '\0') + trailer (0), 0 },
        { "private block larger than the state", chunk + std::string (8, '\0') + trailer (1000), 0 },
        { "private size that wraps", chunk + std::string (8, '\0') + trailer (~std::uint64_t (0)), 0 },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto* bytes = reinterpret_cast<const std::uint8_t*> (c.state.data());
        const auto parts = splitState (bytes, c.state.size());
        EXPECT_LE (parts.chunkSize, c.state.size());
        EXPECT_EQ (parts.chunkSize, c.chunkSize);
    }
}
} // namespace

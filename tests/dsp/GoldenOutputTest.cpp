// The engine's output pinned to stored bits: a fixed signal through a handful of
// settings, each render reduced to a 64-bit hash of every output sample. Any
// change of output (a reordered multiplication, a lost strict-float flag, a
// library update) fails here. A deliberate change updates the table below in a
// commit of its own that says why. Built for Linux and Windows, run on both the
// AVX2 and the baseline passes.
#include "EngineHelpers.h"
#include "Signals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

using vrc::CompressorEngine;
using vrc::test::configure;
using vrc::test::EngineSettings;

namespace
{
constexpr float sampleRate = 44100.0f;
constexpr long long renderFrames = 3 * 44100;
// Uneven block sizes, a single frame among them, as hosts send them.
constexpr int blockSizes[] = { 512, 511, 64, 1, 300, 4096 };

/** 0.3 s bursts at four levels (one above full scale), a triangle on channel 0
    and 24-bit noise on the others, in integer arithmetic. */
float signal (int channel, long long frame)
{
    static constexpr float levels[] = { 0.875f, 0.0625f, 1.5f, 0.25f };
    return vrc::test::exactSample (channel, frame, levels, 4, 13230);
}

/** FNV-1a over the bytes of each sample's bit pattern, least significant first. */
struct Fnv1a
{
    std::uint64_t value = 14695981039346656037ull;
    void add (float sample)
    {
        std::uint32_t u = 0;
        std::memcpy (&u, &sample, sizeof u);
        for (int byte = 0; byte < 4; ++byte)
        {
            value ^= (u >> (8 * byte)) & 0xffu;
            value *= 1099511628211ull;
        }
    }
};

std::string renderHash (int channels, const EngineSettings& settings)
{
    CompressorEngine engine;
    configure (engine, sampleRate, settings);
    Fnv1a hash;
    std::vector<std::vector<float>> block ((size_t) channels, std::vector<float> (4096));
    std::vector<float*> pointers;
    for (auto& ch : block)
        pointers.push_back (ch.data());

    long long position = 0;
    for (int b = 0; position < renderFrames; ++b)
    {
        const int n = static_cast<int> (std::min<long long> (blockSizes[b % 6], renderFrames - position));
        for (int c = 0; c < channels; ++c)
            for (int j = 0; j < n; ++j)
                block[(size_t) c][(size_t) j] = signal (c, position + j);
        engine.process (pointers.data(), channels, n);
        for (int j = 0; j < n; ++j)
            for (int c = 0; c < channels; ++c)
                hash.add (block[(size_t) c][(size_t) j]);
        position += n;
    }
    char text[17];
    std::snprintf (text, sizeof text, "%016llx", static_cast<unsigned long long> (hash.value));
    return text;
}

struct GoldenCase
{
    const char* name;
    int channels;
    EngineSettings settings; // threshold, ratio, gain, attack, release, knee, dry/wet, curve
    const char* hash;
};

const GoldenCase goldenCases[] = {
    { "exp stereo, default knee", 2, { -20.0f, 0.5f, 0.0f, 0.01f, 0.1f, 0.94f, 1.0f, 1.0f }, "0b46c1efe045237f" },
    { "exp mono, attack 0, long release, blend", 1, { -30.0f, 0.9f, 6.0f, 0.0f, 5.0f, 0.5f, 0.6f, 1.0f }, "7a6c1ef5b6486d46" },
    { "exp stereo, hardest knee", 2, { -12.0f, 1.0f, 3.0f, 0.002f, 0.3f, 1.0f, 1.0f, 1.0f }, "7634af80a6944bc3" },
    { "linear stereo, blend", 2, { -24.0f, 0.75f, 3.0f, 0.002f, 0.3f, 0.3f, 0.75f, 0.0f }, "61b2b6aca40eaeec" },
    { "linear mono, attack 0, long release", 1, { -10.0f, 1.0f, -3.0f, 0.0f, 5.0f, 1.0f, 0.4f, 0.0f }, "8571aedbb200002b" },
    { "linear three channels", 3, { -6.0f, 0.5f, 0.0f, 0.05f, 0.1f, 0.0f, 1.0f, 0.0f }, "54d673e4c34d5aa2" },
};
} // namespace

TEST (CompressorEngineGolden, OutputMatchesStoredBits)
{
    const char* path = vrc::cpuHasAvx2() ? "AVX2" : "baseline";
    for (const auto& c : goldenCases)
        EXPECT_EQ (renderHash (c.channels, c.settings), c.hash) << c.name << " (" << path << " passes)";
}

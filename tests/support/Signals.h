#pragma once
// The test signals every suite draws from: deterministic, so a failure repeats
// bit for bit, and framework-free, so the engine's own tests share them with the
// plug-in hosts' tests and the Windows cross-check.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vrc::test
{
/** One vector of samples per channel. */
using Channels = std::vector<std::vector<float>>;

/** channels x frames of sampleAt (channel, frame). */
template <typename SampleAt>
Channels makeChannels (int channels, int frames, SampleAt&& sampleAt)
{
    Channels c (static_cast<std::size_t> (channels), std::vector<float> (static_cast<std::size_t> (frames)));
    for (int ch = 0; ch < channels; ++ch)
        for (int i = 0; i < frames; ++i)
            c[(std::size_t) ch][(std::size_t) i] = sampleAt (ch, i);
    return c;
}

/** A steady sine, computed in double; channel ch starts ch radians later. */
inline Channels tone (int channels, int frames, float level, double frequency, double sampleRate)
{
    constexpr double pi = 3.14159265358979323846;
    return makeChannels (channels, frames, [&] (int ch, int i)
                         { return level * static_cast<float> (std::sin (2.0 * pi * frequency * i / sampleRate + ch)); });
}

/** A sine on for `length` frames of every `period`, silent between; `step` radians
    a frame, channel ch starting ch radians later. Float arithmetic. */
struct Bursts
{
    int period, length;
    float level, step;
};

inline Channels bursts (int channels, int frames, Bursts b)
{
    return makeChannels (channels, frames, [&] (int ch, int i)
                         { return i % b.period < b.length ? b.level * std::sin (b.step * (float) i + (float) ch) : 0.0f; });
}

/** Programme-like material: a tone whose level alternates between loud and quiet
    stretches, with a little noise from a linear congruential generator; channel
    ch at (ch + firstHarmonic) times the base pitch. */
struct Programme
{
    std::uint32_t seed = 12345;
    int stretch = 4000;
    float loud = 0.9f, quiet = 0.05f;
    float step = 0.031f; // radians a frame of the first channel's tone
    int firstHarmonic = 1;
    float toneShare = 0.8f, noiseShare = 0.2f;
};

inline Channels programme (int channels, int frames, const Programme& p = {})
{
    std::uint32_t noise = p.seed;
    return makeChannels (channels, frames, [&] (int ch, int i)
                         {
                             noise = noise * 1664525u + 1013904223u;
                             const float level = (i / p.stretch) % 2 == 0 ? p.loud : p.quiet;
                             const float tone = std::sin (p.step * (float) i * (float) (ch + p.firstHarmonic));
                             const float hiss = (float) (noise >> 8) / 16777216.0f - 0.5f;
                             return level * (p.toneShare * tone + p.noiseShare * hiss);
                         });
}

/** Integer arithmetic only, so every platform and compiler feeds the engine the
    same samples: the level steps through `levels` every `stretch` frames; channel
    0 is a triangle of period 100 in exact steps of 1/25, the others 24-bit noise. */
inline float exactSample (int channel, long long frame, const float* levels, int numLevels, long long stretch)
{
    const float level = levels[(frame / stretch) % numLevels];
    if (channel == 0)
    {
        const long long phase = frame % 100;
        const long long tri = phase < 50 ? phase : 100 - phase;
        return level * (static_cast<float> (tri - 25) / 25.0f);
    }
    std::uint32_t state = static_cast<std::uint32_t> (frame) * 2654435761u + 12345u * static_cast<std::uint32_t> (channel);
    state ^= state >> 13;
    state *= 1664525u;
    return level * (static_cast<float> (static_cast<std::int32_t> (state >> 8) - 0x800000) / 8388608.0f);
}
} // namespace vrc::test

#pragma once
// The benchmarks' programme material at 48 kHz: drum-like bursts over a sustained
// chord with a little noise (the envelope alternates between attack and release),
// at two levels, or digital silence after a loud passage.
#include <cmath>
#include <random>
#include <vector>

namespace vrcbench
{

constexpr float sampleRate = 48000.0f;
constexpr int materialSeconds = 4;
constexpr double pi = 3.14159265358979323846;

using Channels = std::vector<std::vector<float>>;

inline Channels musicLike (int channels)
{
    const int n = static_cast<int> (sampleRate) * materialSeconds;
    Channels out (static_cast<size_t> (channels), std::vector<float> (static_cast<size_t> (n)));
    std::mt19937 rng (7);
    std::uniform_real_distribution<float> noise (-1.0f, 1.0f);
    for (int i = 0; i < n; ++i)
    {
        const double t = i / static_cast<double> (sampleRate);
        const double beat = std::fmod (t, 0.25);
        const double hit = 0.9 * std::exp (-beat * 30.0) * std::sin (2.0 * pi * 60.0 * beat);
        const double chord = 0.2 * (std::sin (2.0 * pi * 220.0 * t) + std::sin (2.0 * pi * 277.2 * t));
        for (int ch = 0; ch < channels; ++ch)
            out[(size_t) ch][(size_t) i] = static_cast<float> (hit + chord * (ch == 0 ? 1.0 : 0.9)) + 0.01f * noise (rng);
    }
    return out;
}

// music: loud enough that with the default knee the envelope sits mostly in the
// knee's upper half, where the blend is exactly 1. musicInKnee: the same 10.5 dB
// lower, where three frames in four are in the lower half and need the knee's
// exponential. silenceAfterLoud: digital silence after a loud passage.
enum class Material { music, musicInKnee, silenceAfterLoud };

inline const char* materialName (Material m)
{
    return m == Material::music ? "music" : m == Material::musicInKnee ? "knee" : "silence";
}

/** What an engine is fed before the measured part (the loud passage), and the measured part. */
struct Programme
{
    Channels lead, body;
};

inline Programme programme (Material m, int channels)
{
    Programme p;
    if (m != Material::silenceAfterLoud)
    {
        p.body = musicLike (channels);
        if (m == Material::musicInKnee)
            for (auto& ch : p.body)
                for (auto& x : ch)
                    x *= 0.3f;
    }
    else
    {
        p.lead = musicLike (channels);
        p.body = Channels (p.lead.size(), std::vector<float> (p.lead[0].size(), 0.0f));
    }
    return p;
}

/** Runs a whole channel set through a process function in blocks of blockSize frames. */
template <class Process>
void runInBlocks (Channels& audio, int blockSize, Process&& process)
{
    std::vector<float*> ptrs (audio.size());
    const auto total = static_cast<int> (audio[0].size());
    for (int start = 0; start < total; start += blockSize)
    {
        for (size_t ch = 0; ch < audio.size(); ++ch)
            ptrs[ch] = audio[ch].data() + start;
        process (ptrs.data(), static_cast<int> (audio.size()), std::min (blockSize, total - start));
    }
}

} // namespace vrcbench

// Cost of the signal path per stereo (or mono) frame at 48 kHz in 512-frame
// blocks, for both curves, on music-like material and on digital silence after a
// loud passage. A plain gain loop over the same buffers is the baseline, so
// figures can be compared as ratios across machines.
#include "CompressorEngine.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

namespace
{
constexpr int blockSize = 512;
constexpr float sampleRate = 48000.0f;
constexpr int materialSeconds = 4;

// Drum-like bursts over a sustained chord with a little noise: the envelope
// alternates between attack and release and the knee is crossed often.
std::vector<std::vector<float>> musicLike (int channels)
{
    const int n = static_cast<int> (sampleRate) * materialSeconds;
    std::vector<std::vector<float>> out (static_cast<size_t> (channels), std::vector<float> (static_cast<size_t> (n)));
    std::mt19937 rng (7);
    std::uniform_real_distribution<float> noise (-1.0f, 1.0f);
    for (int i = 0; i < n; ++i)
    {
        const double t = i / static_cast<double> (sampleRate);
        const double beat = std::fmod (t, 0.25);
        const double hit = 0.9 * std::exp (-beat * 30.0) * std::sin (2.0 * M_PI * 60.0 * beat);
        const double chord = 0.2 * (std::sin (2.0 * M_PI * 220.0 * t) + std::sin (2.0 * M_PI * 277.2 * t));
        for (int ch = 0; ch < channels; ++ch)
            out[(size_t) ch][(size_t) i] = static_cast<float> (hit + chord * (ch == 0 ? 1.0 : 0.9)) + 0.01f * noise (rng);
    }
    return out;
}

void configure (vrc::CompressorEngine& e, float curve)
{
    e.setSampleRate (sampleRate);
    e.setRatio (0.75f);
    e.setThreshold (-18.0f);
    e.setGain (6.0f);
    e.setAttack (0.005f);
    e.setRelease (0.15f);
    e.setKnee (0.94f);
    e.setDryWet (1.0f);
    e.setCurve (curve);
}

enum class Material { music, silenceAfterLoud };

void runEngine (benchmark::State& state, float curve, int channels, Material material)
{
    vrc::CompressorEngine engine;
    configure (engine, curve);
    auto source = musicLike (channels);
    if (material == Material::silenceAfterLoud)
    {
        // Leave the envelope decaying from a loud passage, then feed minutes of silence.
        std::vector<float*> ptrs;
        for (auto& ch : source)
            ptrs.push_back (ch.data());
        engine.process (ptrs.data(), channels, static_cast<int> (source[0].size()));
        for (auto& ch : source)
            std::fill (ch.begin(), ch.end(), 0.0f);
    }
    auto work = source;
    std::vector<float*> ptrs (static_cast<size_t> (channels));
    const auto total = static_cast<int> (source[0].size());
    int position = 0;
    for (auto _ : state)
    {
        if (position + blockSize > total)
        {
            position = 0;
            state.PauseTiming();
            work = source;
            state.ResumeTiming();
        }
        for (int ch = 0; ch < channels; ++ch)
            ptrs[(size_t) ch] = work[(size_t) ch].data() + position;
        engine.process (ptrs.data(), channels, blockSize);
        benchmark::DoNotOptimize (work[0][(size_t) position]);
        position += blockSize;
    }
    state.SetItemsProcessed (state.iterations() * blockSize);
    state.counters["ns_per_frame"] = benchmark::Counter (static_cast<double> (state.iterations() * blockSize),
                                                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Baseline: a gain and a dry/wet blend on the same buffers, nothing else.
void baselineGain (benchmark::State& state)
{
    auto work = musicLike (2);
    int position = 0;
    const auto total = static_cast<int> (work[0].size());
    for (auto _ : state)
    {
        if (position + blockSize > total)
            position = 0;
        for (auto& ch : work)
            for (int j = position; j < position + blockSize; ++j)
                ch[(size_t) j] = ch[(size_t) j] * 0.999f * 0.9f + 0.1f * ch[(size_t) j];
        benchmark::DoNotOptimize (work[0][(size_t) position]);
        position += blockSize;
    }
    state.SetItemsProcessed (state.iterations() * blockSize);
    state.counters["ns_per_frame"] = benchmark::Counter (static_cast<double> (state.iterations() * blockSize),
                                                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
} // namespace

BENCHMARK (baselineGain);
BENCHMARK_CAPTURE (runEngine, linearStereoMusic, 0.0f, 2, Material::music);
BENCHMARK_CAPTURE (runEngine, linearStereoSilenceAfterLoud, 0.0f, 2, Material::silenceAfterLoud);
BENCHMARK_CAPTURE (runEngine, decibelStereoMusic, 1.0f, 2, Material::music);
BENCHMARK_CAPTURE (runEngine, decibelStereoSilenceAfterLoud, 1.0f, 2, Material::silenceAfterLoud);
BENCHMARK_CAPTURE (runEngine, linearMonoMusic, 0.0f, 1, Material::music);
BENCHMARK_CAPTURE (runEngine, decibelMonoMusic, 1.0f, 1, Material::music);

BENCHMARK_MAIN();

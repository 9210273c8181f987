// Cost of the signal path per stereo (or mono) frame at 48 kHz, for both curves
// at the default knee (0.94) and the hardest (1), on music-like material and on
// silence after a loud passage, in 512- and 32-frame blocks. The floor is the
// envelope recurrence alone (mono mix, absolute value, attack/release choice,
// multiply-add) as the engine runs it: the part no arrangement can parallelise.
// Figures compare as ratios to the floor measured in the same run
// (bench/ratios.py). With a reference engine built in, it runs beside this one.
#include "BenchEngine.h"
#include "BenchMaterial.h"
#include "FrameCounters.h"
#include "EnvelopePasses.h"

#include <benchmark/benchmark.h>

#include <string>

namespace
{
using namespace vrcbench;

/** Calls step(pointers, channels, frames) on consecutive blocks of the material, restoring it when it runs out. */
template <class Step>
void loopOverMaterial (benchmark::State& state, const Channels& source, int blockSize, Step&& step)
{
    auto work = source;
    const auto channels = static_cast<int> (source.size());
    std::vector<float*> ptrs (source.size());
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
        for (size_t ch = 0; ch < source.size(); ++ch)
            ptrs[ch] = work[ch].data() + position;
        step (ptrs.data(), channels, blockSize);
        benchmark::DoNotOptimize (work[0][(size_t) position]);
        position += blockSize;
    }
    setFrameCounters (state, blockSize);
}

struct FloorBuffers
{
    static constexpr int chunk = 256; // as the engine does it
    alignas (16) float mono[chunk], env[chunk], meterIn[chunk], scratch[3 * chunk];
};

/** The detector and the envelope recurrence over one block, chunk by chunk, as the engine runs them. */
VRC_INLINE_PASS float envelopeOfBlock (float* const* ptrs, int numChannels, int frames, float envelope, FloorBuffers& b)
{
    const float attack = 0.995842f, release = 0.999887f; // 5 ms and 183.75 ms at 48 kHz
    for (int offset = 0; offset < frames; offset += FloorBuffers::chunk)
    {
        const int n = std::min (FloorBuffers::chunk, frames - offset);
        if (numChannels == 2)
            vrc::mixToMono<2> (ptrs, 2, offset, n, b.mono);
        else
            vrc::mixToMono<1> (ptrs, 1, offset, n, b.mono);
        envelope = vrc::followEnvelope (b.mono, n, envelope, attack, release, b.env, b.meterIn, b.scratch);
    }
    return envelope;
}

#if VRC_AVX2_DISPATCH
// The engine runs its passes in an AVX2 copy where the processor has it; so does the floor.
VRC_TARGET_AVX2 float envelopeOfBlockAvx2 (float* const* ptrs, int numChannels, int frames, float envelope, FloorBuffers& b)
{
    return envelopeOfBlock (ptrs, numChannels, frames, envelope, b);
}
#endif

void envelopeFloor (benchmark::State& state, int channels, int blockSize)
{
    FloorBuffers buffers;
    float envelope = 0.0f;
    loopOverMaterial (state, musicLike (channels), blockSize,
                      [&] (float* const* ptrs, int numChannels, int frames)
                      {
#if VRC_AVX2_DISPATCH
                          if (vrc::cpuHasAvx2())
                              envelope = envelopeOfBlockAvx2 (ptrs, numChannels, frames, envelope, buffers);
                          else
#endif
                              envelope = envelopeOfBlock (ptrs, numChannels, frames, envelope, buffers);
                          benchmark::DoNotOptimize (buffers.env[0]);
                      });
}

void runEngine (benchmark::State& state, bool reference, EngineSettings settings, int channels, Material material,
                int blockSize)
{
    auto engine = reference ? makeReferenceEngine (settings) : makeCurrentEngine (settings);
    auto p = programme (material, channels);
    if (! p.lead.empty())
        runInBlocks (p.lead, 512, [&] (float* const* c, int n, int f) { engine->process (c, n, f); });
    loopOverMaterial (state, p.body, blockSize, [&] (float* const* c, int n, int f) { engine->process (c, n, f); });
}

void registerAll()
{
    for (int block : { 512, 32 })
        for (int channels : { 2, 1 })
        {
            const std::string shape = (channels == 2 ? "stereo" : "mono") + std::string ("/") + std::to_string (block);
            benchmark::RegisterBenchmark (("floor/" + shape).c_str(), envelopeFloor, channels, block);
            for (bool reference : { false, true })
            {
                if (reference && makeReferenceEngine ({}) == nullptr)
                    continue;
                struct Case { const char* name; EngineSettings settings; };
                for (const auto& c : { Case { "curve0", { 0.0f, 0.94f } }, Case { "curve1", { 1.0f, 0.94f } },
                                       Case { "curve1hard", { 1.0f, 1.0f } } })
                    for (auto material : { Material::music, Material::musicInKnee, Material::silenceAfterLoud })
                    {
                        const std::string name = std::string (reference ? "reference/" : "engine/") + c.name + "/"
                                                 + materialName (material) + "/" + shape;
                        benchmark::RegisterBenchmark (name.c_str(), runEngine, reference, c.settings, channels, material, block);
                    }
            }
        }
}
} // namespace

int main (int argc, char** argv)
{
    registerAll();
    benchmark::Initialize (&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

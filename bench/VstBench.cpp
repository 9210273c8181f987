// The plug-in through its VST2 binary interface (the built library loaded at run
// time, processReplacing called the way a host calls it) against the compressor
// engine called directly with the same settings, per stereo frame at 48 kHz. The
// ratio of the two is the cost of the host interface.
#include "BenchMaterial.h"
#include "FrameCounters.h"
#include "EngineHelpers.h"
#include "TestHost.h"

#include <benchmark/benchmark.h>

#include <array>
#include <map>
#include <string>

namespace
{
using namespace vrcbench;

// Host values (normalised) giving threshold -18 dB, ratio 0.75, make-up 6 dB,
// attack 5 ms, release 150 ms, knee 0.94, fully wet; the curve is set per case.
constexpr std::array<float, 7> hostValues { 0.45f, 0.5f, 0.52f, 0.005f / 0.3f, 0.14f / 4.99f, 0.94f, 1.0f };

/** Calls step(inputs, outputs, frames) on consecutive blocks of stereo music. */
template <class Step>
void loopOverMusic (benchmark::State& state, int blockSize, bool inPlace, Step&& step)
{
    const auto source = musicLike (2);
    auto in = source, out = source;
    const auto total = static_cast<int> (source[0].size());
    std::array<float*, 2> inPtr {}, outPtr {};
    int position = 0;
    for (auto _ : state)
    {
        if (position + blockSize > total)
        {
            position = 0;
            state.PauseTiming();
            in = source;
            state.ResumeTiming();
        }
        for (size_t ch = 0; ch < 2; ++ch)
        {
            inPtr[ch] = in[ch].data() + position;
            outPtr[ch] = inPlace ? inPtr[ch] : out[ch].data() + position;
        }
        step (inPtr.data(), outPtr.data(), blockSize);
        benchmark::DoNotOptimize (outPtr[0][0]);
        position += blockSize;
    }
    setFrameCounters (state, blockSize);
}

void throughVst2 (benchmark::State& state, float curve, int blockSize, bool inPlace)
{
    vsthost::PluginInstance plugin;
    for (size_t i = 0; i < hostValues.size(); ++i)
        plugin.setParameter (static_cast<int32_t> (i), hostValues[i]);
    plugin.setParameter (7, curve);
    plugin.resume (sampleRate, blockSize);
    auto* effect = plugin.effect();
    loopOverMusic (state, blockSize, inPlace,
                   [effect] (float** in, float** out, int n) { effect->processReplacing (effect, in, out, n); });
}

void engineDirect (benchmark::State& state, float curve, int blockSize, bool inPlace)
{
    std::map<int, float> normalised { { 7, curve } };
    for (size_t i = 0; i < hostValues.size(); ++i)
        normalised[static_cast<int> (i)] = hostValues[i];
    vrc::CompressorEngine engine;
    vrc::test::configure (engine, sampleRate, vrc::test::fromNormalised (normalised));
    loopOverMusic (state, blockSize, inPlace,
                   [&engine] (float** in, float** out, int n)
                   {
                       // What a host-side copy into separate outputs costs the engine too.
                       if (out != in)
                           for (size_t ch = 0; ch < 2; ++ch)
                               std::copy (in[ch], in[ch] + n, out[ch]);
                       engine.process (out, 2, n);
                   });
}

void registerAll()
{
    for (int block : { 512, 32 })
        for (float curve : { 0.0f, 1.0f })
            for (bool inPlace : { true, false })
            {
                const std::string suffix = std::string (curve == 0.0f ? "curve0" : "curve1") + "/"
                                           + (inPlace ? "inplace" : "separate") + "/stereo/" + std::to_string (block);
                benchmark::RegisterBenchmark (("engine/" + suffix).c_str(), engineDirect, curve, block, inPlace);
                benchmark::RegisterBenchmark (("vst2/" + suffix).c_str(), throughVst2, curve, block, inPlace);
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

// Cost of one RMS meter per value: a 512-frame block pushed in the engine's
// 256-frame chunks, then published, at 48 kHz (a 4800-value window). With a
// reference engine built in, its meter runs beside this one for a ratio.
#include "BenchEngine.h"
#include "BenchMaterial.h"

#include <benchmark/benchmark.h>

namespace
{
using namespace vrcbench;

void runMeter (benchmark::State& state, bool reference)
{
    auto meter = reference ? makeReferenceMeter() : makeCurrentMeter();
    const auto values = musicLike (1)[0];
    constexpr int block = 512, chunk = 256;
    const auto total = static_cast<int> (values.size()) / block * block;
    int position = 0;
    for (auto _ : state)
    {
        for (int offset = 0; offset < block; offset += chunk)
            meter->pushBlock (values.data() + position + offset, chunk);
        meter->publish();
        position = (position + block) % total;
    }
    benchmark::DoNotOptimize (meter->rms());
    state.counters["ns_per_value"] = benchmark::Counter (static_cast<double> (state.iterations() * block),
                                                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

const bool registered = []
{
    benchmark::RegisterBenchmark ("meter/512", runMeter, false);
    if (makeReferenceMeter() != nullptr)
        benchmark::RegisterBenchmark ("referenceMeter/512", runMeter, true);
    return true;
}();
} // namespace

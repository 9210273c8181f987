#pragma once
// What every benchmark reports: the frames of each iteration as items, and the
// time per frame as a counter of its own.
#include <benchmark/benchmark.h>

namespace vrcbench
{
inline void setFrameCounters (benchmark::State& state, int blockSize)
{
    state.SetItemsProcessed (state.iterations() * blockSize);
    state.counters["ns_per_frame"] = benchmark::Counter (static_cast<double> (state.iterations() * blockSize),
                                                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
} // namespace vrcbench

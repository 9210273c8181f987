// Built twice: with the reference checkout's engine (its headers first on the
// include path, its namespace renamed to vrcReference), or without one.
#if VRC_BENCH_HAS_REFERENCE
 #include "CompressorEngine.h"
 #include "EngineAdapter.h"
#else
 #include "BenchEngine.h"
#endif

namespace vrcbench
{
std::unique_ptr<BenchEngine> makeReferenceEngine ([[maybe_unused]] EngineSettings s)
{
#if VRC_BENCH_HAS_REFERENCE
    return std::make_unique<EngineAdapter<vrcReference::CompressorEngine>> (s);
#else
    return nullptr;
#endif
}

std::unique_ptr<BenchMeter> makeReferenceMeter()
{
#if VRC_BENCH_HAS_REFERENCE
    return std::make_unique<MeterAdapter<vrcReference::RmsMeter>>();
#else
    return nullptr;
#endif
}
} // namespace vrcbench

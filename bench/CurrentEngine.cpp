#include "CompressorEngine.h"
#include "EngineAdapter.h"

namespace vrcbench
{
std::unique_ptr<BenchEngine> makeCurrentEngine (EngineSettings s)
{
    return std::make_unique<EngineAdapter<vrc::CompressorEngine>> (s);
}

std::unique_ptr<BenchMeter> makeCurrentMeter()
{
    return std::make_unique<MeterAdapter<vrc::RmsMeter>>();
}
} // namespace vrcbench

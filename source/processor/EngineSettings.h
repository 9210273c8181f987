#pragma once
// The one way a full set of physical settings reaches the engine: in
// engineWriteOrder, so the release coefficient sees the ratio it belongs to.
// Header-only and framework-free, for the processor, the formats, tools and tests.
#include "CompressorEngine.h"
#include "Parameters.h"

namespace vrc
{

/** One setting in physical units. */
inline void applySetting (CompressorEngine& engine, ParameterId id, float physical) noexcept
{
    switch (id)
    {
        case ParameterId::threshold: engine.setThreshold (physical); break;
        case ParameterId::ratio: engine.setRatio (physical); break;
        case ParameterId::gain: engine.setGain (physical); break;
        case ParameterId::attack: engine.setAttack (physical); break;
        case ParameterId::release: engine.setRelease (physical); break;
        case ParameterId::knee: engine.setKnee (physical); break;
        case ParameterId::dryWet: engine.setDryWet (physical); break;
        case ParameterId::curve: engine.setCurve (physical); break;
    }
}

/** All eight, by host index, in the order the engine needs. */
inline void applySettings (CompressorEngine& engine, const SettingsValues& values) noexcept
{
    for (auto id : engineWriteOrder)
        applySetting (engine, id, values[static_cast<std::size_t> (id)]);
}

} // namespace vrc

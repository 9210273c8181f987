#include "ProcessorCore.h"

#include "EngineSettings.h"
#include "SettingsChunk.h"

#include <cmath>

namespace vrc
{

namespace
{
ParameterMapper mapperFor (ParameterId id) noexcept
{
    const auto& info = parameterTable[static_cast<std::size_t> (id)];
    return { info.minimum, info.maximum };
}
} // namespace

ProcessorCore::ProcessorCore() noexcept
    : gainParam (mapperFor (ParameterId::gain)),
      ratioParam (mapperFor (ParameterId::ratio)),
      thresholdParam (mapperFor (ParameterId::threshold)),
      attackParam (mapperFor (ParameterId::attack)),
      releaseParam (mapperFor (ParameterId::release)),
      kneeParam (mapperFor (ParameterId::knee)),
      dryWetParam (mapperFor (ParameterId::dryWet)),
      curveParam (mapperFor (ParameterId::curve))
{
    for (const auto& p : parameterTable)
        parameterFor (static_cast<int> (p.id))->setPhysical (p.defaultValue);
}

const ParameterMapper* ProcessorCore::parameterFor (int index) const noexcept
{
    switch (static_cast<ParameterId> (index))
    {
        case ParameterId::threshold: return &thresholdParam;
        case ParameterId::ratio: return &ratioParam;
        case ParameterId::gain: return &gainParam;
        case ParameterId::attack: return &attackParam;
        case ParameterId::release: return &releaseParam;
        case ParameterId::knee: return &kneeParam;
        case ParameterId::dryWet: return &dryWetParam;
        case ParameterId::curve: return &curveParam;
    }
    return nullptr;
}

ParameterMapper* ProcessorCore::parameterFor (int index) noexcept
{
    return const_cast<ParameterMapper*> (static_cast<const ProcessorCore&> (*this).parameterFor (index));
}

bool ProcessorCore::setNormalised (int index, float value) noexcept
{
    auto* p = parameterFor (index);
    if (p == nullptr || ! p->setNormalised (value))
        return false;
    applySetting (engine, static_cast<ParameterId> (index), p->getValue());
    return true;
}

SettingsValues ProcessorCore::getValues() const noexcept
{
    SettingsValues values {};
    for (const auto& p : parameterTable)
        values[static_cast<std::size_t> (p.id)] = parameterFor (static_cast<int> (p.id))->getValue();
    return values;
}

std::vector<std::uint8_t> ProcessorCore::saveChunk() const
{
    return writeSettingsChunk (getValues());
}

void ProcessorCore::restoreChunk (const void* data, int sizeInBytes)
{
    // Attributes are applied in the order older builds used; a damaged or foreign
    // chunk restores nothing. Either way the engine is refreshed and values are
    // not clamped: a session keeps exactly what it saved.
    const auto restored = readSettingsChunk (data, sizeInBytes);
    for (auto id : settingsRestoreOrder)
        if (const auto& v = restored[static_cast<std::size_t> (id)])
            parameterFor (static_cast<int> (id))->setPhysical (*v);
    updateEngine();
}

void ProcessorCore::prepare (double sampleRate) noexcept
{
    pendingSampleRate.store (0.0f, std::memory_order_relaxed);
    engine.setSampleRate (static_cast<float> (sampleRate));
    updateEngine();
}

void ProcessorCore::setSampleRateWhileRunning (double sampleRate) noexcept
{
    if (sampleRate > 0.0 && std::isfinite (sampleRate))
        pendingSampleRate.store (static_cast<float> (sampleRate), std::memory_order_relaxed);
}

void ProcessorCore::process (float* const* channels, int numChannels, int numSamples, float* gainPerFrame,
                             CompressorEngine::Key key) noexcept
{
    // A rate changed while running: what prepare does, here where the engine is
    // not running (the coefficients are computed for the new rate, the meters
    // restart their windows).
    if (const float rate = pendingSampleRate.exchange (0.0f, std::memory_order_relaxed);
        rate > 0.0f && rate != engine.getSampleRate())
    {
        engine.setSampleRate (rate);
        updateEngine();
    }
    engine.process (channels, numChannels, numSamples, gainPerFrame, key);
}

void ProcessorCore::updateEngine() noexcept
{
    applySettings (engine, getValues());
}

void ProcessorCore::refreshMeterReadings() noexcept
{
    inputMeterDb.store (engine.getInputMeter().levelDb(), std::memory_order_relaxed);
    gainMeterDb.store (engine.getGainMeter().levelDb(), std::memory_order_relaxed);
}

} // namespace vrc

#pragma once
// BenchEngine over any engine with the CompressorEngine interface. Included by
// the file that builds each engine, inside that engine's namespace.
#include "BenchEngine.h"

namespace vrcbench
{

template <class Engine>
class EngineAdapter final : public BenchEngine
{
public:
    explicit EngineAdapter (EngineSettings s)
    {
        engine.setSampleRate (48000.0f);
        engine.setRatio (0.75f);
        engine.setThreshold (-18.0f);
        engine.setGain (6.0f);
        engine.setAttack (0.005f);
        engine.setRelease (0.15f);
        engine.setKnee (s.knee);
        engine.setDryWet (1.0f);
        engine.setCurve (s.curve);
    }

    void process (float* const* channels, int numChannels, int numSamples) override
    {
        engine.process (channels, numChannels, numSamples);
    }
    float inputLevelDb() const override { return engine.getInputMeter().levelDb(); }
    float gainLevelDb() const override { return engine.getGainMeter().levelDb(); }

private:
    Engine engine;
};

} // namespace vrcbench

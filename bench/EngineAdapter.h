#pragma once
// BenchEngine over any engine with the CompressorEngine interface, BenchMeter
// over its meter. Included by the file that builds each engine.
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
    void curveGains (const float* envelope, float* out, int n) const override
    {
        const auto settings = engine.curveSettings();
        if (engine.getCurve() != 0)
            vrc::DecibelCurve (settings).gains (envelope, out, n);
        else
            vrc::LinearCurve (settings).gains (envelope, out, n);
    }
    float attackCoefficient() const override { return engine.getAttackCoeff(); }
    float releaseCoefficient() const override { return engine.getReleaseCoeff(); }

private:
    Engine engine;
};

template <class Meter>
class MeterAdapter final : public BenchMeter
{
public:
    MeterAdapter() { meter.prepare (48000.0f); }
    void pushBlock (const float* x, int n) override { meter.pushBlock (x, n); }
    void publish() override { meter.publish(); }
    float rms() const override { return meter.rms(); }

private:
    Meter meter;
};

} // namespace vrcbench

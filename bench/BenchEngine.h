#pragma once
// The benchmarks drive engines through this small interface, so the current
// engine and, optionally, a reference engine built from another checkout's
// source/dsp (see bench/CMakeLists.txt) run side by side in one process.
#include <memory>

namespace vrcbench
{

struct EngineSettings
{
    float curve = 0.0f, knee = 0.94f;
};

class BenchEngine
{
public:
    virtual ~BenchEngine() = default;
    virtual void process (float* const* channels, int numChannels, int numSamples) = 0;
    virtual float inputLevelDb() const = 0;
    virtual float gainLevelDb() const = 0;
    /** The gain factors the engine's current curve gives for n envelope values. */
    virtual void curveGains (const float* envelope, float* out, int n) const = 0;
    /** The envelope follower's attack and release coefficients. */
    virtual float attackCoefficient() const = 0;
    virtual float releaseCoefficient() const = 0;
};

/** An RMS meter, so the meter's own cost can be measured beside a reference's. */
class BenchMeter
{
public:
    virtual ~BenchMeter() = default;
    virtual void pushBlock (const float* x, int n) = 0;
    virtual void publish() = 0;
    virtual float rms() const = 0;
};

/** Sample rate 48 kHz, threshold -18 dB, ratio 0.75, make-up 6 dB, attack 5 ms, release 150 ms, full wet. */
std::unique_ptr<BenchEngine> makeCurrentEngine (EngineSettings s);
/** The same settings on the reference engine, or nullptr when none was built in. */
std::unique_ptr<BenchEngine> makeReferenceEngine (EngineSettings s);
/** A meter prepared for 48 kHz, from the current engine or the reference (nullptr when none). */
std::unique_ptr<BenchMeter> makeCurrentMeter();
std::unique_ptr<BenchMeter> makeReferenceMeter();

} // namespace vrcbench

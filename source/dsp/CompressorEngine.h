#pragma once
// The whole signal path: mono peak detector, attack/release envelope, one of two
// transfer curves, make-up gain and dry/wet, plus the input and gain meters.
// Setters may run on any thread while process() runs on the audio thread.
#include "CpuDispatch.h"
#include "RmsMeter.h"
#include "TransferCurves.h"

#include <array>
#include <atomic>

namespace vrc
{

class CompressorEngine
{
public:
    static constexpr int maxChannels = 10;

    CompressorEngine() = default;

    void setThreshold (float dB) noexcept;
    void setRatio (float r) noexcept;
    void setGain (float dB) noexcept;
    void setAttack (float seconds) noexcept;
    void setRelease (float seconds) noexcept;
    void setKnee (float k) noexcept;
    void setDryWet (float w) noexcept;
    void setCurve (float c) noexcept;

    /** Stores the rate for later coefficient updates and restarts both meters' windows. */
    void setSampleRate (float fs) noexcept;

    /** Processes a block in place. Channels beyond maxChannels are left untouched. */
    void process (float* const* channelData, int numChannels, int numSamples) noexcept;

    /** The settings the gain computers would use right now. */
    CurveSettings curveSettings() const noexcept;

    float getEnvelope() const noexcept { return envelope; }
    float getCurrentGain() const noexcept { return currentGain; }
    float getAttackCoeff() const noexcept { return load (attackCoeff); }
    float getReleaseCoeff() const noexcept { return load (releaseCoeff); }
    float getKneeWidth() const noexcept { return load (kneeWidth); }
    float getThresholdGain() const noexcept { return load (thresholdGain); }
    float getMakeupGain() const noexcept { return load (makeupGain); }
    float getRatio() const noexcept { return load (ratio); }
    float getDryWet() const noexcept { return load (dryWet); }
    float getSampleRate() const noexcept { return load (sampleRate); }
    int getCurve() const noexcept { return curve.load (std::memory_order_relaxed); }

    const RmsMeter& getInputMeter() const noexcept { return inputMeter; }
    const RmsMeter& getGainMeter() const noexcept { return gainMeter; }

private:
    using Value = std::atomic<float>;
    static float load (const Value& v) noexcept { return v.load (std::memory_order_relaxed); }
    static void store (Value& v, float x) noexcept { v.store (x, std::memory_order_relaxed); }

    void updateKneeWidth() noexcept;

    template <bool decibelCurve, int fixedChannels>
    void dispatch (int numChannels, int numSamples) noexcept;
    template <bool decibelCurve, int fixedChannels>
    void processSamplesAvx2 (int numChannels, int numSamples) noexcept;
    template <bool decibelCurve, int fixedChannels>
    VRC_INLINE_PASS void processSamples (int numChannels, int numSamples) noexcept;

    // Settings: written whole by the setters, read by the audio thread.
    Value attackTime { 0.1f };
    Value thresholdGain { 1.0f };
    Value thresholdDb { 1.0f };
    Value releaseTime { 0.1f };
    Value ratio { 1.0f };
    Value makeupGain { 1.0f };
    Value makeupDb { 1.0f };
    Value kneeWidth { 0.0f };
    Value sampleRate { 44100.0f };
    Value attackCoeff { 0.95566154f };  // 0.5 ms at 44.1 kHz until set
    Value releaseCoeff { 0.97757941f }; // 1 ms at 44.1 kHz until set
    Value dryWet { 1.0f };
    Value kneeValue { 0.0f };
    std::atomic<int> curve { 0 };

    // Audio-thread state. The curves are rebuilt only when their settings change
    // (the decibel curve's constructor evaluates an exponential).
    CurveSettings curveKey {};
    bool curvesBuilt = false;
    LinearCurve cachedLinear { CurveSettings {} };
    DecibelCurve cachedDecibel { CurveSettings {} };
    float currentGain = 1.0f;
    float envelope = 0.0f;
    RmsMeter inputMeter, gainMeter;
    std::array<float*, maxChannels> channels {};
};

} // namespace vrc

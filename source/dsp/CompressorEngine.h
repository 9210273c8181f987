#pragma once
// The whole signal path: mono peak detector, attack/release envelope, one of two
// transfer curves, make-up gain and dry/wet, plus the input and gain meters.
// Setters store single values from any thread; process() takes one snapshot of
// them per block and derives everything that combines two settings itself.
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

    /** The largest make-up gain applied, as a factor (+60 dB): higher settings
        are kept but applied as this, so the output stays finite. */
    static constexpr float maxMakeupGain = 1000.0f;

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

    /** Processes a block in place. Channels beyond maxChannels are left untouched.
        When gainOut is given, it receives the gain factor of each of the
        numSamples frames (the transfer curve's, before make-up and dry/wet). */
    void process (float* const* channelData, int numChannels, int numSamples, float* gainOut = nullptr) noexcept;

    /** The settings the gain computers would use for a block starting now. */
    CurveSettings curveSettings() const noexcept;

    float getEnvelope() const noexcept { return envelope; }
    /** The gain factor of the last frame processed. */
    float getCurrentGain() const noexcept { return currentGain; }
    float getAttackCoeff() const noexcept { return load (attackCoeff); }
    float getReleaseCoeff() const noexcept { return load (releaseCoeff); }
    float getKneeWidth() const noexcept;
    float getThresholdGain() const noexcept;
    /** Make-up gain and dry/wet share as a block starting now applies them. */
    float getMakeupGain() const noexcept;
    float getDryWet() const noexcept;
    float getRatio() const noexcept { return load (ratio); }
    float getSampleRate() const noexcept { return load (sampleRate); }
    int getCurve() const noexcept;

    const RmsMeter& getInputMeter() const noexcept { return inputMeter; }
    const RmsMeter& getGainMeter() const noexcept { return gainMeter; }

private:
    using Value = std::atomic<float>;
    static float load (const Value& v) noexcept { return v.load (std::memory_order_relaxed); }
    static void store (Value& v, float x) noexcept { v.store (x, std::memory_order_relaxed); }

    /** The stored settings, each read once. */
    struct Snapshot
    {
        float thresholdDb, ratio, makeupDb, attackCoeff, releaseCoeff, knee, dryWet, curve;
    };
    /** What a block runs with, derived from one snapshot. */
    struct BlockSettings
    {
        CurveSettings curve;
        bool decibel;
        float attack, release, makeup, wet;
    };
    Snapshot snapshot() const noexcept;
    static BlockSettings derive (const Snapshot& s) noexcept;

    template <bool decibelCurve, int fixedChannels>
    void dispatch (int numChannels, int numSamples, float* gainOut) noexcept;
    template <bool decibelCurve, int fixedChannels>
    void processSamplesAvx2 (int numChannels, int numSamples, float* gainOut) noexcept;
    template <bool decibelCurve, int fixedChannels>
    VRC_INLINE_PASS void processSamples (int numChannels, int numSamples, float* gainOut) noexcept;

    // Settings: each written whole by its setter, read by the audio thread.
    Value thresholdDb { 1.0f };
    Value ratio { 1.0f };
    Value makeupDb { 1.0f };
    Value sampleRate { 44100.0f };
    // The coefficients are computed when the time is written, with the rate (and
    // for the release the ratio) of that moment: saved sessions rely on it.
    Value attackCoeff { 0.95566154f };  // 0.5 ms at 44.1 kHz until set
    Value releaseCoeff { 0.97757941f }; // 1 ms at 44.1 kHz until set
    Value dryWet { 1.0f };
    Value kneeValue { 0.0f };
    Value curveValue { 0.0f };

    // Audio-thread state. Settings are derived again, and the curves rebuilt,
    // only when the snapshot changes (both evaluate exponentials).
    Snapshot lastSnapshot {};
    bool derived = false;
    BlockSettings block {};
    LinearCurve cachedLinear { CurveSettings {} };
    DecibelCurve cachedDecibel { CurveSettings {} };
    float currentGain = 1.0f;
    float envelope = 0.0f;
    RmsMeter inputMeter, gainMeter;
    std::array<float*, maxChannels> channels {};
};

} // namespace vrc

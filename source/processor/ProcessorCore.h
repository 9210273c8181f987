#pragma once
// The plug-in instance without the framework: the eight settings, the engine
// they drive, their saved chunk and the meters' published readings. The
// framework's processor adapts it for hosts; vrc-render and the fuzzers use it as is.
#include "CompressorEngine.h"
#include "ParameterMapper.h"
#include "Parameters.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace vrc
{

class ProcessorCore
{
public:
    /** Every setting at its default; the engine receives them at the first
        prepare or restore. Both meter readings start at -20 dB. */
    ProcessorCore() noexcept;

    /** The mapper for a host index, or nullptr outside 0..7. */
    ParameterMapper* parameterFor (int index) noexcept;
    const ParameterMapper* parameterFor (int index) const noexcept;

    /** A host's normalised write. Ignored (false) outside 0..7, or when the value
        or the physical value it maps to is not finite; otherwise recorded and
        sent to the engine. */
    bool setNormalised (int index, float value) noexcept;

    /** The eight physical values, by host index. */
    SettingsValues getValues() const noexcept;

    /** The settings as the chunk a host saves. */
    std::vector<std::uint8_t> saveChunk() const;
    /** Restores what a chunk holds (nothing from a damaged or foreign one), with
        no clamping, then refreshes the engine either way. */
    void restoreChunk (const void* data, int sizeInBytes);

    /** Before the first block and at every resume: the rate, then every setting. */
    void prepare (double sampleRate) noexcept;
    /** A rate sent while running, taken on the audio thread before the next
        block exactly as prepare would take it. Safe from any thread. */
    void setSampleRateWhileRunning (double sampleRate) noexcept;
    /** One block in place (see CompressorEngine::process). */
    void process (float* const* channels, int numChannels, int numSamples, float* gainPerFrame,
                  CompressorEngine::Key key) noexcept;
    /** Pushes all eight physical values into the engine, in the order it needs. */
    void updateEngine() noexcept;

    /** Reads the meters into the published readings (the processor's 41 ms tick). */
    void refreshMeterReadings() noexcept;
    /** Meter readings in dB. Safe from any thread. */
    float getInputMeterDb() const noexcept { return inputMeterDb.load (std::memory_order_relaxed); }
    float getGainMeterDb() const noexcept { return gainMeterDb.load (std::memory_order_relaxed); }

    const CompressorEngine& getEngine() const noexcept { return engine; }

private:
    ParameterMapper gainParam, ratioParam, thresholdParam, attackParam,
        releaseParam, kneeParam, dryWetParam, curveParam;
    std::atomic<float> gainMeterDb { -20.0f };
    std::atomic<float> inputMeterDb { -20.0f };
    std::atomic<float> pendingSampleRate { 0.0f }; // 0: none waiting
    CompressorEngine engine;
};

} // namespace vrc

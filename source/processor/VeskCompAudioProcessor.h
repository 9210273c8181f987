#pragma once
// The plug-in instance: owns the eight parameters and the compressor engine,
// answers the host's fixed questions, processes audio in place, publishes the
// meter readings every 41 ms and saves/restores its settings as one chunk.
// Formats that offer one get a second input bus, the detector's key.
#include "ParameterTextsForAnyValue.h"
#include "ProcessorCore.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <atomic>

class VeskCompAudioProcessor : public juce::AudioProcessor,
                               public vrc::ParameterTextsForAnyValue,
                               private juce::Timer
{
public:
    /** mainAndKey adds an input bus "Sidechain" (mono or stereo, inactive until
        the host enables it); while enabled, the detector follows it. */
    enum class Buses { main, mainAndKey };

    explicit VeskCompAudioProcessor (Buses buses = Buses::main);
    ~VeskCompAudioProcessor() override;

    const juce::String getName() const override;
    void prepareToPlay (double sampleRate, int samplesPerBlock) override;
    void releaseResources() override;
    /** A rate a host sends while the processor runs (some never suspend for it):
        the engine takes it on the audio thread before the next block, as it would
        at a suspend and resume. Safe from any thread. */
    void setSampleRateWhileRunning (double sampleRate) noexcept;
    using AudioProcessor::processBlock;
    void processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override;
    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;
    /** processBlock that also writes each frame's gain factor (before make-up
        and dry/wet) to gainPerFrame, which holds the buffer's sample count. */
    void processWithGains (juce::AudioBuffer<float>& buffer, float* gainPerFrame) noexcept;
    /** processBlock with the detector's key handed over directly, for a format
        whose key arrives on ports of its own rather than on the key bus:
        keyChannels arrays of the buffer's sample count (none: no key). */
    void processWithKey (juce::AudioBuffer<float>& buffer, const float* const* key, int keyChannels) noexcept;
    void processorLayoutsChanged() override;

    /** Whether the detector listens to the key bus rather than the input (as of
        the last block or layout change). Safe from any thread. */
    bool isListeningToKey() const noexcept { return listeningToKey.load (std::memory_order_relaxed); }

    const juce::String getInputChannelName (int channelIndex) const override;
    const juce::String getOutputChannelName (int channelIndex) const override;
    bool isInputChannelStereoPair (int index) const override;
    bool isOutputChannelStereoPair (int index) const override;

    bool acceptsMidi() const override;
    bool producesMidi() const override;
    double getTailLengthSeconds() const override;

    /** The editor (defined beside it, source/editor). */
    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;

    // Parameters by host index, without parameter objects: the host sees exactly
    // these eight values, names and texts. A write that is not finite, or maps
    // to a value that is not, is ignored.
    int getNumParameters() override;
    float getParameter (int index) override;
    void setParameter (int index, float value) override;
    using AudioProcessor::getParameterName;
    const juce::String getParameterName (int index) override;
    using AudioProcessor::getParameterText;
    const juce::String getParameterText (int index) override;
    /** The text a parameter would show at another normalised value (for hosts
        that label automation or ask before they set); the current value is untouched. */
    juce::String getParameterTextForValue (int index, float normalised) const override;
    // Identity and default for hosts that keep them (VST3, LV2); the VST 2.4
    // interface has neither.
    juce::String getParameterID (int index) override;
    float getParameterDefaultValue (int index) override;

    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int index) override;
    const juce::String getProgramName (int index) override;
    void changeProgramName (int index, const juce::String& newName) override;

    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    /** Pushes all eight physical values into the engine, in the order the engine needs. */
    void updateEngine() noexcept { core.updateEngine(); }

    /** The mapper for a host index, or nullptr outside 0..7. */
    vrc::ParameterMapper* parameterFor (int index) noexcept { return core.parameterFor (index); }

    /** Meter readings in dB, refreshed by the 41 ms timer. Safe from any thread. */
    float getInputMeterDb() const noexcept { return core.getInputMeterDb(); }
    float getGainMeterDb() const noexcept { return core.getGainMeterDb(); }

    const vrc::CompressorEngine& getEngine() const noexcept { return core.getEngine(); }

    /** Reads the meters into the published readings (what the timer does). */
    void refreshMeterReadings() noexcept { core.refreshMeterReadings(); }

private:
    static BusesProperties busesFor (Buses);
    void processChannels (juce::AudioBuffer<float>& buffer, int numChannels, float* gainPerFrame,
                          vrc::CompressorEngine::Key key) noexcept;
    void timerCallback() override;

    // Settings, engine and meter readings: everything but the host's framework.
    vrc::ProcessorCore core;
    std::atomic<bool> listeningToKey { false };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VeskCompAudioProcessor)
};

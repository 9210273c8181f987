#pragma once
// The gain factor the engine applies on every sample, for the summary and the
// plot. A second instance of the plug-in's processor steps through the same
// input one sample at a time; after each sample its envelope goes through the
// rendering engine's own transfer curve. The engine works sample by sample and
// its envelope depends only on the input, attack, release and ratio, so this is
// the rendering instance's envelope, and the gain is the one it applied.
#include "processor/SettingsChunk.h"
#include "processor/VeskCompAudioProcessor.h"

#include <optional>

namespace vrc::render
{

class GainProbe
{
public:
    /** renderer: the prepared instance that renders the audio, whose curve is used.
        keyChannels > 0: the detector follows a key of that many channels. */
    GainProbe (const VeskCompAudioProcessor& renderer, const SettingsValues& settings, int numChannels,
               double sampleRate, int keyChannels = 0);

    /** Runs one sample of every channel (in place; the key's channels follow the
        input's) and returns its gain factor. */
    float next (float* const* channels) noexcept
    {
        juce::AudioBuffer<float> one (channels, numChannels + keyChannels, 1);
        processor.processBlock (one, midi);
        const float envelope = processor.getEngine().getEnvelope();
        return decibel ? decibel->gain (envelope) : linear->gain (envelope);
    }

private:
    VeskCompAudioProcessor processor { VeskCompAudioProcessor::Buses::mainAndKey };
    juce::MidiBuffer midi;
    int numChannels, keyChannels;
    std::optional<LinearCurve> linear;
    std::optional<DecibelCurve> decibel;
};

/** Sets a processor up as a host would for a file: the matching mono or stereo
    layout (and key, for a processor made with a key bus), the settings as a
    chunk, then prepareToPlay. False if the layout is refused. */
bool prepareProcessor (VeskCompAudioProcessor& processor, const SettingsValues& settings,
                       int numChannels, double sampleRate, int blockSize, int keyChannels = 0);

} // namespace vrc::render

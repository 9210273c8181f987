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
    /** renderer: the prepared instance that renders the audio, whose curve is used. */
    GainProbe (const VeskCompAudioProcessor& renderer, const SettingsValues& settings, int numChannels,
               double sampleRate);

    /** Runs one sample of every channel (in place) and returns its gain factor. */
    float next (float* const* channels) noexcept
    {
        juce::AudioBuffer<float> one (channels, numChannels, 1);
        processor.processBlock (one, midi);
        const float envelope = processor.getEngine().getEnvelope();
        return decibel ? decibel->gain (envelope) : linear->gain (envelope);
    }

private:
    VeskCompAudioProcessor processor;
    juce::MidiBuffer midi;
    int numChannels;
    std::optional<LinearCurve> linear;
    std::optional<DecibelCurve> decibel;
};

/** Sets a processor up as a host would for a file: the matching mono or stereo
    layout, the settings as a chunk, then prepareToPlay. False if the layout is refused. */
bool prepareProcessor (VeskCompAudioProcessor& processor, const SettingsValues& settings,
                       int numChannels, double sampleRate, int blockSize);

} // namespace vrc::render

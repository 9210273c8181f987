#include "ProcessorSetup.h"

namespace vrc::render
{

bool prepareProcessor (VeskCompAudioProcessor& processor, const SettingsValues& settings,
                       int numChannels, double sampleRate, int blockSize)
{
    const auto set = numChannels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (set);
    layout.outputBuses.add (set);
    if (! processor.setBusesLayout (layout))
        return false;

    // Physical values through a chunk: exactly what a host restoring a saved
    // project hands the plug-in, with no normalised round trip to round them.
    const auto chunk = writeSettingsChunk (settings);
    processor.setStateInformation (chunk.data(), static_cast<int> (chunk.size()));
    processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
    processor.prepareToPlay (sampleRate, blockSize);
    return true;
}

} // namespace vrc::render

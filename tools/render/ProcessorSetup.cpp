#include "ProcessorSetup.h"

namespace vrc::render
{

bool prepareProcessor (VeskCompAudioProcessor& processor, const SettingsValues& settings,
                       int numChannels, double sampleRate, int blockSize, int keyChannels)
{
    const auto setOf = [] (int channels)
    {
        return channels == 0 ? juce::AudioChannelSet::disabled()
                             : channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
    };
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (setOf (numChannels));
    layout.outputBuses.add (setOf (numChannels));
    if (processor.getBusCount (true) > 1)
        layout.inputBuses.add (setOf (keyChannels));
    else if (keyChannels > 0)
        return false;
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

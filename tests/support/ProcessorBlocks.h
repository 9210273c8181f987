#pragma once
// The shared test signals as framework buffers, and a buffer through a
// framework processor as a host plays a track: in place, blockSize frames at a
// time (the last block shorter), with no MIDI.
#include "Signals.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <algorithm>

namespace vrc::test
{
inline juce::AudioBuffer<float> toBuffer (const Channels& channels)
{
    juce::AudioBuffer<float> buffer ((int) channels.size(), (int) channels[0].size());
    for (int ch = 0; ch < buffer.getNumChannels(); ++ch)
        buffer.copyFrom (ch, 0, channels[(size_t) ch].data(), buffer.getNumSamples());
    return buffer;
}

inline void processInBlocks (juce::AudioProcessor& processor, juce::AudioBuffer<float>& buffer, int blockSize)
{
    juce::MidiBuffer midi;
    for (int start = 0; start < buffer.getNumSamples(); start += blockSize)
    {
        juce::AudioBuffer<float> view (buffer.getArrayOfWritePointers(), buffer.getNumChannels(), start,
                                       std::min (blockSize, buffer.getNumSamples() - start));
        processor.processBlock (view, midi);
    }
}
} // namespace vrc::test

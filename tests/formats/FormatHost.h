#pragma once
// Loads the built VST3 bundle through the framework's plug-in hosting and
// reaches into its saved state for the plug-in's own settings chunk, so it can
// be compared with (and replaced by) the VST2 build's chunk. Shared signals and
// the VST2 reference render serve the LV2 tests too.
#include <juce_audio_processors/juce_audio_processors.h>

#include <map>
#include <memory>
#include <vector>

namespace vrc::formats
{
enum class Format { vst3 };
const char* formatName (Format);

/** A new instance of the built plug-in in that format, or nullptr (with a test failure). */
std::unique_ptr<juce::AudioPluginInstance> load (Format, double sampleRate = 44100.0, int blockSize = 512);

/** The host's parameter for each of the eight host indices, found by its
    identity (VST3 parameter ID); nullptr where none has it. */
std::vector<juce::AudioProcessorParameter*> parametersByIndex (Format, juce::AudioPluginInstance&);
/** The identity the README promises for a host index in that format. */
juce::String parameterIdentity (Format, int index);

/** The settings chunk inside a state the host saved from an instance of that format. */
std::vector<unsigned char> chunkFromState (Format, const juce::MemoryBlock& hostState);
/** A host state for that format that restores the given settings chunk. */
juce::MemoryBlock stateWithChunk (Format, const std::vector<unsigned char>& chunk);

using Signal = std::vector<std::vector<float>>;
using Settings = std::map<int, float>; // host index -> normalised value

/** Sets the settings through the host's parameters, prepares and runs the
    signal block by block, as a host plays a track. */
Signal process (Format, juce::AudioPluginInstance&, const Settings&, const Signal& input, double sampleRate, int blockSize);

/** Tones at changing levels with a little noise, different on each channel. */
Signal testSignal (int channels, int samples);

/** The same settings and signal through VR-C.so, set before resume as a VST2 host does. */
Signal processVst2 (const Settings&, const Signal& input, float sampleRate, int blockSize);
} // namespace vrc::formats

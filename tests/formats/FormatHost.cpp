#include "FormatHost.h"

#include "Signals.h"
#include "TestHost.h"
#include "processor/Parameters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace vrc::formats
{
const char* formatName (Format f)
{
    juce::ignoreUnused (f);
    return "VST3";
}

namespace
{
juce::AudioPluginFormat& formatObject (Format)
{
    static juce::VST3PluginFormat vst3;
    return vst3;
}

juce::String identifier (Format)
{
    // (the bundle: two folders above the library)
    return juce::File (VRC_VST3_BINARY).getParentDirectory().getParentDirectory().getParentDirectory().getFullPathName();
}

// The framework's VST3 host saves the component's state, base64-encoded, in a
// small XML document; the component state is the chunk followed by the
// wrapper's private trailer (bypass switch), which ends in this marker.
constexpr const char* privateMarker = "JUCEPrivateData";

std::vector<unsigned char> chunkFromVst3State (const juce::MemoryBlock& hostState)
{
    const auto xml = juce::AudioProcessor::getXmlFromBinary (hostState.getData(), (int) hostState.getSize());
    if (xml == nullptr || xml->getChildByName ("IComponent") == nullptr)
        return {};
    juce::MemoryBlock component;
    if (! component.fromBase64Encoding (xml->getChildByName ("IComponent")->getAllSubText()))
        return {};

    const auto* bytes = static_cast<const unsigned char*> (component.getData());
    auto size = component.getSize();
    const auto markerSize = std::strlen (privateMarker);
    if (size < markerSize + 16 || std::memcmp (bytes + size - markerSize, privateMarker, markerSize) != 0)
        return { bytes, bytes + size };
    juce::uint64 privateSize = 0;
    std::memcpy (&privateSize, bytes + size - markerSize - 8, 8);
    size -= std::min<size_t> (size, markerSize + 8 + (size_t) privateSize + 8);
    return { bytes, bytes + size };
}

juce::MemoryBlock vst3StateWithChunk (const std::vector<unsigned char>& chunk)
{
    juce::XmlElement state ("VST3PluginState");
    state.createNewChildElement ("IComponent")->addTextElement (juce::MemoryBlock (chunk.data(), chunk.size()).toBase64Encoding());
    juce::MemoryBlock result;
    juce::AudioProcessor::copyXmlToBinary (state, result);
    return result;
}

} // namespace

std::unique_ptr<juce::AudioPluginInstance> load (Format f, double sampleRate, int blockSize)
{
    auto& format = formatObject (f);
    juce::OwnedArray<juce::PluginDescription> found;
    format.findAllTypesForFile (found, identifier (f));
    if (found.size() != 1)
    {
        ADD_FAILURE() << formatName (f) << ": " << found.size() << " plug-ins found at " << identifier (f);
        return nullptr;
    }
    juce::String error;
    auto instance = format.createInstanceFromDescription (*found[0], sampleRate, blockSize, error);
    if (instance == nullptr)
        ADD_FAILURE() << formatName (f) << ": " << error;
    return instance;
}

juce::String parameterIdentity (Format f, int index)
{
    juce::ignoreUnused (f);
    return juce::String (index);
}

std::vector<juce::AudioProcessorParameter*> parametersByIndex (Format f, juce::AudioPluginInstance& plugin)
{
    std::vector<juce::AudioProcessorParameter*> result (numParameters, nullptr);
    for (auto* p : plugin.getParameters())
        if (auto* hosted = dynamic_cast<juce::HostedAudioProcessorParameter*> (p))
            for (int i = 0; i < numParameters; ++i)
                if (hosted->getParameterID() == parameterIdentity (f, i))
                    result[(size_t) i] = p;
    return result;
}

std::vector<unsigned char> chunkFromState (Format f, const juce::MemoryBlock& hostState)
{
    juce::ignoreUnused (f);
    return chunkFromVst3State (hostState);
}

juce::MemoryBlock stateWithChunk (Format f, const std::vector<unsigned char>& chunk)
{
    juce::ignoreUnused (f);
    return vst3StateWithChunk (chunk);
}

Signal process (Format f, juce::AudioPluginInstance& plugin, const Settings& settings, const Signal& input, double sampleRate, int blockSize)
{
    const auto params = parametersByIndex (f, plugin);
    for (const auto& [index, value] : settings)
        params[(size_t) index]->setValue (value);

    const int channels = (int) input.size();
    const int samples = (int) input[0].size();
    plugin.prepareToPlay (sampleRate, blockSize);
    Signal output (input.size(), std::vector<float> ((size_t) samples));
    juce::AudioBuffer<float> buffer (channels, blockSize);
    juce::MidiBuffer midi;
    for (int start = 0; start < samples; start += blockSize)
    {
        const int n = std::min (blockSize, samples - start);
        buffer.setSize (channels, n, false, false, true);
        for (int ch = 0; ch < channels; ++ch)
            buffer.copyFrom (ch, 0, input[(size_t) ch].data() + start, n);
        plugin.processBlock (buffer, midi);
        for (int ch = 0; ch < channels; ++ch)
            std::copy (buffer.getReadPointer (ch), buffer.getReadPointer (ch) + n, output[(size_t) ch].begin() + start);
    }
    plugin.releaseResources();
    return output;
}

Signal testSignal (int channels, int samples)
{
    return vrc::test::programme (channels, samples, { 777, 3000, 0.8f, 0.04f, 0.023f, 2, 0.85f, 0.15f });
}

Signal processVst2 (const Settings& settings, const Signal& input, float sampleRate, int blockSize)
{
    vsthost::PluginInstance plugin;
    const auto channels = (int32_t) input.size();
    vsthost::SpeakerArrangement arrangement {};
    arrangement.type = channels == 1 ? vsthost::speakerArr::mono : vsthost::speakerArr::stereo;
    arrangement.numChannels = channels;
    EXPECT_EQ (plugin.dispatch (vsthost::effSetSpeakerArrangement, 0, reinterpret_cast<vsthost::IntPtr> (&arrangement), &arrangement), 1);
    for (const auto& [index, value] : settings)
        plugin.setParameter (index, value);
    plugin.resume (sampleRate, blockSize);

    Signal output = input;
    const int samples = (int) input[0].size();
    for (int start = 0; start < samples; start += blockSize)
    {
        std::vector<float*> pointers;
        for (auto& ch : output)
            pointers.push_back (ch.data() + start);
        plugin.effect()->processReplacing (plugin.effect(), pointers.data(), pointers.data(), std::min (blockSize, samples - start));
    }
    return output;
}
} // namespace vrc::formats

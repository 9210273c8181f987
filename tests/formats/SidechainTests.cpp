// The key input as hosts meet it. VST3: a second input bus, "Sidechain", off
// until the host turns it on, mono or stereo; with it on, the audio is what the
// engine gives for that key; the saved state ignores it. LV2: a third plug-in
// of the bundle whose extra inputs are side-chain ports, hosted through lilv.
#include "FormatHost.h"
#include "Lv2Host.h"

#include "EngineHelpers.h"
#include "Signals.h"
#include "plugin/lv2/Lv2Ports.h"

#include <gtest/gtest.h>

namespace vrc::formats
{
namespace
{
using Set = juce::AudioChannelSet;

juce::AudioProcessor::BusesLayout layout (Set main, Set key)
{
    juce::AudioProcessor::BusesLayout l;
    l.inputBuses.add (main);
    l.inputBuses.add (key);
    l.outputBuses.add (main);
    return l;
}

const Settings ducking { { 0, 0.6f }, { 1, 1.0f }, { 3, 0.02f }, { 4, 0.02f }, { 5, 0.2f }, { 7, 0.0f } };

/** The same settings, signal and key straight through the engine, set up as the processor does. */
Signal engineWithKey (const Settings& settings, Signal input, const Signal& key, float sampleRate, int blockSize)
{
    CompressorEngine engine;
    test::configure (engine, sampleRate, test::fromNormalised (settings));
    test::processInBlocks (engine, input, blockSize, &key);
    return input;
}

/** Runs input and key as one buffer (main channels first), as a host does with the key bus on. */
Signal processWithKey (juce::AudioPluginInstance& plugin, const Settings& settings, const Signal& input, const Signal& key,
                       double sampleRate, int blockSize)
{
    const auto params = parametersByIndex (Format::vst3, plugin);
    for (const auto& [index, value] : settings)
        params[(size_t) index]->setValue (value);
    plugin.prepareToPlay (sampleRate, blockSize);
    const int mainChannels = (int) input.size(), samples = (int) input[0].size();
    Signal output = input;
    juce::AudioBuffer<float> buffer (mainChannels + (int) key.size(), blockSize);
    juce::MidiBuffer midi;
    for (int start = 0; start < samples; start += blockSize)
    {
        const int n = std::min (blockSize, samples - start);
        buffer.setSize (buffer.getNumChannels(), n, false, false, true);
        for (int ch = 0; ch < mainChannels; ++ch)
            buffer.copyFrom (ch, 0, input[(size_t) ch].data() + start, n);
        for (size_t ch = 0; ch < key.size(); ++ch)
            buffer.copyFrom (mainChannels + (int) ch, 0, key[ch].data() + start, n);
        plugin.processBlock (buffer, midi);
        for (int ch = 0; ch < mainChannels; ++ch)
            std::copy (buffer.getReadPointer (ch), buffer.getReadPointer (ch) + n, output[(size_t) ch].begin() + start);
    }
    plugin.releaseResources();
    return output;
}

/** Loud bursts with long gaps, for the key. */
Signal bursts (int channels, int samples)
{
    return test::bursts (channels, samples, { 12000, 4000, 0.9f, 0.05f });
}
} // namespace

TEST (Vst3Sidechain, KeyBusIsOffByDefaultAndTakesMonoOrStereoOnly)
{
    const auto plugin = load (Format::vst3);
    ASSERT_NE (plugin, nullptr);
    ASSERT_EQ (plugin->getBusCount (true), 2);
    EXPECT_EQ (plugin->getBusCount (false), 1);
    EXPECT_EQ (plugin->getBus (true, 1)->getName(), "Sidechain");
    EXPECT_FALSE (plugin->getBus (true, 1)->isEnabled());
    EXPECT_EQ (plugin->getTotalNumInputChannels(), 2);

    struct Row { Set main, key; bool accepted; };
    const Row rows[] = {
        { Set::stereo(), Set::disabled(), true },  { Set::stereo(), Set::mono(), true },
        { Set::stereo(), Set::stereo(), true },    { Set::mono(), Set::stereo(), true },
        { Set::mono(), Set::mono(), true },        { Set::mono(), Set::disabled(), true },
        { Set::stereo(), Set::create5point1(), false }, { Set::stereo(), Set::quadraphonic(), false },
        { Set::create5point1(), Set::stereo(), false },
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE ((row.main.getDescription() + " with key " + row.key.getDescription()).toStdString());
        EXPECT_EQ (plugin->checkBusesLayoutSupported (layout (row.main, row.key)), row.accepted);
        if (row.accepted)
        {
            ASSERT_TRUE (plugin->setBusesLayout (layout (row.main, row.key)));
            EXPECT_EQ (plugin->getBusesLayout(), layout (row.main, row.key));
        }
    }
}

TEST (Vst3Sidechain, KeyedAudioEqualsTheEngineWithThatKey)
{
    const double sampleRate = 48000.0;
    const int blockSize = 256;
    struct Row { Set main, key; };
    for (const auto& row : { Row { Set::stereo(), Set::stereo() }, Row { Set::stereo(), Set::mono() }, Row { Set::mono(), Set::stereo() } })
    {
        SCOPED_TRACE ((row.main.getDescription() + " with key " + row.key.getDescription()).toStdString());
        const auto plugin = load (Format::vst3, sampleRate, blockSize);
        ASSERT_NE (plugin, nullptr);
        ASSERT_TRUE (plugin->setBusesLayout (layout (row.main, row.key)));
        const auto input = testSignal (row.main.size(), 24000);
        const auto key = bursts (row.key.size(), 24000);

        const auto output = processWithKey (*plugin, ducking, input, key, sampleRate, blockSize);
        EXPECT_EQ (output, engineWithKey (ducking, input, key, (float) sampleRate, blockSize));
        // The key, not the input, decides: the same input with the key off is compressed otherwise.
        ASSERT_TRUE (plugin->setBusesLayout (layout (row.main, Set::disabled())));
        EXPECT_NE (output, process (Format::vst3, *plugin, ducking, input, sampleRate, blockSize));
    }
}

TEST (Vst3Sidechain, StateIsTheSameWhateverTheKeyBusDoes)
{
    const auto plugin = load (Format::vst3);
    ASSERT_NE (plugin, nullptr);
    const auto params = parametersByIndex (Format::vst3, *plugin);
    for (const auto& [index, value] : ducking)
        params[(size_t) index]->setValue (value);

    juce::MemoryBlock off, on;
    plugin->getStateInformation (off);
    ASSERT_TRUE (plugin->setBusesLayout (layout (Set::stereo(), Set::mono())));
    plugin->getStateInformation (on);
    EXPECT_EQ (chunkFromState (Format::vst3, off), chunkFromState (Format::vst3, on));
    EXPECT_FALSE (chunkFromState (Format::vst3, on).empty());

    // Restoring settings leaves the host's routing alone.
    plugin->setStateInformation (off.getData(), (int) off.getSize());
    EXPECT_EQ (plugin->getBusesLayout(), layout (Set::stereo(), Set::mono()));
}

TEST (Lv2Sidechain, VariantsKeyPortsAreSideChainsAndDuckLikeTheEngine)
{
    const char* const uri = "urn:veskara:vr-c-sidechain";
    const auto* plugin = lv2PluginByUri (uri);
    ASSERT_NE (plugin, nullptr);
    ASSERT_EQ (lilv_plugin_get_num_ports (plugin), 16u); // 8 settings, enabled, latency, 2 in, 2 out, 2 key
    auto* sideChain = lv2Uri (LV2_CORE_PREFIX "isSideChain");
    auto* audio = lv2Uri (LILV_URI_AUDIO_PORT);
    auto* input = lv2Uri (LILV_URI_INPUT_PORT);
    for (uint32_t i = 10; i < 16; ++i)
    {
        const auto* port = lilv_plugin_get_port_by_index (plugin, i);
        EXPECT_TRUE (lilv_port_is_a (plugin, port, audio)) << i;
        EXPECT_EQ (lilv_port_is_a (plugin, port, input), i < 12 || i >= 14) << i;
        EXPECT_EQ (lilv_port_has_property (plugin, port, sideChain), i >= 14) << i;
    }
    lilv_node_free (sideChain);
    lilv_node_free (audio);
    lilv_node_free (input);

    // Port values in the editor's units; the engine gets them as a host's normalised values.
    Lv2Host host (uri, 48000.0);
    ASSERT_TRUE (host.isLoaded());
    const std::pair<int, float> ports[] = { { 0, -24.0f }, { 1, 1.0f }, { 3, 0.002f }, { 4, 0.05f }, { 5, 0.3f }, { 7, 0.0f } };
    Settings settings;
    for (const auto& [port, value] : ports)
        host.controls[(size_t) port] = value;
    for (int i = 0; i < numParameters; ++i)
        settings[i] = lv2::normalisedForPortValue ((uint32_t) i, host.controls[(size_t) i]);

    const int blockSize = 500;
    const auto music = testSignal (2, 24000);
    const auto key = bursts (2, 24000);
    const auto output = host.run ({ music[0], music[1], key[0], key[1] }, blockSize);
    EXPECT_EQ (output, engineWithKey (settings, music, key, 48000.0f, blockSize));
    EXPECT_NE (output, engineWithKey (settings, music, music, 48000.0f, blockSize)) << "the key, not the music, decides";
}
} // namespace vrc::formats

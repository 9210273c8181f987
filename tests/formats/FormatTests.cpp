// The VST3 build seen from a host: the same eight parameters, stereo and mono
// buses only, audio bit for bit equal to VR-C.so's, and the same settings chunk
// inside its saved state, loadable both ways. (LV2: Lv2Tests.cpp.)
#include "FormatHost.h"
#include "HostXErrors.h"
#include "TestHost.h"

#include "processor/Parameters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace vrc::formats
{
namespace
{
using vsthost::PluginInstance;

class FormatTest : public ::testing::TestWithParam<Format>
{
};

std::string printFormat (const ::testing::TestParamInfo<Format>& info) { return formatName (info.param); }

const Settings someSettings { { 0, 0.55f }, { 1, 0.8f }, { 2, 0.6f }, { 3, 0.03f },
                              { 4, 0.07f }, { 5, 0.35f }, { 6, 0.9f }, { 7, 0.0f } };

/** Delivers parameter values set through the host: formats pass them on at the next block. */
void runOneBlock (juce::AudioPluginInstance& plugin)
{
    plugin.prepareToPlay (44100.0, 64);
    juce::AudioBuffer<float> buffer (plugin.getTotalNumInputChannels(), 64);
    buffer.clear();
    juce::MidiBuffer midi;
    plugin.processBlock (buffer, midi);
    plugin.releaseResources();
}

TEST_P (FormatTest, HostSeesOneStereoBusEachWayAndMonoAsTheOnlyAlternative)
{
    const auto plugin = load (GetParam());
    ASSERT_NE (plugin, nullptr);
    EXPECT_EQ (plugin->getBusCount (true), 1);
    EXPECT_EQ (plugin->getBusCount (false), 1);
    EXPECT_EQ (plugin->getChannelLayoutOfBus (true, 0), juce::AudioChannelSet::stereo());
    EXPECT_EQ (plugin->getChannelLayoutOfBus (false, 0), juce::AudioChannelSet::stereo());

    using Set = juce::AudioChannelSet;
    const auto layout = [] (Set in, Set out)
    {
        juce::AudioProcessor::BusesLayout l;
        l.inputBuses.add (in);
        l.outputBuses.add (out);
        return l;
    };
    EXPECT_TRUE (plugin->checkBusesLayoutSupported (layout (Set::mono(), Set::mono())));
    EXPECT_FALSE (plugin->checkBusesLayoutSupported (layout (Set::mono(), Set::stereo())));
    EXPECT_FALSE (plugin->checkBusesLayoutSupported (layout (Set::stereo(), Set::mono())));
    EXPECT_FALSE (plugin->checkBusesLayoutSupported (layout (Set::create5point1(), Set::create5point1())));
}

TEST_P (FormatTest, EightParametersWithTheirNamesIdentitiesDefaultsAndTexts)
{
    const auto plugin = load (GetParam());
    ASSERT_NE (plugin, nullptr);
    const auto params = parametersByIndex (GetParam(), *plugin);
    for (auto* p : plugin->getParameters())
    {
        if (std::find (params.begin(), params.end(), p) == params.end())
        {
            EXPECT_EQ (p, plugin->getBypassParameter()) << "only the host's bypass switch joins the eight";
        }
    }
    // The VST3 bypass switch has the next number after the eight.
    auto* bypass = dynamic_cast<juce::HostedAudioProcessorParameter*> (plugin->getBypassParameter());
    if (bypass != nullptr && GetParam() == Format::vst3)
    {
        EXPECT_EQ (bypass->getParameterID(), juce::String (numParameters));
    }

    PluginInstance vst2;
    for (int i = 0; i < numParameters; ++i)
    {
        const auto& info = parameterTable[(size_t) i];
        ASSERT_NE (params[(size_t) i], nullptr) << "no parameter " << parameterIdentity (GetParam(), i);
        auto& p = *params[(size_t) i];
        EXPECT_EQ (p.getName (100), info.name);
        EXPECT_EQ (p.getDefaultValue(), (info.defaultValue - info.minimum) / (info.maximum - info.minimum));
        EXPECT_EQ (p.getValue(), vst2.getParameter (i)) << info.name << " starts at its default";
        p.setValue (someSettings.at (i));
    }
    runOneBlock (*plugin);

    // VST3 hosts show the plug-in's own texts, for the current value and for
    // any other they ask about (automation labels).
    for (int i = 0; i < numParameters; ++i)
    {
        vst2.setParameter (i, someSettings.at (i));
        EXPECT_EQ (params[(size_t) i]->getCurrentValueAsText().toStdString(), vst2.text<64> (vsthost::effGetParamDisplay, i));
        for (float other : { 0.0f, 0.25f, 1.0f })
        {
            vst2.setParameter (i, other);
            EXPECT_EQ (params[(size_t) i]->getText (other, 64).toStdString(), vst2.text<64> (vsthost::effGetParamDisplay, i)) << i;
        }
    }
}

TEST_P (FormatTest, AudioEqualsTheVst2BuildForBothCurvesInStereoAndMono)
{
    const double sampleRate = 48000.0;
    const int blockSize = 480;
    for (int channels : { 2, 1 })
    {
        for (float curve : { 0.0f, 1.0f })
        {
            SCOPED_TRACE (testing::Message() << channels << " channel(s), curve " << curve);
            auto settings = someSettings;
            settings[7] = curve;
            const auto input = testSignal (channels, 24000);

            const auto plugin = load (GetParam(), sampleRate, blockSize);
            ASSERT_NE (plugin, nullptr);
            if (channels == 1)
            {
                ASSERT_TRUE (plugin->setChannelLayoutOfBus (true, 0, juce::AudioChannelSet::mono())
                             && plugin->setChannelLayoutOfBus (false, 0, juce::AudioChannelSet::mono()));
            }

            const auto output = process (GetParam(), *plugin, settings, input, sampleRate, blockSize);
            const auto expected = processVst2 (settings, input, (float) sampleRate, blockSize);
            EXPECT_EQ (output, expected);
            EXPECT_NE (expected, input) << "the settings compress audibly";
        }
    }
}

TEST_P (FormatTest, StateCarriesTheVst2ChunkAndLoadsInEitherDirection)
{
    // VST2 -> format: the chunk VR-C.so saves, restored in this format, comes back unchanged.
    PluginInstance vst2;
    for (const auto& [index, value] : someSettings)
        vst2.setParameter (index, value);
    const auto vst2Chunk = vst2.chunk();
    ASSERT_FALSE (vst2Chunk.empty());

    const auto restored = load (GetParam());
    ASSERT_NE (restored, nullptr);
    restored->setStateInformation (stateWithChunk (GetParam(), vst2Chunk).getData(),
                                   (int) stateWithChunk (GetParam(), vst2Chunk).getSize());
    juce::MemoryBlock saved;
    restored->getStateInformation (saved);
    EXPECT_EQ (chunkFromState (GetParam(), saved), vst2Chunk);
    // The host learns the restored values too.
    runOneBlock (*restored);
    for (const auto& [index, value] : someSettings)
        EXPECT_NEAR (parametersByIndex (GetParam(), *restored)[(size_t) index]->getValue(), value, 1.0e-6f) << index;

    // Round trip within the format: a new instance restores the saved state.
    const auto reopened = load (GetParam());
    ASSERT_NE (reopened, nullptr);
    reopened->setStateInformation (saved.getData(), (int) saved.getSize());
    juce::MemoryBlock savedAgain;
    reopened->getStateInformation (savedAgain);
    EXPECT_EQ (chunkFromState (GetParam(), savedAgain), vst2Chunk);

    // Format -> VST2: settings made through this format's parameters give the
    // same chunk as VR-C.so's, and VR-C.so restores them from it.
    const auto edited = load (GetParam());
    ASSERT_NE (edited, nullptr);
    for (const auto& [index, value] : someSettings)
        parametersByIndex (GetParam(), *edited)[(size_t) index]->setValue (value);
    runOneBlock (*edited);
    juce::MemoryBlock editedState;
    edited->getStateInformation (editedState);
    const auto formatChunk = chunkFromState (GetParam(), editedState);
    EXPECT_EQ (formatChunk, vst2Chunk);

    PluginInstance fresh;
    fresh.setChunk (formatChunk);
    EXPECT_EQ (fresh.parameters(), vst2.parameters());
}

TEST_P (FormatTest, EditorOpensAtItsFixedSize)
{
    vrctest::tolerateXErrorsLikeAHost();
    const auto plugin = load (GetParam());
    ASSERT_NE (plugin, nullptr);
    ASSERT_TRUE (plugin->hasEditor());
    std::unique_ptr<juce::AudioProcessorEditor> editor (plugin->createEditorIfNeeded());
    ASSERT_NE (editor, nullptr);
    editor->setVisible (true);
    editor->addToDesktop (0);
    EXPECT_EQ (editor->getWidth(), 800);
    EXPECT_EQ (editor->getHeight(), 200);
    editor->removeFromDesktop();
    editor.reset();
}

INSTANTIATE_TEST_SUITE_P (Formats, FormatTest, ::testing::Values (Format::vst3), printFormat);
} // namespace
} // namespace vrc::formats

// What any host learns about the plug-in before processing: entry points,
// descriptor, names, versions, capabilities, parameter texts and programs.
#include "HostTest.h"

#include <array>

namespace vsthost
{
namespace
{
using IdentityTest = HostTest;

TEST_F (IdentityTest, BothEntryPointsCreateAnInstanceAfterAskingTheHostVersion)
{
    for (const char* name : { "VSTPluginMain", "main" })
    {
        RecordingHost::instance().clear();
        PluginInstance plugin (name);
        ASSERT_NE (plugin.effect(), nullptr) << name;
        EXPECT_EQ (plugin.effect()->magic, magicVstP);
        EXPECT_EQ (hostCalls (audioMasterVersion).size(), 1u);
    }
}

TEST_F (IdentityTest, AHostAnsweringVersionZeroGetsNoInstance)
{
    RecordingHost::instance().setVersionAnswer (0);
    for (const char* name : { "VSTPluginMain", "main" })
    {
        auto entry = pluginEntryPoint (name);
        ASSERT_NE (entry, nullptr);
        EXPECT_EQ (entry (RecordingHost::instance().callback()), nullptr) << name;
    }
    EXPECT_EQ (pluginEntryPoint() (nullptr), nullptr);
}

TEST_F (IdentityTest, DescriptorCarriesTheIdentity)
{
    PluginInstance plugin;
    ASSERT_NE (plugin.effect(), nullptr);

    for (bool opened : { false, true })
    {
        if (opened)
            plugin.dispatch (effOpen);

        const AEffect& e = *plugin.effect();
        EXPECT_EQ (e.magic, magicVstP);
        EXPECT_EQ (e.numPrograms, 0);
        EXPECT_EQ (e.numParams, 8);
        EXPECT_EQ (e.numInputs, 2);
        EXPECT_EQ (e.numOutputs, 2);
        EXPECT_EQ (e.initialDelay, 0);
        EXPECT_EQ (e.uniqueID, 0x56522331);
        EXPECT_EQ (e.version, 0x00010001);
        EXPECT_EQ (e.flags, flags::hasEditor | flags::canReplacing | flags::programChunks | flags::noSoundInStop);
        EXPECT_EQ (e.flags, 0x231);
        EXPECT_NE (e.processReplacing, nullptr);
    }
}

TEST_F (IdentityTest, NamesVersionsAndCategory)
{
    PluginInstance plugin;
    IntPtr result = 0;

    EXPECT_EQ (plugin.text<64> (effGetEffectName, 0, &result), "VR-C");
    EXPECT_EQ (result, 1);
    EXPECT_TRUE (plugin.lastTextGuardsIntact);
    EXPECT_EQ (plugin.text<64> (effGetProductString, 0, &result), "VR-C");
    EXPECT_EQ (result, 1);
    EXPECT_TRUE (plugin.lastTextGuardsIntact);
    EXPECT_EQ (plugin.text<64> (effGetVendorString, 0, &result), "veskara");
    EXPECT_EQ (result, 1);
    EXPECT_TRUE (plugin.lastTextGuardsIntact);

    EXPECT_EQ (plugin.dispatch (effGetVendorVersion), 65537);
    EXPECT_EQ (plugin.dispatch (effGetVstVersion), 2400);
    EXPECT_EQ (plugin.dispatch (effGetPlugCategory), 1);
    EXPECT_EQ (plugin.dispatch (effGetTailSize), 0);
    EXPECT_EQ (plugin.dispatch (effGetNumMidiInputChannels), 0);
    EXPECT_EQ (plugin.dispatch (effGetNumMidiOutputChannels), 0);
}

TEST_F (IdentityTest, CanDoMatchesExactly)
{
    PluginInstance plugin;
    const std::pair<const char*, IntPtr> answers[] = {
        { "receiveVstEvents", -1 }, { "receiveVstMidiEvent", -1 }, { "receiveVstMidiEvents", -1 },
        { "sendVstEvents", -1 }, { "sendVstMidiEvent", -1 }, { "sendVstMidiEvents", -1 },
        { "receiveVstTimeInfo", 1 }, { "conformsToWindowRules", 1 }, { "openCloseAnyThread", -1 },
        { "ReceiveVstTimeInfo", 0 }, { "receivevsttimeinfo", 0 }, { "receiveVstTimeInfo ", 0 },
        { "sizeWindow", 0 }, { "bypass", 0 }, { "supportsViewDpiScaling", 0 }, { "hasCockosExtensions", 0 },
        { "offline", 0 }, { "", 0 }
    };
    for (const auto& [query, expected] : answers)
        EXPECT_EQ (plugin.dispatch (effCanDo, 0, 0, const_cast<char*> (query)), expected) << '"' << query << '"';
    EXPECT_EQ (plugin.dispatch (effCanDo, 0, 0, nullptr), 0);
}

TEST_F (IdentityTest, ParameterNamesFitTheirBuffersExactly)
{
    PluginInstance plugin;
    const char* names[] = { "Threshold", "Ratio", "Gain", "Attack", "Release", "Knee", "Dry/Wet", "Transfert Curve" };
    for (int i = 0; i < 8; ++i)
    {
        EXPECT_EQ (plugin.text<16> (effGetParamName, i), names[i]);
        EXPECT_TRUE (plugin.lastTextGuardsIntact) << i;
    }

    // "Transfert Curve" is 15 bytes: with its terminator it fills a 16-byte buffer exactly.
    Guarded<16> name;
    plugin.dispatch (effGetParamName, 7, 0, name.data);
    EXPECT_EQ (name.bytesUsed(), 16u);
    EXPECT_TRUE (name.guardsIntact());

    // Outside the announced range the buffer still receives a (empty) text.
    EXPECT_EQ (plugin.text<16> (effGetParamName, 8), "");
    EXPECT_EQ (plugin.text<16> (effGetParamName, -1), "");
}

TEST_F (IdentityTest, ParameterLabelsAreEmptyAndDisplayTextsFollowTheValues)
{
    PluginInstance plugin;
    for (int i = 0; i < 9; ++i)
    {
        EXPECT_EQ (plugin.text<8> (effGetParamLabel, i), "") << i;
        EXPECT_TRUE (plugin.lastTextGuardsIntact);
        EXPECT_EQ (plugin.dispatch (effCanBeAutomated, i), 1) << i;
    }

    const char* fresh[] = { "0.00", "0.50", "0.00", "0.05", "0.10", nullptr, "100.0%", "1.00" };
    for (int i = 0; i < 8; ++i)
    {
        if (fresh[i] != nullptr)
        {
            EXPECT_EQ (plugin.text<24> (effGetParamDisplay, i), fresh[i]) << i;
        }
    }
    EXPECT_EQ (plugin.text<24> (effGetParamDisplay, 8), "");

    plugin.setParameter (0, 0.5f);
    plugin.setParameter (6, 0.5f);
    plugin.setParameter (7, 0.7f);
    EXPECT_EQ (plugin.text<24> (effGetParamDisplay, 0), "-20.00");
    EXPECT_EQ (plugin.text<24> (effGetParamDisplay, 6), "50.0%");
    EXPECT_EQ (plugin.text<24> (effGetParamDisplay, 7), "0.70");
    EXPECT_FLOAT_EQ (plugin.getParameter (7), 0.7f);
    EXPECT_TRUE (plugin.lastTextGuardsIntact);
}

TEST_F (IdentityTest, DisplayTextsOfHugeRestoredValuesAreExactAndCutInsideTheField)
{
    PluginInstance plugin;
    plugin.setChunk (settingsChunk ("<VeskCompSettings gain=\"-99999993207994712064\" thresold=\"1e17\" drywet=\"1e17\"/>"));
    EXPECT_EQ (plugin.text<24> (effGetParamDisplay, 0), "99999998430674944.00");
    EXPECT_EQ (plugin.text<24> (effGetParamDisplay, 6), "9999999980506447872.0%");

    // 24 characters do not fit the 23 the host allows: cut, terminated, nothing beyond.
    Guarded<24> display;
    plugin.dispatch (effGetParamDisplay, 2, 0, display.data);
    EXPECT_EQ (display.text(), "-99999993207994712064.0");
    EXPECT_TRUE (display.guardsIntact());
}

TEST_F (IdentityTest, ProgramRequestsChangeNothing)
{
    PluginInstance plugin;
    plugin.setParameter (1, 0.25f);
    const auto before = plugin.parameters();
    const auto chunkBefore = plugin.chunk();

    for (int program : { 0, 1, 3, -1 })
        EXPECT_EQ (plugin.dispatch (effSetProgram, 0, program), 0);
    char newName[] = "My program";
    plugin.dispatch (effSetProgramName, 0, 0, newName);

    EXPECT_EQ (plugin.dispatch (effGetProgram), 0);
    EXPECT_EQ (plugin.text<24> (effGetProgramName), "");
    EXPECT_TRUE (plugin.lastTextGuardsIntact);

    Guarded<24> indexed;
    EXPECT_EQ (plugin.dispatch (effGetProgramNameIndexed, 0, 0, indexed.data), 0);
    EXPECT_TRUE (indexed.guardsIntact());

    EXPECT_EQ (plugin.parameters(), before);
    EXPECT_EQ (plugin.chunk(), chunkBefore);
    EXPECT_EQ (plugin.effect()->numPrograms, 0);
}

TEST_F (IdentityTest, UnsupportedFeaturesAreDeclinedWithoutSideEffects)
{
    PluginInstance plugin;
    const auto before = plugin.parameters();

    char text[] = "0.9";
    EXPECT_EQ (plugin.dispatch (effString2Parameter, 1, 0, text), 0);
    EXPECT_EQ (plugin.dispatch (effSetBypass, 0, 1), 0);
    EXPECT_EQ (plugin.dispatch (effProcessEvents, 0, 0, nullptr), 0);
    EXPECT_EQ (plugin.dispatch (effSetProcessPrecision, 0, 0), 0);
    EXPECT_EQ (plugin.dispatch (effSetProcessPrecision, 0, 1), 0);
    EXPECT_EQ (plugin.dispatch (effVendorSpecific, 0, 0, nullptr), 0);

    Guarded<64> properties;
    EXPECT_EQ (plugin.dispatch (effGetParameterProperties, 0, 0, properties.data), 0);
    EXPECT_TRUE (properties.guardsIntact());
    EXPECT_EQ (plugin.parameters(), before);
}

TEST_F (IdentityTest, TheAccumulatingProcessEntryDoesNothing)
{
    PluginInstance plugin;
    plugin.resume (44100.0f, 64);
    ASSERT_NE (plugin.effect()->process, nullptr);

    std::vector<float> in (64, 0.5f), out (64, 0.25f);
    float* inputs[] = { in.data(), in.data() };
    float* outputs[] = { out.data(), out.data() };
    plugin.effect()->process (plugin.effect(), inputs, outputs, 64);
    EXPECT_EQ (out, std::vector<float> (64, 0.25f));
}
} // namespace
} // namespace vsthost

// The LV2 bundle as LV2 hosts see it (through lilv): a compressor with a licence
// and a release version, control ports in the editor's units, a stereo and a
// mono plug-in, audio bit for bit equal to VR-C.so's when the ports hold
// VR-C.so's display texts, clamping, and the settings chunk shared with VR-C.so
// and the VST3 build.
#include "Lv2Host.h"
#include "TestHost.h"

#include <lv2/core/lv2.h>
#include <lv2/port-props/port-props.h>
#include <lv2/state/state.h>
#include <lv2/units/units.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace vrc::formats
{
namespace
{
using vsthost::PluginInstance;

const char* const stereoUri = "urn:veskara:vr-c";
const char* const monoUri = "urn:veskara:vr-c-mono";

struct NodeDeleter
{
    void operator() (LilvNode* n) const { lilv_node_free (n); }
};
using Node = std::unique_ptr<LilvNode, NodeDeleter>;
Node uri (const char* u) { return Node (lv2Uri (u)); }

std::string uriOf (const LilvNode* n) { return n != nullptr && lilv_node_is_uri (n) ? lilv_node_as_uri (n) : ""; }

/** What the README's controls table promises, as LV2 hosts must show it. */
struct ExpectedPort
{
    const char* symbol;
    float minimum, maximum, defaultValue;
    const char* unit; // "" for none
    bool logarithmic;
};
const ExpectedPort expectedPorts[] = {
    { "threshold", -40.0f, 0.0f, 0.0f, LV2_UNITS__db, false },
    { "ratio", 0.5f, 1.0f, 0.5f, "", false },
    { "gain", -20.0f, 30.0f, 0.0f, LV2_UNITS__db, false },
    { "attack", 0.0f, 0.3f, 0.05f, LV2_UNITS__s, false },
    { "release", 0.01f, 5.0f, 0.1f, LV2_UNITS__s, true },
    { "knee", 0.0f, 1.0f, 0.94f, "", false },
    { "dry_wet", 0.0f, 100.0f, 100.0f, LV2_UNITS__pc, false },
    { "curve", 0.0f, 1.0f, 1.0f, "", false },
};

TEST (Lv2Bundle, CompressorsWithLicenceReleaseVersionAndPortsInTheEditorsUnits)
{
    for (const auto& [pluginUri, channels] : { std::pair { stereoUri, 2u }, std::pair { monoUri, 1u } })
    {
        SCOPED_TRACE (pluginUri);
        const auto* plugin = lv2PluginByUri (pluginUri);
        ASSERT_NE (plugin, nullptr);
        EXPECT_EQ (lilv_plugin_get_num_ports (plugin), 10u + 2u * channels);
        const auto type = uri (LILV_NS_RDF "type");
        EXPECT_TRUE (lilv_world_ask (lv2World(), lilv_plugin_get_uri (plugin), type.get(), uri (LV2_CORE__CompressorPlugin).get()));
        const auto licence = uri (LILV_NS_DOAP "license");
        auto* licences = lilv_plugin_get_value (plugin, licence.get());
        EXPECT_EQ (lilv_nodes_size (licences), 1u);
        lilv_nodes_free (licences);
        const auto minor = uri (LV2_CORE__minorVersion);
        auto* minors = lilv_plugin_get_value (plugin, minor.get());
        ASSERT_EQ (lilv_nodes_size (minors), 1u);
        const int minorVersion = lilv_node_as_int (lilv_nodes_get_first (minors));
        EXPECT_TRUE (minorVersion > 0 && minorVersion % 2 == 0) << "a release, not a development build: " << minorVersion;
        lilv_nodes_free (minors);

        const auto unitKey = uri (LV2_UNITS__unit);
        const auto logarithmic = uri (LV2_PORT_PROPS__logarithmic);
        for (uint32_t i = 0; i < 8; ++i)
        {
            const auto& e = expectedPorts[i];
            SCOPED_TRACE (e.symbol);
            const auto* port = lilv_plugin_get_port_by_index (plugin, i);
            ASSERT_NE (port, nullptr);
            EXPECT_STREQ (lilv_node_as_string (lilv_port_get_symbol (plugin, port)), e.symbol);
            LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
            lilv_port_get_range (plugin, port, &def, &min, &max);
            ASSERT_TRUE (def != nullptr && min != nullptr && max != nullptr);
            EXPECT_EQ (lilv_node_as_float (min), e.minimum);
            EXPECT_EQ (lilv_node_as_float (max), e.maximum);
            EXPECT_EQ (lilv_node_as_float (def), e.defaultValue);
            lilv_node_free (def);
            lilv_node_free (min);
            lilv_node_free (max);
            auto* units = lilv_port_get_value (plugin, port, unitKey.get());
            EXPECT_EQ (uriOf (units != nullptr ? lilv_nodes_get_first (units) : nullptr), e.unit);
            lilv_nodes_free (units);
            EXPECT_EQ (lilv_port_has_property (plugin, port, logarithmic.get()), e.logarithmic);
        }

        // CURVE is a two-way switch, named as the editor's switch is.
        const auto* curve = lilv_plugin_get_port_by_index (plugin, 7);
        for (const char* property : { LV2_CORE__integer, LV2_CORE__enumeration })
            EXPECT_TRUE (lilv_port_has_property (plugin, curve, uri (property).get())) << property;
        auto* points = lilv_port_get_scale_points (plugin, curve);
        std::map<float, std::string> labels;
        LILV_FOREACH (scale_points, it, points)
        {
            const auto* point = lilv_scale_points_get (points, it);
            labels[lilv_node_as_float (lilv_scale_point_get_value (point))] = lilv_node_as_string (lilv_scale_point_get_label (point));
        }
        lilv_scale_points_free (points);
        EXPECT_EQ (labels, (std::map<float, std::string> { { 0.0f, "linear" }, { 1.0f, "exp" } }));

        // The host's bypass switch and the latency report.
        const auto designation = uri (LV2_CORE__designation);
        for (const auto& [index, role] : { std::pair { 8u, LV2_CORE_PREFIX "enabled" }, std::pair { 9u, LV2_CORE_PREFIX "latency" } })
        {
            auto* roles = lilv_port_get_value (plugin, lilv_plugin_get_port_by_index (plugin, index), designation.get());
            EXPECT_EQ (uriOf (roles != nullptr ? lilv_nodes_get_first (roles) : nullptr), role);
            lilv_nodes_free (roles);
        }
    }
}

/** VR-C.so's normalised values whose display texts the LV2 ports are then given. */
const Settings vst2Settings { { 0, 0.55f }, { 1, 0.8f }, { 2, 0.6f }, { 3, 0.5f },
                              { 4, 0.49f / 4.99f }, { 5, 0.35f }, { 6, 0.9f }, { 7, 0.0f } };

/** The port values that show VR-C.so's display texts for those settings. */
std::array<float, 8> portsShowingVst2Texts (const Settings& settings)
{
    PluginInstance vst2;
    std::array<float, 8> ports {};
    for (const auto& [index, value] : settings)
    {
        vst2.setParameter (index, value);
        ports[(size_t) index] = std::strtof (vst2.text<64> (vsthost::effGetParamDisplay, index).c_str(), nullptr);
    }
    return ports;
}

TEST (Lv2Bundle, PortsHoldingVst2TextsRenderAndSaveLikeVst2ForBothCurvesStereoAndMono)
{
    const double rate = 48000.0;
    const int block = 480;
    for (const auto& [pluginUri, channels] : { std::pair { stereoUri, 2 }, std::pair { monoUri, 1 } })
        for (float curve : { 0.0f, 1.0f })
        {
            SCOPED_TRACE (testing::Message() << pluginUri << ", curve " << curve);
            auto settings = vst2Settings;
            settings[7] = curve;
            Lv2Host lv2 (pluginUri, rate);
            ASSERT_TRUE (lv2.isLoaded());
            const auto ports = portsShowingVst2Texts (settings);
            std::copy (ports.begin(), ports.end(), lv2.controls.begin());
            const auto input = testSignal (channels, 24000);
            const auto expected = processVst2 (settings, input, (float) rate, block);
            EXPECT_EQ (lv2.run (input, block), expected);
            EXPECT_NE (expected, input) << "the settings compress audibly";

            PluginInstance vst2;
            for (const auto& [index, value] : settings)
                vst2.setParameter (index, value);
            const auto lv2Chunk = chunkFromLv2Text (lv2.save()), vst2Chunk = vst2.chunk();
            EXPECT_EQ (std::string (lv2Chunk.begin(), lv2Chunk.end()), std::string (vst2Chunk.begin(), vst2Chunk.end()))
                << "the same engine values, saved as VR-C.so saves them";
            EXPECT_EQ (lv2.controls[9], 0.0f) << "no latency";
        }
}

TEST (Lv2Bundle, PortValuesOutsideTheirRangeAreClampedToIt)
{
    Lv2Host lv2 (stereoUri);
    ASSERT_TRUE (lv2.isLoaded());
    // Each beyond the end VR-C.so reaches at normalised 0 or 1.
    const std::pair<float, float> portAndEnd[] = { { -100.0f, 1.0f }, { 2.0f, 1.0f }, { 99.0f, 1.0f }, { -1.0f, 0.0f },
                                                   { 100.0f, 1.0f }, { -5.0f, 0.0f }, { 150.0f, 1.0f }, { 7.0f, 1.0f } };
    Settings ends;
    for (int i = 0; i < 8; ++i)
    {
        lv2.controls[(size_t) i] = portAndEnd[i].first;
        ends[i] = portAndEnd[i].second;
    }
    const auto input = testSignal (2, 9600);
    EXPECT_EQ (lv2.run (input, 480), processVst2 (ends, input, 48000.0f, 480));
}

TEST (Lv2Bundle, ChunkFromVst2RestoresAndWinsOverPortsUntilTheHostMovesOne)
{
    PluginInstance vst2;
    for (const auto& [index, value] : vst2Settings)
        vst2.setParameter (index, value);
    const auto vst2Chunk = vst2.chunk();

    // A session of the first LV2 build: its chunk, and ports at their defaults.
    Lv2Host lv2 (stereoUri);
    ASSERT_TRUE (lv2.isLoaded());
    ASSERT_EQ (lv2.restore (lv2TextFromChunk (vst2Chunk)), LV2_STATE_SUCCESS);
    EXPECT_EQ (chunkFromLv2Text (lv2.save()), vst2Chunk);
    const auto input = testSignal (2, 9600);
    EXPECT_EQ (lv2.run (input, 480), processVst2 (vst2Settings, input, 48000.0f, 480)) << "the session's settings, not the defaults";

    // A later host change reaches the processor, as the same change does in
    // VR-C.so after the same audio.
    lv2.controls[0] = -10.0f;
    const auto later = lv2.run (input, 480);
    vst2.resume (48000.0f, 480);
    for (const float threshold : { 0.55f, 0.25f })
    {
        vst2.setParameter (0, threshold);
        Signal expected = input;
        for (size_t start = 0; start < input[0].size(); start += 480)
        {
            float* channels[] { expected[0].data() + start, expected[1].data() + start };
            vst2.effect()->processReplacing (vst2.effect(), channels, channels, 480);
        }
        if (threshold == 0.25f)
        {
            EXPECT_EQ (later, expected);
        }
    }

    // The mono plug-in reads the same state.
    Lv2Host mono (monoUri);
    ASSERT_EQ (mono.restore (lv2TextFromChunk (vst2Chunk)), LV2_STATE_SUCCESS);
    EXPECT_EQ (chunkFromLv2Text (mono.save()), vst2Chunk);

    // VST3 takes the chunk the LV2 plug-in saved, and hands back what LV2 restores.
    const auto vst3 = load (Format::vst3);
    ASSERT_NE (vst3, nullptr);
    const auto vst3State = stateWithChunk (Format::vst3, chunkFromLv2Text (lv2.save()));
    vst3->setStateInformation (vst3State.getData(), (int) vst3State.getSize());
    juce::MemoryBlock saved;
    vst3->getStateInformation (saved);
    Lv2Host fromVst3 (stereoUri);
    ASSERT_EQ (fromVst3.restore (lv2TextFromChunk (chunkFromState (Format::vst3, saved))), LV2_STATE_SUCCESS);
    EXPECT_EQ (chunkFromLv2Text (fromVst3.save()), chunkFromLv2Text (lv2.save()));
}

TEST (Lv2Bundle, RestoreTellsTheHostWhatBecameOfTheState)
{
    PluginInstance vst2;
    const auto text = lv2TextFromChunk (vst2.chunk());
    struct Case
    {
        const char* name;
        std::string text;
        bool typedAsString;
        int status;
    };
    const Case cases[] = {
        { "the chunk", text, true, LV2_STATE_SUCCESS },
        { "typed as a chunk atom", text, false, LV2_STATE_ERR_BAD_TYPE },
        { "no count", text.substr (text.find ('.')), true, LV2_STATE_ERR_UNKNOWN },
        { "a foreign chunk", lv2TextFromChunk ({ 'x', 'y', 'z', 'w', 1, 2, 3 }), true, LV2_STATE_ERR_UNKNOWN },
    };
    for (const auto& c : cases)
    {
        Lv2Host lv2 (stereoUri);
        EXPECT_EQ (lv2.restore (c.text, c.typedAsString), c.status) << c.name;
    }

    // Characters in the gaps of the framework's decoding table ('+' to 'z') read
    // as zero bits there, the value of '.', and the same here.
    {
        auto gaps = text;
        const std::string gapCharacters = "-/:;<=>?@[]^_`";
        for (size_t at = gaps.find ('.') + 1, n = 0; (at = gaps.find ('.', at)) != std::string::npos; ++n)
            gaps[at] = gapCharacters[n % gapCharacters.size()];
        ASSERT_NE (gaps, text);
        Lv2Host lv2 (stereoUri);
        EXPECT_EQ (lv2.restore (gaps), LV2_STATE_SUCCESS);
        EXPECT_EQ (chunkFromLv2Text (lv2.save()), vst2.chunk());
    }

    // A chunk whose byte count has a 9 in it restores like any other.
    for (int i = 0; i < 8; ++i)
        for (float v = 0.05f; v < 1.0f; v += 0.1f)
        {
            vst2.setParameter (i, v);
            const auto chunk = vst2.chunk();
            if (std::to_string (chunk.size()).find ('9') == std::string::npos)
                continue;
            Lv2Host lv2 (stereoUri);
            EXPECT_EQ (lv2.restore (lv2TextFromChunk (chunk)), LV2_STATE_SUCCESS) << chunk.size() << " bytes";
            EXPECT_EQ (chunkFromLv2Text (lv2.save()), chunk);
            return;
        }
    ADD_FAILURE() << "no chunk with a 9 in its byte count";
}
} // namespace
} // namespace vrc::formats

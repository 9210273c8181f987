#include "Lv2Host.h"
#include "Lv2UriMap.h"

#include <juce_core/juce_core.h>
#include <lv2/atom/atom.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace vrc::formats
{
namespace
{
Lv2UriMap uris;
LV2_Feature mapFeature { LV2_URID__map, &uris.mapData }, unmapFeature { LV2_URID__unmap, &uris.unmapData };
const LV2_Feature* features[] { &mapFeature, &unmapFeature, nullptr };
} // namespace

LilvWorld* lv2World()
{
    static LilvWorld* world = []
    {
        auto* w = lilv_world_new();
        lilv_world_load_specifications (w);
        lilv_world_load_plugin_classes (w);
        const std::string bundle = juce::File (VRC_LV2_FOLDER).getChildFile ("VR-C.lv2").getFullPathName().toStdString() + "/";
        auto* node = lilv_new_file_uri (w, nullptr, bundle.c_str());
        lilv_world_load_bundle (w, node);
        lilv_node_free (node);
        return w;
    }();
    return world;
}

LilvNode* lv2Uri (const char* uri) { return lilv_new_uri (lv2World(), uri); }

const LV2_Feature* const* lv2HostFeatures() { return features; }

const LilvPlugin* lv2PluginByUri (const char* uri)
{
    auto* node = lv2Uri (uri);
    const auto* plugin = lilv_plugins_get_by_uri (lilv_world_get_all_plugins (lv2World()), node);
    lilv_node_free (node);
    return plugin;
}

Lv2Host::Lv2Host (const char* pluginUri, double sampleRate) : plugin (lv2PluginByUri (pluginUri))
{
    if (plugin == nullptr)
    {
        ADD_FAILURE() << "no plug-in " << pluginUri;
        return;
    }
    auto* audio = lv2Uri (LILV_URI_AUDIO_PORT);
    auto* input = lv2Uri (LILV_URI_INPUT_PORT);
    for (uint32_t i = 0; i < lilv_plugin_get_num_ports (plugin); ++i)
    {
        const auto* port = lilv_plugin_get_port_by_index (plugin, i);
        if (lilv_port_is_a (plugin, port, audio))
            (lilv_port_is_a (plugin, port, input) ? inputs : outputs).push_back (i);
    }
    lilv_node_free (audio);
    lilv_node_free (input);

    std::vector<float> defaults (lilv_plugin_get_num_ports (plugin));
    lilv_plugin_get_port_ranges_float (plugin, nullptr, nullptr, defaults.data());
    std::copy_n (defaults.begin(), controls.size(), controls.begin());

    instance = lilv_plugin_instantiate (plugin, sampleRate, features);
    if (instance == nullptr)
        ADD_FAILURE() << "instantiation failed";
    for (uint32_t i = 0; instance != nullptr && i < controls.size(); ++i)
        lilv_instance_connect_port (instance, i, &controls[i]);
}

Lv2Host::~Lv2Host()
{
    if (instance != nullptr)
        lilv_instance_free (instance);
}

Signal Lv2Host::run (const Signal& input, int blockSize, Buffers buffers)
{
    EXPECT_EQ (input.size(), inputs.size());
    const auto samples = input.empty() ? 0 : input[0].size();
    Signal output (outputs.size(), std::vector<float> (samples));
    std::vector<std::vector<float>> in (inputs.size(), std::vector<float> ((size_t) blockSize)),
        out (outputs.size(), std::vector<float> ((size_t) blockSize));
    // Where each input port's samples go: its own buffer or an output's.
    std::vector<float*> inputBuffer (inputs.size());
    const auto mains = outputs.size();
    for (size_t c = 0; c < inputs.size(); ++c)
    {
        const bool key = c >= mains;
        inputBuffer[c] = buffers == Buffers::keysOnOutputs && key && c - mains < mains ? out[c - mains].data()
                         : buffers == Buffers::inputsOnOtherOutputs && ! key        ? out[mains - 1 - c].data()
                                                                                    : in[c].data();
        lilv_instance_connect_port (instance, inputs[c], inputBuffer[c]);
    }
    for (size_t c = 0; c < outputs.size(); ++c)
        lilv_instance_connect_port (instance, outputs[c], out[c].data());
    lilv_instance_activate (instance);
    for (size_t start = 0; start < samples; start += (size_t) blockSize)
    {
        const auto n = std::min ((size_t) blockSize, samples - start);
        for (size_t c = 0; c < inputs.size(); ++c)
            std::copy_n (input[c].begin() + (long) start, n, inputBuffer[c]);
        lilv_instance_run (instance, (uint32_t) n);
        for (size_t c = 0; c < outputs.size(); ++c)
            std::copy_n (out[c].begin(), n, output[c].begin() + (long) start);
    }
    lilv_instance_deactivate (instance);
    return output;
}

namespace
{
// The plug-in keeps its chunk under one key, as text; a host keeps it verbatim.
const char* const stateKey = VRC_LV2_URI ":StateString";

} // namespace

std::string Lv2Host::save()
{
    const auto* iface = static_cast<const LV2_State_Interface*> (lilv_instance_get_extension_data (instance, LV2_STATE__interface));
    std::string text;
    const auto store = [] (LV2_State_Handle h, uint32_t key, const void* value, size_t size, uint32_t type, uint32_t) -> LV2_State_Status
    {
        if (key == uris.map (stateKey) && type == uris.map (LV2_ATOM__String))
            static_cast<std::string*> (h)->assign (static_cast<const char*> (value), strnlen (static_cast<const char*> (value), size));
        return LV2_STATE_SUCCESS;
    };
    if (iface != nullptr)
        iface->save (lilv_instance_get_handle (instance), store, &text, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, features);
    return text;
}

int Lv2Host::restore (const std::string& text, bool typedAsString)
{
    const auto* iface = static_cast<const LV2_State_Interface*> (lilv_instance_get_extension_data (instance, LV2_STATE__interface));
    if (iface == nullptr)
        return -1;
    struct Value
    {
        const std::string& text;
        bool typedAsString;
    } value { text, typedAsString };
    const auto retrieve = [] (LV2_State_Handle h, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags) -> const void*
    {
        const auto& v = *static_cast<const Value*> (h);
        if (key != uris.map (stateKey))
            return nullptr;
        *size = v.text.size() + 1;
        *type = uris.map (v.typedAsString ? LV2_ATOM__String : LV2_ATOM__Chunk);
        *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
        return v.text.c_str();
    };
    return iface->restore (lilv_instance_get_handle (instance), retrieve, &value, 0, features);
}

std::vector<unsigned char> chunkFromLv2Text (const std::string& text)
{
    juce::MemoryBlock chunk;
    if (! chunk.fromBase64Encoding (juce::String (text)))
        return {};
    const auto* bytes = static_cast<const unsigned char*> (chunk.getData());
    return { bytes, bytes + chunk.getSize() };
}

std::string lv2TextFromChunk (const std::vector<unsigned char>& chunk)
{
    return juce::MemoryBlock (chunk.data(), chunk.size()).toBase64Encoding().toStdString();
}
} // namespace vrc::formats

#pragma once
// The built LV2 bundle hosted through lilv, as an LV2 host runs it: the bundle's
// Turtle read by lilv, one instance with a URID map, control ports held by the
// host, audio run block by block, and the state interface driven directly.
#include "FormatHost.h"

#include <lilv/lilv.h>

#include <array>
#include <string>
#include <vector>

namespace vrc::formats
{
/** The lilv world with the bundle under test (and the LV2 vocabularies) loaded. */
LilvWorld* lv2World();
const LilvPlugin* lv2PluginByUri (const char* uri);
/** A node for a URI, owned by the caller (lilv_node_free). */
LilvNode* lv2Uri (const char* uri);
/** The host's URID map and unmap, null-terminated, for instances and UIs. */
const LV2_Feature* const* lv2HostFeatures();

class Lv2Host
{
public:
    explicit Lv2Host (const char* pluginUri, double sampleRate = 48000.0);
    ~Lv2Host();
    bool isLoaded() const noexcept { return instance != nullptr; }

    /** Control port values by port index (settings 0..7, enabled, latency), as the host holds them. */
    std::array<float, 10> controls {};

    /** How the host lays out audio buffers: one per port, or (LV2 allows it) an
        input port on an output port's buffer: each key on the output of its
        number, or each main input on the other channel's output. */
    enum class Buffers { separate, keysOnOutputs, inputsOnOtherOutputs };

    /** Runs the signal through the instance block by block (one channel per audio
        input port, in port order: the main inputs, then any key inputs). */
    Signal run (const Signal& input, int blockSize, Buffers buffers = Buffers::separate);

    /** state:restore with this text under the plug-in's key (typed as atom:String unless told). */
    int restore (const std::string& text, bool typedAsString = true);
    /** The text state:save stores, without its terminator. */
    std::string save();

    LilvInstance* lilvInstance() const noexcept { return instance; }

private:
    const LilvPlugin* plugin = nullptr;
    LilvInstance* instance = nullptr;
    std::vector<uint32_t> inputs, outputs; // audio port indices
};

/** The chunk inside a state text (base64 in the framework's alphabet). */
std::vector<unsigned char> chunkFromLv2Text (const std::string& text);
std::string lv2TextFromChunk (const std::vector<unsigned char>& chunk);
} // namespace vrc::formats

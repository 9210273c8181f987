// The LV2 entry point: one descriptor per plug-in of the bundle (Lv2Ports.h),
// each instance a processor behind the host's ports. The host's control ports
// are the truth while it runs; the saved chunk is the truth when a session is
// restored (see restore()).
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "Lv2Instance.h"
#include "Lv2Ports.h"
#include "Lv2StateText.h"
#include "processor/SettingsChunk.h"
#include "processor/VeskCompAudioProcessor.h"

#include <juce_audio_plugin_client/utility/juce_LinuxMessageThread.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <atomic>
#include <cstring>
#include <memory>

namespace vrc::lv2
{
namespace
{
const LV2_Feature* findFeature (const LV2_Feature* const* features, const char* uri) noexcept
{
    for (auto* f = features; f != nullptr && *f != nullptr; ++f)
        if (std::strcmp ((*f)->URI, uri) == 0)
            return *f;
    return nullptr;
}

/** The host's largest block, when it says (the engine itself takes any length). */
int maxBlockLength (const LV2_Feature* const* features, const LV2_URID_Map& map) noexcept
{
    const auto* options = findFeature (features, LV2_OPTIONS__options);
    if (options == nullptr || options->data == nullptr)
        return 4096;
    const auto key = map.map (map.handle, LV2_BUF_SIZE__maxBlockLength);
    const auto intType = map.map (map.handle, LV2_ATOM__Int);
    for (auto* o = static_cast<const LV2_Options_Option*> (options->data); o->key != 0; ++o)
        if (o->key == key && o->type == intType && o->size == sizeof (std::int32_t) && o->value != nullptr)
        {
            std::int32_t length = 0;
            std::memcpy (&length, o->value, sizeof length);
            if (length > 0)
                return length;
        }
    return 4096;
}

/** Ratio before release (the release time reads the ratio when it is set): the
    order in which the processor refreshes its own engine. */
constexpr ParameterId applyOrder[] = { ParameterId::ratio, ParameterId::threshold, ParameterId::gain,
                                       ParameterId::attack, ParameterId::release, ParameterId::knee,
                                       ParameterId::dryWet, ParameterId::curve };

bool sameBits (float a, float b) noexcept { return std::memcmp (&a, &b, sizeof a) == 0; }

class Instance
{
public:
    Instance (const Variant& v, double sampleRate, int maxBlock, const LV2_URID_Map& map)
        : variant (v),
          stateKey (map.map (map.handle, stateKeyUri)),
          stringType (map.map (map.handle, LV2_ATOM__String))
    {
        // The processor's meter timer runs on the message thread: it is started
        // and stopped only while that thread is held between messages.
        const juce::MessageManagerLock lock;
        juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_LV2);
        processor = std::make_unique<VeskCompAudioProcessor>();
        juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);
        processor->setPlayConfigDetails (variant.inputs, variant.outputs, sampleRate, maxBlock);
        processor->prepareToPlay (sampleRate, maxBlock);
        // No port has been seen yet: the first run applies them all.
        seen.fill (unseen());
    }

    ~Instance()
    {
        const juce::MessageManagerLock lock;
        processor.reset();
    }

    void connect (std::uint32_t port, void* data) noexcept
    {
        if (port < numParameters)
            settings[port] = static_cast<const float*> (data);
        else if (port == enabledPort)
            enabled = static_cast<const float*> (data);
        else if (port == latencyPort)
            latency = static_cast<float*> (data);
        else if (const auto audio = port - firstAudioPort; audio < static_cast<std::uint32_t> (variant.inputs))
            inputs[audio] = static_cast<const float*> (data);
        else if (audio - static_cast<std::uint32_t> (variant.inputs) < static_cast<std::uint32_t> (variant.outputs))
            outputs[audio - static_cast<std::uint32_t> (variant.inputs)] = static_cast<float*> (data);
    }

    void run (std::uint32_t frames) noexcept
    {
        applyPortValues();
        if (latency != nullptr)
            *latency = 0.0f; // no lookahead: every sample is processed as it arrives

        for (int c = 0; c < variant.outputs; ++c)
        {
            if (outputs[c] == nullptr || (c < variant.inputs && inputs[c] == nullptr))
                return;
            // The host may process in place; otherwise the input is copied over first.
            if (c >= variant.inputs)
                std::memset (outputs[c], 0, frames * sizeof (float));
            else if (outputs[c] != inputs[c])
                std::memmove (outputs[c], inputs[c], frames * sizeof (float));
        }
        // lv2:enabled at 0 is the host's bypass: the input passes untouched.
        if (frames == 0 || (enabled != nullptr && *enabled <= 0.0f))
            return;
        juce::AudioBuffer<float> buffer (outputs.data(), variant.outputs, static_cast<int> (frames));
        processor->processBlock (buffer, noMidi);
    }

    LV2_State_Status save (LV2_State_Store_Function store, LV2_State_Handle handle)
    {
        juce::MemoryBlock chunk;
        processor->getStateInformation (chunk);
        // The text every build has written: older builds open newer sessions.
        const auto text = chunk.toBase64Encoding();
        return static_cast<LV2_State_Status> (store (handle, stateKey, text.toRawUTF8(), text.getNumBytesAsUTF8() + 1,
                                                     stringType, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE));
    }

    /** A session's chunk wins over the port values the host holds at that moment
        (sessions of the first LV2 build carry no port values, and their ports would
        read defaults): the ports, as they are at the next run, become the baseline,
        and only later host changes reach the processor. A state that restores
        nothing changes nothing and is reported as a failure. */
    LV2_State_Status restore (LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle)
    {
        std::size_t size = 0;
        std::uint32_t type = 0, flags = 0;
        const void* value = retrieve (handle, stateKey, &size, &type, &flags);
        if (value == nullptr)
            return LV2_STATE_ERR_NO_PROPERTY;
        if (type != stringType)
            return LV2_STATE_ERR_BAD_TYPE;
        const auto bytes = decodeStateText (static_cast<const char*> (value), size);
        if (! bytes.has_value())
            return LV2_STATE_ERR_UNKNOWN;
        const auto restored = readSettingsChunk (bytes->data(), static_cast<int> (bytes->size()));
        bool any = false;
        for (const auto& v : restored)
            any = any || v.has_value();
        if (! any)
            return LV2_STATE_ERR_UNKNOWN;

        processor->setStateInformation (bytes->data(), static_cast<int> (bytes->size()));
        adoptPortsAtNextRun.store (true);
        return LV2_STATE_SUCCESS;
    }

    VeskCompAudioProcessor& getProcessor() noexcept { return *processor; }

private:
    static float unseen() noexcept
    {
        const std::uint32_t bits = 0xffffffffu;
        float f;
        std::memcpy (&f, &bits, sizeof f);
        return f;
    }

    void applyPortValues() noexcept
    {
        const bool adopt = adoptPortsAtNextRun.exchange (false);
        for (auto id : applyOrder)
        {
            const auto i = static_cast<std::size_t> (id);
            if (settings[i] == nullptr)
                continue;
            const float value = *settings[i];
            if (sameBits (value, seen[i]))
                continue;
            seen[i] = value;
            if (! adopt)
                processor->setParameter (static_cast<int> (i), normalisedForPortValue (static_cast<std::uint32_t> (i), value));
        }
    }

    const Variant& variant;
    const LV2_URID stateKey, stringType;
    juce::ScopedJuceInitialiser_GUI juceInitialiser;
    // The processor's meter timer and the editor need a running message loop.
    juce::SharedResourcePointer<juce::MessageThread> messageThread;
    std::unique_ptr<VeskCompAudioProcessor> processor;

    std::array<const float*, numParameters> settings {};
    std::array<float, numParameters> seen {};
    const float* enabled = nullptr;
    float* latency = nullptr;
    std::array<const float*, 2> inputs {};
    std::array<float*, 2> outputs {};
    juce::MidiBuffer noMidi;
    std::atomic<bool> adoptPortsAtNextRun { false };
};

Instance& self (LV2_Handle h) noexcept { return *static_cast<Instance*> (h); }

LV2_Handle instantiate (const LV2_Descriptor* descriptor, double rate, const char*, const LV2_Feature* const* features);

const void* extensionData (const char* uri)
{
    static const LV2_State_Interface state {
        [] (LV2_Handle h, LV2_State_Store_Function store, LV2_State_Handle handle, std::uint32_t, const LV2_Feature* const*)
        { return self (h).save (store, handle); },
        [] (LV2_Handle h, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle, std::uint32_t, const LV2_Feature* const*)
        { return self (h).restore (retrieve, handle); }
    };
    return uri != nullptr && std::strcmp (uri, LV2_STATE__interface) == 0 ? &state : nullptr;
}

LV2_Descriptor descriptorFor (const Variant& v)
{
    return { v.uri,
             &instantiate,
             [] (LV2_Handle h, std::uint32_t port, void* data) { self (h).connect (port, data); },
             nullptr,
             [] (LV2_Handle h, std::uint32_t frames) { self (h).run (frames); },
             nullptr,
             [] (LV2_Handle h) { delete static_cast<Instance*> (h); },
             &extensionData };
}

const std::array<LV2_Descriptor, variants.size()>& descriptors()
{
    static const auto table = []
    {
        std::array<LV2_Descriptor, variants.size()> d {};
        for (std::size_t i = 0; i < variants.size(); ++i)
            d[i] = descriptorFor (variants[i]);
        return d;
    }();
    return table;
}

LV2_Handle instantiate (const LV2_Descriptor* descriptor, double rate, const char*, const LV2_Feature* const* features)
{
    const auto* mapFeature = findFeature (features, LV2_URID__map);
    const auto index = static_cast<std::size_t> (descriptor - descriptors().data());
    if (mapFeature == nullptr || mapFeature->data == nullptr || index >= variants.size() || ! (rate > 0.0)
        || variants[index].inputs > 2 || variants[index].outputs > 2)
        return nullptr;
    const auto& map = *static_cast<const LV2_URID_Map*> (mapFeature->data);
    return new Instance (variants[index], rate, maxBlockLength (features, map), map);
}
} // namespace

VeskCompAudioProcessor& processorOf (LV2_Handle instance) noexcept
{
    return self (instance).getProcessor();
}
} // namespace vrc::lv2

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor (std::uint32_t index)
{
    return index < vrc::lv2::variants.size() ? &vrc::lv2::descriptors()[index] : nullptr;
}

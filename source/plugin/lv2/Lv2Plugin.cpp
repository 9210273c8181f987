// The LV2 entry point: one descriptor per plug-in of the bundle (Lv2Ports.h),
// each instance a processor behind the host's ports. The host's control ports
// are the truth: a save holds what they hold at that moment, and a restored
// session plays what its restored ports say. Only a session of an older build,
// whose ports may not hold its settings, is restored from its chunk (restore()).
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

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <vector>

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

/** A host that does not say how long its blocks get: the plug-in's copies of
    aliased inputs are this long, and longer blocks are run in pieces. */
constexpr int unannouncedMaxBlock = 4096;

/** The host's largest block, when it says (the engine itself takes any length). */
int maxBlockLength (const LV2_Feature* const* features, const LV2_URID_Map& map) noexcept
{
    const auto* options = findFeature (features, LV2_OPTIONS__options);
    if (options == nullptr || options->data == nullptr)
        return unannouncedMaxBlock;
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
    return unannouncedMaxBlock;
}

bool sameBits (float a, float b) noexcept { return std::memcmp (&a, &b, sizeof a) == 0; }

class Instance
{
public:
    Instance (const Variant& v, double sampleRate, int maxBlock, const LV2_URID_Map& map)
        : variant (v),
          stateKey (map.map (map.handle, stateKeyUri)),
          portsKey (map.map (map.handle, portsHoldSettingsKeyUri)),
          stringType (map.map (map.handle, LV2_ATOM__String)),
          boolType (map.map (map.handle, LV2_ATOM__Bool)),
          pieceFrames (static_cast<std::uint32_t> (std::clamp (maxBlock, 1, maxPieceFrames)))
    {
        // The processor's meter timer runs on the message thread: it is started
        // and stopped only while that thread is held between messages.
        const juce::MessageManagerLock lock;
        juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_LV2);
        processor = std::make_unique<VeskCompAudioProcessor>();
        juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);
        processor->setPlayConfigDetails (variant.inputs, variant.outputs, sampleRate, maxBlock);
        processor->prepareToPlay (sampleRate, maxBlock);
        for (auto& copy : keyCopies)
            copy.resize (pieceFrames);
        for (auto& copy : inputCopies)
            copy.resize (pieceFrames);
        // No port has been seen yet: the first run applies them all.
        for (auto& s : seen)
            s.store (unseen(), std::memory_order_relaxed);
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
        else if (const auto key = audio - static_cast<std::uint32_t> (variant.inputs + variant.outputs);
                 key < static_cast<std::uint32_t> (variant.keyInputs))
            keys[key] = static_cast<const float*> (data);
    }

    void run (std::uint32_t frames) noexcept
    {
        applyPortValues();
        if (latency != nullptr)
            *latency = 0.0f; // no lookahead: every sample is processed as it arrives

        for (int c = 0; c < variant.outputs; ++c)
            if (outputs[c] == nullptr || (c < variant.inputs && inputs[c] == nullptr))
                return;
        // The key ports feed the detector only. One left unconnected (no host
        // should) leaves the detector on the input rather than reading nothing.
        bool keyed = variant.keyInputs > 0;
        for (int c = 0; c < variant.keyInputs; ++c)
            keyed = keyed && keys[(size_t) c] != nullptr;

        // LV2 lets a host hand any input and any output the same buffer. Writing
        // an output must never overwrite an input not yet read: the block goes in
        // pieces, each piece's inputs and keys read before its outputs are written.
        for (std::uint32_t done = 0; done < frames; done += pieceFrames)
            runPiece (done, std::min (pieceFrames, frames - done), keyed);
    }

    LV2_State_Status save (LV2_State_Store_Function store, LV2_State_Handle handle)
    {
        const auto chunk = writeSettingsChunk (settingsToSave());
        // The text every build has written: older builds open newer sessions.
        const auto text = juce::MemoryBlock (chunk.data(), chunk.size()).toBase64Encoding();
        const auto status = store (handle, stateKey, text.toRawUTF8(), text.getNumBytesAsUTF8() + 1, stringType,
                                   LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
        if (status != LV2_STATE_SUCCESS)
            return static_cast<LV2_State_Status> (status);
        // Tells a later restore that the host's saved port values hold these
        // same settings and may be trusted (older builds never wrote this).
        const std::int32_t yes = 1;
        return static_cast<LV2_State_Status> (store (handle, portsKey, &yes, sizeof yes, boolType,
                                                     LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE));
    }

    /** The chunk is restored at once. A session saved by this build holds the
        same settings in its ports, which the host restores too, before or after
        this call: the ports are applied in full at the next run, so they win if
        the host changed them since. An older session's ports may hold defaults
        (the first LV2 build had none) or values the plug-in never ran: its chunk
        wins, and the ports as they stand at the next run become the baseline
        that later host changes move from. A state that restores nothing changes
        nothing and is reported as a failure. */
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
        pendingRestore.store (portsHoldSettings (retrieve, handle) ? Restore::applyPorts : Restore::adoptPorts);
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

    enum class Restore { none, applyPorts, adoptPorts };

    bool portsHoldSettings (LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) const
    {
        std::size_t size = 0;
        std::uint32_t type = 0, flags = 0;
        const void* value = retrieve (handle, portsKey, &size, &type, &flags);
        std::int32_t flag = 0;
        if (value == nullptr || type != boolType || size != sizeof flag)
            return false;
        std::memcpy (&flag, value, sizeof flag);
        return flag != 0;
    }

    /** A control port's value, read whole even while the host writes it from another thread. */
    static float readPort (const float* port) noexcept
    {
        const auto bits = __atomic_load_n (reinterpret_cast<const std::uint32_t*> (port), __ATOMIC_RELAXED);
        float value;
        std::memcpy (&value, &bits, sizeof value);
        return value;
    }

    /** What the plug-in plays once the next run has taken the ports: a port the
        host moved since the last run gives its value, every other setting the
        processor's own (which, after an older session's restore, came from its
        chunk). Safe while run() runs on another thread. */
    SettingsValues settingsToSave() const noexcept
    {
        SettingsValues values;
        const bool portsPending = pendingRestore.load() == Restore::applyPorts;
        const bool portsAdopted = pendingRestore.load() == Restore::adoptPorts;
        for (std::uint32_t i = 0; i < numParameters; ++i)
        {
            values[i] = processor->parameterFor (static_cast<int> (i))->getValue();
            const auto* port = settings[i];
            if (port == nullptr || portsAdopted)
                continue;
            const float portValue = readPort (port);
            if (! portsPending && sameBits (portValue, seen[i].load (std::memory_order_acquire)))
            {
                values[i] = processor->parameterFor (static_cast<int> (i))->getValue();
                continue;
            }
            // The same mapping run() gives the value, on a scratch copy.
            const auto& info = parameterTable[i];
            ParameterMapper scratch (info.minimum, info.maximum);
            if (scratch.setNormalised (normalisedForPortValue (i, portValue)))
                values[i] = scratch.getValue();
        }
        return values;
    }

    void applyPortValues() noexcept
    {
        const auto restore = pendingRestore.exchange (Restore::none);
        for (auto id : engineWriteOrder)
        {
            const auto i = static_cast<std::size_t> (id);
            if (settings[i] == nullptr)
                continue;
            const float value = readPort (settings[i]);
            if (restore != Restore::applyPorts && sameBits (value, seen[i].load (std::memory_order_relaxed)))
                continue;
            if (restore != Restore::adoptPorts)
                processor->setParameter (static_cast<int> (i), normalisedForPortValue (static_cast<std::uint32_t> (i), value));
            // Published after the processor holds the value: a save that finds the
            // port taken finds the processor's value current too.
            seen[i].store (value, std::memory_order_release);
        }
    }

    void runPiece (std::uint32_t offset, std::uint32_t frames, bool keyed) noexcept
    {
        // The keys first, into the plug-in's own memory: a key may share an output's buffer.
        std::array<const float*, 2> key {};
        for (int c = 0; keyed && c < variant.keyInputs; ++c)
        {
            std::memcpy (keyCopies[(size_t) c].data(), keys[(size_t) c] + offset, frames * sizeof (float));
            key[(size_t) c] = keyCopies[(size_t) c].data();
        }
        // Then the inputs: in place, or copied over their outputs. An input that
        // shares the other output's buffer is saved before that output is written.
        std::array<const float*, 2> in {};
        for (int c = 0; c < variant.inputs; ++c)
        {
            in[(size_t) c] = inputs[(size_t) c] + offset;
            for (int o = 0; o < variant.outputs; ++o)
                if (o != c && inputs[(size_t) c] == outputs[(size_t) o])
                {
                    std::memcpy (inputCopies[(size_t) c].data(), in[(size_t) c], frames * sizeof (float));
                    in[(size_t) c] = inputCopies[(size_t) c].data();
                }
        }
        std::array<float*, 2> out {};
        for (int c = 0; c < variant.outputs; ++c)
        {
            out[(size_t) c] = outputs[(size_t) c] + offset;
            if (c >= variant.inputs)
                std::memset (out[(size_t) c], 0, frames * sizeof (float));
            else if (out[(size_t) c] != in[(size_t) c])
                std::memmove (out[(size_t) c], in[(size_t) c], frames * sizeof (float));
        }
        // lv2:enabled at 0 is the host's bypass: the input passes untouched, and
        // the detector and meters stand still until the host enables VR-C again.
        if (frames == 0 || (enabled != nullptr && readPort (enabled) <= 0.0f))
            return;
        juce::AudioBuffer<float> buffer (out.data(), variant.outputs, static_cast<int> (frames));
        if (keyed)
            processor->processWithKey (buffer, key.data(), variant.keyInputs);
        else
            processor->processBlock (buffer, noMidi);
    }

    const Variant& variant;
    const LV2_URID stateKey, portsKey, stringType, boolType;
    juce::ScopedJuceInitialiser_GUI juceInitialiser;
    // The processor's meter timer and the editor need a running message loop.
    juce::SharedResourcePointer<juce::MessageThread> messageThread;
    std::unique_ptr<VeskCompAudioProcessor> processor;

    std::array<const float*, numParameters> settings {};
    // The port values the processor last took, written by run() and read by save().
    std::array<std::atomic<float>, numParameters> seen {};
    const float* enabled = nullptr;
    float* latency = nullptr;
    std::array<const float*, 2> inputs {};
    std::array<float*, 2> outputs {};
    std::array<const float*, 2> keys {};
    juce::MidiBuffer noMidi;
    std::atomic<Restore> pendingRestore { Restore::none };
    // Copies of the keys and of inputs that share another channel's output
    // buffer, one host block long (longer blocks are run in pieces).
    static constexpr int maxPieceFrames = 8192;
    const std::uint32_t pieceFrames;
    std::array<std::vector<float>, 2> keyCopies, inputCopies;
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
        || variants[index].inputs > 2 || variants[index].outputs > 2 || variants[index].keyInputs > 2)
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

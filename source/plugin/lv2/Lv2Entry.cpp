// The LV2 entry point hosts call: the framework's descriptor with three functions
// of our own in front. A state a host hands back is decoded by our bounded reader
// (Lv2StateText.h) and reaches the framework only re-encoded in its canonical
// form, so the framework never sizes a buffer from the host's text. Saving, and
// everything else, is the framework's.
#include "Lv2StateText.h"

#include <juce_core/juce_core.h>
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cstring>
#include <map>
#include <mutex>

extern "C" const LV2_Descriptor* vrcFrameworkLv2Descriptor (uint32_t index);

namespace vrc::lv2
{
namespace
{
const LV2_Descriptor& framework() { return *vrcFrameworkLv2Descriptor (0); }

const LV2_State_Interface& frameworkState()
{
    return *static_cast<const LV2_State_Interface*> (framework().extension_data (LV2_STATE__interface));
}

/** The host's identifiers for the state property and its type, per instance:
    restore gets no URID map, instantiate does. */
struct StateKeys
{
    LV2_URID property = 0, text = 0;
};
std::mutex keysLock;
std::map<LV2_Handle, StateKeys> keysByInstance;

LV2_Handle instantiate (const LV2_Descriptor*, double rate, const char* bundle, const LV2_Feature* const* features)
{
    auto* instance = framework().instantiate (&framework(), rate, bundle, features);
    if (instance == nullptr)
        return nullptr;

    for (auto* f = features; f != nullptr && *f != nullptr; ++f)
        if (std::strcmp ((*f)->URI, LV2_URID__map) == 0 && (*f)->data != nullptr)
        {
            const auto& map = *static_cast<const LV2_URID_Map*> ((*f)->data);
            const std::lock_guard<std::mutex> lock (keysLock);
            keysByInstance[instance] = { map.map (map.handle, JucePlugin_LV2URI ":StateString"),
                                         map.map (map.handle, LV2_ATOM__String) };
        }
    return instance;
}

void cleanup (LV2_Handle instance)
{
    {
        const std::lock_guard<std::mutex> lock (keysLock);
        keysByInstance.erase (instance);
    }
    framework().cleanup (instance);
}

/** Stands between the framework's restore and the host's retrieve function. */
struct CheckedRetrieve
{
    LV2_State_Retrieve_Function hostRetrieve;
    LV2_State_Handle hostHandle;
    StateKeys keys;
    juce::String canonical;
    bool refused = false;

    static const void* retrieve (LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags)
    {
        auto& self = *static_cast<CheckedRetrieve*> (handle);
        const void* value = self.hostRetrieve (self.hostHandle, key, size, type, flags);
        // Other properties, and values the framework turns away itself, pass unchanged.
        if (key != self.keys.property || value == nullptr || *type != self.keys.text)
            return value;

        const auto bytes = decodeStateText (static_cast<const char*> (value), *size);
        if (! bytes.has_value())
        {
            self.refused = true;
            return nullptr;
        }
        self.canonical = juce::MemoryBlock (bytes->data(), bytes->size()).toBase64Encoding();
        *size = self.canonical.getNumBytesAsUTF8() + 1;
        return self.canonical.toRawUTF8();
    }
};

LV2_State_Status restore (LV2_Handle instance, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                          uint32_t flags, const LV2_Feature* const* features)
{
    CheckedRetrieve checked { retrieve, handle, {}, {}, false };
    {
        const std::lock_guard<std::mutex> lock (keysLock);
        const auto it = keysByInstance.find (instance);
        if (it == keysByInstance.end())
            return LV2_STATE_ERR_UNKNOWN;
        checked.keys = it->second;
    }
    const auto status = frameworkState().restore (instance, &CheckedRetrieve::retrieve, &checked, flags, features);
    // A damaged state restores nothing, and the host hears so.
    return checked.refused ? LV2_STATE_ERR_UNKNOWN : status;
}

LV2_State_Status save (LV2_Handle instance, LV2_State_Store_Function store, LV2_State_Handle handle,
                       uint32_t flags, const LV2_Feature* const* features)
{
    return frameworkState().save (instance, store, handle, flags, features);
}

const void* extensionData (const char* uri)
{
    static const LV2_State_Interface state { &save, &restore };
    if (uri != nullptr && std::strcmp (uri, LV2_STATE__interface) == 0)
        return &state;
    return framework().extension_data (uri);
}
} // namespace
} // namespace vrc::lv2

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor (uint32_t index)
{
    if (index != 0)
        return nullptr;
    static const LV2_Descriptor descriptor = []
    {
        auto d = vrc::lv2::framework();
        d.instantiate = &vrc::lv2::instantiate;
        d.cleanup = &vrc::lv2::cleanup;
        d.extension_data = &vrc::lv2::extensionData;
        return d;
    }();
    return &descriptor;
}

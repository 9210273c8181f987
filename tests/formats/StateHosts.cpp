#include "StateHosts.h"

#include "Lv2UriMap.h"
#include "Vst3TestHost.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>

namespace vrc::statehost
{
//==============================================================================
struct Lv2Plugin::Impl
{
    vsthost::DynamicLibrary library { VRC_LV2_BINARY };
    formats::Lv2UriMap uris;
    int32_t maxBlock = 512;
    LV2_Options_Option options[2] {};
    LV2_Feature mapFeature { LV2_URID__map, &uris.mapData }, boundedFeature { LV2_BUF_SIZE__boundedBlockLength, nullptr },
        optionsFeature { LV2_OPTIONS__options, options };
    const LV2_Feature* features[4] { &mapFeature, &boundedFeature, &optionsFeature, nullptr };
    const LV2_Descriptor* descriptor = nullptr;
    const LV2_State_Interface* state = nullptr;
    LV2_Handle instance = nullptr;
    std::string value, stored;
    bool typedAsString = true;
    float controls[9] { 0.0f, 0.5f, 0.0f, 0.05f, 0.1f, 0.94f, 100.0f, 1.0f, 1.0f };

    LV2_URID urid (const char* uri) { return uris.map (uri); }
    LV2_URID stateKey() { return urid (VRC_LV2_URI ":StateString"); }

    Impl()
    {
        options[0] = { LV2_OPTIONS_INSTANCE, 0, urid (LV2_BUF_SIZE__maxBlockLength), sizeof (maxBlock), urid (LV2_ATOM__Int), &maxBlock };
        auto* entry = reinterpret_cast<const LV2_Descriptor* (*) (uint32_t)> (library.findSymbol ("lv2_descriptor"));
        descriptor = entry != nullptr ? entry (0) : nullptr;
        if (descriptor == nullptr)
            return;
        std::string bundle = VRC_LV2_BINARY;
        bundle.erase (bundle.find_last_of ('/') + 1);
        instance = descriptor->instantiate (descriptor, 44100.0, bundle.c_str(), features);
        state = static_cast<const LV2_State_Interface*> (descriptor->extension_data (LV2_STATE__interface));
        for (uint32_t port = 0; instance != nullptr && port < std::size (controls); ++port)
            descriptor->connect_port (instance, port, &controls[port]);
    }

    ~Impl()
    {
        if (instance != nullptr)
            descriptor->cleanup (instance);
    }
};

Lv2Plugin::Lv2Plugin() : impl (std::make_unique<Impl>()) {}
Lv2Plugin::~Lv2Plugin() = default;
bool Lv2Plugin::isLoaded() const noexcept { return impl->instance != nullptr && impl->state != nullptr; }

int Lv2Plugin::restore (const std::string& value, bool typedAsString)
{
    impl->value = value;
    impl->typedAsString = typedAsString;
    const auto retrieve = [] (LV2_State_Handle h, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags) -> const void*
    {
        auto& self = *static_cast<Impl*> (h);
        if (key != self.stateKey())
            return nullptr;
        *size = self.value.size();
        *type = self.urid (self.typedAsString ? LV2_ATOM__String : LV2_ATOM__Chunk);
        *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
        return self.value.data();
    };
    return impl->state->restore (impl->instance, retrieve, impl.get(), 0, impl->features);
}

std::string Lv2Plugin::store()
{
    impl->stored.clear();
    const auto store = [] (LV2_State_Handle h, uint32_t key, const void* data, size_t size, uint32_t, uint32_t) -> LV2_State_Status
    {
        auto& self = *static_cast<Impl*> (h);
        if (key == self.stateKey())
            self.stored.assign (static_cast<const char*> (data), ::strnlen (static_cast<const char*> (data), size));
        return LV2_STATE_SUCCESS;
    };
    impl->state->save (impl->instance, store, impl.get(), 0, impl->features);
    return impl->stored;
}

void Lv2Plugin::setControl (int index, float value)
{
    __atomic_store (&impl->controls[index], &value, __ATOMIC_RELAXED);
}

void Lv2Plugin::runUntil (const std::atomic<bool>& stop)
{
    // Ports 10 and 11 are the inputs, 12 and 13 the outputs, of the stereo plug-in.
    float in[2][64], out[2][64];
    for (uint32_t c = 0; c < 2; ++c)
    {
        impl->descriptor->connect_port (impl->instance, 10 + c, in[c]);
        impl->descriptor->connect_port (impl->instance, 12 + c, out[c]);
    }
    for (int block = 0; ! stop.load(); ++block)
    {
        for (int i = 0; i < 64; ++i)
            in[0][i] = in[1][i] = (block % 8 < 4 ? 0.9f : 0.05f) * (i % 16 < 8 ? 1.0f : -1.0f);
        impl->descriptor->run (impl->instance, 64);
    }
}

//==============================================================================
struct Vst3Plugin::Impl
{
    // Loaded, its component and controller created and connected, by the
    // project's VST3 test host (the one the Windows cross-check uses too).
    vst3host::Vst3Module module { VRC_VST3_BINARY };
    vst3host::Vst3Instance instance { module };
    std::size_t taken = 0;
};

Vst3Plugin::Vst3Plugin() : impl (std::make_unique<Impl>()) {}
Vst3Plugin::~Vst3Plugin() = default;
bool Vst3Plugin::isLoaded() const noexcept { return impl->instance.getComponent() != nullptr; }
std::size_t Vst3Plugin::bytesTaken() const noexcept { return impl->taken; }

int Vst3Plugin::setState (const Bytes& bytes, StreamShape shape)
{
    vst3host::MemoryStream stream (bytes, shape);
    const auto result = impl->instance.getComponent()->setState (&stream);
    impl->taken = stream.offset();
    return result;
}

Bytes Vst3Plugin::getState()
{
    vst3host::MemoryStream stream;
    impl->instance.getComponent()->getState (&stream);
    return stream.data();
}

Bytes readTestFile (const std::string& relativePath)
{
    std::ifstream in (std::string (VRC_TEST_DATA_DIR) + "/" + relativePath, std::ios::binary);
    return Bytes (std::istreambuf_iterator<char> (in), {});
}
} // namespace vrc::statehost

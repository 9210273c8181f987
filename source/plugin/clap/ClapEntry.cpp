// The CLAP entry point: clap_entry, the plug-in factory with one descriptor per
// variant (ClapVariants.h), and each instance's function tables. Every call
// from the host lands here and goes to its Instance.
#include "ClapEditor.h"
#include "ClapInstance.h"
#include "ClapParameters.h"
#include "processor/Parameters.h"

#include <array>
#include <cstring>

#ifndef VRC_VERSION
 #error "VRC_VERSION must name the plug-in's version"
#endif

namespace vrc::clap
{
namespace
{
const std::array<PluginDescriptor, variants.size()>& descriptors() noexcept
{
    static const auto table = []
    {
        std::array<PluginDescriptor, variants.size()> d {};
        for (std::size_t i = 0; i < variants.size(); ++i)
            d[i] = { version, variants[i].id, variants[i].name, "veskara", "", "", "", VRC_VERSION,
                     "A dynamics compressor with two transfer curves.", variants[i].features };
        return d;
    }();
    return table;
}

Instance& self (const Plugin* p) noexcept { return Instance::of (p); }

const PluginAudioPorts audioPorts {
    [] (const Plugin* p, bool isInput) { return self (p).audioPortCount (isInput); },
    [] (const Plugin* p, std::uint32_t index, bool isInput, AudioPortInfo* info)
    { return info != nullptr && self (p).audioPortInfo (index, isInput, *info); },
};

const PluginParams params {
    [] (const Plugin*) { return static_cast<std::uint32_t> (numParameters); },
    [] (const Plugin*, std::uint32_t index, ParamInfo* info) { return info != nullptr && parameterInfo (index, *info); },
    [] (const Plugin* p, Id id, double* value) { return value != nullptr && self (p).getValue (id, *value); },
    [] (const Plugin*, Id id, double value, char* text, std::uint32_t capacity)
    { return parameterValueText (id, value, text, capacity); },
    [] (const Plugin*, Id id, const char* text, double* value)
    {
        const auto v = parameterValueFromText (id, text);
        if (! v.has_value() || value == nullptr)
            return false;
        *value = *v;
        return true;
    },
    [] (const Plugin* p, const InputEvents* in, const OutputEvents* out) { self (p).flush (in, out); },
};

const PluginState state {
    [] (const Plugin* p, const OutputStream* stream) { return stream != nullptr && self (p).save (*stream); },
    [] (const Plugin* p, const InputStream* stream) { return stream != nullptr && self (p).load (*stream); },
};

// No lookahead: every frame is processed as it arrives.
const PluginLatency latency { [] (const Plugin*) { return 0u; } };
// The output ends with the input: the envelope only shapes what comes in.
const PluginTail tail { [] (const Plugin*) { return 0u; } };

const void* extension (const Plugin*, const char* id)
{
    if (id == nullptr)
        return nullptr;
    const std::pair<const char*, const void*> table[] = {
        { extAudioPorts, &audioPorts }, { extParams, &params },         { extState, &state },
        { extLatency, &latency },       { extTail, &tail },             { extGui, &guiExtension() },
        { extTimerSupport, &timerExtension() }, { extPosixFdSupport, &fdExtension() },
    };
    for (const auto& [name, ext] : table)
        if (std::strcmp (id, name) == 0)
            return ext;
    return nullptr;
}

const Plugin* create (const Variant& variant, const PluginDescriptor& descriptor, const Host* host) noexcept
{
    Instance* instance = nullptr;
    try
    {
        instance = new Instance (variant, descriptor, host);
    }
    catch (...) // out of memory: the host is told, never thrown at
    {
        return nullptr;
    }
    auto* plugin = const_cast<Plugin*> (instance->plugin());
    plugin->init = [] (const Plugin*) { return true; };
    plugin->destroy = [] (const Plugin* p) { delete &self (p); };
    plugin->activate = [] (const Plugin* p, double rate, std::uint32_t, std::uint32_t maxFrames)
    { return self (p).activate (rate, maxFrames); };
    plugin->deactivate = [] (const Plugin* p) { self (p).deactivate(); };
    plugin->startProcessing = [] (const Plugin*) { return true; };
    plugin->stopProcessing = [] (const Plugin*) {};
    // The envelope carries on: it settles within the release time by itself.
    plugin->reset = [] (const Plugin*) {};
    plugin->process = [] (const Plugin* p, const Process* process)
    { return process != nullptr ? self (p).process (*process) : processError; };
    plugin->getExtension = &extension;
    plugin->onMainThread = [] (const Plugin*) {};
    return plugin;
}

const PluginFactory factory {
    [] (const PluginFactory*) { return static_cast<std::uint32_t> (variants.size()); },
    [] (const PluginFactory*, std::uint32_t index) -> const PluginDescriptor*
    { return index < variants.size() ? &descriptors()[index] : nullptr; },
    [] (const PluginFactory*, const Host* host, const char* id) -> const Plugin*
    {
        // A host of another major version lays its structures out differently.
        if (host == nullptr || id == nullptr || host->clapVersion.major != 1)
            return nullptr;
        for (std::size_t i = 0; i < variants.size(); ++i)
            if (std::strcmp (id, variants[i].id) == 0)
                return create (variants[i], descriptors()[i], host);
        return nullptr;
    },
};
} // namespace
} // namespace vrc::clap

extern "C"
{
#if defined(_WIN32)
__declspec (dllexport)
#else
__attribute__ ((visibility ("default")))
#endif
extern const vrc::clap::PluginEntry clap_entry;

const vrc::clap::PluginEntry clap_entry {
    vrc::clap::version,
    [] (const char*) { return true; },
    [] {},
    [] (const char* id) -> const void* {
        return id != nullptr && std::strcmp (id, vrc::clap::pluginFactoryId) == 0 ? &vrc::clap::factory : nullptr;
    },
};
}

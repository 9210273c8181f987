#include "ClapTestHost.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace clapHost
{
namespace
{
const vsthost::DynamicLibrary& library()
{
    static const vsthost::DynamicLibrary lib (VRC_CLAP_PATH);
    return lib;
}

struct EventList
{
    std::vector<EventParamValue> events;
    InputEvents in { this, [] (const InputEvents* l) { return static_cast<std::uint32_t> (static_cast<EventList*> (l->ctx)->events.size()); },
                     [] (const InputEvents* l, std::uint32_t i) -> const EventHeader*
                     { return &static_cast<EventList*> (l->ctx)->events.at (i).header; } };
};

struct Sink
{
    std::vector<EventParamValue> pushed;
    OutputEvents out { this, [] (const OutputEvents* l, const EventHeader* e)
                       {
                           if (e->type == eventParamValue)
                           {
                               EventParamValue v;
                               std::memcpy (&v, e, sizeof v);
                               static_cast<Sink*> (l->ctx)->pushed.push_back (v);
                           }
                           return true;
                       } };
};

EventList eventsFor (const std::vector<ParamChange>& changes)
{
    EventList list;
    for (const auto& c : changes)
    {
        EventParamValue e {};
        e.header = { sizeof e, c.frame, coreEventSpace, eventParamValue, 0 };
        e.paramId = c.id;
        e.noteId = -1;
        e.portIndex = e.channel = e.key = -1;
        e.value = c.value;
        list.events.push_back (e);
    }
    return list;
}

struct ByteReader
{
    const std::vector<std::uint8_t>& bytes;
    std::size_t chunk, at = 0;
};

struct ByteWriter
{
    std::vector<std::uint8_t> bytes;
    std::size_t chunk;
};
} // namespace

const PluginEntry& entry()
{
    static const PluginEntry* e = []
    {
        if (! library().isLoaded())
            throw std::runtime_error ("cannot load " VRC_CLAP_PATH ": " + library().getError());
        auto* found = static_cast<const PluginEntry*> (library().findSymbol ("clap_entry"));
        if (found == nullptr || ! found->init (VRC_CLAP_PATH))
            throw std::runtime_error ("no usable clap_entry");
        return found;
    }();
    return *e;
}

const PluginFactory& factory()
{
    auto* f = static_cast<const PluginFactory*> (entry().getFactory (pluginFactoryId));
    if (f == nullptr)
        throw std::runtime_error ("no plug-in factory");
    return *f;
}

const void* VRC_CLAP_ABI TestHost::hostExtension (const Host* h, const char* id)
{
    auto& self = *static_cast<TestHost*> (h->hostData);
    static const HostParams params {
        [] (const Host* hp, std::uint32_t) { ++static_cast<TestHost*> (hp->hostData)->rescans; },
        [] (const Host*, Id, std::uint32_t) {},
        [] (const Host* hp) { ++static_cast<TestHost*> (hp->hostData)->flushRequests; },
    };
    static const HostTimerSupport timers {
        [] (const Host* hp, std::uint32_t period, Id* timer)
        {
            auto& t = static_cast<TestHost*> (hp->hostData)->timers;
            *timer = static_cast<Id> (t.size() + 7);
            t.emplace_back (period, *timer);
            return true;
        },
        [] (const Host* hp, Id timer)
        {
            auto& t = static_cast<TestHost*> (hp->hostData)->timers;
            const auto before = t.size();
            t.erase (std::remove_if (t.begin(), t.end(), [timer] (auto& p) { return p.second == timer; }), t.end());
            return t.size() < before;
        },
    };
    static const HostPosixFdSupport fds {
        [] (const Host* hp, int fd, std::uint32_t) { static_cast<TestHost*> (hp->hostData)->fds.push_back (fd); return true; },
        [] (const Host*, int, std::uint32_t) { return true; },
        [] (const Host* hp, int fd)
        {
            auto& f = static_cast<TestHost*> (hp->hostData)->fds;
            const auto before = f.size();
            f.erase (std::remove (f.begin(), f.end(), fd), f.end());
            return f.size() < before;
        },
    };
    if (std::strcmp (id, extParams) == 0 && self.offers.params)
        return &params;
    if (std::strcmp (id, extTimerSupport) == 0 && self.offers.timers)
        return &timers;
    if (std::strcmp (id, extPosixFdSupport) == 0 && self.offers.fds)
        return &fds;
    return nullptr;
}

TestHost::TestHost (const char* pluginId, Offers o) : offers (o)
{
    host.clapVersion = version;
    host.hostData = this;
    host.name = "vrc clap test host";
    host.vendor = "veskara";
    host.url = "";
    host.version = "1";
    host.getExtension = &TestHost::hostExtension;
    host.requestRestart = [] (const Host*) {};
    host.requestProcess = [] (const Host*) {};
    host.requestCallback = [] (const Host*) {};
    instance = factory().createPlugin (&factory(), &host, pluginId);
    if (instance == nullptr || ! instance->init (instance))
        throw std::runtime_error (std::string ("cannot create ") + pluginId);
}

TestHost::~TestHost()
{
    if (active)
    {
        instance->stopProcessing (instance);
        instance->deactivate (instance);
    }
    instance->destroy (instance);
}

bool TestHost::activate (double sampleRate, std::uint32_t maxFrames)
{
    active = instance->activate (instance, sampleRate, 1, maxFrames) && instance->startProcessing (instance);
    return active;
}

Channels TestHost::process (const Channels& inputs, const std::vector<ParamChange>& changes, const Channels* key,
                            std::int32_t* status)
{
    const auto frames = static_cast<std::uint32_t> (inputs.at (0).size());
    Channels outputs (inputs.size(), std::vector<float> (frames, 12345.0f));
    std::vector<float*> in, out, keyPointers;
    for (std::size_t c = 0; c < inputs.size(); ++c)
    {
        in.push_back (const_cast<float*> (inputs[c].data()));
        out.push_back (outputs[c].data());
    }
    AudioBuffer buffers[2] {};
    buffers[0].data32 = in.data();
    buffers[0].channelCount = static_cast<std::uint32_t> (in.size());
    if (key != nullptr)
    {
        for (auto& k : *key)
            keyPointers.push_back (const_cast<float*> (k.data()));
        buffers[1].data32 = keyPointers.data();
        buffers[1].channelCount = static_cast<std::uint32_t> (keyPointers.size());
    }
    AudioBuffer outBuffer {};
    outBuffer.data32 = out.data();
    outBuffer.channelCount = static_cast<std::uint32_t> (out.size());
    auto events = eventsFor (changes);
    Sink sink;
    Process p {};
    p.steadyTime = -1;
    p.framesCount = frames;
    p.audioInputs = buffers;
    p.audioInputsCount = key != nullptr ? 2 : 1;
    p.audioOutputs = &outBuffer;
    p.audioOutputsCount = 1;
    p.inEvents = &events.in;
    p.outEvents = &sink.out;
    const auto result = instance->process (instance, &p);
    if (status != nullptr)
        *status = result;
    return outputs;
}

std::vector<ParamChange> TestHost::flush (const std::vector<ParamChange>& changes)
{
    auto events = eventsFor (changes);
    Sink sink;
    extension<PluginParams> (extParams)->flush (instance, &events.in, &sink.out);
    std::vector<ParamChange> reported;
    for (const auto& e : sink.pushed)
        reported.push_back ({ e.header.time, e.paramId, e.value });
    return reported;
}

double TestHost::value (Id id) const
{
    double v = -12345.0;
    if (! extension<PluginParams> (extParams)->getValue (instance, id, &v))
        throw std::runtime_error ("no value for parameter " + std::to_string (id));
    return v;
}

std::vector<double> TestHost::values() const
{
    std::vector<double> v;
    for (Id id = 0; id < 8; ++id)
        v.push_back (value (id));
    return v;
}

std::optional<std::vector<std::uint8_t>> TestHost::save (std::size_t chunk) const
{
    ByteWriter writer { {}, chunk };
    const OutputStream stream { &writer, [] (const OutputStream* s, const void* data, std::uint64_t size) -> std::int64_t
                                {
                                    auto& w = *static_cast<ByteWriter*> (s->ctx);
                                    const auto n = std::min<std::uint64_t> (size, w.chunk);
                                    const auto* b = static_cast<const std::uint8_t*> (data);
                                    w.bytes.insert (w.bytes.end(), b, b + n);
                                    return static_cast<std::int64_t> (n);
                                } };
    if (! extension<PluginState> (extState)->save (instance, &stream))
        return {};
    return writer.bytes;
}

bool TestHost::load (const std::vector<std::uint8_t>& bytes, std::size_t chunk) const
{
    ByteReader reader { bytes, chunk };
    const InputStream stream { &reader, [] (const InputStream* s, void* data, std::uint64_t size) -> std::int64_t
                               {
                                   auto& r = *static_cast<ByteReader*> (s->ctx);
                                   const auto n = static_cast<std::size_t> (std::min<std::uint64_t> ({ size, r.chunk, r.bytes.size() - r.at }));
                                   if (n > 0)
                                       std::memcpy (data, r.bytes.data() + r.at, n);
                                   r.at += n;
                                   return static_cast<std::int64_t> (n);
                               } };
    return load (stream);
}

bool TestHost::load (const InputStream& stream) const
{
    return extension<PluginState> (extState)->load (instance, &stream);
}
} // namespace clapHost

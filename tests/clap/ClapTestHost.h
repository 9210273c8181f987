#pragma once
// The project's CLAP host for tests: loads VR-C.clap by path, creates plug-ins
// through clap_entry and the factory as a host does, and drives one instance
// through the binary interface only (blocks with events, state streams,
// parameter queries). Host extensions are offered as a test chooses.
#include "DynamicLibrary.h"
#include "plugin/clap/ClapAbi.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace clapHost
{
using namespace vrc::clap;

/** The built VR-C.clap, loaded once per process, with its entry initialised. */
const PluginEntry& entry();
const PluginFactory& factory();

/** A parameter change at a frame of the next block. */
struct ParamChange
{
    std::uint32_t frame;
    Id id;
    double value;
};

using Channels = std::vector<std::vector<float>>;

/** Which host extensions the plug-in finds. */
struct Offers
{
    bool params = true, timers = false, fds = false;
};

class TestHost
{
public:
    explicit TestHost (const char* pluginId, Offers offers = {});
    ~TestHost();
    TestHost (const TestHost&) = delete;
    TestHost& operator= (const TestHost&) = delete;

    const Plugin& plugin() const { return *instance; }
    template <typename Extension>
    const Extension* extension (const char* id) const
    {
        return static_cast<const Extension*> (instance->getExtension (instance, id));
    }

    bool activate (double sampleRate = 48000.0, std::uint32_t maxFrames = 4096);

    /** One block: inputs (and the key, if any) in, outputs back; events at their frames. */
    Channels process (const Channels& inputs, const std::vector<ParamChange>& changes = {},
                      const Channels* key = nullptr, std::int32_t* status = nullptr);
    /** Parameter changes through params.flush, outside processing; returns the
        changes the plug-in reports back (its editor's), at frame 0. */
    std::vector<ParamChange> flush (const std::vector<ParamChange>& changes);

    double value (Id id) const;
    std::vector<double> values() const;
    void setValue (Id id, double v) { flush ({ { 0, id, v } }); }

    /** The state through an output stream that takes at most chunk bytes a call. */
    std::optional<std::vector<std::uint8_t>> save (std::size_t chunk = 1u << 20) const;
    /** Loads bytes through an input stream that hands over at most chunk bytes a call. */
    bool load (const std::vector<std::uint8_t>& bytes, std::size_t chunk = 1u << 20) const;
    /** Loads from any stream the test builds. */
    bool load (const InputStream& stream) const;

    int rescans = 0, flushRequests = 0;
    std::vector<std::pair<std::uint32_t, Id>> timers; // period, id
    std::vector<int> fds;

private:
    static const void* VRC_CLAP_ABI hostExtension (const Host*, const char*);
    Offers offers;
    Host host {};
    const Plugin* instance = nullptr;
    bool active = false;
};
} // namespace clapHost

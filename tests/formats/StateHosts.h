#pragma once
// The built VR-C.lv2 and VR-C.vst3 binaries driven through their C and COM state
// interfaces, as a host does when it saves a session and hands the saved bytes
// back, with no framework between the test and the plug-in.
#include "Vst3TestHost.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vrc::statehost
{
using Bytes = std::vector<std::uint8_t>;

/** One instance of the LV2 build, with a host's URID map. */
class Lv2Plugin
{
public:
    Lv2Plugin();
    ~Lv2Plugin();
    bool isLoaded() const noexcept;

    /** Hands the plug-in this value for its state property (the stored text's
        bytes, as a host keeps them) and returns the plug-in's status. */
    int restore (const std::string& value, bool typedAsString = true);
    /** The text the plug-in stores, without its terminator. */
    std::string store();

    /** Control port 0..8 (the settings in the editor's units, then enabled), set
        the way a host's control thread sets it: the whole value at once. The
        ports start at the controls' defaults. */
    void setControl (int index, float value);
    /** Runs blocks of a tone through the stereo plug-in on this thread until stop is set. */
    void runUntil (const std::atomic<bool>& stop);

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

/** How the host's stream delivers the state. */
using StreamShape = vst3host::StreamShape;

/** One component of the VST3 build, initialised without a host context. */
class Vst3Plugin
{
public:
    Vst3Plugin();
    ~Vst3Plugin();
    bool isLoaded() const noexcept;

    /** setState with a stream of these bytes; returns the plug-in's result. */
    int setState (const Bytes& bytes, StreamShape shape = {});
    /** How many bytes the last setState took from its stream. */
    std::size_t bytesTaken() const noexcept;
    Bytes getState();

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

/** A file from tests/data, whole. */
Bytes readTestFile (const std::string& relativePath);
} // namespace vrc::statehost

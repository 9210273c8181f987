#pragma once
// The project's VST3 test host: loads a bundle's binary through its exported
// entry points, creates the component and its edit controller, connects and
// initialises them as a host does, and releases everything in reverse order.
// Only the SDK's interface headers are used, so it builds for Linux and Windows.
#include "DynamicLibrary.h"

#include "pluginterfaces/base/ibstream.h"
#include "pluginterfaces/base/ipluginbase.h"
#include "pluginterfaces/vst/ivstaudioprocessor.h"
#include "pluginterfaces/vst/ivstcomponent.h"
#include "pluginterfaces/vst/ivsteditcontroller.h"
#include "pluginterfaces/vst/ivstmessage.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace vst3host
{
/** The bundle's binary, loaded and initialised (InitDll on Windows, ModuleEntry
    on Linux) for as long as this lives, with its class factory. */
class Vst3Module
{
public:
    explicit Vst3Module (const std::string& binaryPath);
    ~Vst3Module();
    Vst3Module (const Vst3Module&) = delete;
    Vst3Module& operator= (const Vst3Module&) = delete;

    Steinberg::IPluginFactory* factory() const noexcept { return pluginFactory; }
    const std::string& error() const noexcept { return problem; }

private:
    vsthost::DynamicLibrary library;
    Steinberg::IPluginFactory* pluginFactory = nullptr;
    bool entered = false;
    std::string problem;
};

// Interfaces of the SDK are never deleted through a base pointer (objects end
// in release()), so they have no virtual destructor by design.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
/** How a host's stream hands over its bytes. */
struct StreamShape
{
    std::size_t piece = 0;   // most bytes per read; 0 for all that is asked
    bool sizeable = true;    // answers the size query (ISizeableStream)
    std::size_t endless = 0; // when non-zero: this many filler bytes instead of the contents
};

/** A byte stream the host hands to getState and setState. */
class MemoryStream final : public Steinberg::IBStream, public Steinberg::ISizeableStream
{
public:
    MemoryStream() = default;
    explicit MemoryStream (std::vector<unsigned char> contents, StreamShape shapeIn = {})
        : bytes (std::move (contents)), shape (shapeIn) {}

    const std::vector<unsigned char>& data() const noexcept { return bytes; }
    /** How far reading (or writing) has come. */
    std::size_t offset() const noexcept { return position; }

    Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID queried, void** obj) override;
    // Lives on the host's stack, so the counts only need to look plausible.
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }
    Steinberg::tresult PLUGIN_API read (void* buffer, Steinberg::int32 numBytes, Steinberg::int32* numBytesRead) override;
    Steinberg::tresult PLUGIN_API write (void* buffer, Steinberg::int32 numBytes, Steinberg::int32* numBytesWritten) override;
    Steinberg::tresult PLUGIN_API seek (Steinberg::int64 pos, Steinberg::int32 mode, Steinberg::int64* result) override;
    Steinberg::tresult PLUGIN_API tell (Steinberg::int64* pos) override;
    Steinberg::tresult PLUGIN_API getStreamSize (Steinberg::int64& size) override;
    Steinberg::tresult PLUGIN_API setStreamSize (Steinberg::int64) override { return Steinberg::kResultFalse; }

private:
    std::size_t size() const noexcept { return shape.endless != 0 ? shape.endless : bytes.size(); }

    std::vector<unsigned char> bytes;
    StreamShape shape;
    std::size_t position = 0;
};
#pragma GCC diagnostic pop

/** One plug-in instance: component, audio processor and edit controller. */
class Vst3Instance
{
public:
    explicit Vst3Instance (const Vst3Module& module);
    ~Vst3Instance();
    Vst3Instance (const Vst3Instance&) = delete;
    Vst3Instance& operator= (const Vst3Instance&) = delete;

    bool isValid() const noexcept { return controller != nullptr && processor != nullptr; }
    Steinberg::Vst::IComponent* getComponent() const noexcept { return component; }
    Steinberg::Vst::IAudioProcessor* getProcessor() const noexcept { return processor; }
    Steinberg::Vst::IEditController* getController() const noexcept { return controller; }

    std::vector<unsigned char> getState() const;
    /** Restores the component's state and hands it to the controller, as hosts do;
        false if the component refused it. */
    bool setState (const std::vector<unsigned char>& state) const;

private:
    Steinberg::Vst::IComponent* component = nullptr;
    Steinberg::Vst::IAudioProcessor* processor = nullptr;
    Steinberg::Vst::IEditController* controller = nullptr;
    Steinberg::Vst::IConnectionPoint* componentPoint = nullptr;
    Steinberg::Vst::IConnectionPoint* controllerPoint = nullptr;
};

/** A UTF-16 text of the interface as ASCII, other characters as \uXXXX. */
std::string asciiText (const Steinberg::Vst::TChar* text, size_t maxLength);
} // namespace vst3host

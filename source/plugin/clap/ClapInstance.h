#pragma once
// One CLAP plug-in instance: a processor behind the host's clap_plugin, with
// the params, audio-ports, state, latency, tail and gui extensions. The host's
// events are the truth while it runs; a loaded state is the truth until the
// next event.
#include "ClapAbi.h"
#include "ClapVariants.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>
#include <memory>

class VeskCompAudioProcessor;

namespace vrc::clap
{
class EditorHost;

class Instance : private juce::AudioProcessorListener
{
public:
    Instance (const Variant& variant, const PluginDescriptor& descriptor, const Host* host);
    ~Instance() override;

    const Plugin* plugin() const noexcept { return &clapPlugin; }
    static Instance& of (const Plugin* p) noexcept { return *static_cast<Instance*> (p->pluginData); }

    const Host& host() const noexcept { return *clapHost; }
    /** A host extension, or nullptr when the host has none by that name. */
    const void* hostExtension (const char* id) const noexcept;
    VeskCompAudioProcessor& processor() noexcept { return *vrcProcessor; }

    bool activate (double sampleRate, std::uint32_t maxFrames);
    void deactivate();
    std::int32_t process (const Process& p) noexcept;
    void flush (const InputEvents* in, const OutputEvents* out) noexcept;

    bool getValue (Id id, double& value) noexcept;
    bool save (const OutputStream& stream);
    bool load (const InputStream& stream);

    std::uint32_t audioPortCount (bool isInput) const noexcept;
    bool audioPortInfo (std::uint32_t index, bool isInput, AudioPortInfo& info) const noexcept;

    std::unique_ptr<EditorHost> editor;

private:
    void applyEvent (const EventHeader& event) noexcept;
    void runFrames (float* const* outputs, const float* const* keys, std::uint32_t start, std::uint32_t count) noexcept;
    void pushEditedValues (const OutputEvents* out) noexcept;
    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float) override;
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}

    const Variant& variant;
    const Host* clapHost;
    Plugin clapPlugin;
    juce::ScopedJuceInitialiser_GUI juceInitialiser;
    struct MessageLoop;
    std::unique_ptr<MessageLoop> messageLoop; // the processor's meter timer runs on it
    std::unique_ptr<VeskCompAudioProcessor> vrcProcessor;
    /** Parameters the editor changed since the host last heard of them. */
    std::array<std::atomic<bool>, 8> editedInEditor {};
    /** Each parameter's physical value as the host last set or heard it: the
        editor hands every value back when its knobs follow, and such an echo
        of what the host already holds is not reported again. */
    std::array<std::atomic<float>, 8> hostKnows {};
    void noteHostKnowsAll() noexcept;
};
} // namespace vrc::clap

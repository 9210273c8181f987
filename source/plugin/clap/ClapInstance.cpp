#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "ClapInstance.h"

#include "ClapEditor.h"
#include "ClapStateStream.h"
#include "processor/ParameterDisplay.h"
#include "processor/SettingsChunk.h"
#include "processor/VeskCompAudioProcessor.h"

#if JUCE_LINUX || JUCE_BSD
 #include <juce_audio_plugin_client/utility/juce_LinuxMessageThread.h>
#endif

#include <cmath>
#include <cstring>

namespace vrc::clap
{
// On Linux nothing else runs the framework's message loop until a host drives
// it for an open editor; Windows hosts run it on their own thread.
struct Instance::MessageLoop
{
#if JUCE_LINUX || JUCE_BSD
    juce::SharedResourcePointer<juce::MessageThread> thread;
#endif
};

Instance::Instance (const Variant& v, const PluginDescriptor& descriptor, const Host* h)
    : variant (v), clapHost (h), messageLoop (std::make_unique<MessageLoop>())
{
    clapPlugin = {};
    clapPlugin.desc = &descriptor;
    clapPlugin.pluginData = this;
    // The processor starts its meter timer, which belongs to the message thread.
    const juce::MessageManagerLock lock;
    vrcProcessor = std::make_unique<VeskCompAudioProcessor>();
    vrcProcessor->setPlayConfigDetails (variant.inputs, variant.outputs, 44100.0, 512);
    noteHostKnowsAll();
    vrcProcessor->addListener (this);
}

Instance::~Instance()
{
    editor.reset();
    const juce::MessageManagerLock lock;
    vrcProcessor->removeListener (this);
    vrcProcessor.reset();
}

const void* Instance::hostExtension (const char* id) const noexcept
{
    return clapHost->getExtension != nullptr ? clapHost->getExtension (clapHost, id) : nullptr;
}

bool Instance::activate (double sampleRate, std::uint32_t maxFrames)
{
    if (! (sampleRate > 0.0) || ! std::isfinite (sampleRate))
        return false;
    const auto block = static_cast<int> (std::min<std::uint32_t> (maxFrames, 1u << 30));
    vrcProcessor->setPlayConfigDetails (variant.inputs, variant.outputs, sampleRate, block);
    vrcProcessor->prepareToPlay (sampleRate, block);
    return true;
}

void Instance::deactivate()
{
    vrcProcessor->releaseResources();
}

std::uint32_t Instance::audioPortCount (bool isInput) const noexcept
{
    return isInput ? (variant.keyInputs > 0 ? 2u : 1u) : 1u;
}

bool Instance::audioPortInfo (std::uint32_t index, bool isInput, AudioPortInfo& info) const noexcept
{
    if (index >= audioPortCount (isInput))
        return false;
    info = {};
    const bool key = index == 1;
    const auto channels = key ? variant.keyInputs : (isInput ? variant.inputs : variant.outputs);
    info.id = index;
    std::strcpy (info.name, key ? "Sidechain" : (isInput ? "Input" : "Output"));
    info.flags = key ? 0u : audioPortIsMain;
    info.channelCount = static_cast<std::uint32_t> (channels);
    info.portType = channels == 1 ? portMono : portStereo;
    // The engine works in place: the main input may share the output's buffers.
    info.inPlacePair = key ? invalidId : 0u;
    return true;
}

void Instance::applyEvent (const EventHeader& event) noexcept
{
    if (event.spaceId != coreEventSpace || event.type != eventParamValue || event.size < sizeof (EventParamValue))
        return;
    EventParamValue e;
    std::memcpy (&e, &event, sizeof e);
    // A value that is not finite sets nothing (as a VST2 host's would); one
    // outside the range is taken as its nearest end (as an LV2 port's is).
    if (e.paramId >= static_cast<Id> (numParameters) || ! std::isfinite (e.value))
        return;
    const auto index = static_cast<int> (e.paramId);
    vrcProcessor->setParameter (index, normalisedForDisplayValue (static_cast<ParameterId> (e.paramId), e.value));
    hostKnows[e.paramId].store (vrcProcessor->parameterFor (index)->getValue());
}

void Instance::noteHostKnowsAll() noexcept
{
    for (std::size_t i = 0; i < hostKnows.size(); ++i)
        hostKnows[i].store (vrcProcessor->parameterFor (static_cast<int> (i))->getValue());
}

void Instance::runFrames (float* const* outputs, const float* const* keys, std::uint32_t start, std::uint32_t count) noexcept
{
    float* channels[2] = {};
    const float* keyChannels[2] = {};
    for (int c = 0; c < variant.outputs; ++c)
        channels[c] = outputs[c] + start;
    for (int c = 0; keys != nullptr && c < variant.keyInputs; ++c)
        keyChannels[c] = keys[c] + start;
    juce::AudioBuffer<float> buffer (channels, variant.outputs, static_cast<int> (count));
    vrcProcessor->processWithKey (buffer, keys != nullptr ? keyChannels : nullptr, variant.keyInputs);
}

std::int32_t Instance::process (const Process& p) noexcept
{
    const auto frames = p.framesCount;
    if (p.audioInputsCount < 1 || p.audioOutputsCount < 1 || p.audioInputs == nullptr || p.audioOutputs == nullptr)
        return processError;
    const auto& in = p.audioInputs[0];
    const auto& out = p.audioOutputs[0];
    if (in.data32 == nullptr || out.data32 == nullptr || in.channelCount < static_cast<std::uint32_t> (variant.inputs)
        || out.channelCount < static_cast<std::uint32_t> (variant.outputs))
        return processError;
    for (int c = 0; c < variant.outputs; ++c)
    {
        if (out.data32[c] == nullptr || in.data32[c] == nullptr)
            return processError;
        if (out.data32[c] != in.data32[c])
            std::memmove (out.data32[c], in.data32[c], frames * sizeof (float));
    }
    // The key feeds the detector only. A key port the host left without
    // buffers leaves the detector on the input rather than on nothing.
    const float* const* keys = nullptr;
    if (variant.keyInputs > 0 && p.audioInputsCount > 1 && p.audioInputs[1].data32 != nullptr
        && p.audioInputs[1].channelCount >= static_cast<std::uint32_t> (variant.keyInputs))
    {
        keys = p.audioInputs[1].data32;
        for (int c = 0; c < variant.keyInputs; ++c)
            if (keys[c] == nullptr)
                keys = nullptr;
    }

    // Sample-accurate automation: the block is cut at each event's frame, so
    // the frames before it run with the old value and the rest with the new.
    std::uint32_t done = 0;
    const auto count = p.inEvents != nullptr && p.inEvents->size != nullptr ? p.inEvents->size (p.inEvents) : 0u;
    for (std::uint32_t i = 0; i < count; ++i)
    {
        const auto* event = p.inEvents->get (p.inEvents, i);
        if (event == nullptr)
            continue;
        const auto at = std::min (event->time, frames);
        if (at > done)
        {
            runFrames (out.data32, keys, done, at - done);
            done = at;
        }
        applyEvent (*event);
    }
    if (done < frames)
        runFrames (out.data32, keys, done, frames - done);
    pushEditedValues (p.outEvents);
    return processContinue;
}

void Instance::flush (const InputEvents* in, const OutputEvents* out) noexcept
{
    const auto count = in != nullptr && in->size != nullptr ? in->size (in) : 0u;
    for (std::uint32_t i = 0; i < count; ++i)
        if (const auto* event = in->get (in, i))
            applyEvent (*event);
    pushEditedValues (out);
}

bool Instance::getValue (Id id, double& value) noexcept
{
    const auto* p = vrcProcessor->parameterFor (static_cast<int> (id));
    if (id >= static_cast<Id> (numParameters) || p == nullptr)
        return false;
    value = displayValueOf (static_cast<ParameterId> (id), p->getValue());
    return true;
}

// The editor's knobs set the processor themselves; the host hears of each
// change at its next process or flush, which it is asked for.
void Instance::audioProcessorParameterChanged (juce::AudioProcessor*, int index, float normalised)
{
    if (! isValidParameterIndex (index))
        return;
    // Compared as the knob sees it (the normalised value of what the host
    // knows, worked out as the processor does): a knob that only follows the
    // host hands back exactly that.
    const auto i = static_cast<std::size_t> (index);
    const auto& info = parameterTable[i];
    const float offset = hostKnows[i].load() - info.minimum;
    const float span = info.maximum - info.minimum;
    if (normalised == offset / span)
        return;
    editedInEditor[i].store (true);
    if (const auto* params = static_cast<const HostParams*> (hostExtension (extParams)))
        if (params->requestFlush != nullptr)
            params->requestFlush (clapHost);
}

void Instance::pushEditedValues (const OutputEvents* out) noexcept
{
    if (out == nullptr || out->tryPush == nullptr)
        return;
    for (std::size_t i = 0; i < editedInEditor.size(); ++i)
    {
        if (! editedInEditor[i].exchange (false))
            continue;
        EventParamValue e {};
        e.header = { sizeof e, 0, coreEventSpace, eventParamValue, 0 };
        e.paramId = static_cast<Id> (i);
        e.noteId = -1;
        e.portIndex = e.channel = e.key = -1;
        const auto physical = vrcProcessor->parameterFor (static_cast<int> (i))->getValue();
        e.value = displayValueOf (static_cast<ParameterId> (i), physical);
        if (out->tryPush (out, &e.header))
            hostKnows[i].store (physical);
        else
            editedInEditor[i].store (true); // the host's queue is full: next time
    }
}

bool Instance::save (const OutputStream& stream)
{
    juce::MemoryBlock chunk;
    vrcProcessor->getStateInformation (chunk);
    return writeWholeStream (stream, static_cast<const std::uint8_t*> (chunk.getData()), chunk.getSize());
}

/** A state that restores nothing changes nothing and is reported as a failure. */
bool Instance::load (const InputStream& stream)
{
    const auto bytes = readWholeStream (stream);
    if (! bytes.has_value())
        return false;
    const auto size = static_cast<int> (bytes->size());
    bool any = false;
    for (const auto& v : readSettingsChunk (bytes->data(), size))
        any = any || v.has_value();
    if (! any)
        return false;
    vrcProcessor->setStateInformation (bytes->data(), size);
    noteHostKnowsAll(); // the host reads them all again
    if (const auto* params = static_cast<const HostParams*> (hostExtension (extParams)))
        if (params->rescan != nullptr)
            params->rescan (clapHost, paramRescanValues);
    return true;
}
} // namespace vrc::clap

#include "VstHostLayer.h"

#include "FrameworkVstWrapper.h"
#include "plugin/PluginFactory.h"
#include "processor/VeskCompAudioProcessor.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

namespace vrc
{
namespace
{
using namespace vst2;

// The wrapper calls the host during its own construction, before the layer can
// find itself through the wrapper's descriptor.
thread_local VstHostLayer* layerBeingCreated = nullptr;

// Longest text, in bytes before the terminator, that each request may write.
constexpr size_t maxProgramNameBytes = 23;
constexpr size_t maxParamLabelBytes = 7;
constexpr size_t maxParamDisplayBytes = 23;
constexpr size_t maxParamNameBytes = 15;
constexpr size_t maxProductTextBytes = 63;
constexpr size_t maxPinLabelBytes = 62;
constexpr size_t maxPinShortLabelBytes = 6;

/** Writes UTF-8 text cut at the last whole character that fits, always terminated. */
void writeHostText (const juce::String& text, void* dest, size_t maxBytes)
{
    if (dest != nullptr)
        text.copyToUTF8 (static_cast<char*> (dest), maxBytes + 1);
}

IntPtr canDo (const char* query)
{
    if (query == nullptr)
        return 0;

    // Exact, case-sensitive matches only: a host asking "ReceiveVstTimeInfo" gets "don't know".
    static const char* const refused[] = { "receiveVstEvents", "receiveVstMidiEvent", "receiveVstMidiEvents",
                                           "sendVstEvents", "sendVstMidiEvent", "sendVstMidiEvents",
                                           "openCloseAnyThread" };
    static const char* const supported[] = { "receiveVstTimeInfo", "conformsToWindowRules" };

    for (auto* s : refused)
        if (std::strcmp (query, s) == 0)
            return -1;
    for (auto* s : supported)
        if (std::strcmp (query, s) == 0)
            return 1;
    return 0;
}

/** A mono or stereo arrangement in the plain form the wrapper maps to a bus layout. */
struct PlainArrangement
{
    explicit PlainArrangement (int channels) noexcept
    {
        auto& a = arrangement();
        a.type = channels == 1 ? speakerArrMono : speakerArrStereo;
        a.numChannels = channels;
        for (int i = 0; i < channels; ++i)
            a.speakers[i].type = channels == 1 ? 0 : i + 1; // M, or L and R
    }

    Vst2::VstSpeakerArrangement& arrangement() noexcept
    {
        return *reinterpret_cast<Vst2::VstSpeakerArrangement*> (storage);
    }

    alignas (Vst2::VstSpeakerArrangement) unsigned char storage[sizeof (Vst2::VstSpeakerArrangement)
                                                                + 2 * sizeof (Vst2::VstSpeakerProperties)] {};
};
} // namespace

VstHostLayer::VstHostLayer (HostCallback hostIn) noexcept : host (hostIn)
{
    effect.dispatcher = &dispatchFromHost;
    effect.process = &processAccumulatingFromHost;
    effect.setParameter = &setParameterFromHost;
    effect.getParameter = &getParameterFromHost;
    effect.processReplacing = &processReplacingFromHost;
    effect.processDoubleReplacing = &processDoubleReplacingFromHost;
    effect.object = this;
}

Effect* VstHostLayer::create (HostCallback host) noexcept
{
    if (host == nullptr)
        return nullptr;

    std::unique_ptr<VstHostLayer> layer (new (std::nothrow) VstHostLayer (host));
    if (layer == nullptr)
        return nullptr;

    // The wrapper asks for the host's version, creates the processor and builds
    // its descriptor; it reaches the host only through the filter below.
    layerBeingCreated = layer.get();
    auto* wrapperEffect = vrcFrameworkVstPluginMain (&callbackFromWrapper);
    layerBeingCreated = nullptr;
    auto* processor = takeProcessorCreatedOnThisThread();

    if (wrapperEffect == nullptr)
        return nullptr;

    if (processor == nullptr)
    {
        wrapperEffect->dispatcher (wrapperEffect, effClose, 0, 0, nullptr, 0.0f);
        return nullptr;
    }

    layer->wrapper = wrapperEffect;
    layer->processor = processor;
    wrapperEffect->user = layer.get();
    layer->copyWrapperDescriptor();
    return &layer.release()->effect;
}

void VstHostLayer::copyWrapperDescriptor() noexcept
{
    // The wrapper keeps a program slot of its own even when there are none; the
    // host must see none, so program requests never reach it with an index.
    effect.magic = wrapper->magic;
    effect.numPrograms = 0;
    effect.numParams = wrapper->numParams;
    effect.numInputs = wrapper->numInputs;
    effect.numOutputs = wrapper->numOutputs;
    effect.flags = wrapper->flags;
    effect.initialDelay = wrapper->initialDelay;
    effect.uniqueID = wrapper->uniqueID;
    effect.version = wrapper->version;
}

namespace
{
// A host reads the descriptor without a lock from any thread, the audio thread
// included: a field is written only when its value really changes.
template <typename Field>
void follow (Field& hostSide, Field wrapperSide) noexcept
{
    if (hostSide != wrapperSide)
        hostSide = wrapperSide;
}

// The requests after which the wrapper may have changed its own descriptor:
// opening (editor flag), resume (latency) and creating the editor (editor flag).
// Its only other write is a latency change announced later from the message
// thread, which never happens here: the processor's latency is always 0.
bool mayChangeDescriptor (int32_t opcode) noexcept
{
    return opcode == effOpen || opcode == effMainsChanged || opcode == effEditGetRect || opcode == effEditOpen;
}
} // namespace

void VstHostLayer::followWrapperDescriptor() noexcept
{
    // Identity, parameter and program counts never change after creation.
    follow (effect.numInputs, wrapper->numInputs);
    follow (effect.numOutputs, wrapper->numOutputs);
    follow (effect.flags, wrapper->flags);
    follow (effect.initialDelay, wrapper->initialDelay);
}

VstHostLayer* VstHostLayer::fromHostSide (Effect* e) noexcept
{
    return e != nullptr ? static_cast<VstHostLayer*> (e->object) : nullptr;
}

IntPtr VstHostLayer::dispatchFromHost (Effect* e, int32_t opcode, int32_t index, IntPtr value, void* ptr, float opt)
{
    auto* layer = fromHostSide (e);
    if (layer == nullptr)
        return 0;

    if (opcode == effClose)
    {
        // The wrapper's own close path deletes an open editor while its plug-in
        // message thread is already running again, which then paints the dying
        // window; its editor-close request does it safely, so that goes first.
        if (layer->editorOpen)
            layer->toWrapper (effEditClose, 0, 0, nullptr, 0.0f);
        layer->toWrapper (effClose, 0, 0, nullptr, 0.0f); // deletes the wrapper and the processor
        delete layer;
        return 1;
    }

    const auto result = layer->dispatch (opcode, index, value, ptr, opt);
    // On the thread that made the change, and only after a request that can make one.
    if (mayChangeDescriptor (opcode))
        layer->followWrapperDescriptor();
    return result;
}

IntPtr VstHostLayer::dispatch (int32_t opcode, int32_t index, IntPtr value, void* ptr, float opt)
{
    switch (opcode)
    {
        case effSetProgram:
        case effGetProgramNameIndexed:
        case effProcessEvents:
        case effString2Parameter:
        case effSetBypass:
        case effVendorSpecific:
        case effGetParameterProperties:
        case effSetProcessPrecision:
            // No programs, no MIDI, no soft bypass, no text entry, no vendor
            // extensions and single precision only: the default answer, without
            // letting the wrapper act on any of them.
            return 0;

        case effGetProgramName:
        case effGetParamLabel:
        case effGetParamDisplay:
        case effGetParamName:
        case effGetEffectName:
        case effGetVendorString:
        case effGetProductString:
            return textRequest (opcode, index, ptr);

        case effSetSampleRate:
        case effSetBlockSize:
        case effMainsChanged:
            return runRequest (opcode, index, value, ptr, opt);

        case effEditGetRect:
        case effEditOpen:
        case effEditClose:
            return editorRequest (opcode, index, value, ptr, opt);

        case effSetProgramName:
            // There is no program to name. The wrapper would read the host's text up
            // to a terminator that a careless host may never have written.
            return 0;

        case effCanBeAutomated:
            JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
            return processor->isParameterAutomatable (index) ? 1 : 0;
            JUCE_END_IGNORE_WARNINGS_GCC_LIKE

        case effGetChunk:
            return ptr != nullptr ? toWrapper (opcode, index, value, ptr, opt) : 0;

        case effSetChunk:
            // The wrapper frees its last effGetChunk block before restoring: with a
            // size of 0 that would pull a buffer the host may still read from under
            // it, so an empty request stops here.
            if (ptr != nullptr && value > 0)
                restoreChunk (opcode, index, static_cast<const std::uint8_t*> (ptr), value);
            return 0;

        case effGetInputProperties:
        case effGetOutputProperties:
            return pinProperties (opcode == effGetInputProperties, index, ptr);

        case effSetSpeakerArrangement:
            return setSpeakerArrangement (value, ptr);

        case effGetSpeakerArrangement:
            if (auto** in = reinterpret_cast<Vst2::VstSpeakerArrangement**> (value))
                *in = nullptr;
            if (auto** out = static_cast<Vst2::VstSpeakerArrangement**> (ptr))
                *out = nullptr;
            return 0;

        case effCanDo:
            return canDo (static_cast<const char*> (ptr));

        default:
            return toWrapper (opcode, index, value, ptr, opt);
    }
}

// The texts a host reads into its own buffers, each cut to that buffer's real size.
IntPtr VstHostLayer::textRequest (int32_t opcode, int32_t index, void* ptr)
{
    switch (opcode)
    {
        case effGetProgramName:
            writeHostText ({}, ptr, maxProgramNameBytes);
            return 0;

        case effGetParamLabel:
            writeHostText ({}, ptr, maxParamLabelBytes);
            return 0;

        case effGetParamDisplay:
            writeHostText (processor->getParameterText (index), ptr, maxParamDisplayBytes);
            return 0;

        case effGetParamName:
            writeHostText (processor->getParameterName (index), ptr, maxParamNameBytes);
            return 0;

        case effGetEffectName:
        case effGetVendorString:
        case effGetProductString:
            return textFromWrapper (opcode, index, static_cast<char*> (ptr), maxProductTextBytes);

        default:
            return 0;
    }
}

// Rate, block size and resume/suspend: what the wrapper prepares the processor with.
IntPtr VstHostLayer::runRequest (int32_t opcode, int32_t index, IntPtr value, void* ptr, float opt)
{
    switch (opcode)
    {
        case effSetSampleRate:
        {
            // A host that sends no usable rate gets the common default rather than
            // coefficients computed for 0 Hz. The wrapper keeps the rate for the
            // next resume; a host that changes it while resumed (and never
            // suspends) gets it from the next block on.
            const float rate = (std::isfinite (opt) && opt > 0.0f) ? opt : 44100.0f;
            if (resumed)
                processor->setSampleRateWhileRunning (rate);
            return toWrapper (opcode, index, value, ptr, rate);
        }

        case effSetBlockSize:
        {
            // The wrapper allocates scratch channels from this number: nothing it
            // cannot allocate, and at least one frame.
            const bool usable = value > 0 && value <= maxBlockSize;
            blockSize = usable ? static_cast<int32_t> (value) : defaultBlockSize;
            return toWrapper (opcode, index, blockSize.load(), ptr, opt);
        }

        case effMainsChanged:
            resumed = value != 0;
            directProcessing = false;
            return toWrapper (opcode, index, value, ptr, opt);

        default:
            return toWrapper (opcode, index, value, ptr, opt);
    }
}

IntPtr VstHostLayer::editorRequest (int32_t opcode, int32_t index, IntPtr value, void* ptr, float opt)
{
    switch (opcode)
    {
        case effEditGetRect:
            return editorRect (ptr);

        case effEditOpen:
            if (ptr == nullptr)
                return 0;
            editorOpen = toWrapper (opcode, index, value, ptr, opt) != 0;
            return editorOpen ? 1 : 0;

        case effEditClose:
            editorOpen = false;
            return toWrapper (opcode, index, value, ptr, opt);

        default:
            return toWrapper (opcode, index, value, ptr, opt);
    }
}

IntPtr VstHostLayer::toWrapper (int32_t opcode, int32_t index, IntPtr value, void* ptr, float opt)
{
    return wrapper->dispatcher (wrapper, opcode, index, value, ptr, opt);
}

void VstHostLayer::restoreChunk (int32_t opcode, int32_t index, const std::uint8_t* data, IntPtr size)
{
    // A host doing A/B comparison or undo may hand back the very block it got from
    // effGetChunk, which the wrapper frees before it reads the bytes: they are
    // copied first. Only the bytes the settings reader can look at are copied (the
    // header and the text its length field announces), so a huge block costs
    // nothing, and the size always fits the framework's int.
    constexpr IntPtr headerBytes = 8;
    const IntPtr available = std::min<IntPtr> (size, std::numeric_limits<int>::max());
    IntPtr wanted = std::min (available, headerBytes);
    if (available > headerBytes)
    {
        const auto declared = static_cast<std::int32_t> (static_cast<std::uint32_t> (data[4])
                                                         | (static_cast<std::uint32_t> (data[5]) << 8)
                                                         | (static_cast<std::uint32_t> (data[6]) << 16)
                                                         | (static_cast<std::uint32_t> (data[7]) << 24));
        wanted = headerBytes + std::clamp<IntPtr> (declared, 1, available - headerBytes);
    }

    std::vector<std::uint8_t> copy (data, data + wanted);
    toWrapper (opcode, index, static_cast<IntPtr> (copy.size()), copy.data(), 0.0f);
}

IntPtr VstHostLayer::textFromWrapper (int32_t opcode, int32_t index, char* dest, size_t maxBytes)
{
    if (dest == nullptr)
        return 0;

    // The wrapper writes up to 65 bytes; it writes them here, and the host gets
    // the text within its own limit.
    char text[256] {};
    const auto result = toWrapper (opcode, index, 0, text, 0.0f);
    writeHostText (juce::String::fromUTF8 (text), dest, maxBytes);
    return result;
}

IntPtr VstHostLayer::pinProperties (bool input, int32_t index, void* ptr) const
{
    if (ptr == nullptr || index < 0 || index > 1)
        return 0;

    auto& pin = *static_cast<Vst2::VstPinProperties*> (ptr);
    const auto name = input ? processor->getInputChannelName (index) : processor->getOutputChannelName (index);
    writeHostText (name, pin.label, maxPinLabelBytes);
    writeHostText (name, pin.shortLabel, maxPinShortLabelBytes);

    const int arrangement = (input ? inputArrangement : outputArrangement).load();
    if (arrangement == noArrangement)
    {
        const bool stereo = input ? processor->isInputChannelStereoPair (index) : processor->isOutputChannelStereoPair (index);
        pin.flags = pinIsActive | (stereo ? pinIsStereo : 0);
        pin.arrangementType = 0;
    }
    else
    {
        pin.flags = pinUseSpeaker;
        pin.arrangementType = arrangement;
    }
    return 1;
}

IntPtr VstHostLayer::setSpeakerArrangement (IntPtr inputPtr, void* outputPtr)
{
    const auto* in = reinterpret_cast<const Vst2::VstSpeakerArrangement*> (inputPtr);
    const auto* out = static_cast<const Vst2::VstSpeakerArrangement*> (outputPtr);
    if (in == nullptr || out == nullptr)
        return 0;

    // Accepted by channel count alone, larger configuration first. The wrapper
    // derives its bus layout from the arrangement type and would refuse a type
    // it cannot map, so it is handed the plain type for that count; the host's
    // own types are what the pins report afterwards.
    for (const int channels : { 2, 1 })
    {
        if (in->numChannels != channels || out->numChannels != channels)
            continue;

        PlainArrangement plainIn (channels), plainOut (channels);
        if (toWrapper (effSetSpeakerArrangement, 0, reinterpret_cast<IntPtr> (&plainIn.arrangement()),
                       &plainOut.arrangement(), 0.0f) == 0)
            return 0;

        inputArrangement = in->type;
        outputArrangement = out->type;
        return 1;
    }
    return 0;
}

IntPtr VstHostLayer::editorRect (void* ptr)
{
    Vst2::ERect* rect = nullptr;
    const auto result = toWrapper (effEditGetRect, 0, 0, &rect, 0.0f);

    if (rect != nullptr)
    {
        editorWidth = rect->right - rect->left;
        editorHeight = rect->bottom - rect->top;
    }
    if (ptr != nullptr)
        *static_cast<Vst2::ERect**> (ptr) = rect;
    return result;
}

IntPtr VstHostLayer::negotiateWindowSize (int32_t width, IntPtr height, Effect* wrapperSide)
{
    // The wrapper asks for its window size at every opening. The host already
    // knows that size from effEditGetRect (or has not asked and so sized
    // nothing), so only a real change after that goes to the host, in the
    // usual canDo-then-resize order.
    const int h = static_cast<int> (height);
    if (editorWidth.load() < 0 || (width == editorWidth.load() && h == editorHeight.load()))
    {
        editorWidth = width;
        editorHeight = h;
        return 1;
    }

    char query[] = "sizeWindow";
    if (toHost (wrapperSide, audioMasterCanDo, 0, 0, query, 0.0f) != 1)
        return 0;

    const auto result = toHost (wrapperSide, audioMasterSizeWindow, width, height, nullptr, 0.0f);
    if (result != 0)
    {
        editorWidth = width;
        editorHeight = h;
    }
    return result;
}

IntPtr VstHostLayer::toHost (Effect* wrapperSide, int32_t opcode, int32_t index, IntPtr value, void* ptr, float opt)
{
    return host (wrapperSide != nullptr ? &effect : nullptr, opcode, index, value, ptr, opt);
}

IntPtr VstHostLayer::callbackFromWrapper (Effect* e, int32_t opcode, int32_t index, IntPtr value, void* ptr, float opt)
{
    switch (opcode)
    {
        case audioMasterGetTime:       // asked every block; the processor never reads the transport
        case audioMasterWantMidi:      // no MIDI is taken
        case audioMasterUpdateDisplay: // nothing the host displays ever changes
        case audioMasterBeginEdit:     // edits are single automation messages, never gestures
        case audioMasterEndEdit:
            return 0;
        default:
            break;
    }

    auto* layer = (e != nullptr && e->user != nullptr) ? static_cast<VstHostLayer*> (e->user) : layerBeingCreated;
    if (layer == nullptr)
        return 0;

    if (opcode == audioMasterCanDo && ptr != nullptr && std::strcmp (static_cast<const char*> (ptr), "sizeWindow") == 0)
        return 1; // decided in negotiateWindowSize, once the size is known

    if (opcode == audioMasterSizeWindow)
        return layer->negotiateWindowSize (index, value, e);

    return layer->toHost (e, opcode, index, value, ptr, opt);
}

void VstHostLayer::setParameterFromHost (Effect* e, int32_t index, float value)
{
    // Straight to the processor: the wrapper skips a value equal to the current
    // one, but a write the host repeats must still reach the engine (the release
    // coefficient depends on the ratio at the time of the write). The processor's
    // setParameter allocates nothing, takes no lock and never calls the host.
    if (auto* layer = fromHostSide (e))
        layer->processor->setParameter (index, value);
}

float VstHostLayer::getParameterFromHost (Effect* e, int32_t index)
{
    auto* layer = fromHostSide (e);
    return layer != nullptr ? layer->wrapper->getParameter (layer->wrapper, index) : 0.0f;
}

} // namespace vrc

// The VST 2.4 audio path: the host's process calls, straight to the processor
// once the wrapper has run its first block (no allocation, no lock, no call to
// the host), otherwise through the wrapper in pieces its scratch buffers hold.
#include "VstHostLayer.h"

#include "processor/VeskCompAudioProcessor.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace vrc
{
using namespace vst2;

void VstHostLayer::processReplacingFromHost (Effect* e, float** inputs, float** outputs, int32_t numSamples)
{
    auto* layer = fromHostSide (e);
    if (layer == nullptr)
        return;
    if (layer->directProcessing.load (std::memory_order_relaxed) && layer->processDirect (inputs, outputs, numSamples))
        return;
    if (layer->forwardInPieces (inputs, outputs, numSamples, layer->wrapper->processReplacing))
        layer->directProcessing.store (layer->resumed.load (std::memory_order_relaxed), std::memory_order_relaxed);
}

template <typename Sample>
bool VstHostLayer::forwardInPieces (Sample** inputs, Sample** outputs, int32_t numSamples,
                                    void (*process) (Effect*, Sample**, Sample**, int32_t))
{
    if (inputs == nullptr || outputs == nullptr || numSamples <= 0)
        return false;

    // The wrapper copies each input over its output; a missing input would be read
    // through a null pointer. Such a block comes out silent.
    // The processor's current counts are what the wrapper reads from the host's
    // tables (after a mono arrangement they hold one pointer each).
    const int numIn = std::clamp (processor->getTotalNumInputChannels(), 0, 2);
    const int numOut = std::clamp (processor->getTotalNumOutputChannels(), 0, 2);
    for (int i = 0; i < numIn; ++i)
    {
        if (inputs[i] == nullptr)
        {
            for (int o = 0; o < numOut; ++o)
                if (outputs[o] != nullptr)
                    std::fill (outputs[o], outputs[o] + numSamples, Sample (0));
            return false;
        }
    }

    // For missing or shared output buffers the wrapper works in scratch channels
    // of twice the announced block size, allocated once; a host block longer than
    // announced is handed over in pieces that fit them.
    const int32_t piece = blockSize.load (std::memory_order_relaxed);
    for (int32_t done = 0; done < numSamples; done += piece)
    {
        Sample* in[2] {};
        Sample* out[2] {};
        for (int i = 0; i < numIn; ++i)
            in[i] = inputs[i] + done;
        for (int o = 0; o < numOut; ++o)
            out[o] = outputs[o] != nullptr ? outputs[o] + done : nullptr;
        process (wrapper, in, out, std::min (piece, numSamples - done));
    }
    return true;
}

bool VstHostLayer::processDirect (float** inputs, float** outputs, int32_t numSamples)
{
    // The wrapper copies every input to its output and hands the processor a
    // buffer over the outputs; here the same happens without its per-block
    // bookkeeping: no copy when the host processes in place, one copy otherwise.
    // Anything unusual (missing, shared or crossed channel buffers, a suspended
    // processor) is left to the wrapper, which handles it with buffers of its own.
    const int channels = processor->getTotalNumOutputChannels();
    if (inputs == nullptr || outputs == nullptr || numSamples < 0 || channels < 1 || channels > 2
        || processor->getTotalNumInputChannels() != channels)
        return false;
    for (int i = 0; i < channels; ++i)
    {
        if (inputs[i] == nullptr || outputs[i] == nullptr)
            return false;
        for (int j = 0; j < channels; ++j)
            if (j != i && (outputs[i] == outputs[j] || outputs[i] == inputs[j]))
                return false;
    }

    // No callback lock: it only makes the framework's suspendProcessing() wait for
    // a running block, and nothing in this plug-in suspends; the audio thread then
    // takes no lock at all.
    if (processor->isSuspended())
        return false;
    for (int i = 0; i < channels; ++i)
        if (outputs[i] != inputs[i])
            std::memmove (outputs[i], inputs[i], static_cast<size_t> (numSamples) * sizeof (float));
    juce::AudioBuffer<float> buffer (outputs, channels, static_cast<int> (numSamples));
    juce::MidiBuffer noMidi;
    processor->processBlock (buffer, noMidi);
    return true;
}

void VstHostLayer::processDoubleReplacingFromHost (Effect* e, double** inputs, double** outputs, int32_t numSamples)
{
    // Not announced; a host that calls it anyway still gets processed audio.
    if (auto* layer = fromHostSide (e))
        layer->forwardInPieces (inputs, outputs, numSamples, layer->wrapper->processDoubleReplacing);
}

void VstHostLayer::processAccumulatingFromHost (Effect*, float**, float**, int32_t)
{
    // The old accumulating entry is not supported; it is present only so a host
    // that calls it anyway finds a function rather than a null pointer.
}
} // namespace vrc

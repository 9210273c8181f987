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

namespace
{
/** A host may lay an output over the other channel's input (buffers reused across
    channels). Copying each input over its own output, as the wrapper does, then
    overwrites the right input with the left before reading it, and both outputs
    carry the left channel. Here the stereo inputs are moved onto their outputs in
    an order, or by a swap, that reads each before it is overwritten, so the block
    can be processed in place. False, and nothing moved, for any other layout. */
template <typename Sample>
bool moveCrossedInputsOntoOutputs (Sample* const* inputs, Sample* const* outputs, int32_t numSamples) noexcept
{
    if (inputs == nullptr || outputs == nullptr || numSamples <= 0)
        return false;
    Sample* const in0 = inputs[0];
    Sample* const in1 = inputs[1];
    Sample* const out0 = outputs[0];
    Sample* const out1 = outputs[1];
    if (in0 == nullptr || in1 == nullptr || out0 == nullptr || out1 == nullptr || out0 == out1)
        return false;

    const auto n = static_cast<size_t> (numSamples);
    const bool leftOverRight = out0 == in1, rightOverLeft = out1 == in0;
    if (leftOverRight && rightOverLeft)
    {
        std::swap_ranges (in0, in0 + n, in1);
        return true;
    }
    if (! leftOverRight && ! rightOverLeft)
        return false;
    // The channel whose input is about to be overwritten goes first.
    const int first = leftOverRight ? 1 : 0;
    std::memmove (outputs[first], inputs[first], n * sizeof (Sample));
    std::memmove (outputs[1 - first], inputs[1 - first], n * sizeof (Sample));
    return true;
}
} // namespace

void VstHostLayer::processReplacingFromHost (Effect* e, float** inputs, float** outputs, int32_t numSamples)
{
    auto* layer = fromHostSide (e);
    if (layer == nullptr)
        return;
    float* movedInputs[2] {};
    if (layer->untangleStereoBuffers (inputs, outputs, numSamples, movedInputs))
        inputs = movedInputs;
    if (layer->directProcessing.load (std::memory_order_relaxed) && layer->processDirect (inputs, outputs, numSamples))
        return;
    if (layer->forwardInPieces (inputs, outputs, numSamples, layer->wrapper->processReplacing))
        layer->directProcessing.store (layer->resumed.load (std::memory_order_relaxed), std::memory_order_relaxed);
}

template <typename Sample>
bool VstHostLayer::untangleStereoBuffers (Sample** inputs, Sample** outputs, int32_t numSamples, Sample* (&movedInputs)[2]) noexcept
{
    if (processor->getTotalNumInputChannels() != 2 || processor->getTotalNumOutputChannels() != 2
        || ! moveCrossedInputsOntoOutputs (inputs, outputs, numSamples))
        return false;
    movedInputs[0] = outputs[0];
    movedInputs[1] = outputs[1];
    return true;
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
    // Anything unusual (missing or shared channel buffers, a suspended processor)
    // is left to the wrapper, which handles it with buffers of its own; crossed
    // buffers arrive here already moved in place.
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
    {
        double* movedInputs[2] {};
        if (layer->untangleStereoBuffers (inputs, outputs, numSamples, movedInputs))
            inputs = movedInputs;
        layer->forwardInPieces (inputs, outputs, numSamples, layer->wrapper->processDoubleReplacing);
    }
}

void VstHostLayer::processAccumulatingFromHost (Effect*, float**, float**, int32_t)
{
    // The old accumulating entry is not supported; it is present only so a host
    // that calls it anyway finds a function rather than a null pointer.
}
} // namespace vrc

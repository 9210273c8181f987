#pragma once
// The plug-in as a VST 2.4 host sees it: a descriptor of the project's own in
// front of the framework wrapper's. Fixed identity answers, texts, pins, speaker
// arrangements and capability queries are answered here, into the host's buffers
// with their real limits; everything else goes to the wrapper, and the wrapper's
// calls to the host pass a filter that drops the ones this plug-in never makes.
#include "Vst2Interface.h"

#include <atomic>
#include <cstdint>

class VeskCompAudioProcessor;

namespace vrc
{
class VstHostLayer
{
public:
    /** The entry points' work: the descriptor for a new instance, or nullptr when refused. */
    static vst2::Effect* create (vst2::HostCallback host) noexcept;

private:
    explicit VstHostLayer (vst2::HostCallback hostIn) noexcept;

    static VstHostLayer* fromHostSide (vst2::Effect* e) noexcept;
    static vst2::IntPtr dispatchFromHost (vst2::Effect*, int32_t opcode, int32_t index, vst2::IntPtr value, void* ptr, float opt);
    static void setParameterFromHost (vst2::Effect*, int32_t index, float value);
    static float getParameterFromHost (vst2::Effect*, int32_t index);
    static void processReplacingFromHost (vst2::Effect*, float** inputs, float** outputs, int32_t numSamples);
    static void processDoubleReplacingFromHost (vst2::Effect*, double** inputs, double** outputs, int32_t numSamples);
    static void processAccumulatingFromHost (vst2::Effect*, float**, float**, int32_t);
    static vst2::IntPtr callbackFromWrapper (vst2::Effect*, int32_t opcode, int32_t index, vst2::IntPtr value, void* ptr, float opt);

    vst2::IntPtr dispatch (int32_t opcode, int32_t index, vst2::IntPtr value, void* ptr, float opt);
    vst2::IntPtr textRequest (int32_t opcode, int32_t index, void* ptr);
    vst2::IntPtr runRequest (int32_t opcode, int32_t index, vst2::IntPtr value, void* ptr, float opt);
    vst2::IntPtr editorRequest (int32_t opcode, int32_t index, vst2::IntPtr value, void* ptr, float opt);
    vst2::IntPtr toWrapper (int32_t opcode, int32_t index, vst2::IntPtr value, void* ptr, float opt);
    void restoreChunk (int32_t opcode, int32_t index, const std::uint8_t* data, vst2::IntPtr size);
    /** Outputs laid over the other channel's inputs: the inputs moved onto the
        outputs, which then serve as inputs too (movedInputs). */
    template <typename Sample>
    bool untangleStereoBuffers (Sample** inputs, Sample** outputs, int32_t numSamples, Sample* (&movedInputs)[2]) noexcept;
    template <typename Sample>
    bool forwardInPieces (Sample** inputs, Sample** outputs, int32_t numSamples,
                          void (*process) (vst2::Effect*, Sample**, Sample**, int32_t));
    vst2::IntPtr textFromWrapper (int32_t opcode, int32_t index, char* dest, size_t maxBytes);
    vst2::IntPtr pinProperties (bool input, int32_t index, void* ptr) const;
    vst2::IntPtr setSpeakerArrangement (vst2::IntPtr inputPtr, void* outputPtr);
    vst2::IntPtr editorRect (void* ptr);
    vst2::IntPtr negotiateWindowSize (int32_t width, vst2::IntPtr height, vst2::Effect* wrapperSide);
    vst2::IntPtr toHost (vst2::Effect* wrapperSide, int32_t opcode, int32_t index, vst2::IntPtr value, void* ptr, float opt);
    void copyWrapperDescriptor() noexcept;
    void followWrapperDescriptor() noexcept;
    bool processDirect (float** inputs, float** outputs, int32_t numSamples);

    // The host holds a pointer to this first member; its 'object' points back here.
    vst2::Effect effect {};
    // The full VST 2.4 descriptor ends in 56 reserved bytes that the interface
    // header leaves out; keep them ours so nothing else lives there.
    char reservedTail[56] {};

    vst2::HostCallback host = nullptr;
    vst2::Effect* wrapper = nullptr;
    VeskCompAudioProcessor* processor = nullptr;

    static constexpr int noArrangement = -1000;
    std::atomic<int> inputArrangement { noArrangement }, outputArrangement { noArrangement };
    std::atomic<int> editorWidth { -1 }, editorHeight { -1 };
    std::atomic<bool> editorOpen { false };
    // Between a resume and the next suspend, once the wrapper has run its first
    // block (where it finishes its own start-up), blocks go straight to the processor.
    std::atomic<bool> resumed { false }, directProcessing { false };
    // The host's announced block size, as the wrapper sizes its scratch channels.
    static constexpr int32_t defaultBlockSize = 1024, maxBlockSize = 1 << 20;
    std::atomic<int32_t> blockSize { defaultBlockSize };
};
} // namespace vrc

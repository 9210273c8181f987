#pragma once
// The factory every framework wrapper calls, and a hand-over of the processor it
// last made on the calling thread: the VST2 host layer takes it right after the
// wrapper's entry returns, so both talk to the same instance.
class VeskCompAudioProcessor;

namespace vrc
{
/** The processor createPluginFilter made last on this thread (then forgotten), or nullptr. */
VeskCompAudioProcessor* takeProcessorCreatedOnThisThread() noexcept;
} // namespace vrc

#pragma once
// The demonstration signal, synthesised in code so nothing is bundled: a
// sustained chord alone for two seconds, then drum-like hits over it. The chord
// sits below a typical threshold and the hits well above it, so the compressor's
// work is easy to hear and to see.
#include <juce_audio_basics/juce_audio_basics.h>

namespace vrc::render
{

constexpr double demoSampleRate = 48000.0;
constexpr double demoSeconds = 8.0;

/** Stereo, demoSeconds long at sampleRate; the same samples on every call. */
juce::AudioBuffer<float> makeDemoSignal (double sampleRate = demoSampleRate);

} // namespace vrc::render

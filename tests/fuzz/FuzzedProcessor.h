#pragma once
// What every state fuzz target ends with: the bytes restored into the run's one
// processor, whose re-saved chunk must then read back completely.
#include "processor/SettingsChunk.h"
#include "processor/VeskCompAudioProcessor.h"

#include <cstdlib>

namespace vrc::fuzz
{
inline void restoreAndCheckResave (const void* data, std::size_t size)
{
    // One framework initialisation and one instance for the whole run: the
    // processor starts a timer, which needs the message manager. Both are left
    // alive at exit on purpose: libFuzzer ends the process from inside a run, and
    // tearing the framework down there would race its own timer thread.
    static auto* framework = new juce::ScopedJuceInitialiser_GUI();
    static auto* processor = new VeskCompAudioProcessor();
    juce::ignoreUnused (framework);

    if (size > 0)
        processor->setStateInformation (data, static_cast<int> (size));
    juce::MemoryBlock saved;
    processor->getStateInformation (saved);
    for (const auto& value : readSettingsChunk (saved.getData(), static_cast<int> (saved.getSize())))
        if (! value.has_value())
            std::abort();
}
} // namespace vrc::fuzz

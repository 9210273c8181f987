// The framework's plug-in wrappers create every instance through this factory.
#include "PluginFactory.h"

#include "processor/VeskCompAudioProcessor.h"

#include <utility>

namespace
{
thread_local VeskCompAudioProcessor* createdOnThisThread = nullptr;
}

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    auto* processor = new VeskCompAudioProcessor();
    createdOnThisThread = processor;
    return processor;
}

VeskCompAudioProcessor* vrc::takeProcessorCreatedOnThisThread() noexcept
{
    return std::exchange (createdOnThisThread, nullptr);
}

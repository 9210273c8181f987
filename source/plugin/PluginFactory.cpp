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
    // Only VST3 hosts get the key bus. A VST2 host knows the plug-in as 2 in and
    // 2 out (sessions and the host's routing rely on it), and the other formats
    // describe their ports themselves.
    const bool key = juce::PluginHostType::getPluginLoadedAs() == juce::AudioProcessor::wrapperType_VST3;
    auto* processor = new VeskCompAudioProcessor (key ? VeskCompAudioProcessor::Buses::mainAndKey
                                                      : VeskCompAudioProcessor::Buses::main);
    createdOnThisThread = processor;
    return processor;
}

VeskCompAudioProcessor* vrc::takeProcessorCreatedOnThisThread() noexcept
{
    return std::exchange (createdOnThisThread, nullptr);
}

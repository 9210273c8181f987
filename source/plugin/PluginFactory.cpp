// The framework's plug-in wrappers create every instance through this factory.
#include "processor/VeskCompAudioProcessor.h"

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new VeskCompAudioProcessor();
}

// The processor makes its editor here, beside the editor: the processor's own
// code then needs none of the editor's headers, and the dependency runs one
// way only, from the editor to the processor whose published values it reads.
#include "VeskCompAudioProcessorEditor.h"

#include "processor/VeskCompAudioProcessor.h"

juce::AudioProcessorEditor* VeskCompAudioProcessor::createEditor()
{
    return new VeskCompAudioProcessorEditor (*this);
}

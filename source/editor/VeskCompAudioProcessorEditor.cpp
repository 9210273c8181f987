#include "VeskCompAudioProcessorEditor.h"

#include "processor/VeskCompAudioProcessor.h"

VeskCompAudioProcessorEditor::VeskCompAudioProcessorEditor (VeskCompAudioProcessor& owner)
    : AudioProcessorEditor (owner)
{
    setSize (800, 200);
}

VeskCompAudioProcessorEditor::~VeskCompAudioProcessorEditor() = default;

void VeskCompAudioProcessorEditor::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::black);
}

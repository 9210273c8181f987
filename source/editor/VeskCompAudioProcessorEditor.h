#pragma once
// The plug-in's 800 x 200 window.
#include <juce_audio_processors/juce_audio_processors.h>

class VeskCompAudioProcessor;

class VeskCompAudioProcessorEditor : public juce::AudioProcessorEditor
{
public:
    explicit VeskCompAudioProcessorEditor (VeskCompAudioProcessor& owner);
    ~VeskCompAudioProcessorEditor() override;

    void paint (juce::Graphics& g) override;
};

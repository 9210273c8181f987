#pragma once
// The plug-in's fixed 800 x 200 window: seven filmstrip knobs, the curve switch,
// an invisible web link and two needle meters over the background picture, and
// a lit "SIDECHAIN" label while the detector listens to a key. It holds no
// parameter values: a 41 ms timer copies the processor's values into the
// controls, and every control movement goes back with host notification.
#include "VeskLookSlider.h"

#include <juce_audio_processors/juce_audio_processors.h>

class VeskCompAudioProcessor;

class VeskCompAudioProcessorEditor : public juce::AudioProcessorEditor,
                                     public juce::Slider::Listener,
                                     public juce::Timer,
                                     public juce::Button::Listener
{
public:
    explicit VeskCompAudioProcessorEditor (VeskCompAudioProcessor& owner);
    ~VeskCompAudioProcessorEditor() override;

    void paint (juce::Graphics& g) override;
    void sliderValueChanged (juce::Slider* slider) override;
    void sliderDragStarted (juce::Slider* slider) override;
    void sliderDragEnded (juce::Slider* slider) override;
    void timerCallback() override;
    void buttonClicked (juce::Button* button) override;

private:
    VeskCompAudioProcessor& owner() const noexcept;
    void sendToHost (int index, float value);
    /** The host index a knob controls, or -1. */
    int indexOfSlider (const juce::Slider* slider) const noexcept;
    /** Tells the host a user's edit of one setting starts or ends (hosts record
        touch automation between the two). */
    void gesture (int index, bool starting);

    // Declaration order is construction order (and reverse destruction order).
    juce::Slider gainSlider, thresholdSlider, ratioSlider, attackSlider,
        releaseSlider, kneeSlider, dryWetSlider;
    juce::HyperlinkButton webLink;
    juce::ImageButton curveButton { "bouton" };
    float inputNeedleDb = -40.0f; // below the scale, so the needle swings in on opening
    float gainNeedleDb = -20.0f;
    VeskLookSlider bigKnobLook;
    VeskLookSlider smallKnobLook;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VeskCompAudioProcessorEditor)
};

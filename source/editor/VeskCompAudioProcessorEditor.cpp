#include "VeskCompAudioProcessorEditor.h"

#include "NeedleGeometry.h"
#include "NeedleSmoothing.h"
#include "PanelLayout.h"
#include "processor/Parameters.h"
#include "processor/VeskCompAudioProcessor.h"

#include <BinaryData.h>

namespace
{
using vrc::ParameterId;

constexpr int refreshPeriodMs = 41; // about 24 updates a second, in step with the processor's meter timer

// The meter needles are drawn in a dark red that reads well on the cream faces.
const juce::Colour needleColour { 0xff5b1d08 };

// Clamp ranges of the two printed scales, in dB.
constexpr float inputScaleLow = -20.0f, inputScaleHigh = 3.0f;
constexpr float gainScaleLow = -20.0f, gainScaleHigh = 0.0f;

constexpr int indexOf (ParameterId id) noexcept { return static_cast<int> (id); }

juce::Rectangle<int> boundsOf (vrc::PanelRect r) noexcept
{
    return { r.x, r.y, r.width, r.height };
}

juce::Image imageFrom (const void* data, int size)
{
    return juce::ImageCache::getFromMemory (data, size);
}
} // namespace

VeskCompAudioProcessorEditor::VeskCompAudioProcessorEditor (VeskCompAudioProcessor& ownerIn)
    : AudioProcessorEditor (ownerIn),
      webLink ({}, juce::URL ("https://veskara.example/vr-c")),
      bigKnobLook (BinaryData::knobStrip80_png, BinaryData::knobStrip80_pngSize, 80),
      smallKnobLook (BinaryData::knobStrip64_png, BinaryData::knobStrip64_pngSize, 64)
{
    setSize (vrc::panelWidth, vrc::panelHeight);

    struct KnobPlacement
    {
        juce::Slider& slider;
        juce::Rectangle<int> bounds;
        VeskLookSlider& look;
        double skew;
    };

    // The attack and release knobs spend most of their travel on short times, the
    // dry/wet knob most of its travel near fully wet.
    const KnobPlacement knobs[] = {
        { thresholdSlider, boundsOf (vrc::knobBounds (ParameterId::threshold)), bigKnobLook, 1.0 },
        { gainSlider, boundsOf (vrc::knobBounds (ParameterId::gain)), smallKnobLook, 1.0 },
        { attackSlider, boundsOf (vrc::knobBounds (ParameterId::attack)), smallKnobLook, 0.3 },
        { releaseSlider, boundsOf (vrc::knobBounds (ParameterId::release)), smallKnobLook, 0.2 },
        { ratioSlider, boundsOf (vrc::knobBounds (ParameterId::ratio)), smallKnobLook, 1.0 },
        { kneeSlider, boundsOf (vrc::knobBounds (ParameterId::knee)), smallKnobLook, 1.0 },
        { dryWetSlider, boundsOf (vrc::knobBounds (ParameterId::dryWet)), smallKnobLook, 2.0 },
    };

    for (const auto& k : knobs)
    {
        k.slider.addListener (this);
        k.slider.setRange (0.0, 1.0, 0.0);
        k.slider.setBounds (k.bounds);
        k.slider.setSliderStyle (juce::Slider::RotaryVerticalDrag);
        k.slider.setTextBoxStyle (juce::Slider::NoTextBox, false, 0, 0);
        k.slider.setLookAndFeel (&k.look);
        if (k.skew != 1.0)
            k.slider.setSkewFactor (k.skew);
        addAndMakeVisible (k.slider);
    }

    webLink.setBounds (boundsOf (vrc::logoBounds));
    addAndMakeVisible (webLink);

    // The pictures are exactly the button's size: no resizing, no rescaling, and
    // the whole rectangle is clickable. There is no separate hover picture.
    const auto transparent = juce::Colours::transparentBlack;
    curveButton.setImages (false, false, false,
                           imageFrom (BinaryData::curveSwitchOff_png, BinaryData::curveSwitchOff_pngSize), 1.0f, transparent,
                           {}, 1.0f, transparent,
                           imageFrom (BinaryData::curveSwitchOn_png, BinaryData::curveSwitchOn_pngSize), 1.0f, transparent,
                           0.0f);
    curveButton.setBounds (boundsOf (vrc::curveSwitchBounds));
    curveButton.setClickingTogglesState (true);
    curveButton.addListener (this);
    addAndMakeVisible (curveButton);

    startTimer (refreshPeriodMs);
}

VeskCompAudioProcessorEditor::~VeskCompAudioProcessorEditor()
{
    // JUCE 7 asserts when a look-and-feel dies while a component still uses it,
    // and the look-and-feels are members declared after the sliders.
    for (auto* s : { &gainSlider, &thresholdSlider, &ratioSlider, &attackSlider,
                     &releaseSlider, &kneeSlider, &dryWetSlider })
        s->setLookAndFeel (nullptr);
}

VeskCompAudioProcessor& VeskCompAudioProcessorEditor::owner() const noexcept
{
    return static_cast<VeskCompAudioProcessor&> (processor);
}

void VeskCompAudioProcessorEditor::sendToHost (int index, float value)
{
    // The index-based call is deprecated in JUCE 7 in favour of parameter
    // objects, but this plug-in's host contract is index-based.
    JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
    owner().setParameterNotifyingHost (index, value);
    JUCE_END_IGNORE_WARNINGS_GCC_LIKE
}

int VeskCompAudioProcessorEditor::indexOfSlider (const juce::Slider* slider) const noexcept
{
    const std::pair<const juce::Slider*, ParameterId> knobs[] = {
        { &thresholdSlider, ParameterId::threshold }, { &ratioSlider, ParameterId::ratio },
        { &gainSlider, ParameterId::gain },           { &attackSlider, ParameterId::attack },
        { &releaseSlider, ParameterId::release },     { &kneeSlider, ParameterId::knee },
        { &dryWetSlider, ParameterId::dryWet },
    };
    for (const auto& [knob, id] : knobs)
        if (knob == slider)
            return indexOf (id);
    return -1;
}

void VeskCompAudioProcessorEditor::gesture (int index, bool starting)
{
    JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wdeprecated-declarations")
    if (starting)
        owner().beginParameterChangeGesture (index);
    else
        owner().endParameterChangeGesture (index);
    JUCE_END_IGNORE_WARNINGS_GCC_LIKE
}

void VeskCompAudioProcessorEditor::sliderValueChanged (juce::Slider* slider)
{
    if (const int index = indexOfSlider (slider); index >= 0)
        sendToHost (index, static_cast<float> (slider->getValue()));
}

// A drag, and each turn of the mouse wheel, is one gesture.
void VeskCompAudioProcessorEditor::sliderDragStarted (juce::Slider* slider)
{
    if (const int index = indexOfSlider (slider); index >= 0)
        gesture (index, true);
}

void VeskCompAudioProcessorEditor::sliderDragEnded (juce::Slider* slider)
{
    if (const int index = indexOfSlider (slider); index >= 0)
        gesture (index, false);
}

void VeskCompAudioProcessorEditor::buttonClicked (juce::Button* button)
{
    // Clicking has already toggled the state, so this sends the new position,
    // as a gesture of its own.
    if (button == &curveButton)
    {
        const int index = indexOf (ParameterId::curve);
        gesture (index, true);
        sendToHost (index, curveButton.getToggleState() ? 1.0f : 0.0f);
        gesture (index, false);
    }
}

void VeskCompAudioProcessorEditor::timerCallback()
{
    auto& p = owner();

    // A slider ignores a value equal to its own; a different one (host automation,
    // a restored project) comes back through sliderValueChanged once, so the host
    // hears the change again. Out-of-range values are clamped by the slider and the
    // clamped value is what goes back. Hosts and saved automation may rely on this.
    const auto async = juce::sendNotificationAsync;
    ratioSlider.setValue (p.getParameter (indexOf (ParameterId::ratio)), async);
    thresholdSlider.setValue (p.getParameter (indexOf (ParameterId::threshold)), async);
    attackSlider.setValue (p.getParameter (indexOf (ParameterId::attack)), async);
    releaseSlider.setValue (p.getParameter (indexOf (ParameterId::release)), async);
    dryWetSlider.setValue (p.getParameter (indexOf (ParameterId::dryWet)), async);
    gainSlider.setValue (p.getParameter (indexOf (ParameterId::gain)), async);
    kneeSlider.setValue (p.getParameter (indexOf (ParameterId::knee)), async);

    // The switch only shows the parameter; showing it must not send it back.
    curveButton.setToggleState (p.getParameter (indexOf (ParameterId::curve)) >= 0.5f, juce::dontSendNotification);

    // Repainting on every tick is what moves the needles.
    repaint();
}

void VeskCompAudioProcessorEditor::paint (juce::Graphics& g)
{
    g.fillAll (juce::Colours::black);
    g.setColour (needleColour);

    const auto background = imageFrom (BinaryData::background_jpg, BinaryData::background_jpgSize);
    g.drawImage (background, 0, 0, 800, 200, 0, 0, 800, 200, false);

    auto& p = owner();
    inputNeedleDb = vrc::smoothNeedle (inputNeedleDb, p.getInputMeterDb(), inputScaleLow, inputScaleHigh);
    gainNeedleDb = vrc::smoothNeedle (gainNeedleDb, p.getGainMeterDb(), gainScaleLow, gainScaleHigh);

    // Only a key shows; without one the panel looks as it always has.
    if (p.isListeningToKey())
    {
        const auto lamp = imageFrom (BinaryData::keyLamp_png, BinaryData::keyLamp_pngSize);
        // In the logo column, between the maker's mark and the origin line,
        // where nothing else is printed.
        g.drawImageAt (lamp, vrc::keyLampX, vrc::keyLampY);
    }

    for (const auto& n : { vrc::needleLine (inputNeedleDb, vrc::upperPivotY, vrc::upperInnerY),
                           vrc::needleLine (gainNeedleDb, vrc::lowerPivotY, vrc::lowerInnerY) })
        g.drawLine (n.innerX, n.innerY, n.outerX, n.outerY);
}

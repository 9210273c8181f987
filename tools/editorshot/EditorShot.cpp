// Renders the plug-in's window to a PNG after compressing a few seconds of a
// loud, pumping test signal, so the documentation shows what a user sees while
// audio plays: knobs at a working setting and both needles off their rests.
#include "editor/VeskCompAudioProcessorEditor.h"
#include "processor/Parameters.h"
#include "processor/VeskCompAudioProcessor.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cmath>
#include <iostream>
#include <memory>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;
constexpr double seconds = 3.0;

// Paints needed for the needles to settle: each paint halves the distance.
constexpr int paints = 24;

void setNormalised (VeskCompAudioProcessor& p, vrc::ParameterId id, float value)
{
    p.setParameter (static_cast<int> (id), value);
}

/** A 110 Hz tone with a slow 2 Hz swell, peaking near full scale: loud enough
    to drive the compressor well past its threshold, and uneven enough that the
    gain reduction is audible in the meter. */
float testSignal (double t)
{
    const double twoPi = 2.0 * 3.14159265358979323846;
    const double swell = 0.6 + 0.35 * std::sin (twoPi * 2.0 * t);
    return static_cast<float> (swell * std::sin (twoPi * 110.0 * t));
}
} // namespace

int main (int argc, char** argv)
{
    const juce::File out = argc > 1 ? juce::File::getCurrentWorkingDirectory().getChildFile (argv[1])
                                    : juce::File (VRC_SOURCE_DIR).getChildFile ("docs/editor.png");

    juce::ScopedJuceInitialiser_GUI framework;

    VeskCompAudioProcessor processor;
    using vrc::ParameterId;
    setNormalised (processor, ParameterId::threshold, 0.45f); // -18 dB
    setNormalised (processor, ParameterId::ratio, 0.75f);
    setNormalised (processor, ParameterId::gain, 0.5f);
    setNormalised (processor, ParameterId::attack, 0.1f);
    setNormalised (processor, ParameterId::release, 0.1f);
    setNormalised (processor, ParameterId::knee, 0.5f);
    setNormalised (processor, ParameterId::dryWet, 0.9f);
    setNormalised (processor, ParameterId::curve, 1.0f);

    processor.prepareToPlay (sampleRate, blockSize);
    juce::AudioBuffer<float> buffer (2, blockSize);
    juce::MidiBuffer midi;
    const auto total = static_cast<int> (seconds * sampleRate);
    for (int start = 0; start < total; start += blockSize)
    {
        for (int i = 0; i < blockSize; ++i)
        {
            const float x = testSignal (static_cast<double> (start + i) / sampleRate);
            buffer.setSample (0, i, x);
            buffer.setSample (1, i, x);
        }
        processor.processBlock (buffer, midi);
    }
    processor.refreshMeterReadings();

    std::unique_ptr<juce::AudioProcessorEditor> editorHolder (processor.createEditorIfNeeded());
    auto& editor = dynamic_cast<VeskCompAudioProcessorEditor&> (*editorHolder);
    editor.timerCallback(); // one tick copies the parameters into the knobs

    juce::Image shot;
    for (int i = 0; i < paints; ++i)
        shot = editor.createComponentSnapshot (editor.getLocalBounds(), true, 1.0f);
    processor.editorBeingDeleted (editorHolder.get()); // as the plug-in wrapper does before deleting it
    editorHolder.reset();

    out.getParentDirectory().createDirectory();
    out.deleteFile();
    juce::FileOutputStream stream (out);
    juce::PNGImageFormat png;
    if (! stream.openedOk() || ! png.writeImageToStream (shot, stream))
    {
        std::cerr << "editorshot: cannot write " << out.getFullPathName() << "\n";
        return 1;
    }

    std::cout << "editorshot: wrote " << out.getFullPathName()
              << " (input " << processor.getInputMeterDb() << " dB, gain " << processor.getGainMeterDb() << " dB)\n";
    return 0;
}

#pragma once
// Shared pieces of the editor tests: a processor with its editor open, access
// to the editor's controls in the order it adds them, a message pump, a log of
// what the editor tells the host, and pixel helpers for rendered images.
#include "editor/VeskCompAudioProcessorEditor.h"
#include "processor/VeskCompAudioProcessor.h"

#include <BinaryData.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <utility>
#include <vector>

namespace vrctest
{

/** Delivers pending messages (async slider updates, clicks, timer ticks) for about ms milliseconds. */
inline void pumpMessages (int ms)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (ms);
}

/** Records every parameter change that reaches the processor's listeners, i.e. the host. */
struct HostLog : juce::AudioProcessorListener
{
    std::vector<std::pair<int, float>> changes;

    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override
    {
        changes.emplace_back (index, value);
    }
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}

    std::vector<float> valuesFor (int index) const
    {
        std::vector<float> out;
        for (const auto& c : changes)
            if (c.first == index)
                out.push_back (c.second);
        return out;
    }
};

/** The editor's children in the order the editor adds them. */
enum Child
{
    threshold, gain, attack, release, ratio, knee, dryWet, webLink, curveSwitch, childCount
};

/** Closes an editor the way the plug-in wrapper does: the processor hears of it first. */
struct EditorCloser
{
    juce::AudioProcessor* owner;
    void operator() (juce::AudioProcessorEditor* e) const
    {
        owner->editorBeingDeleted (e);
        delete e;
    }
};
using EditorHandle = std::unique_ptr<juce::AudioProcessorEditor, EditorCloser>;

inline EditorHandle openEditor (VeskCompAudioProcessor& p)
{
    return EditorHandle (p.createEditorIfNeeded(), EditorCloser { &p });
}

struct EditorFixture : ::testing::Test
{
    VeskCompAudioProcessor processor;
    EditorHandle editorHolder = openEditor (processor);
    VeskCompAudioProcessorEditor& editor = dynamic_cast<VeskCompAudioProcessorEditor&> (*editorHolder);

    juce::Slider& knob (Child c) { return dynamic_cast<juce::Slider&> (*editor.getChildComponent (c)); }
    juce::ImageButton& curveButton() { return dynamic_cast<juce::ImageButton&> (*editor.getChildComponent (curveSwitch)); }

    /** What one host-driven timer tick does, without waiting for the timer. */
    void tick() { editor.timerCallback(); }

    /** Paints the whole editor (children included) once into a fresh image. */
    juce::Image renderEditor() { return editor.createComponentSnapshot (editor.getLocalBounds(), true, 1.0f); }
};

inline juce::Image render (juce::Component& c)
{
    return c.createComponentSnapshot (c.getLocalBounds(), true, 1.0f);
}

inline juce::Image embedded (const void* data, int size)
{
    return juce::ImageCache::getFromMemory (data, size);
}

/** Mean absolute difference per premultiplied channel between `shown` and the
    region of `source` starting at (sx, 0) of the same size. */
inline double meanDifference (const juce::Image::BitmapData& shown, const juce::Image::BitmapData& source, int sx)
{
    double sum = 0.0;
    for (int y = 0; y < shown.height; ++y)
        for (int x = 0; x < shown.width; ++x)
        {
            const auto a = shown.getPixelColour (x, y).getPixelARGB();
            const auto b = source.getPixelColour (sx + x, y).getPixelARGB();
            sum += std::abs (a.getAlpha() - b.getAlpha()) + std::abs (a.getRed() - b.getRed())
                 + std::abs (a.getGreen() - b.getGreen()) + std::abs (a.getBlue() - b.getBlue());
        }
    return sum / (4.0 * shown.width * shown.height);
}

struct FrameMatch
{
    int frame = -1;
    double difference = 1.0e9;
};

/** The filmstrip frame that a rendered knob looks most like. */
inline FrameMatch closestFrame (const juce::Image& shown, const juce::Image& strip, int frameSize)
{
    FrameMatch best;
    if (! shown.isValid() || ! strip.isValid() || shown.getWidth() != frameSize)
        return best;

    const juce::Image::BitmapData s (shown, juce::Image::BitmapData::readOnly);
    const juce::Image::BitmapData f (strip, juce::Image::BitmapData::readOnly);
    for (int k = 0; k < strip.getWidth() / frameSize; ++k)
    {
        const auto d = meanDifference (s, f, k * frameSize);
        if (d < best.difference)
            best = { k, d };
    }
    return best;
}

} // namespace vrctest

// The panel's "SIDECHAIN" label: lit exactly while the detector listens to a
// key, as the host's routing (the key bus) and the blocks it sends decide.
#include "EditorTestSupport.h"

namespace vrctest
{
namespace
{
using Set = juce::AudioChannelSet;
const juce::Rectangle<int> labelArea { 25, 118, 72, 15 };

bool labelLit (juce::Component& editor)
{
    const auto shown = render (editor).getClippedImage (labelArea);
    const auto panel = embedded (BinaryData::background_jpg, BinaryData::background_jpgSize).getClippedImage (labelArea);
    const juce::Image::BitmapData s (shown, juce::Image::BitmapData::readOnly), p (panel, juce::Image::BitmapData::readOnly);
    const bool unchanged = meanDifference (s, p, 0) == 0.0;
    // Lit print is amber: strong red, some green, little blue (the panel is grey).
    int amberPixels = 0;
    for (int y = 0; y < shown.getHeight(); ++y)
        for (int x = 0; x < shown.getWidth(); ++x)
        {
            const auto c = shown.getPixelAt (x, y);
            amberPixels += c.getRed() > 200 && c.getGreen() > 100 && c.getBlue() < 110 ? 1 : 0;
        }
    const bool amber = amberPixels > 20;
    EXPECT_NE (unchanged, amber) << "the label area is neither the bare panel nor the lit label";
    return amber;
}
} // namespace

TEST (EditorKeyLabel, LitOnlyWhileTheDetectorListensToAKey)
{
    VeskCompAudioProcessor processor (VeskCompAudioProcessor::Buses::mainAndKey);
    processor.prepareToPlay (48000.0, 64);
    const auto editor = openEditor (processor);
    EXPECT_FALSE (labelLit (*editor));

    struct Step { Set key; int blockChannels; bool lit; };
    const Step steps[] = {
        { Set::mono(), 0, true },      // the host turns the key on
        { Set::mono(), 3, true },      // and sends it
        { Set::stereo(), 2, false },   // a block without the key's channels: the detector hears the input
        { Set::stereo(), 4, true },
        { Set::disabled(), 0, false }, // the host turns it off
        { Set::disabled(), 2, false },
    };
    for (const auto& step : steps)
    {
        SCOPED_TRACE (step.key.getDescription() + ", a block of " + juce::String (step.blockChannels) + " channels");
        auto layout = processor.getBusesLayout();
        layout.inputBuses.getReference (1) = step.key;
        if (layout != processor.getBusesLayout())
        {
            ASSERT_TRUE (processor.setBusesLayout (layout));
        }
        if (step.blockChannels > 0)
        {
            juce::AudioBuffer<float> block (step.blockChannels, 64);
            block.clear();
            juce::MidiBuffer midi;
            processor.processBlock (block, midi);
        }
        EXPECT_EQ (labelLit (*editor), step.lit);
    }
}

TEST (EditorKeyLabel, NeverShownWithoutAKeyBus)
{
    VeskCompAudioProcessor processor;
    processor.prepareToPlay (48000.0, 64);
    const auto editor = openEditor (processor);
    juce::AudioBuffer<float> block (4, 64); // more channels than the layout has: still no key
    block.clear();
    juce::MidiBuffer midi;
    processor.processBlock (block, midi);
    EXPECT_FALSE (labelLit (*editor));
}
} // namespace vrctest

// VeskLookSlider drawing through a real slider: one unscaled frame at the
// slider's top-left corner, nothing else, from an image shared via the cache.
#include "editor/VeskLookSlider.h"

#include <BinaryData.h>
#include <gtest/gtest.h>

namespace
{
struct Strip
{
    const char* data;
    int size;
    int frameSize;
};
const Strip big { BinaryData::knobStrip80_png, BinaryData::knobStrip80_pngSize, 80 };
const Strip small { BinaryData::knobStrip64_png, BinaryData::knobStrip64_pngSize, 64 };

/** Paints a rotary slider of the given size at `value` and returns what it drew. */
juce::Image drawSlider (VeskLookSlider& look, int width, int height, double value)
{
    juce::Slider slider (juce::Slider::RotaryVerticalDrag, juce::Slider::NoTextBox);
    slider.setRange (0.0, 1.0, 0.0);
    slider.setLookAndFeel (&look);
    slider.setBounds (0, 0, width, height);
    slider.setValue (value, juce::dontSendNotification);
    auto image = slider.createComponentSnapshot (slider.getLocalBounds(), true, 1.0f);
    slider.setLookAndFeel (nullptr);
    return image;
}

/** Counts pixels that differ from frame `frame` of the strip inside the frame's
    square, and pixels that are not fully transparent outside it. */
std::pair<int, int> compareWithFrame (const juce::Image& drawn, const juce::Image& strip, int frame, int frameSize)
{
    int wrongInside = 0, paintedOutside = 0;
    for (int y = 0; y < drawn.getHeight(); ++y)
        for (int x = 0; x < drawn.getWidth(); ++x)
        {
            const auto got = drawn.getPixelAt (x, y);
            if (x < frameSize && y < frameSize)
                wrongInside += got.getARGB() != strip.getPixelAt (frame * frameSize + x, y).getARGB() ? 1 : 0;
            else
                paintedOutside += got.getAlpha() != 0 ? 1 : 0;
        }
    return { wrongInside, paintedOutside };
}
} // namespace

TEST (VeskLookSlider, LooksOnOneAssetShareOneDecodedImage)
{
    VeskLookSlider first (small.data, small.size, small.frameSize);
    VeskLookSlider second (small.data, small.size, small.frameSize);
    VeskLookSlider other (big.data, big.size, big.frameSize);

    ASSERT_TRUE (first.getFilmstrip().isValid());
    EXPECT_EQ (first.getFilmstrip().getPixelData(), second.getFilmstrip().getPixelData());
    EXPECT_NE (first.getFilmstrip().getPixelData(), other.getFilmstrip().getPixelData());
}

TEST (VeskLookSlider, DrawsExactlyTheChosenFrameAtTheTopLeft)
{
    struct Case
    {
        const Strip& strip;
        double value;
        int frame;
    };
    for (const auto& c : { Case { big, 0.0, 216 }, Case { big, 0.75, 71 }, Case { small, 0.25, 288 },
                           Case { small, 0.5, 0 }, Case { small, 1.0, 144 } })
    {
        SCOPED_TRACE ("frame size " + std::to_string (c.strip.frameSize) + ", value " + std::to_string (c.value));
        VeskLookSlider look (c.strip.data, c.strip.size, c.strip.frameSize);

        // A slider larger than the frame: the frame is not scaled to fit it.
        const auto drawn = drawSlider (look, c.strip.frameSize + 30, c.strip.frameSize + 17, c.value);
        const auto [wrongInside, paintedOutside] = compareWithFrame (drawn, look.getFilmstrip(), c.frame, c.strip.frameSize);
        EXPECT_EQ (wrongInside, 0);
        EXPECT_EQ (paintedOutside, 0);

        // And the neighbouring frame does not match, so the comparison can tell frames apart.
        EXPECT_GT (compareWithFrame (drawn, look.getFilmstrip(), (c.frame + 1) % 360, c.strip.frameSize).first, 0);
    }
}

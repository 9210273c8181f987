#pragma once
// Draws rotary sliders from a pre-rendered filmstrip: one square frame per whole
// degree of rotation, frame 0 pointing straight up. The slider's angle picks a
// frame, which is copied unscaled to the slider's top-left corner.
#include <juce_gui_basics/juce_gui_basics.h>

class VeskLookSlider : public juce::LookAndFeel_V4
{
public:
    /** imageData/imageSize: the embedded PNG strip; frameSize: side of one frame in pixels.
        The decoded strip comes from the image cache, so looks on the same data share it. */
    VeskLookSlider (const void* imageData, int imageSize, int frameSize);
    ~VeskLookSlider() override;

    void drawRotarySlider (juce::Graphics& g, int x, int y, int width, int height,
                           float sliderPosProportional, float rotaryStartAngle,
                           float rotaryEndAngle, juce::Slider& slider) override;

    /** Which of the 360 frames shows this slider position (0..359). The angle is
        taken in double, then turns and degrees are each rounded to float before
        the whole degrees are taken: with the default range, position 0.75 shows
        frame 71, and the same position always shows the same frame. */
    static int frameForPosition (float sliderPosProportional, float rotaryStartAngle,
                                 float rotaryEndAngle) noexcept;

    const juce::Image& getFilmstrip() const noexcept { return filmstrip; }
    int getFrameSize() const noexcept { return frameSize; }

private:
    juce::Image filmstrip;
    int frameSize;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (VeskLookSlider)
};

#include "VeskLookSlider.h"

#include <cmath>

VeskLookSlider::VeskLookSlider (const void* imageData, int imageSize, int frameSize_)
    : filmstrip (juce::ImageCache::getFromMemory (imageData, imageSize)),
      frameSize (frameSize_)
{
}

VeskLookSlider::~VeskLookSlider() = default;

int VeskLookSlider::frameForPosition (float sliderPosProportional, float rotaryStartAngle,
                                      float rotaryEndAngle) noexcept
{
    // Turns and degrees are each rounded to float and the divisor is 2 pi as a
    // float, widened: these roundings decide the frame at exact multiples of a
    // degree (position 0.75 gives 431.99997 degrees, so frame 71, not 72).
    constexpr double floatTwoPi = 6.2831854820251465;
    const double start = rotaryStartAngle;
    const double angle = start + (static_cast<double> (rotaryEndAngle) - start)
                                     * static_cast<double> (sliderPosProportional);
    const auto turns = static_cast<float> (angle / floatTwoPi);
    const auto degrees = static_cast<float> (static_cast<double> (turns) * 360.0);

    // An angle that is not a number or far out of range would make the conversion
    // undefined, so it shows frame 0.
    if (! (std::abs (degrees) < 2.0e9f))
        return 0;

    // Angles beyond one turn wrap to the start of the strip. A negative angle
    // (a custom rotary range) wraps too, instead of addressing a frame left of
    // the strip and drawing nothing; rounding it down keeps -0.5 degrees on
    // frame 359. For the angles of the default range this is plain truncation.
    const int index = static_cast<int> (std::floor (degrees)) % 360;
    return index < 0 ? index + 360 : index;
}

void VeskLookSlider::drawRotarySlider (juce::Graphics& g, int, int, int, int,
                                       float sliderPosProportional, float rotaryStartAngle,
                                       float rotaryEndAngle, juce::Slider&)
{
    const int frame = frameForPosition (sliderPosProportional, rotaryStartAngle, rotaryEndAngle);
    g.drawImage (filmstrip, 0, 0, frameSize, frameSize,
                 frame * frameSize, 0, frameSize, frameSize, false);
}

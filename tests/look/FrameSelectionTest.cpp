// Which filmstrip frame a slider position shows, with the slider's real
// default rotary range.
#include "editor/VeskLookSlider.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

namespace
{
struct Sweep
{
    float start, end;
};

Sweep defaultSweep()
{
    juce::Slider slider (juce::Slider::RotaryVerticalDrag, juce::Slider::NoTextBox);
    const auto p = slider.getRotaryParameters();
    return { p.startAngleRadians, p.endAngleRadians };
}

int frameAt (float position)
{
    const auto s = defaultSweep();
    return VeskLookSlider::frameForPosition (position, s.start, s.end);
}
} // namespace

TEST (FrameSelection, DefaultSweepRunsFromSevenToFiveOClock)
{
    const auto s = defaultSweep();
    EXPECT_EQ (s.start, 3.769911527633667f);
    EXPECT_EQ (s.end, 8.796459197998047f);
}

TEST (FrameSelection, MarkedPositionsShowTheirFrames)
{
    EXPECT_EQ (frameAt (0.0f), 216);
    EXPECT_EQ (frameAt (0.25f), 288);
    EXPECT_EQ (frameAt (0.5f), 0);
    // 431.99997 degrees after the float roundings, truncated: 71, not 72.
    EXPECT_EQ (frameAt (0.75f), 71);
    EXPECT_EQ (frameAt (1.0f), 144);
}

TEST (FrameSelection, SweepShowsEveryFrameOfItsArcInOrder)
{
    std::set<int> seen;
    int previousUnwrapped = -1;
    constexpr int steps = 100000;
    for (int i = 0; i <= steps; ++i)
    {
        const int frame = frameAt (static_cast<float> (i) / steps);
        ASSERT_TRUE ((frame >= 216 && frame <= 359) || (frame >= 0 && frame <= 144)) << "frame " << frame;
        // Unwrapped past 12 o'clock the frames only ever move clockwise.
        const int unwrapped = frame < 216 ? frame + 360 : frame;
        ASSERT_GE (unwrapped, previousUnwrapped) << "at step " << i;
        previousUnwrapped = unwrapped;
        seen.insert (frame);
    }
    EXPECT_EQ (seen.size(), 289u); // 216..359 and 0..144, none skipped
}

TEST (FrameSelection, AnglesOutsideOneTurnWrapIntoTheStrip)
{
    constexpr float pi = 3.14159265358979f;
    EXPECT_EQ (VeskLookSlider::frameForPosition (0.75f, 0.0f, 4.0f * pi), 180); // 540 degrees
    EXPECT_EQ (VeskLookSlider::frameForPosition (0.0f, -0.5f * pi, 0.0f), 270); // -90 degrees
    EXPECT_EQ (VeskLookSlider::frameForPosition (0.0f, -pi, 0.0f), 180);        // -180 degrees
    EXPECT_EQ (VeskLookSlider::frameForPosition (0.5f, -pi, 0.0f), 270);        // -90 degrees

    for (float bad : { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), 1.0e30f })
    {
        const int frame = VeskLookSlider::frameForPosition (bad, 3.769911527633667f, 8.796459197998047f);
        EXPECT_TRUE (frame >= 0 && frame < 360) << bad;
    }
}

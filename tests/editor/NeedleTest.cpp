// The two meter needles: where the geometry puts them for a level, how a
// reading moves them paint by paint, and where they really end up in the
// rendered window, driven by audio through the processor.
#include "EditorTestSupport.h"
#include "editor/NeedleGeometry.h"
#include "editor/NeedleSmoothing.h"

#include <limits>

using namespace vrctest;

namespace
{
constexpr double degrees (double radians) { return radians * 180.0 / 3.14159265358979323846; }

// ---------------------------------------------------------------------------
// Pixels

struct Rgb
{
    double r, g, b;
};

Rgb rgbAt (const juce::Image::BitmapData& d, int x, int y)
{
    const auto c = d.getPixelColour (x, y);
    return { (double) c.getRed(), (double) c.getGreen(), (double) c.getBlue() };
}

const Rgb needle { 0x5b, 0x1d, 0x08 };

/** How far a pixel has moved from the background toward the needle colour (0 none, 1 fully). */
double coverage (const Rgb& shown, const Rgb& bg)
{
    const Rgb toNeedle { needle.r - bg.r, needle.g - bg.g, needle.b - bg.b };
    const double len2 = toNeedle.r * toNeedle.r + toNeedle.g * toNeedle.g + toNeedle.b * toNeedle.b;
    if (len2 < 40.0 * 40.0)
        return std::numeric_limits<double>::quiet_NaN(); // background too close to the needle to tell
    return ((shown.r - bg.r) * toNeedle.r + (shown.g - bg.g) * toNeedle.g + (shown.b - bg.b) * toNeedle.b) / len2;
}

double distanceToSegment (double px, double py, const vrc::NeedleLine& n)
{
    const double ax = n.innerX, ay = n.innerY, bx = n.outerX, by = n.outerY;
    const double dx = bx - ax, dy = by - ay;
    const double t = juce::jlimit (0.0, 1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy));
    return std::hypot (px - (ax + t * dx), py - (ay + t * dy));
}

/** Checks that the meter area of `shown` holds exactly the two needles: the
    needle colour along each expected line, and nothing changed away from them. */
void expectNeedlesAt (const juce::Image& shown, const vrc::NeedleLine& upper, const vrc::NeedleLine& lower)
{
    const auto background = embedded (BinaryData::background_jpg, BinaryData::background_jpgSize);
    ASSERT_TRUE (background.isValid());
    ASSERT_EQ (shown.getBounds(), background.getBounds());
    const juce::Image::BitmapData s (shown, juce::Image::BitmapData::readOnly);
    const juce::Image::BitmapData b (background, juce::Image::BitmapData::readOnly);

    for (const auto* line : { &upper, &lower })
    {
        int checked = 0;
        for (int i = 1; i < 10; ++i)
        {
            const double f = i / 10.0;
            const int cx = (int) std::floor (line->innerX + f * (line->outerX - line->innerX));
            const int cy = (int) std::floor (line->innerY + f * (line->outerY - line->innerY));
            double best = -1.0;
            bool readable = false;
            for (int y = cy - 1; y <= cy + 1; ++y)
                for (int x = cx - 1; x <= cx + 1; ++x)
                {
                    const auto c = coverage (rgbAt (s, x, y), rgbAt (b, x, y));
                    if (std::isnan (c))
                        continue;
                    readable = true;
                    best = std::max (best, c);
                }
            if (! readable)
                continue;
            ++checked;
            EXPECT_GT (best, 0.35) << "no needle near (" << cx << ", " << cy << ")";
        }
        EXPECT_GE (checked, 5) << "the background hides the needle colour along the line";
    }

    // Nothing else may differ from the background in the meter area (the
    // controls all sit left of x = 600).
    for (int y = 0; y < 200; ++y)
        for (int x = 600; x < 800; ++x)
        {
            const auto p = rgbAt (s, x, y), q = rgbAt (b, x, y);
            const double change = std::max ({ std::abs (p.r - q.r), std::abs (p.g - q.g), std::abs (p.b - q.b) });
            if (change <= 40.0)
                continue;
            const double near = std::min (distanceToSegment (x + 0.5, y + 0.5, upper),
                                          distanceToSegment (x + 0.5, y + 0.5, lower));
            EXPECT_LT (near, 1.6) << "stray change at (" << x << ", " << y << ")";
        }
}

vrc::NeedleLine upperAt (float s) { return vrc::needleLine (s, vrc::upperPivotY, vrc::upperInnerY); }
vrc::NeedleLine lowerAt (float s) { return vrc::needleLine (s, vrc::lowerPivotY, vrc::lowerInnerY); }

/** Runs `seconds` of a stereo signal through the processor in 512-sample blocks. */
template <typename Signal>
void play (VeskCompAudioProcessor& p, double seconds, Signal signal)
{
    const double rate = 48000.0;
    p.prepareToPlay (rate, 512);
    juce::AudioBuffer<float> buffer (2, 512);
    juce::MidiBuffer midi;
    const int total = (int) (seconds * rate);
    for (int start = 0; start < total; start += 512)
    {
        for (int i = 0; i < 512; ++i)
        {
            const float x = signal ((start + i) / rate);
            buffer.setSample (0, i, x);
            buffer.setSample (1, i, x);
        }
        p.processBlock (buffer, midi);
    }
    p.refreshMeterReadings();
}

float clampTo (float v, float lo, float hi) { return std::min (hi, std::max (lo, v)); }
} // namespace

// ---------------------------------------------------------------------------
// Numbers

TEST (NeedleGeometry, MatchesTheScaleMarks)
{
    struct Row
    {
        float db;
        double angle, outerX, outerY, innerX;
    };
    const Row rows[] = {
        { -20, -40.63, 649.95, 54.01, 676.00 }, { -10, -29.39, 663.27, 44.68, 682.90 },
        { -7, -21.21, 673.97, 39.62, 688.44 },  { -5, -13.16, 685.11, 36.18, 694.21 },
        { -4, -8.12, 692.28, 34.83, 697.93 },   { -3, -2.32, 700.64, 34.07, 702.26 },
        { -2, 4.21, 710.09, 34.22, 707.16 },    { -1, 11.39, 720.39, 35.63, 712.49 },
        { 0, 19.00, 731.02, 38.52, 718.00 },    { 1, 26.76, 741.37, 42.89, 723.36 },
        { 2, 34.35, 750.83, 48.47, 728.26 },    { 3, 41.47, 758.96, 54.80, 732.47 },
    };
    for (const auto& r : rows)
    {
        SCOPED_TRACE (r.db);
        const auto u = upperAt (r.db);
        EXPECT_NEAR (degrees (u.angle), r.angle, 0.006);
        EXPECT_NEAR (u.outerX, r.outerX, 0.006);
        EXPECT_NEAR (u.outerY, r.outerY, 0.006);
        EXPECT_NEAR (u.innerX, r.innerX, 0.006);
        EXPECT_EQ (u.innerY, 80.0f);

        // The lower meter is the same needle 88 pixels further down.
        const auto l = lowerAt (r.db);
        EXPECT_EQ (l.outerX, u.outerX);
        EXPECT_EQ (l.innerX, u.innerX);
        EXPECT_NEAR (l.outerY, r.outerY + 88.0, 0.006);
        EXPECT_EQ (l.innerY, 168.0f);
    }

    // The first paint after opening: the upper needle comes from below the scale.
    const auto first = upperAt (-30.0f);
    EXPECT_NEAR (degrees (first.angle), -43.65, 0.006);
    EXPECT_NEAR (first.innerX, 674.32, 0.006);
    EXPECT_NEAR (first.outerX, 646.71, 0.006);
    EXPECT_NEAR (first.outerY, 56.94, 0.006);
    const auto vertical = upperAt (-2.632f);
    EXPECT_NEAR (vertical.angle, 0.0, 1.0e-4);
}

TEST (NeedleSmoothing, HalvesTheDistanceEachPaintAndStaysOnTheScale)
{
    float s = 0.0f;
    for (float expected : { -10.0f, -15.0f, -17.5f, -18.75f, -19.375f })
    {
        s = vrc::smoothNeedle (s, -20.0f, -20.0f, 3.0f);
        EXPECT_EQ (s, expected);
    }

    EXPECT_EQ (vrc::smoothNeedle (-40.0f, -20.0f, -20.0f, 3.0f), -30.0f); // first paint after opening
    EXPECT_EQ (vrc::smoothNeedle (3.0f, 10.0f, -20.0f, 3.0f), 3.0f);      // loud input pins at +3
    EXPECT_EQ (vrc::smoothNeedle (0.0f, 10.0f, -20.0f, 0.0f), 0.0f);      // the gain scale ends at 0

    // Silence reads minus infinity; the needle settles at the bottom mark.
    s = 0.0f;
    for (int i = 0; i < 60; ++i)
        s = vrc::smoothNeedle (s, -std::numeric_limits<float>::infinity(), -20.0f, 3.0f);
    EXPECT_NEAR (s, -20.0f, 1.0e-5f);

    // A reading that is not a number counts as the bottom: the needle keeps
    // moving, and the next real reading takes it back.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    s = vrc::smoothNeedle (-5.0f, nan, -20.0f, 3.0f);
    EXPECT_EQ (s, -12.5f);
    s = vrc::smoothNeedle (s, 1.0f, -20.0f, 3.0f);
    EXPECT_EQ (s, -5.75f);
}

// ---------------------------------------------------------------------------
// Rendered window

using NeedlePixels = EditorFixture;

TEST_F (NeedlePixels, FirstPaintsSwingTheUpperNeedleInFromBelowTheScale)
{
    // A fresh processor reads -20 on both meters.
    ASSERT_EQ (processor.getInputMeterDb(), -20.0f);
    ASSERT_EQ (processor.getGainMeterDb(), -20.0f);

    // One smoothing step per paint: -30, -25, -22.5 for the upper needle.
    for (float upper : { -30.0f, -25.0f, -22.5f })
    {
        SCOPED_TRACE (upper);
        expectNeedlesAt (renderEditor(), upperAt (upper), lowerAt (-20.0f));
    }
}

TEST_F (NeedlePixels, CompressedAudioSettlesBothNeedlesOnTheirReadings)
{
    processor.setParameter (0, 0.5f); // threshold -20 dB
    processor.setParameter (1, 0.8f);
    play (processor, 2.0, [] (double t) { return 0.5f * (float) std::sin (2.0 * 3.14159265358979323846 * 220.0 * t); });

    const float in = processor.getInputMeterDb(), gr = processor.getGainMeterDb();
    // Levels where the needles are on the scale, not pinned at an end.
    ASSERT_GT (in, -20.0f);
    ASSERT_LT (in, 3.0f);
    ASSERT_GT (gr, -20.0f);
    ASSERT_LT (gr, -1.0f);

    juce::Image shown;
    for (int i = 0; i < 40; ++i)
        shown = renderEditor();
    expectNeedlesAt (shown, upperAt (in), lowerAt (gr));
}

TEST_F (NeedlePixels, LoudInputPinsTheUpperNeedleAtPlusThree)
{
    // A square wave at twice full scale reads just above +3 dB.
    play (processor, 0.5, [] (double t) { return std::fmod (t * 100.0, 1.0) < 0.5 ? 2.0f : -2.0f; });
    ASSERT_GT (processor.getInputMeterDb(), 3.0f);

    juce::Image shown;
    for (int i = 0; i < 40; ++i)
        shown = renderEditor();
    expectNeedlesAt (shown, upperAt (3.0f), lowerAt (clampTo (processor.getGainMeterDb(), -20.0f, 0.0f)));
}

TEST_F (NeedlePixels, MinusInfinitySettlesBothNeedlesAtTheBottomMark)
{
    // Prepared but not yet played, both meters hold an RMS of 0.
    play (processor, 0.0, [] (double) { return 0.0f; });
    const auto minusInfinity = -std::numeric_limits<float>::infinity();
    ASSERT_EQ (processor.getInputMeterDb(), minusInfinity);
    ASSERT_EQ (processor.getGainMeterDb(), minusInfinity);

    juce::Image shown;
    for (int i = 0; i < 40; ++i)
        shown = renderEditor();
    expectNeedlesAt (shown, upperAt (-20.0f), lowerAt (-20.0f));
}

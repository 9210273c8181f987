// The embedded pictures as the plug-in gets them: formats read from the bytes,
// sizes after decoding, and the properties the editor relies on (knob frames
// turned the right way, switch lever position, meter marks under the needles).
#include "editor/NeedleGeometry.h"

#include <BinaryData.h>
#include <gtest/gtest.h>
#include <juce_graphics/juce_graphics.h>

#include <algorithm>
#include <cmath>

namespace
{
struct Asset
{
    const char* name;
    const char* data;
    int size;
    int width, height;
};

const Asset pngAssets[] = {
    { "knobStrip80", BinaryData::knobStrip80_png, BinaryData::knobStrip80_pngSize, 28800, 80 },
    { "knobStrip64", BinaryData::knobStrip64_png, BinaryData::knobStrip64_pngSize, 23040, 64 },
    { "curveSwitchOff", BinaryData::curveSwitchOff_png, BinaryData::curveSwitchOff_pngSize, 29, 45 },
    { "curveSwitchOn", BinaryData::curveSwitchOn_png, BinaryData::curveSwitchOn_pngSize, 29, 45 },
};

juce::Image decode (const char* data, int size)
{
    return juce::ImageFileFormat::loadFrom (data, static_cast<size_t> (size));
}

int byteAt (const char* data, int i) { return static_cast<unsigned char> (data[i]); }
int bigEndian16 (const char* data, int i) { return byteAt (data, i) * 256 + byteAt (data, i + 1); }

float luma (juce::Colour c) { return 0.299f * c.getRed() + 0.587f * c.getGreen() + 0.114f * c.getBlue(); }

juce::Colour pixelNear (const juce::Image& image, float x, float y)
{
    return image.getPixelAt (static_cast<int> (std::floor (x)), static_cast<int> (std::floor (y)));
}
} // namespace

TEST (Assets, PngsAreEightBitRgbaNotInterlacedAndDecodeToTheirSize)
{
    for (const auto& a : pngAssets)
    {
        SCOPED_TRACE (a.name);
        ASSERT_GT (a.size, 33);
        ASSERT_EQ (juce::String (a.data + 12, 4), "IHDR");
        EXPECT_EQ (byteAt (a.data, 24), 8) << "bit depth";
        EXPECT_EQ (byteAt (a.data, 25), 6) << "colour type RGBA";
        EXPECT_EQ (byteAt (a.data, 28), 0) << "interlace";

        const auto image = decode (a.data, a.size);
        ASSERT_TRUE (image.isValid());
        EXPECT_EQ (image.getWidth(), a.width);
        EXPECT_EQ (image.getHeight(), a.height);
        EXPECT_TRUE (image.hasAlphaChannel());
    }
}

TEST (Assets, BackgroundIsAProgressiveThreeComponentJpeg)
{
    const char* d = BinaryData::background_jpg;
    const int n = BinaryData::background_jpgSize;
    ASSERT_EQ (byteAt (d, 0), 0xff);
    ASSERT_EQ (byteAt (d, 1), 0xd8);

    // Walk the marker segments up to the first scan and note the frame header.
    int frameMarker = -1, components = -1, width = -1, height = -1;
    for (int i = 2; i + 4 <= n && byteAt (d, i) == 0xff;)
    {
        const int marker = byteAt (d, i + 1);
        if (marker == 0xda)
            break;
        const int length = bigEndian16 (d, i + 2);
        if (marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc)
        {
            frameMarker = marker;
            height = bigEndian16 (d, i + 5);
            width = bigEndian16 (d, i + 7);
            components = byteAt (d, i + 9);
        }
        i += 2 + length;
    }
    EXPECT_EQ (frameMarker, 0xc2) << "SOF2, progressive";
    EXPECT_EQ (components, 3);
    EXPECT_EQ (width, 800);
    EXPECT_EQ (height, 200);

    const auto image = decode (d, n);
    ASSERT_TRUE (image.isValid());
    EXPECT_EQ (image.getWidth(), 800);
    EXPECT_EQ (image.getHeight(), 200);
}

TEST (Assets, KnobFrameKPointsKDegreesClockwiseFromTwelve)
{
    for (const auto& a : { pngAssets[0], pngAssets[1] })
    {
        SCOPED_TRACE (a.name);
        const auto strip = decode (a.data, a.size);
        const int size = a.height;
        const float centre = 0.5f * static_cast<float> (size);
        const float markRadius = 0.30f * static_cast<float> (size); // on the skirt's cream mark

        for (int k = 0; k < 360; k += 15)
        {
            const float left = static_cast<float> (k * size);
            auto at = [&] (float degrees, float radius)
            {
                const float r = degrees * juce::MathConstants<float>::pi / 180.0f;
                return pixelNear (strip, left + centre + radius * std::sin (r), centre - radius * std::cos (r));
            };
            EXPECT_GT (luma (at (static_cast<float> (k), markRadius)), 170.0f) << "frame " << k;
            EXPECT_LT (luma (at (static_cast<float> (k + 180), markRadius)), 90.0f) << "frame " << k;
            // Opaque knob, see-through corners.
            EXPECT_EQ (at (0.0f, 0.0f).getAlpha(), 255);
            EXPECT_EQ (strip.getPixelAt (k * size, 0).getAlpha(), 0);
            EXPECT_EQ (strip.getPixelAt (k * size + size - 1, size - 1).getAlpha(), 0);
        }
    }
}

TEST (Assets, SwitchLeverIsUpWhenOffAndDownWhenOn)
{
    auto slotBrightness = [] (const Asset& a, int top, int bottom)
    {
        const auto image = decode (a.data, a.size);
        float sum = 0.0f;
        for (int y = top; y < bottom; ++y)
            sum += luma (image.getPixelAt (14, y));
        return sum / static_cast<float> (bottom - top);
    };
    const auto& off = pngAssets[2];
    const auto& on = pngAssets[3];
    EXPECT_GT (slotBrightness (off, 7, 20), slotBrightness (off, 26, 39) + 60.0f);
    EXPECT_GT (slotBrightness (on, 26, 39), slotBrightness (on, 7, 20) + 60.0f);
}

TEST (Assets, MeterMarksLieWhereTheNeedlesPoint)
{
    const auto background = decode (BinaryData::background_jpg, BinaryData::background_jpgSize);
    struct Meter
    {
        float pivotY, innerY;
    };
    for (auto m : { Meter { vrc::upperPivotY, vrc::upperInnerY }, Meter { vrc::lowerPivotY, vrc::lowerInnerY } })
    {
        // Just beyond the needle's tip, along the needle's own line: the darkest of
        // the four pixels around that point, since a 1-pixel mark rarely sits on
        // one pixel's centre.
        auto beyondTip = [&] (float s)
        {
            const auto l = vrc::needleLine (s, m.pivotY, m.innerY);
            const float dx = l.outerX - l.innerX, dy = l.outerY - l.innerY;
            const float len = std::sqrt (dx * dx + dy * dy);
            const float x = l.outerX + 2.5f * dx / len - 0.5f, y = l.outerY + 2.5f * dy / len - 0.5f;
            float darkest = 255.0f;
            for (float ox : { 0.0f, 1.0f })
                for (float oy : { 0.0f, 1.0f })
                    darkest = std::min (darkest, luma (pixelNear (background, x + ox, y + oy)));
            return darkest;
        };
        for (float s : { -20.0f, -10.0f, -7.0f, -5.0f, -4.0f, -3.0f, -2.0f, -1.0f, 0.0f, 1.0f, 2.0f, 3.0f })
            EXPECT_LT (beyondTip (s), 120.0f) << "mark " << s << " dB, pivot y " << m.pivotY;
        // Between marks the light card shows, so the needle reads against it.
        for (float s : { -15.0f, -8.5f, -6.0f, -2.5f })
            EXPECT_GT (beyondTip (s), 170.0f) << "gap at " << s << " dB, pivot y " << m.pivotY;
    }
}

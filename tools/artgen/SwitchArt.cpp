#include "SwitchArt.h"

#include "ArtTools.h"

#include <cmath>

namespace artgen
{
namespace
{
constexpr int oversampling = 4;

/** Signed distance to a rounded rectangle given by its centre and half sizes. */
float roundRectDistance (float x, float y, float cx, float cy, float hw, float hh, float r) noexcept
{
    const float qx = std::abs (x - cx) - (hw - r), qy = std::abs (y - cy) - (hh - r);
    const float ox = std::max (qx, 0.0f), oy = std::max (qy, 0.0f);
    return std::sqrt (ox * ox + oy * oy) + std::min (std::max (qx, qy), 0.0f) - r;
}

struct Box
{
    float cx, cy, hw, hh, r;
    float distance (float x, float y) const noexcept { return roundRectDistance (x, y, cx, cy, hw, hh, r); }

    /** Outward direction of the nearest edge (the distance's gradient). */
    juce::Point<float> outward (float x, float y) const noexcept
    {
        constexpr float e = 0.05f;
        const float gx = distance (x + e, y) - distance (x - e, y);
        const float gy = distance (x, y + e) - distance (x, y - e);
        const float len = std::sqrt (gx * gx + gy * gy);
        return len > 0.0f ? juce::Point<float> { gx / len, gy / len } : juce::Point<float> { 0.0f, 0.0f };
    }
};

constexpr Box plate { 14.5f, 22.5f, 14.0f, 22.0f, 4.0f };
constexpr Box slot { 14.5f, 22.5f, 5.0f, 17.5f, 5.0f };

Box leverBox (bool on) noexcept { return { 14.5f, on ? 31.0f : 14.0f, 6.5f, 8.0f, 2.5f }; }

Rgb shade (Rgb albedo, Vec3 n, float ambient, float specular, float shininess) noexcept
{
    const float nl = std::max (0.0f, dot (n, lightDirection()));
    const float highlight = specular * std::pow (std::max (0.0f, dot (n, halfVector())), shininess);
    return albedo * (ambient + (1.0f - ambient) * 1.25f * nl) + Rgb { highlight, highlight, highlight };
}

/** Normal of a bevel that falls away from a shape's inside over `width` pixels. */
Vec3 bevelNormal (const Box& box, float x, float y, float width, float steepness) noexcept
{
    const float inside = -box.distance (x, y);
    const float slope = steepness * (1.0f - smoothstep (0.0f, width, inside));
    const auto o = box.outward (x, y);
    return normalise ({ o.x * slope, o.y * slope, 1.0f });
}

/** Colour and coverage of one sample. */
std::pair<Rgb, float> sample (float x, float y, bool on)
{
    if (plate.distance (x, y) > 0.0f)
        return { { 0, 0, 0 }, 0.0f };

    const auto lever = leverBox (on);
    if (lever.distance (x, y) <= 0.0f)
    {
        // Brushed lever, rounded across its width like a bat, with a bevelled
        // rim and two fine grip grooves.
        const float across = (x - lever.cx) / lever.hw;
        const auto bevel = bevelNormal (lever, x, y, 1.8f, 1.3f);
        float nx = bevel.x / bevel.z + 0.55f * across;
        float ny = bevel.y / bevel.z;
        const float dy = y - lever.cy;
        for (float g : { -2.2f, 2.2f })
        {
            const float d = dy - g;
            if (std::abs (d) < 0.8f)
                ny += 1.2f * (d < 0.0f ? -1.0f : 1.0f) * (1.0f - std::abs (d) / 0.8f);
        }
        const auto n = normalise ({ nx, ny, 1.0f });
        const float brushed = 0.96f + 0.05f * hashNoise (static_cast<int> (std::floor (y * 3.0f)), 2, 9);
        const Rgb c = shade (Rgb { 0.70f, 0.70f, 0.72f } * brushed, n, 0.38f, 0.55f, 30.0f);
        return { c, 1.0f };
    }

    if (slot.distance (x, y) <= 0.0f)
    {
        // The slot's floor lies in shade: darkest under its top-left wall and
        // under the lever, which stands above it towards the light.
        const float wall = smoothstep (0.0f, 2.5f, -slot.distance (x, y));
        const auto o = slot.outward (x, y);
        const float litWall = std::max (0.0f, -(o.x * -0.55f + o.y * -0.75f)); // wall facing the light
        float c = mix (0.02f + 0.16f * litWall, 0.035f, wall);
        const float leverShadow = 1.0f - smoothstep (0.0f, 2.5f, lever.distance (x - 1.0f, y - 1.6f));
        c *= 1.0f - 0.7f * leverShadow;
        return { { c, c, c * 1.05f }, 1.0f };
    }

    // Brushed plate with a rounded edge; a faint darker rim around the slot.
    const auto n = bevelNormal (plate, x, y, 1.6f, 1.2f);
    const float brushed = 0.94f + 0.08f * hashNoise (static_cast<int> (std::floor (y * 2.0f)), 7, 3);
    const float nearSlot = 1.0f - smoothstep (0.0f, 1.4f, slot.distance (x, y));
    Rgb c = shade (Rgb { 0.20f, 0.20f, 0.215f } * brushed, n, 0.5f, 0.3f, 18.0f);
    c = c * (1.0f - 0.35f * nearSlot);
    return { c, 1.0f };
}
} // namespace

juce::Image renderSwitch (bool on)
{
    juce::Image image (juce::Image::ARGB, switchWidth, switchHeight, true, juce::SoftwareImageType());
    juce::Image::BitmapData data (image, juce::Image::BitmapData::writeOnly);
    const float weight = 1.0f / static_cast<float> (oversampling * oversampling);

    for (int py = 0; py < switchHeight; ++py)
        for (int px = 0; px < switchWidth; ++px)
        {
            Rgb sum { 0, 0, 0 };
            float coverage = 0.0f;
            for (int sy = 0; sy < oversampling; ++sy)
                for (int sx = 0; sx < oversampling; ++sx)
                {
                    const auto [c, a] = sample (static_cast<float> (px) + (static_cast<float> (sx) + 0.5f) / oversampling,
                                                static_cast<float> (py) + (static_cast<float> (sy) + 0.5f) / oversampling, on);
                    sum = sum + c * a;
                    coverage += a;
                }
            const float a = coverage * weight;
            putPixel (data, px, py, coverage > 0.0f ? sum * (1.0f / coverage) : Rgb { 0, 0, 0 }, a);
        }
    return image;
}

} // namespace artgen

#include "KnobArt.h"

#include "ArtTools.h"

#include <cmath>
#include <vector>

namespace artgen
{
namespace
{
constexpr float pi = 3.14159265358979f;

// Radii as fractions of the knob's radius, from the centre outwards.
constexpr float lineInner = 0.20f, lineOuter = 0.62f; // engraved line on the cap
constexpr float capEdge = 0.66f, capRadius = 0.71f;   // the cap's rounded rim
constexpr float grooveRadius = 0.75f;                 // gap between cap and skirt
constexpr float skirtTop = 0.87f;                     // flat ring carrying the mark
constexpr float knobRadiusOfFrame = 0.37f;            // leaves room for the shadow
constexpr float markHalfWidth = 0.05f;                // cream pointer mark on the skirt
constexpr Rgb markColour { 0.94f, 0.91f, 0.83f };

// Supersampling: 4 x 4 samples a pixel give smooth edges at one-degree steps.
constexpr int oversampling = 4;

struct Rgba
{
    float r = 0, g = 0, b = 0, a = 0; // premultiplied
    void add (Rgb c, float alpha) noexcept
    {
        r += c.r * alpha;
        g += c.g * alpha;
        b += c.b * alpha;
        a += alpha;
    }
};

Rgb lit (Rgb albedo, Vec3 n, float ambient, float diffuse, float specular, float shininess) noexcept
{
    const float nl = std::max (0.0f, dot (n, lightDirection()));
    const float nh = std::max (0.0f, dot (n, halfVector()));
    const float highlight = specular * std::pow (nh, shininess);
    return albedo * (ambient + diffuse * nl) + Rgb { highlight, highlight, highlight * 1.02f };
}

/** Shades one sample at (x, y) in knob radii from the centre, knob turned by rot radians.
    Returns the colour and its coverage (0 outside the knob). */
Rgba shadeSample (float x, float y, float rot, int ridges, float pixelsPerRadius)
{
    Rgba out;
    const float u = std::sqrt (x * x + y * y);

    if (u > 1.0f)
    {
        // Cast shadow down and to the right of the light, plus a tight contact
        // shadow where the skirt meets the panel.
        const float dx = x - 0.06f, dy = y - 0.10f;
        const float d = std::sqrt (dx * dx + dy * dy);
        const float cast = 0.55f * (1.0f - smoothstep (0.92f, 1.24f, d));
        const float contact = 0.5f * (1.0f - smoothstep (1.0f, 1.07f, u));
        out.a = 1.0f - (1.0f - cast) * (1.0f - contact);
        return out;
    }

    const float phi = std::atan2 (x, -y); // clockwise from 12 o'clock
    const float local = phi - rot;        // angle on the knob itself
    const float rx = u > 1.0e-6f ? x / u : 0.0f, ry = u > 1.0e-6f ? y / u : -1.0f;
    const float tx = -ry, ty = rx; // tangent, clockwise
    const float across = u * std::sin (local), along = u * std::cos (local);

    auto slopeNormal = [&] (float radialSlope, float tangentialSlope)
    {
        return normalise ({ rx * radialSlope + tx * tangentialSlope,
                            ry * radialSlope + ty * tangentialSlope, 1.0f });
    };

    Rgb c;
    if (u > skirtTop)
    {
        // Knurled flank: it rolls off steeply towards the panel; the ridges tilt the
        // surface sideways and their valleys catch less light.
        const float edge = smoothstep (skirtTop, 1.0f, u);
        const float ridge = std::sin (static_cast<float> (ridges) * local);
        const float valley = 0.5f + 0.5f * std::cos (static_cast<float> (ridges) * local);
        const auto n = slopeNormal (mix (0.35f, 2.4f, edge), 0.85f * ridge * (1.0f - 0.3f * edge));
        // The pointer mark is painted on down over the ridges.
        const bool mark = along > 0.0f && std::abs (across) < markHalfWidth && u < 0.97f;
        const Rgb albedo = mark ? markColour : Rgb { 0.075f, 0.075f, 0.08f };
        c = lit (albedo, n, 0.55f, mark ? 0.5f : 1.1f, 0.5f, 28.0f) * (0.72f + 0.28f * valley);
    }
    else if (u > grooveRadius)
    {
        // Flat top ring of the skirt with a cream pointer mark.
        const auto n = slopeNormal (0.12f, 0.0f);
        const bool mark = along > 0.0f && std::abs (across) < markHalfWidth;
        const Rgb albedo = mark ? markColour : Rgb { 0.065f, 0.065f, 0.07f };
        c = lit (albedo, n, 0.6f, mark ? 0.45f : 1.0f, 0.28f, 16.0f);
    }
    else if (u > capRadius)
    {
        // Shadowed gap between the cap and the skirt; its outer wall faces the light
        // on the far side.
        const auto n = slopeNormal (-0.9f, 0.0f);
        c = lit ({ 0.03f, 0.03f, 0.033f }, n, 0.5f, 0.9f, 0.12f, 10.0f);
    }
    else
    {
        // Spun aluminium: fine concentric turning marks and the two bright wedges
        // that a circularly brushed surface shows towards and away from the light.
        const float rim = smoothstep (capEdge, capRadius, u);
        const auto n = slopeNormal (1.6f * rim, 0.0f);
        // About one turning mark a pixel: finer marks would only alias into rings.
        const float rings = 0.95f + 0.06f * valueNoise (u * pixelsPerRadius * 1.1f, 11) + 0.04f * valueNoise (u * 9.0f, 12);
        const Vec3 tangent { tx, ty, 0.0f };
        const float th = dot (tangent, halfVector());
        const float aniso = std::pow (std::max (0.0f, 1.0f - th * th), 90.0f);
        const float nl = std::max (0.0f, dot (n, lightDirection()));
        const float base = (0.34f + 0.42f * nl) * rings;
        const float sheen = 0.5f * aniso * (1.0f - 0.6f * rim);
        c = Rgb { 0.60f, 0.61f, 0.63f } * base + Rgb { sheen, sheen, sheen * 1.03f };
        c = c + Rgb { 0.3f, 0.3f, 0.3f } * (std::pow (std::max (0.0f, dot (n, halfVector())), 40.0f) * rim);

        // The engraved line: a dark groove whose lower-right wall catches the light.
        const float halfWidth = 0.05f;
        if (along > lineInner && along < lineOuter && std::abs (across) < halfWidth)
        {
            const float wall = across / halfWidth; // -1 .. 1 across the groove
            const Vec3 grooveNormal = normalise ({ -tx * wall * 0.8f, -ty * wall * 0.8f, 1.0f });
            const float nlg = std::max (0.0f, dot (grooveNormal, lightDirection()));
            c = Rgb { 0.05f, 0.05f, 0.055f } * (0.6f + 1.4f * nlg);
        }
    }

    out.add (c, 1.0f);
    return out;
}

void renderFrameInto (juce::Image::BitmapData& data, int left, int frameSize, int degrees)
{
    const float radius = knobRadiusOfFrame * static_cast<float> (frameSize);
    const float centre = 0.5f * static_cast<float> (frameSize);
    const float rot = static_cast<float> (degrees) * pi / 180.0f;
    const int ridges = frameSize >= 80 ? 40 : 32;
    const float weight = 1.0f / static_cast<float> (oversampling * oversampling);

    for (int py = 0; py < frameSize; ++py)
        for (int px = 0; px < frameSize; ++px)
        {
            Rgba sum;
            for (int sy = 0; sy < oversampling; ++sy)
                for (int sx = 0; sx < oversampling; ++sx)
                {
                    const float fx = static_cast<float> (px) + (static_cast<float> (sx) + 0.5f) / oversampling;
                    const float fy = static_cast<float> (py) + (static_cast<float> (sy) + 0.5f) / oversampling;
                    const auto s = shadeSample ((fx - centre) / radius, (fy - centre) / radius, rot, ridges, radius);
                    sum.r += s.r;
                    sum.g += s.g;
                    sum.b += s.b;
                    sum.a += s.a;
                }
            const float a = sum.a * weight;
            const Rgb straight = a > 0.0f ? Rgb { sum.r / sum.a, sum.g / sum.a, sum.b / sum.a } : Rgb { 0, 0, 0 };
            putPixel (data, left + px, py, straight, a);
        }
}
} // namespace

juce::Image renderKnobFrame (int frameSize, int degrees)
{
    juce::Image image (juce::Image::ARGB, frameSize, frameSize, true, juce::SoftwareImageType());
    juce::Image::BitmapData data (image, juce::Image::BitmapData::writeOnly);
    renderFrameInto (data, 0, frameSize, degrees);
    return image;
}

juce::Image renderKnobStrip (int frameSize)
{
    juce::Image image (juce::Image::ARGB, 360 * frameSize, frameSize, true, juce::SoftwareImageType());
    juce::Image::BitmapData data (image, juce::Image::BitmapData::writeOnly);
    for (int k = 0; k < 360; ++k)
        renderFrameInto (data, k * frameSize, frameSize, k);
    return image;
}

} // namespace artgen

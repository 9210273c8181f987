#pragma once
// Shared helpers of the artwork generator: deterministic noise, shaping
// functions, the one light that every picture is lit by, the fonts loaded from
// fixed files, and the writers for the PNG and progressive JPEG outputs.
#include <juce_graphics/juce_graphics.h>

#include <cstdint>

namespace artgen
{

// ---- shaping ---------------------------------------------------------------
inline float clamp01 (float x) noexcept { return x < 0.0f ? 0.0f : (x > 1.0f ? 1.0f : x); }
inline float mix (float a, float b, float t) noexcept { return a + (b - a) * t; }
inline float smoothstep (float e0, float e1, float x) noexcept
{
    const float t = clamp01 ((x - e0) / (e1 - e0));
    return t * t * (3.0f - 2.0f * t);
}

/** A hash of integer coordinates in [0, 1): the same on every run and machine. */
float hashNoise (int x, int y, int seed) noexcept;

/** Smoothly interpolated 1-D value noise in [0, 1) at position x. */
float valueNoise (float x, int seed) noexcept;

// ---- light -----------------------------------------------------------------
struct Vec3
{
    float x, y, z;
};

inline Vec3 normalise (Vec3 v) noexcept
{
    const float len = std::sqrt (v.x * v.x + v.y * v.y + v.z * v.z);
    return { v.x / len, v.y / len, v.z / len };
}
inline float dot (Vec3 a, Vec3 b) noexcept { return a.x * b.x + a.y * b.y + a.z * b.z; }

/** Direction towards the light, image coordinates (x right, y down, z towards the
    viewer): high up, from the top left. Every picture uses this one light so the
    knobs, the switch and the panel agree where their highlights and shadows fall. */
inline Vec3 lightDirection() noexcept { return normalise ({ -0.55f, -0.75f, 1.1f }); }

/** Half vector between the light and a viewer straight above the panel. */
inline Vec3 halfVector() noexcept
{
    const auto l = lightDirection();
    return normalise ({ l.x, l.y, l.z + 1.0f });
}

struct Rgb
{
    float r, g, b;
};
inline Rgb operator* (Rgb c, float k) noexcept { return { c.r * k, c.g * k, c.b * k }; }
inline Rgb operator+ (Rgb a, Rgb b) noexcept { return { a.r + b.r, a.g + b.g, a.b + b.b }; }
inline Rgb mix (Rgb a, Rgb b, float t) noexcept { return { mix (a.r, b.r, t), mix (a.g, b.g, t), mix (a.b, b.b, t) }; }

/** Stores straight (not premultiplied) colour and alpha, each 0..1, as a pixel. */
void putPixel (juce::Image::BitmapData& data, int x, int y, Rgb colour, float alpha) noexcept;

// ---- fonts -----------------------------------------------------------------
enum class Face
{
    sans,
    sansBold,
    condensedBold
};

/** A DejaVu font read from its file; the program stops if the file is missing,
    so a picture is never rendered with a substitute. */
juce::Font font (Face face, float height);

// ---- output ----------------------------------------------------------------
/** 8-bit PNG: RGBA when the image has alpha, else RGB; not interlaced. */
bool writePng (const juce::Image& image, const juce::File& file);

/** Progressive JPEG with three components and no chroma subsampling, so the
    small print stays sharp. */
bool writeProgressiveJpeg (const juce::Image& image, const juce::File& file, int quality);

} // namespace artgen

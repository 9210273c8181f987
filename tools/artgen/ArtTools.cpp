#include "ArtTools.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

extern "C"
{
#include <jpeglib.h>
}

namespace artgen
{

float hashNoise (int x, int y, int seed) noexcept
{
    auto h = static_cast<std::uint32_t> (x) * 0x8da6b343u
             ^ static_cast<std::uint32_t> (y) * 0xd8163841u
             ^ static_cast<std::uint32_t> (seed) * 0xcb1ab31fu;
    h ^= h >> 15;
    h *= 0x2c1b3c6du;
    h ^= h >> 12;
    h *= 0x297a2d39u;
    h ^= h >> 15;
    return static_cast<float> (h >> 8) / 16777216.0f;
}

float valueNoise (float x, int seed) noexcept
{
    const float cell = std::floor (x);
    const auto i = static_cast<int> (cell);
    const float t = x - cell;
    const float s = t * t * (3.0f - 2.0f * t);
    return mix (hashNoise (i, 0, seed), hashNoise (i + 1, 0, seed), s);
}

void putPixel (juce::Image::BitmapData& data, int x, int y, Rgb c, float alpha) noexcept
{
    const float a = clamp01 (alpha);
    auto channel = [a] (float v) { return static_cast<juce::uint8> (std::lround (clamp01 (v) * a * 255.0f)); };
    const auto a8 = static_cast<juce::uint8> (std::lround (a * 255.0f));
    // The image stores premultiplied pixels; round each channel once here rather
    // than letting a colour conversion round twice.
    juce::PixelARGB p (a8, channel (c.r), channel (c.g), channel (c.b));
    if (data.pixelFormat == juce::Image::ARGB)
        *reinterpret_cast<juce::PixelARGB*> (data.getPixelPointer (x, y)) = p;
    else
        reinterpret_cast<juce::PixelRGB*> (data.getPixelPointer (x, y))->set (p);
}

juce::Font font (Face face, float height)
{
    static std::map<Face, juce::Typeface::Ptr> loaded;
    auto& typeface = loaded[face];
    if (typeface == nullptr)
    {
        const char* name = face == Face::sans       ? "DejaVuSans.ttf"
                           : face == Face::sansBold ? "DejaVuSans-Bold.ttf"
                                                    : "DejaVuSansCondensed-Bold.ttf";
        const auto file = juce::File (VRC_FONT_DIR).getChildFile (name);
        juce::MemoryBlock bytes;
        if (! file.loadFileAsData (bytes) || bytes.getSize() == 0)
        {
            std::fprintf (stderr, "vrc_artgen: cannot read %s (install fonts-dejavu-core)\n",
                          file.getFullPathName().toRawUTF8());
            std::exit (2);
        }
        typeface = juce::Typeface::createSystemTypefaceFor (bytes.getData(), bytes.getSize());
    }
    return juce::Font (typeface).withHeight (height);
}

bool writePng (const juce::Image& image, const juce::File& file)
{
    file.deleteFile();
    juce::FileOutputStream out (file);
    if (! out.openedOk())
        return false;
    juce::PNGImageFormat png;
    return png.writeImageToStream (image, out);
}

bool writeProgressiveJpeg (const juce::Image& image, const juce::File& file, int quality)
{
    const int w = image.getWidth(), h = image.getHeight();
    std::vector<unsigned char> rows (static_cast<size_t> (w * h * 3));
    {
        const juce::Image::BitmapData data (image, juce::Image::BitmapData::readOnly);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
            {
                const auto c = data.getPixelColour (x, y);
                auto* p = &rows[static_cast<size_t> ((y * w + x) * 3)];
                p[0] = c.getRed();
                p[1] = c.getGreen();
                p[2] = c.getBlue();
            }
    }

    FILE* out = std::fopen (file.getFullPathName().toRawUTF8(), "wb");
    if (out == nullptr)
        return false;

    jpeg_compress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error (&errors);
    jpeg_create_compress (&info);
    jpeg_stdio_dest (&info, out);
    info.image_width = static_cast<JDIMENSION> (w);
    info.image_height = static_cast<JDIMENSION> (h);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults (&info);
    jpeg_set_quality (&info, quality, TRUE);
    for (int i = 0; i < 3; ++i)
    {
        info.comp_info[i].h_samp_factor = 1;
        info.comp_info[i].v_samp_factor = 1;
    }
    info.optimize_coding = TRUE;
    jpeg_simple_progression (&info);
    jpeg_start_compress (&info, TRUE);
    while (info.next_scanline < info.image_height)
    {
        JSAMPROW row = &rows[static_cast<size_t> (info.next_scanline) * static_cast<size_t> (w * 3)];
        jpeg_write_scanlines (&info, &row, 1);
    }
    jpeg_finish_compress (&info);
    jpeg_destroy_compress (&info);
    return std::fclose (out) == 0;
}

} // namespace artgen

// vrc_artgen: renders the plug-in's embedded pictures.
//   vrc_artgen <resources-dir> [--docs <docs-dir>]
// Writes knobStrip80.png, knobStrip64.png, curveSwitchOff.png, curveSwitchOn.png,
// keyLamp.png and background.jpg; the same program on the same system writes the
// same bytes.
#include "ArtTools.h"
#include "DocsArt.h"
#include "KeyLampArt.h"
#include "KnobArt.h"
#include "PanelArt.h"
#include "SwitchArt.h"

#include <cstdio>

namespace
{
bool report (bool ok, const juce::File& file)
{
    std::printf ("%s %s\n", ok ? "wrote" : "FAILED", file.getFullPathName().toRawUTF8());
    return ok;
}
} // namespace

int main (int argc, char** argv)
{
    if (argc != 2 && ! (argc == 4 && juce::String (argv[2]) == "--docs"))
    {
        std::fprintf (stderr, "usage: vrc_artgen <resources-dir> [--docs <docs-dir>]\n");
        return 2;
    }

    const auto cwd = juce::File::getCurrentWorkingDirectory();
    const auto outDir = cwd.getChildFile (argv[1]);
    outDir.createDirectory();

    const auto strip80 = artgen::renderKnobStrip (80);
    const auto strip64 = artgen::renderKnobStrip (64);
    const auto switchOff = artgen::renderSwitch (false);
    const auto switchOn = artgen::renderSwitch (true);
    const auto background = artgen::renderBackground();

    bool ok = true;
    auto png = [&] (const juce::Image& image, const char* name)
    {
        const auto file = outDir.getChildFile (name);
        ok = report (artgen::writePng (image, file), file) && ok;
    };
    png (strip80, "knobStrip80.png");
    png (strip64, "knobStrip64.png");
    png (switchOff, "curveSwitchOff.png");
    png (switchOn, "curveSwitchOn.png");
    png (artgen::renderKeyLamp(), "keyLamp.png");
    const auto jpegFile = outDir.getChildFile ("background.jpg");
    ok = report (artgen::writeProgressiveJpeg (background, jpegFile, 93), jpegFile) && ok;

    if (argc == 4 && ok)
    {
        // The README pictures show the background as the plug-in decodes it.
        const auto docsDir = cwd.getChildFile (argv[3]);
        docsDir.createDirectory();
        const auto shown = juce::ImageFileFormat::loadFrom (jpegFile);
        auto docPng = [&] (const juce::Image& image, const char* name)
        {
            const auto file = docsDir.getChildFile (name);
            ok = report (artgen::writePng (image, file), file) && ok;
        };
        docPng (shown, "background.png");
        docPng (artgen::composeKnobSheet (shown, strip80, strip64), "knobs.png");
        docPng (artgen::composePreview (shown, strip80, strip64, switchOff), "preview.png");
    }
    return ok ? 0 : 1;
}

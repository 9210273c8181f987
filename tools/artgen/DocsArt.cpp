#include "DocsArt.h"

#include "ArtTools.h"
#include "editor/NeedleGeometry.h"
#include "editor/PanelLayout.h"

#include <utility>

namespace artgen
{
namespace
{
void drawFrame (juce::Graphics& g, const juce::Image& strip, int size, int frame, int x, int y)
{
    g.drawImage (strip, x, y, size, size, frame * size, 0, size, size, false);
}
} // namespace

juce::Image composeKnobSheet (const juce::Image& background, const juce::Image& strip80, const juce::Image& strip64)
{
    // Slider positions 0, 0.25, 0.5, 0.75 and 1 and the frames they show.
    constexpr int frames[] = { 216, 288, 0, 71, 144 };
    const char* positions[] = { "0", "0.25", "0.5", "0.75", "1" };
    constexpr int cell = 96;
    juce::Image sheet (juce::Image::RGB, cell * 5, 200, true, juce::SoftwareImageType());
    juce::Graphics g (sheet);
    // A plain stretch of the panel (between the knob columns) as the ground.
    for (int x = 0; x < sheet.getWidth(); x += 12)
        g.drawImage (background, x, 0, 12, 200, 462, 0, 12, 200, false);

    g.setFont (font (Face::sans, 9.0f));
    for (int i = 0; i < 5; ++i)
    {
        drawFrame (g, strip80, 80, frames[i], i * cell + 8, 6);
        drawFrame (g, strip64, 64, frames[i], i * cell + 16, 104);
        g.setColour (juce::Colour (0xffa9a49a));
        const auto caption = juce::String (positions[i]) + "  (frame " + juce::String (frames[i]) + ")";
        g.drawText (caption, juce::Rectangle<int> (i * cell, 86, cell, 12), juce::Justification::centred, false);
        g.drawText (caption, juce::Rectangle<int> (i * cell, 172, cell, 12), juce::Justification::centred, false);
    }
    return sheet;
}

juce::Image composePreview (const juce::Image& background, const juce::Image& strip80, const juce::Image& strip64,
                            const juce::Image& switchOff)
{
    juce::Image preview = background.createCopy();
    juce::Graphics g (preview);
    // Each knob at a frame of its own, so the preview shows the strips' range.
    using vrc::ParameterId;
    const std::pair<ParameterId, int> shown[] = { { ParameterId::threshold, 312 }, { ParameterId::ratio, 4 },
                                                  { ParameterId::gain, 331 },      { ParameterId::dryWet, 144 },
                                                  { ParameterId::attack, 294 },    { ParameterId::release, 262 },
                                                  { ParameterId::knee, 55 } };
    for (const auto& [id, frame] : shown)
    {
        const auto r = vrc::knobBounds (id);
        drawFrame (g, r.width == 80 ? strip80 : strip64, r.width, frame, r.x, r.y);
    }
    g.drawImageAt (switchOff, vrc::curveSwitchBounds.x, vrc::curveSwitchBounds.y);

    // Needles as the editor draws them: 1 pixel, dark red-brown.
    g.setColour (juce::Colour (0xff5b1d08));
    for (auto [s, pivotY, innerY] : { std::tuple<float, float, float> { -4.5f, vrc::upperPivotY, vrc::upperInnerY },
                                      std::tuple<float, float, float> { -3.0f, vrc::lowerPivotY, vrc::lowerInnerY } })
    {
        const auto l = vrc::needleLine (s, pivotY, innerY);
        g.drawLine (l.innerX, l.innerY, l.outerX, l.outerY);
    }
    return preview;
}

} // namespace artgen

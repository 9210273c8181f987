#include "KeyLampArt.h"

#include "ArtTools.h"

namespace artgen
{
namespace
{
// Warm amber, as an indicator lamp on a dark panel; the logo's copper rule is its darker kin.
const juce::Colour lampInk { 0xffffb347 };
const juce::Colour windowFill { 0xff141210 };

void drawLabel (juce::Graphics& g, juce::Rectangle<float> box, juce::Colour colour)
{
    g.setColour (colour);
    g.drawText ("SIDECHAIN", box, juce::Justification::centred, false);
}
} // namespace

juce::Image renderKeyLamp()
{
    juce::Image image (juce::Image::ARGB, keyLampWidth, keyLampHeight, true, juce::SoftwareImageType());
    juce::Graphics g (image);
    const auto bounds = image.getBounds().toFloat();

    // A recessed window: dark fill, a shadowed upper edge and a faint lit lower edge.
    g.setColour (windowFill);
    g.fillRoundedRectangle (bounds.reduced (0.5f), 3.0f);
    g.setColour (juce::Colour (0x90000000));
    g.drawLine (3.0f, 1.0f, bounds.getWidth() - 3.0f, 1.0f, 1.0f);
    g.setColour (juce::Colour (0x28ffffff));
    g.drawRoundedRectangle (bounds.reduced (0.5f), 3.0f, 0.7f);

    // The glow: the print spread around itself at low opacity, then the print.
    g.setFont (font (Face::sansBold, 8.0f).withExtraKerningFactor (0.2f));
    const auto text = bounds.translated (0.0f, 0.5f);
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -2; dx <= 2; ++dx)
            if (dx != 0 || dy != 0)
                drawLabel (g, text.translated ((float) dx * 0.6f, (float) dy * 0.6f), lampInk.withAlpha (0.12f));
    drawLabel (g, text, lampInk);
    return image;
}

} // namespace artgen

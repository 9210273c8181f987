#include "MeterArt.h"

#include "ArtTools.h"
#include "editor/NeedleGeometry.h"

#include <cmath>

namespace artgen
{
namespace
{
struct MeterFace
{
    juce::Rectangle<int> face; // the visible card behind the glass
    float pivotY, innerY;      // needle geometry of this meter
    const char* title;
    bool redZone;              // over 0 dB the input is hot; gain cannot rise above 0 dB
};

const MeterFace upper { { 626, 8, 156, 86 }, vrc::upperPivotY, vrc::upperInnerY, "INPUT", true };
const MeterFace lower { { 626, 104, 156, 90 }, vrc::lowerPivotY, vrc::lowerInnerY, "GAIN REDUCTION", false };

constexpr float scaleMarks[] = { -20, -10, -7, -5, -4, -3, -2, -1, 0, 1, 2, 3 };

const juce::Colour printColour { 0xff2a211b };
const juce::Colour redPrint { 0xffb3261a };
const juce::Colour shroudColour { 0xff161412 };

/** Where the needle for level s points: its tip, and the unit direction it points in. */
std::pair<juce::Point<float>, juce::Point<float>> needleTip (const MeterFace& m, float s)
{
    const auto l = vrc::needleLine (s, m.pivotY, m.innerY);
    const juce::Point<float> inner { l.innerX, l.innerY }, outer { l.outerX, l.outerY };
    const auto d = outer - inner;
    return { outer, d / d.getDistanceFromOrigin() };
}

/** Cream card: warm in the middle, slightly darker towards the edges, a faint
    paper grain, and the shade that the bezel's top and left walls cast on it. */
void paintCard (juce::Image& image, const MeterFace& m)
{
    juce::Image::BitmapData data (image, juce::Image::BitmapData::readWrite);
    const Rgb cream { 0.955f, 0.925f, 0.835f };
    const auto r = m.face;
    for (int y = r.getY(); y < r.getBottom(); ++y)
        for (int x = r.getX(); x < r.getRight(); ++x)
        {
            const float dx = (static_cast<float> (x) + 0.5f - static_cast<float> (r.getCentreX())) / (0.5f * static_cast<float> (r.getWidth()));
            const float dy = (static_cast<float> (y) + 0.5f - static_cast<float> (r.getY()) - 0.35f * static_cast<float> (r.getHeight())) / static_cast<float> (r.getHeight());
            float k = 1.0f - 0.10f * (dx * dx) - 0.12f * (dy * dy);
            k *= 0.985f + 0.03f * hashNoise (x, y, 21);
            const float top = static_cast<float> (y - r.getY()) + 0.5f, left = static_cast<float> (x - r.getX()) + 0.5f;
            k *= 1.0f - 0.42f * std::exp (-top / 2.2f) - 0.28f * std::exp (-left / 2.0f);
            putPixel (data, x, y, cream * k, 1.0f);
        }
}

void drawShroud (juce::Graphics& g, const MeterFace& m)
{
    // The hood over the pivot starts right where the needle's visible part ends.
    const auto card = m.face.toFloat();
    const juce::Rectangle<float> hood (card.getX(), m.innerY + 1.0f, card.getWidth(), card.getBottom() - m.innerY - 1.0f);
    g.setGradientFill (juce::ColourGradient::vertical (shroudColour.brighter (0.35f), hood.getY(), shroudColour, hood.getBottom()));
    g.fillRect (hood);
    // Its rounded top edge catches the light and casts a soft shade on the card above.
    g.setColour (juce::Colour (0x66ffffff));
    g.fillRect (hood.withHeight (1.0f));
    g.setGradientFill (juce::ColourGradient::vertical (juce::Colour (0x00000000), hood.getY() - 3.0f, juce::Colour (0x38000000), hood.getY()));
    g.fillRect (juce::Rectangle<float> (card.getX(), hood.getY() - 3.0f, card.getWidth(), 3.0f));
}

void drawScale (juce::Graphics& g, const MeterFace& m)
{
    const juce::Point<float> pivot { vrc::needlePivotX, m.pivotY };
    const float radius = 83.0f;
    const auto angleOf = [&] (float s) { return static_cast<float> (vrc::needleLine (s, m.pivotY, m.innerY).angle); };

    // The arc the needle tip travels along, from -20 to +3 dB.
    juce::Path arc;
    arc.addCentredArc (pivot.x, pivot.y, radius, radius, 0.0f, angleOf (-20.0f), angleOf (3.0f), true);
    g.setColour (printColour);
    g.strokePath (arc, juce::PathStrokeType (1.0f));

    if (m.redZone)
    {
        juce::Path hot;
        hot.addCentredArc (pivot.x, pivot.y, radius + 2.2f, radius + 2.2f, 0.0f, angleOf (0.0f), angleOf (3.0f), true);
        g.setColour (redPrint);
        g.strokePath (hot, juce::PathStrokeType (3.0f, juce::PathStrokeType::mitered, juce::PathStrokeType::butt));
    }

    // Each mark lies on the needle's own line through its tip (the needle does not
    // point at its pivot), so the needle covers the mark exactly.
    const auto numberFont = font (Face::sans, 8.5f);
    g.setFont (numberFont);
    for (float s : scaleMarks)
    {
        const auto [tip, dir] = needleTip (m, s);
        const bool hot = m.redZone && s > 0.0f;
        const bool major = s == -20.0f || s == -10.0f || s == -5.0f || s == 0.0f || s == 3.0f;
        g.setColour (hot ? redPrint : printColour);
        g.drawLine ({ tip - dir * 1.0f, tip + dir * (major ? 6.0f : 4.5f) }, major ? 1.4f : 1.0f);

        const auto text = juce::String (static_cast<int> (std::abs (s)));
        const auto at = tip + dir * 11.5f;
        const float w = numberFont.getStringWidthFloat (text) + 2.0f;
        g.drawText (text, juce::Rectangle<float> (w, 9.0f).withCentre (at), juce::Justification::centred, false);
    }

    // Minus and plus beside the numbers at the two ends of the scale.
    const auto signFont = font (Face::sansBold, 9.0f);
    g.setFont (signFont);
    const auto [lowTip, lowDir] = needleTip (m, -20.0f);
    g.setColour (printColour);
    g.drawText (juce::String::charToString (0x2212), juce::Rectangle<float> (10.0f, 10.0f).withCentre (lowTip + lowDir * 11.5f + juce::Point<float> (-10.0f, 0.0f)), juce::Justification::centred, false);
    const auto [highTip, highDir] = needleTip (m, 3.0f);
    g.setColour (m.redZone ? redPrint : printColour);
    g.drawText ("+", juce::Rectangle<float> (10.0f, 10.0f).withCentre (highTip + highDir * 11.5f + juce::Point<float> (8.0f, 0.0f)), juce::Justification::centred, false);

    // Title and unit in the quiet space between the scale and the hood.
    const auto titleFont = font (Face::sansBold, 8.5f).withExtraKerningFactor (0.14f);
    g.setFont (titleFont);
    g.setColour (printColour);
    g.drawText (m.title, juce::Rectangle<float> (pivot.x - 60.0f, m.innerY - 23.0f, 120.0f, 10.0f), juce::Justification::centred, false);
    g.setFont (font (Face::sans, 7.5f));
    g.setColour (printColour.withAlpha (0.8f));
    g.drawText ("dB", juce::Rectangle<float> (pivot.x - 20.0f, m.innerY - 13.0f, 40.0f, 9.0f), juce::Justification::centred, false);
}

void drawGlassAndBezel (juce::Graphics& g, const MeterFace& m)
{
    const auto card = m.face.toFloat();

    // A faint reflection across the glass, brightest towards the light.
    juce::ColourGradient glint (juce::Colour (0x1cffffff), card.getX(), card.getY(),
                                juce::Colour (0x00ffffff), card.getX() + card.getWidth() * 0.55f, card.getBottom(), false);
    g.setGradientFill (glint);
    g.fillRect (card);

    const auto frame = card.expanded (3.0f);
    // Shadow of the bezel on the panel, down and to the right.
    for (int i = 1; i <= 3; ++i)
    {
        g.setColour (juce::Colours::black.withAlpha (0.16f));
        g.drawRoundedRectangle (frame.translated (0.6f * static_cast<float> (i), 0.9f * static_cast<float> (i)).expanded (0.5f), 3.5f, 1.2f);
    }
    // The bezel: a dark metal frame lit from the top left.
    juce::Path ring;
    ring.setUsingNonZeroWinding (false);
    ring.addRoundedRectangle (frame, 3.5f);
    ring.addRectangle (card);
    g.setGradientFill (juce::ColourGradient (juce::Colour (0xff6a6c71), frame.getX(), frame.getY(),
                                             juce::Colour (0xff1b1c1f), frame.getRight(), frame.getBottom(), false));
    g.fillPath (ring);
    g.setColour (juce::Colour (0xff0b0b0c));
    g.drawRoundedRectangle (frame.expanded (0.5f), 4.0f, 1.0f);
    g.setColour (juce::Colour (0xc0000000));
    g.drawRect (card.expanded (0.5f), 1.0f);
}

void drawMeter (juce::Image& image, const MeterFace& m)
{
    paintCard (image, m);
    juce::Graphics g (image);
    {
        const juce::Graphics::ScopedSaveState clipped (g);
        g.reduceClipRegion (m.face);
        drawScale (g, m);
        drawShroud (g, m);
    }
    drawGlassAndBezel (g, m);
}
} // namespace

void drawMeters (juce::Image& panel)
{
    drawMeter (panel, upper);
    drawMeter (panel, lower);
}

} // namespace artgen

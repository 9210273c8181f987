#include "PanelArt.h"

#include "ArtTools.h"
#include "MeterArt.h"
#include "editor/PanelLayout.h"

#include <cmath>
#include <vector>

namespace artgen
{
namespace
{
constexpr float pi = 3.14159265358979f;

// Ink colours of the print on the panel.
const juce::Colour ink { 0xffe2ddd2 };
const juce::Colour dimInk { 0xffa9a49a };

// Where the editor puts its controls; the print is laid out around them.
struct KnobPrint
{
    juce::Rectangle<float> bounds;
    const char* name;
    std::vector<std::pair<float, juce::String>> marks; // slider position 0..1 and its text
};

const juce::String minus = juce::String::charToString (0x2212);

juce::Rectangle<float> boundsOf (vrc::PanelRect r) noexcept
{
    return juce::Rectangle<int> (r.x, r.y, r.width, r.height).toFloat();
}

/** The scale printed around a parameter's knob. */
std::vector<std::pair<float, juce::String>> scaleMarks (vrc::ParameterId id)
{
    using vrc::ParameterId;
    switch (id)
    {
        case ParameterId::threshold: return { { 0.0f, "0" }, { 0.25f, minus + "10" }, { 0.5f, minus + "20" }, { 0.75f, minus + "30" }, { 1.0f, minus + "40" } };
        case ParameterId::ratio: return { { 0.0f, "2:1" }, { 0.8f, "10:1" } }; // 10:1 removes 0.9 of the excess
        case ParameterId::gain: return { { 0.0f, minus + "20" }, { 0.4f, "0" }, { 1.0f, "30" } };
        case ParameterId::attack: return { { 0.0f, "fast" }, { 1.0f, "slow" } };
        case ParameterId::release: return { { 0.0f, "fast" }, { 1.0f, "slow" } };
        case ParameterId::knee: return { { 0.0f, "soft" }, { 1.0f, "hard" } };
        case ParameterId::dryWet: return { { 0.0f, "dry" }, { 1.0f, "wet" } };
        case ParameterId::curve: break; // a switch, printed by drawSwitchPrint
    }
    return {};
}

/** Every knob of the panel, named as the parameter table labels it. */
std::vector<KnobPrint> knobPrints()
{
    std::vector<KnobPrint> prints;
    for (const auto& p : vrc::parameterTable)
        if (! p.enumeration)
            prints.push_back ({ boundsOf (vrc::knobBounds (p.id)), p.label, scaleMarks (p.id) });
    return prints;
}

const juce::Rectangle<float> switchBounds = boundsOf (vrc::curveSwitchBounds);
const juce::Rectangle<float> logoArea = boundsOf (vrc::logoBounds); // the editor's web link

// The knob fills 0.37 of its frame (the rest is its shadow); the scale starts
// just outside it. Same sweep as the sliders: 7 o'clock to 5 o'clock.
constexpr float knobRadiusOfFrame = 0.37f;
float sweepAngle (float position) noexcept { return (-0.8f + 1.6f * position) * pi; }

juce::Point<float> onCircle (juce::Point<float> centre, float radius, float angle) noexcept
{
    return { centre.x + radius * std::sin (angle), centre.y - radius * std::cos (angle) };
}

void paintPanelBase (juce::Image& image)
{
    juce::Image::BitmapData data (image, juce::Image::BitmapData::writeOnly);
    const Rgb base { 0.168f, 0.170f, 0.180f };
    for (int y = 0; y < panelHeight; ++y)
    {
        const float fy = static_cast<float> (y) / panelHeight;
        for (int x = 0; x < panelWidth; ++x)
        {
            const float fx = static_cast<float> (x) / panelWidth;
            // Broad light from the top left, falling off towards the bottom right.
            const float light = 1.16f - 0.20f * fx - 0.30f * fy + 0.06f * std::exp (-((fx - 0.2f) * (fx - 0.2f) * 6.0f + fy * fy * 3.0f));
            // Horizontal brushing: streaks that run along a row and change slowly.
            const float streak = valueNoise (static_cast<float> (x) / 55.0f + static_cast<float> (y) * 7.31f, y);
            const float grain = hashNoise (x, y, 5) - 0.5f;
            float k = light * (0.955f + 0.07f * streak + 0.035f * grain);

            // Rounded edge of the panel: lit along the top and left, shaded along
            // the bottom and right.
            if (y < 2 || x < 2)
                k *= (y == 0 || x == 0) ? 1.45f : 1.2f;
            if (y >= panelHeight - 2 || x >= panelWidth - 2)
                k *= (y == panelHeight - 1 || x == panelWidth - 1) ? 0.45f : 0.7f;
            putPixel (data, x, y, base * k, 1.0f);
        }
    }
}

/** An engraved vertical groove: its left wall in shade, its right wall lit. */
void drawGroove (juce::Graphics& g, float x, float top, float bottom)
{
    g.setGradientFill (juce::ColourGradient::vertical (juce::Colour (0x70000000), top, juce::Colour (0x50000000), bottom));
    g.fillRect (juce::Rectangle<float> (x, top, 1.0f, bottom - top));
    g.setGradientFill (juce::ColourGradient::vertical (juce::Colour (0x30ffffff), top, juce::Colour (0x14ffffff), bottom));
    g.fillRect (juce::Rectangle<float> (x + 1.0f, top, 1.0f, bottom - top));
}

void drawScrew (juce::Graphics& g, juce::Point<float> c, float slotAngle)
{
    const float r = 4.6f;
    // Shadow cast down-right, then the countersink ring and the domed head.
    for (int i = 4; i >= 1; --i)
    {
        g.setColour (juce::Colours::black.withAlpha (0.12f));
        g.fillEllipse (juce::Rectangle<float> (2 * (r + 0.4f * static_cast<float> (i)), 2 * (r + 0.4f * static_cast<float> (i))).withCentre (c.translated (0.9f, 1.3f)));
    }
    g.setColour (juce::Colour (0xff0c0c0d));
    g.fillEllipse (juce::Rectangle<float> (2 * r + 1.2f, 2 * r + 1.2f).withCentre (c));
    juce::ColourGradient head (juce::Colour (0xffb9bbbf), c.x - r * 0.7f, c.y - r * 0.7f,
                               juce::Colour (0xff3a3b3e), c.x + r * 0.8f, c.y + r * 0.9f, false);
    head.addColour (0.45, juce::Colour (0xff7d7f84));
    g.setGradientFill (head);
    g.fillEllipse (juce::Rectangle<float> (2 * r, 2 * r).withCentre (c));

    // Cross recess: dark slots whose lower-right walls catch the light.
    for (float a : { slotAngle, slotAngle + pi * 0.5f })
    {
        const juce::Point<float> d { std::cos (a) * (r - 1.2f), std::sin (a) * (r - 1.2f) };
        g.setColour (juce::Colour (0x90ffffff));
        g.drawLine ({ c - d + juce::Point<float> (0.5f, 0.6f), c + d + juce::Point<float> (0.5f, 0.6f) }, 1.0f);
        g.setColour (juce::Colour (0xff17181a));
        g.drawLine ({ c - d, c + d }, 1.5f);
    }
}

void drawCentredText (juce::Graphics& g, const juce::String& text, juce::Point<float> centre,
                      const juce::Font& f, juce::Colour colour)
{
    const float w = f.getStringWidthFloat (text) + 2.0f;
    const float h = f.getHeight();
    g.setFont (f);
    g.setColour (colour);
    g.drawText (text, juce::Rectangle<float> (w, h).withCentre (centre), juce::Justification::centred, false);
}

void drawKnobPrint (juce::Graphics& g, const KnobPrint& knob)
{
    const auto centre = knob.bounds.getCentre();
    const float size = knob.bounds.getWidth();
    const float knobRadius = knobRadiusOfFrame * size;
    const bool big = size >= 80.0f;
    const float tickInner = knobRadius + 3.2f;
    const float tickMinor = tickInner + 2.6f, tickMajor = tickInner + 4.6f;

    // Eleven ticks over the sweep; the printed positions get long ticks.
    for (int i = 0; i <= 10; ++i)
    {
        const float p = static_cast<float> (i) / 10.0f;
        bool major = false;
        for (auto& m : knob.marks)
            major = major || std::abs (m.first - p) < 1.0e-4f;
        const float a = sweepAngle (p);
        g.setColour (major ? ink : dimInk);
        g.drawLine ({ onCircle (centre, tickInner, a), onCircle (centre, major ? tickMajor : tickMinor, a) },
                    major ? 1.3f : 1.0f);
    }

    // Scale texts just outside the ticks, pushed outwards by half their own size
    // so they never touch the tick ends.
    const auto scaleFont = font (Face::sans, big ? 9.5f : 9.0f);
    for (auto& [position, text] : knob.marks)
    {
        const float a = sweepAngle (position);
        const auto anchor = onCircle (centre, tickMajor + 2.5f, a);
        const float w = scaleFont.getStringWidthFloat (text), h = scaleFont.getAscent() * 0.9f;
        const juce::Point<float> push { std::sin (a) * w * 0.5f, -std::cos (a) * h * 0.55f };
        drawCentredText (g, text, anchor + push + juce::Point<float> (0.0f, 0.5f), scaleFont, dimInk.brighter (0.15f));
    }

    // The name above the knob.
    const auto nameFont = font (Face::sansBold, big ? 10.0f : 9.0f).withExtraKerningFactor (0.12f);
    const float nameY = big ? centre.y - knobRadius - 29.0f : knob.bounds.getY() - 9.5f;
    drawCentredText (g, knob.name, { centre.x, nameY }, nameFont, ink);
}

void drawSwitchPrint (juce::Graphics& g)
{
    const auto nameFont = font (Face::sansBold, 9.0f).withExtraKerningFactor (0.12f);
    drawCentredText (g, vrc::parameterInfo (vrc::ParameterId::curve).label, { switchBounds.getCentreX(), switchBounds.getY() - 8.0f },
                     nameFont, ink);

    const auto scaleFont = font (Face::sans, 9.0f);
    const float x = switchBounds.getRight() + 5.0f;
    for (auto [text, y] : { std::pair<const char*, float> { vrc::curveLabels[0], switchBounds.getY() + 14.0f },
                            std::pair<const char*, float> { vrc::curveLabels[1], switchBounds.getBottom() - 14.0f } })
    {
        // A short leader from the switch to each word.
        g.setColour (dimInk);
        g.drawLine (x, y, x + 4.0f, y, 1.0f);
        g.setFont (scaleFont);
        g.setColour (dimInk.brighter (0.15f));
        g.drawText (text, juce::Rectangle<float> (x + 7.0f, y - 6.0f, 40.0f, 12.0f), juce::Justification::centredLeft, false);
    }
}

void drawLogo (juce::Graphics& g)
{
    const auto centreX = logoArea.getCentreX();

    // The name, embossed: a dark shadow below-right, a faint light edge above-left.
    const auto nameFont = font (Face::condensedBold, 25.0f);
    const juce::Rectangle<float> nameBox (logoArea.getX() - 10.0f, logoArea.getY() + 8.0f, logoArea.getWidth() + 20.0f, 26.0f);
    g.setFont (nameFont);
    g.setColour (juce::Colour (0xa0000000));
    g.drawText ("VR-C", nameBox.translated (0.8f, 1.2f), juce::Justification::centred, false);
    g.setColour (juce::Colour (0x30ffffff));
    g.drawText ("VR-C", nameBox.translated (-0.5f, -0.6f), juce::Justification::centred, false);
    g.setColour (juce::Colour (0xffeae5da));
    g.drawText ("VR-C", nameBox, juce::Justification::centred, false);

    // A thin copper rule, then what it is.
    g.setColour (juce::Colour (0xffb0623a));
    g.fillRect (juce::Rectangle<float> (centreX - 24.0f, logoArea.getY() + 38.0f, 48.0f, 1.2f));
    const auto small = font (Face::sansBold, 7.5f).withExtraKerningFactor (0.22f);
    drawCentredText (g, "COMPRESSOR", { centreX + 1.0f, logoArea.getY() + 46.5f }, small, dimInk);
    // The origin line sits at the foot of the column, clear of the web link.
    const auto origin = font (Face::sans, 8.5f).withExtraKerningFactor (0.06f);
    drawCentredText (g, juce::String ("veskara ") + juce::String::charToString (0x00b7) + " dynamics",
                     { centreX, 183.0f }, origin, dimInk.darker (0.1f));
}
} // namespace

juce::Image renderBackground()
{
    juce::Image image (juce::Image::RGB, panelWidth, panelHeight, true, juce::SoftwareImageType());
    paintPanelBase (image);
    {
        juce::Graphics g (image);
        g.setImageResamplingQuality (juce::Graphics::highResamplingQuality);

        drawGroove (g, 118.0f, 14.0f, 186.0f);
        for (auto& knob : knobPrints())
            drawKnobPrint (g, knob);
        drawSwitchPrint (g);
        drawLogo (g);

        drawScrew (g, { 11.0f, 11.0f }, 0.35f);
        drawScrew (g, { 11.0f, 189.0f }, 1.1f);
        drawScrew (g, { 607.0f, 11.0f }, 0.8f);
        drawScrew (g, { 607.0f, 189.0f }, 0.1f);
    }
    drawMeters (image);
    return image;
}

} // namespace artgen

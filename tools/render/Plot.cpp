#include "Plot.h"

#include "AtomicFile.h"
#include "Options.h"
#include "Settings.h"
#include "RenderFonts.h"

#include "CompressorEngine.h"
#include "processor/EngineSettings.h"
#include "TransferCurves.h"

#include <cmath>

namespace vrc::render
{

namespace
{
constexpr int imageWidth = 1320, imageHeight = 580;
const juce::Rectangle<int> curveArea { 90, 118, 400, 400 };
const juce::Rectangle<int> waveArea { 590, 118, plotTimelineColumns, 190 };
const juce::Rectangle<int> gainArea { 590, 348, plotTimelineColumns, 170 };

const juce::Colour background (0xffffffff), panel (0xfff6f7fa), grid (0xffdfe2ea), ink (0xff23262e),
    softInk (0xff6b7080), inputColour (0xff3a3f4c), outputColour (0xff2f6fd6), activeColour (0xffe0532f),
    inactiveColour (0xff8d93a8);

/** DejaVu Sans from the program's own bytes, so the picture has its labels and
    looks the same on every machine, whatever fonts it has installed. */
juce::Font plotFont (bool bold, float height)
{
    static const juce::Typeface::Ptr regular
        = juce::Typeface::createSystemTypefaceFor (RenderFonts::DejaVuSans_ttf, (size_t) RenderFonts::DejaVuSans_ttfSize);
    static const juce::Typeface::Ptr heavy
        = juce::Typeface::createSystemTypefaceFor (RenderFonts::DejaVuSansBold_ttf, (size_t) RenderFonts::DejaVuSansBold_ttfSize);
    return juce::Font (bold ? heavy : regular).withHeight (height);
}

/** Both curves' settings as the engine derives them, for one curve selector. */
struct CurveView
{
    CurveSettings settings;
    float makeup = 1.0f, wet = 1.0f;
    bool decibel = false;
};

CurveView curveFor (const SettingsValues& s, float curveSelector)
{
    // A scratch engine derives the knee width, threshold and make-up amplitudes
    // exactly as the processor's engine does.
    auto values = s;
    values[static_cast<size_t> (ParameterId::curve)] = curveSelector;
    CompressorEngine e;
    applySettings (e, values);
    return { e.curveSettings(), e.getMakeupGain(), e.getDryWet(), e.getCurve() != 0 };
}

/** Output level in dB of a steady input level in dB: envelope settled at the input's amplitude. */
double staticOutputDb (const CurveView& v, double inputDb)
{
    const auto x = static_cast<float> (std::pow (10.0, inputDb / 20.0));
    const float g = v.decibel ? DecibelCurve (v.settings).gain (x) : LinearCurve (v.settings).gain (x);
    // The engine's own order of operations for a wet and a dry share.
    const float out = ((x * v.makeup) * g) * v.wet + (1.0f - v.wet) * x;
    return 20.0 * std::log10 (std::max (static_cast<double> (std::fabs (out)), 1.0e-12));
}

std::string dbText (double v)
{
    const auto r = static_cast<long> (std::lround (v));
    return r > 0 ? "+" + std::to_string (r) : (r < 0 ? "\xe2\x88\x92" + std::to_string (-r) : "0");
}

float mapValue (double v, double from, double to, float a, float b)
{
    return a + static_cast<float> ((v - from) / (to - from)) * (b - a);
}

void drawText (juce::Graphics& g, const std::string& text, juce::Rectangle<float> box,
               juce::Justification just, float height, juce::Colour colour, bool bold = false)
{
    g.setColour (colour);
    g.setFont (plotFont (bold, height));
    g.drawText (juce::String::fromUTF8 (text.c_str()), box, just, false);
}

void drawVerticalLabel (juce::Graphics& g, const std::string& text, float centreX, float centreY)
{
    juce::GlyphArrangement glyphs;
    const auto font = plotFont (false, 14.0f);
    const auto label = juce::String::fromUTF8 (text.c_str());
    glyphs.addLineOfText (font, label, 0.0f, 0.0f);
    const float w = font.getStringWidthFloat (label);
    g.setColour (ink);
    glyphs.draw (g, juce::AffineTransform::translation (-w / 2.0f, 5.0f)
                        .rotated (-juce::MathConstants<float>::halfPi)
                        .translated (centreX, centreY));
}

void fillPanel (juce::Graphics& g, juce::Rectangle<int> area)
{
    g.setColour (panel);
    g.fillRect (area);
}

void outlinePanel (juce::Graphics& g, juce::Rectangle<int> area)
{
    g.setColour (grid.darker (0.3f));
    g.drawRect (area, 1);
}

/** A round step giving about `wanted` ticks over span. */
double niceStep (double span, int wanted)
{
    static const double steps[] = { 0.05, 0.1, 0.2, 0.25, 0.5, 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 1200, 3600 };
    for (double s : steps)
        if (span / s <= wanted)
            return s;
    return span / wanted;
}

std::string timeText (double seconds, double step)
{
    if (step < 1.0)
        return juce::String (seconds, step < 0.1 ? 2 : 1).toStdString() + " s";
    if (seconds >= 60.0 && step >= 60.0)
        return std::to_string (static_cast<long> (seconds) / 60) + " min";
    return std::to_string (static_cast<long> (std::lround (seconds))) + " s";
}

/** The transfer panel's scales, and both curves sampled across its input axis. */
struct TransferView
{
    double thresholdDb = 0.0, xMin = -60.0, xMax = 0.0, yMin = -60.0, yMax = 6.0;
    int activeIndex = 0;
    std::vector<double> outputs[2]; // output level per column, for curve 0 and 1
    juce::Rectangle<float> r = curveArea.toFloat();

    float px (double x) const { return mapValue (x, xMin, xMax, r.getX(), r.getRight()); }
    float py (double y) const { return mapValue (y, yMin, yMax, r.getBottom(), r.getY()); }
};

TransferView transferViewFor (const SettingsValues& settings)
{
    TransferView v;
    const float selector = settings[static_cast<size_t> (ParameterId::curve)];
    const CurveView views[] = { curveFor (settings, 0.0f), curveFor (settings, 1.0f) };
    v.activeIndex = curveFor (settings, selector).decibel ? 1 : 0;

    // Input axis: from well below the threshold up to full scale.
    v.thresholdDb = settings[static_cast<size_t> (ParameterId::threshold)];
    v.xMin = std::min (-60.0, std::floor ((v.thresholdDb - 24.0) / 12.0) * 12.0);
    double yLow = 1.0e9, yHigh = -1.0e9;
    const int steps = curveArea.getWidth();
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i <= steps; ++i)
        {
            const double y = staticOutputDb (views[c], v.xMin + (v.xMax - v.xMin) * i / steps);
            v.outputs[c].push_back (y);
            yLow = std::min (yLow, y);
            yHigh = std::max (yHigh, y);
        }
    v.yMin = std::max (std::min (v.xMin, std::floor (yLow / 12.0) * 12.0), v.xMin - 36.0);
    v.yMax = std::max (6.0, std::ceil ((yHigh + 1.0) / 6.0) * 6.0);
    return v;
}

void drawTransferGrid (juce::Graphics& g, const TransferView& v)
{
    const auto& r = v.r;
    for (double x = v.xMin; x <= v.xMax + 1e-9; x += 6.0)
    {
        g.setColour (grid);
        g.drawVerticalLine (static_cast<int> (v.px (x)), r.getY(), r.getBottom());
        if (std::fmod (x - v.xMin, 12.0) == 0.0)
            drawText (g, dbText (x), { v.px (x) - 30.0f, r.getBottom() + 4.0f, 60.0f, 18.0f },
                      juce::Justification::centredTop, 13.0f, softInk);
    }
    for (double y = std::ceil (v.yMin / 6.0) * 6.0; y <= v.yMax + 1e-9; y += 6.0)
    {
        g.setColour (grid);
        g.drawHorizontalLine (static_cast<int> (v.py (y)), r.getX(), r.getRight());
        if (std::fmod (y, 12.0) == 0.0)
            drawText (g, dbText (y), { r.getX() - 46.0f, v.py (y) - 9.0f, 40.0f, 18.0f },
                      juce::Justification::centredRight, 13.0f, softInk);
    }
}

const float unityDashes[] = { 6.0f, 5.0f };

void drawTransferCurves (juce::Graphics& g, const TransferView& v)
{
    const auto& r = v.r;
    g.saveState();
    g.reduceClipRegion (curveArea);
    // Unity line: where no compression and no gain would leave the level.
    g.setColour (softInk.withAlpha (0.7f));
    g.drawDashedLine ({ v.px (v.xMin), v.py (v.xMin), v.px (v.xMax), v.py (v.xMax) }, unityDashes, 2, 1.2f);
    // The threshold.
    g.setColour (activeColour.withAlpha (0.45f));
    const float dots[] = { 2.0f, 4.0f };
    g.drawDashedLine ({ v.px (v.thresholdDb), r.getY(), v.px (v.thresholdDb), r.getBottom() }, dots, 2, 1.5f);

    const int steps = curveArea.getWidth();
    for (int pass = 0; pass < 2; ++pass)
    {
        const int c = pass == 0 ? 1 - v.activeIndex : v.activeIndex; // the active curve on top
        juce::Path path;
        for (int i = 0; i <= steps; ++i)
        {
            const auto x = v.px (v.xMin + (v.xMax - v.xMin) * i / steps);
            const auto y = v.py (v.outputs[c][(size_t) i]);
            i == 0 ? path.startNewSubPath (x, y) : path.lineTo (x, y);
        }
        g.setColour (c == v.activeIndex ? activeColour : inactiveColour.withAlpha (0.8f));
        g.strokePath (path, juce::PathStrokeType (c == v.activeIndex ? 3.0f : 1.6f));
    }
    g.restoreState();
}

/** Top left inside the panel: which line is which curve, and the unity line. */
void drawTransferLegend (juce::Graphics& g, const TransferView& v)
{
    const char* names[] = { "linear curve", "exp curve" };
    auto legend = juce::Rectangle<float> (v.r.getX() + 10.0f, v.r.getY() + 10.0f, 190.0f, 66.0f);
    g.setColour (juce::Colours::white.withAlpha (0.9f));
    g.fillRoundedRectangle (legend, 4.0f);
    for (int row = 0; row < 3; ++row)
    {
        const float y = legend.getY() + 12.0f + static_cast<float> (row) * 20.0f;
        const float x0 = legend.getX() + 8.0f, x1 = x0 + 28.0f;
        std::string label;
        if (row < 2)
        {
            const int c = row == 0 ? v.activeIndex : 1 - v.activeIndex;
            g.setColour (c == v.activeIndex ? activeColour : inactiveColour);
            g.drawLine (x0, y, x1, y, c == v.activeIndex ? 3.0f : 1.6f);
            label = std::string (names[c]) + (c == v.activeIndex ? " (active)" : " (not active)");
        }
        else
        {
            g.setColour (softInk);
            g.drawDashedLine ({ x0, y, x1, y }, unityDashes, 2, 1.2f);
            label = "unity: output = input";
        }
        drawText (g, label, { x1 + 8.0f, y - 9.0f, 150.0f, 18.0f }, juce::Justification::centredLeft, 12.5f, ink);
    }
}

void drawTransferPanel (juce::Graphics& g, const SettingsValues& settings)
{
    const auto v = transferViewFor (settings);
    const auto& r = v.r;
    fillPanel (g, curveArea);
    drawTransferGrid (g, v);
    drawTransferCurves (g, v);
    outlinePanel (g, curveArea);

    drawText (g, "threshold " + dbText (v.thresholdDb) + " dB", { v.px (v.thresholdDb) + 4.0f, r.getBottom() - 22.0f, 160.0f, 18.0f },
              juce::Justification::centredLeft, 12.5f, activeColour.darker (0.2f));
    drawTransferLegend (g, v);
    drawText (g, "Static transfer curve", { r.getX(), r.getY() - 28.0f, r.getWidth(), 22.0f },
              juce::Justification::centredLeft, 16.0f, ink, true);
    drawText (g, "input level (dBFS)", { r.getX(), r.getBottom() + 22.0f, r.getWidth(), 20.0f },
              juce::Justification::centred, 14.0f, ink);
    drawVerticalLabel (g, "output level (dBFS)", r.getX() - 62.0f, r.getCentreY());
}

void drawTimeAxis (juce::Graphics& g, juce::Rectangle<float> r, double duration, bool labels)
{
    const double step = niceStep (duration, 10);
    for (double t = 0.0; t <= duration + 1e-9; t += step)
    {
        const float x = mapValue (t, 0.0, duration, r.getX(), r.getRight());
        g.setColour (grid);
        g.drawVerticalLine (static_cast<int> (x), r.getY(), r.getBottom());
        if (labels)
            drawText (g, timeText (t, step), { x - 35.0f, r.getBottom() + 4.0f, 70.0f, 18.0f },
                      juce::Justification::centredTop, 13.0f, softInk);
    }
}

void drawWavePanel (juce::Graphics& g, const Timeline& t, double duration)
{
    const auto r = waveArea.toFloat();
    fillPanel (g, waveArea);
    drawTimeAxis (g, r, duration, false);

    float top = 1.0f;
    for (float p : t.outputPeak)
        top = std::max (top, p);
    for (float p : t.inputPeak)
        top = std::max (top, p);
    const float mid = r.getCentreY(), half = r.getHeight() / 2.0f - 2.0f;
    const auto y = [&] (float a) { return mid - a / top * half; };

    for (float level : { 1.0f, -1.0f })
    {
        g.setColour (grid.darker (0.15f));
        g.drawHorizontalLine (static_cast<int> (y (level)), r.getX(), r.getRight());
    }
    g.setColour (grid);
    g.drawHorizontalLine (static_cast<int> (mid), r.getX(), r.getRight());

    // The output as a filled band, the input as its outline on top: where the
    // outline rises above the band the compressor has pulled the level down.
    juce::Path inputTop, inputBottom;
    for (int c = 0; c < t.columns(); ++c)
    {
        const float x = r.getX() + static_cast<float> (c) + 0.5f;
        const float in = t.inputPeak[(size_t) c], out = t.outputPeak[(size_t) c];
        g.setColour (outputColour.withAlpha (0.6f));
        g.drawLine (x, y (out), x, y (-out), 1.0f);
        c == 0 ? inputTop.startNewSubPath (x, y (in)) : inputTop.lineTo (x, y (in));
        c == 0 ? inputBottom.startNewSubPath (x, y (-in)) : inputBottom.lineTo (x, y (-in));
    }
    g.setColour (inputColour);
    g.strokePath (inputTop, juce::PathStrokeType (1.2f));
    g.strokePath (inputBottom, juce::PathStrokeType (1.2f));
    outlinePanel (g, waveArea);

    drawText (g, "0 dBFS", { r.getRight() + 4.0f, y (1.0f) - 9.0f, 60.0f, 18.0f }, juce::Justification::centredLeft, 12.5f, softInk);
    drawText (g, "Signal (peak per pixel)", { r.getX(), r.getY() - 28.0f, 300.0f, 22.0f },
              juce::Justification::centredLeft, 16.0f, ink, true);
    // Legend in the title row.
    float x = r.getRight() - 290.0f;
    for (const auto& [label, colour] : { std::pair<const char*, juce::Colour> { "input (outline)", inputColour },
                                         std::pair<const char*, juce::Colour> { "output (filled)", outputColour } })
    {
        g.setColour (colour);
        if (colour == inputColour)
            g.drawLine (x, r.getY() - 16.0f, x + 22.0f, r.getY() - 16.0f, 2.0f);
        else
            g.fillRect (juce::Rectangle<float> (x, r.getY() - 22.0f, 22.0f, 12.0f));
        drawText (g, label, { x + 28.0f, r.getY() - 25.0f, 120.0f, 18.0f }, juce::Justification::centredLeft, 13.0f, ink);
        x += 150.0f;
    }
}

void drawGainPanel (juce::Graphics& g, const Timeline& t, double duration)
{
    const auto r = gainArea.toFloat();
    fillPanel (g, gainArea);

    float smallest = 1.0f;
    for (float v : t.smallestGain)
        smallest = std::min (smallest, v);
    const double largest = -20.0 * std::log10 (std::max (smallest, 1.0e-6f));
    const double span = std::max (3.0, std::ceil (largest / 3.0) * 3.0);
    const double step = span <= 6.0 ? 1.0 : (span <= 12.0 ? 3.0 : (span <= 30.0 ? 6.0 : 12.0));
    const auto y = [&] (double reductionDb) { return mapValue (reductionDb, 0.0, span, r.getY(), r.getBottom()); };

    drawTimeAxis (g, r, duration, true);
    for (double v = 0.0; v <= span + 1e-9; v += step)
    {
        g.setColour (grid);
        g.drawHorizontalLine (static_cast<int> (y (v)), r.getX(), r.getRight());
        drawText (g, v == 0.0 ? "0" : dbText (-v), { r.getX() - 46.0f, y (v) - 9.0f, 40.0f, 18.0f },
                  juce::Justification::centredRight, 13.0f, softInk);
    }

    juce::Path area;
    area.startNewSubPath (r.getX(), r.getY());
    for (int c = 0; c < t.columns(); ++c)
    {
        const double reduction = -20.0 * std::log10 (std::max (t.smallestGain[(size_t) c], 1.0e-6f));
        const float x = r.getX() + static_cast<float> (c);
        area.lineTo (x, y (reduction));
        area.lineTo (x + 1.0f, y (reduction));
    }
    area.lineTo (r.getRight(), r.getY());
    area.closeSubPath();
    g.setColour (activeColour.withAlpha (0.35f));
    g.fillPath (area);
    g.setColour (activeColour);
    g.strokePath (area, juce::PathStrokeType (1.5f));
    outlinePanel (g, gainArea);

    drawText (g, "Gain reduction (largest per pixel)", { r.getX(), r.getY() - 28.0f, 400.0f, 22.0f },
              juce::Justification::centredLeft, 16.0f, ink, true);
    drawText (g, "time", { r.getX(), r.getBottom() + 22.0f, r.getWidth(), 20.0f },
              juce::Justification::centred, 14.0f, ink);
    drawVerticalLabel (g, "dB", r.getX() - 58.0f, r.getCentreY());
}
} // namespace

juce::Image drawPlot (const PlotData& data)
{
    juce::Image image (juce::Image::RGB, imageWidth, imageHeight, true);
    juce::Graphics g (image);
    g.fillAll (background);

    drawText (g, "VR-C  \xc2\xb7  " + data.name, { 24.0f, 14.0f, imageWidth - 48.0f, 30.0f },
              juce::Justification::centredLeft, 22.0f, ink, true);
    drawText (g, describeSettings (data.settings), { 24.0f, 46.0f, imageWidth - 48.0f, 22.0f },
              juce::Justification::centredLeft, 15.0f, softInk);

    const double duration = data.sampleRate > 0.0 ? static_cast<double> (data.length) / data.sampleRate : 0.0;
    drawTransferPanel (g, data.settings);
    if (data.timeline.columns() > 0 && duration > 0.0)
    {
        drawWavePanel (g, data.timeline, duration);
        drawGainPanel (g, data.timeline, duration);
    }
    return image;
}

std::string writePlot (const PlotData& data, AtomicFile& file)
{
    const auto image = drawPlot (data);
    auto stream = file.open();
    if (stream == nullptr)
        return file.error();
    juce::PNGImageFormat png;
    const bool ok = png.writeImageToStream (image, *stream);
    stream.reset();
    if (! file.streamError().empty())
        return "cannot write '" + file.getTarget().getFullPathName().toStdString() + "': " + file.streamError();
    return ok ? std::string() : "cannot encode the plot '" + file.getTarget().getFullPathName().toStdString() + "'";
}

} // namespace vrc::render

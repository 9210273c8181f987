#pragma once
// The --plot picture: the static transfer curves of the current settings (both
// curve shapes, computed by the engine's own curve code, the active one
// highlighted) beside the input, the output and the gain reduction over time.
#include "Analysis.h"
#include "processor/SettingsChunk.h"

#include <juce_graphics/juce_graphics.h>

#include <string>

namespace vrc::render
{

class AtomicFile;

/** Time-line resolution the render collects: one value per pixel column. */
constexpr int plotTimelineColumns = 680;

struct PlotData
{
    const SettingsValues& settings;
    const Timeline& timeline;
    double sampleRate;
    std::int64_t length;
    std::string name; // shown in the title
};

juce::Image drawPlot (const PlotData& data);

/** Draws and writes the PNG into file's temporary file (committing is the caller's).
    Returns an error text, empty on success. */
std::string writePlot (const PlotData& data, AtomicFile& file);

} // namespace vrc::render

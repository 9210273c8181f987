#pragma once
// The eight settings of a render: the plug-in's defaults, overlaid by a saved
// chunk, overlaid by command-line options (range-checked unless forced), and
// their texts for the summary and the plot.
#include "Options.h"
#include "processor/SettingsChunk.h"

#include <string>
#include <vector>

namespace vrc::render
{

/** The plug-in's defaults, by host index. */
using vrc::defaultSettings;

/** Overlays the values held in a chunk file (any file type, at most 1 MiB of it).
    Returns an error text, empty on success; values outside the controls' ranges
    are taken as they are, as the plug-in does, each with a warning. */
std::string applyStateFile (const std::string& path, SettingsValues& values, std::vector<std::string>& warnings);

/** Overlays the settings given as options. Returns an error for a value outside
    its control's range unless force is set. */
std::string applyOptionSettings (const Options& options, SettingsValues& values);

/** Shortest text that reads back as the same float, with "." as decimal point. */
std::string formatNumber (float v);

/** A physical value in the units the panel prints: "-18 dB", "100 %", "exp". */
std::string formatUserValue (const ParameterInfo& parameter, float physical);

/** The control's range in those units, low to high: "-40 .. 0 dB". */
std::string userRange (const ParameterInfo& parameter);

/** All eight settings on one line: "threshold -18 dB, ratio 0.75, ...". */
std::string describeSettings (const SettingsValues& values);

} // namespace vrc::render

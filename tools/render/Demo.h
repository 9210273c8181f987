#pragma once
// vrc-render --demo OUTDIR: synthesises the demonstration signal, renders it
// at a preset that shows the compressor clearly, and writes input.wav,
// output.wav, plot.png and settings.vstchunk into OUTDIR.
#include "Options.h"
#include "processor/SettingsChunk.h"

#include <atomic>

namespace vrc::render
{

/** The demo's preset: the plug-in's defaults with these changes. */
SettingsValues demoSettings();

/** Runs the demo; options given on the command line override the preset.
    Returns the process exit code. */
int runDemo (const Options& options, const std::atomic<bool>& cancel);

} // namespace vrc::render

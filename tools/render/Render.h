#pragma once
// One render: an input file through the plug-in's own processor, on host-sized
// blocks, into an output file (and optionally a plot and a settings chunk).
// Every output appears complete or not at all.
#include "Analysis.h"
#include "Options.h"
#include "processor/SettingsChunk.h"

#include <juce_core/juce_core.h>

#include <atomic>
#include <string>
#include <vector>

namespace vrc::render
{

struct RenderJob
{
    std::string inputName;  // as given: a path, or "-" for standard input
    juce::File input, output;  // output is juce::File() when it goes to standard output
    bool toStandardOutput = false;
    std::string streamExtension = ".wav"; // the format written to standard output
    juce::File plot;      // none when it is juce::File()
    juce::File saveState; // none when it is juce::File()
    SettingsValues settings {};
    int blockSize = 512;
    std::optional<SampleFormat> sampleFormat;
    bool overwrite = false;
};

struct RenderResult
{
    std::string error;  // empty on success
    std::vector<std::string> damage; // what was wrong with the input (the output holds what it held); empty when whole
    std::string inputFormat, outputFormat;
    double sampleRate = 0.0;
    int channels = 0;
    std::int64_t length = 0;
    LevelStats input, output;
    GainStats gain;
    std::int64_t clippedSamples = 0; // beyond full scale in an integer output
    double seconds = 0.0;            // wall time of the whole job

    bool ok() const noexcept { return error.empty(); }
};

/** Reports progress 0..1 and asks whether to stop; both are safe from any thread. */
struct RenderControl
{
    std::atomic<double>* progress = nullptr;
    const std::atomic<bool>* cancel = nullptr;
};

/** Checks what can be known before any work: outputs that exist without
    overwrite, missing folders, an output that is the input itself (by device and
    inode, so also through links). Returns an error text, empty when fine. */
std::string checkOutputs (const RenderJob& job);

RenderResult render (const RenderJob& job, RenderControl control);

} // namespace vrc::render

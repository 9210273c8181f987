#include "Summary.h"

#include "Settings.h"

#include <cmath>
#include <cstdio>

namespace vrc::render
{

namespace
{
std::string printf1 (const char* format, double v)
{
    char text[64];
    std::snprintf (text, sizeof (text), format, v);
    return text;
}

std::string dbfs (double v)
{
    return std::isfinite (v) ? printf1 ("%6.1f dBFS", v) : std::string ("  -inf dBFS");
}

std::string levels (const LevelStats& s)
{
    return "peak " + dbfs (s.peakDb()) + "   RMS " + dbfs (s.rmsDb());
}
} // namespace

std::string inputLabel (const RenderJob& job)
{
    return job.inputName == "-" ? std::string ("standard input") : job.input.getFullPathName().toStdString();
}

std::string formatWarnings (const RenderJob& job, const RenderResult& r)
{
    std::string text;
    for (const auto& problem : r.damage)
        text += "vrc-render: warning: " + inputLabel (job) + ": " + problem + "\n";
    if (r.clippedSamples > 0)
        text += "vrc-render: warning: " + job.output.getFullPathName().toStdString() + ": "
                + std::to_string (r.clippedSamples) + " samples beyond full scale were clipped in the " + r.outputFormat
                + " output; --bits 32f with a .wav output keeps them\n";
    return text;
}

std::string formatSummary (const RenderJob& job, const RenderResult& r)
{
    const double duration = r.sampleRate > 0.0 ? static_cast<double> (r.length) / r.sampleRate : 0.0;
    std::string text;
    text += inputLabel (job) + " -> " + (job.toStandardOutput ? std::string ("standard output") : job.output.getFullPathName().toStdString()) + "\n";
    text += "  input           " + r.inputFormat + ", " + (r.channels == 1 ? "mono" : "stereo") + ", "
            + printf1 ("%.0f Hz, ", r.sampleRate) + printf1 ("%.3f s\n", duration);
    text += "  output          " + r.outputFormat + ", block size " + std::to_string (job.blockSize) + "\n";
    text += "  settings        " + describeSettings (job.settings) + "\n";
    text += "  input level     " + levels (r.input) + "\n";
    text += "  output level    " + levels (r.output) + "\n";
    text += "  gain reduction  largest " + printf1 ("%.2f dB", r.gain.largestReductionDb()) + "   average "
            + printf1 ("%.2f dB", r.gain.averageReductionDb()) + " (sample by sample)\n";
    text += "  time            " + printf1 ("%.3f s", r.seconds);
    if (r.seconds > 0.0)
        text += printf1 (", %.0fx real time", duration / r.seconds);
    text += "\n";
    return text;
}

} // namespace vrc::render

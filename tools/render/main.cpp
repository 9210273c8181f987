// vrc-render: runs audio files through the plug-in's own processor, as a host
// would, from the command line. See Options.cpp for the full usage text.
#include "AtomicFile.h"
#include "Demo.h"
#include "Jobs.h"
#include "Options.h"
#include "Settings.h"
#include "Summary.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <csignal>
#include <iostream>
#include <set>

namespace
{
using namespace vrc::render;

constexpr int exitFailure = 1;
constexpr int exitUsage = 2;

std::atomic<bool> cancelRequested { false };

extern "C" void requestCancel (int)
{
    cancelRequested.store (true);
}

int fail (const std::string& message, int code = exitFailure)
{
    std::cerr << "vrc-render: error: " << message << "\n";
    return code;
}

juce::File resolve (const std::string& path)
{
    return path.empty() ? juce::File() : juce::File::getCurrentWorkingDirectory().getChildFile (path);
}

int saveStateOnly (const Options& options, const vrc::SettingsValues& settings)
{
    const auto file = resolve (options.saveStateFile);
    if (file.exists() && ! options.overwrite)
        return fail ("'" + file.getFullPathName().toStdString() + "' exists (--overwrite replaces it)");
    const auto chunk = vrc::writeSettingsChunk (settings);
    AtomicFile out (file);
    if (! out.writeAll (chunk.data(), chunk.size(), options.overwrite))
        return fail (out.error());
    std::cout << "settings chunk written to " << file.getFullPathName() << ": " << describeSettings (settings) << "\n";
    return 0;
}

int renderFiles (const Options& options, const vrc::SettingsValues& settings)
{
    const bool batch = ! options.outputDirectory.empty();
    const auto folder = resolve (options.outputDirectory);
    if (batch && ! folder.isDirectory() && ! folder.createDirectory())
        return fail ("cannot create folder '" + folder.getFullPathName().toStdString() + "'");

    std::vector<RenderJob> jobs;
    std::set<juce::String> outputs;
    for (const auto& in : options.inputs)
    {
        RenderJob job;
        job.input = resolve (in);
        job.output = batch ? folder.getChildFile (job.input.getFileNameWithoutExtension() + ".wav") : resolve (options.output);
        job.plot = resolve (options.plotFile);
        job.saveState = batch ? juce::File() : resolve (options.saveStateFile);
        job.settings = settings;
        job.blockSize = options.blockSize;
        job.sampleFormat = options.sampleFormat;
        job.overwrite = options.overwrite;

        if (! outputs.insert (job.output.getFullPathName()).second)
            return fail ("two inputs would both be written to '" + job.output.getFullPathName().toStdString() + "'");
        // Problems visible before any work refuse the whole command.
        if (const auto error = checkOutputs (job); ! error.empty())
            return fail (error);
        jobs.push_back (job);
    }

    const auto results = runJobs (jobs, cancelRequested);

    int failures = 0;
    for (size_t i = 0; i < jobs.size(); ++i)
    {
        if (results[i].ok())
            std::cout << formatSummary (jobs[i], results[i]) << (batch ? "\n" : "");
        else
        {
            ++failures;
            std::cerr << "vrc-render: error: " << results[i].error << "\n";
        }
    }

    if (batch)
    {
        std::cout << "rendered " << (jobs.size() - (size_t) failures) << " of " << jobs.size() << " files into "
                  << folder.getFullPathName() << "\n";
        if (failures == 0 && ! options.saveStateFile.empty())
            if (const int code = saveStateOnly (options, settings); code != 0)
                return code;
    }
    return failures == 0 ? 0 : exitFailure;
}
} // namespace

int main (int argc, char* argv[])
{
    // A file-size limit must fail the write (and remove the partial file), not kill us.
    std::signal (SIGXFSZ, SIG_IGN);
    std::signal (SIGINT, requestCancel);
    std::signal (SIGTERM, requestCancel);

    const auto parsed = parseOptions (std::vector<std::string> (argv + 1, argv + argc));
    if (! parsed.error.empty())
        return fail (parsed.error, exitUsage);
    const auto& options = parsed.options;
    if (options.showHelp)
    {
        std::cout << helpText();
        return 0;
    }
    if (options.showVersion)
    {
        std::cout << "vrc-render " << VRC_RENDER_VERSION << " (VR-C " << JucePlugin_VersionString << ")\n";
        return 0;
    }

    // Processors start timers and the plot draws text: both want the framework up.
    juce::ScopedJuceInitialiser_GUI framework;

    if (! options.demoDirectory.empty())
        return runDemo (options, cancelRequested);

    auto settings = defaultSettings();
    if (! options.stateFile.empty())
        if (const auto error = applyStateFile (options.stateFile, settings); ! error.empty())
            return fail (error);
    if (const auto error = applyOptionSettings (options, settings); ! error.empty())
        return fail (error, exitUsage);

    if (options.inputs.empty())
        return saveStateOnly (options, settings);
    return renderFiles (options, settings);
}

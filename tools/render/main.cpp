// vrc-render: runs audio files through the plug-in's own processor, as a host
// would, from the command line. See Options.cpp for the full usage text.
#include "AtomicFile.h"
#include "RenderFonts.h"
#include "Demo.h"
#include "Jobs.h"
#include "LibraryMessages.h"
#include "Options.h"
#include "Settings.h"
#include "Summary.h"

#include <juce_events/juce_events.h>

#include <csignal>
#include <iostream>
#include <set>
#include <unistd.h>

namespace
{
using namespace vrc::render;

constexpr int exitFailure = 1;
constexpr int exitUsage = 2;
constexpr int exitDamagedInput = 3; // outputs written, from inputs that held less than they announced

std::atomic<bool> cancelRequested { false };
std::atomic<int> signalReceived { 0 };

/** SIGINT and SIGTERM end the run at once, wherever it is (a named pipe waiting
    for its writer included): unfinished outputs are removed and the exit code is
    the shell's 128 + signal. Only async-signal-safe calls here. */
extern "C" void stopNow (int signal)
{
    signalReceived.store (signal);
    cancelRequested.store (true);
    static const char text[] = "vrc-render: interrupted; unfinished outputs removed\n";
    [[maybe_unused]] const auto written = ::write (STDERR_FILENO, text, sizeof text - 1);
    AtomicFile::removeUnfinished();
    ::_exit (128 + signal);
}

/** After SIGINT or SIGTERM, the shell's convention; the temporary files are gone by now. */
int finish (int code)
{
    const int signal = signalReceived.load();
    return signal != 0 ? 128 + signal : code;
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
    if (! options.quiet)
        std::cout << "settings chunk written to " << file.getFullPathName() << ": " << describeSettings (settings) << "\n";
    return 0;
}

int renderFiles (const Options& options, const vrc::SettingsValues& settings)
{
    const bool batch = ! options.outputDirectory.empty();
    const auto folder = resolve (options.outputDirectory);
    // A new folder is made only once the whole command is accepted, so a refused
    // run leaves nothing behind; nothing in it can clash with anything yet.
    const bool newFolder = batch && ! folder.isDirectory();
    if (newFolder && (folder.exists() || ! folder.getParentDirectory().isDirectory()))
        return fail ("cannot create folder '" + folder.getFullPathName().toStdString() + "': "
                     + (folder.exists() ? "a file has that name" : "its parent folder does not exist"));

    std::vector<RenderJob> jobs;
    std::set<juce::String> outputs;
    for (const auto& in : options.inputs)
    {
        RenderJob job;
        job.inputName = in;
        job.input = in == "-" ? juce::File() : resolve (in);
        job.toStandardOutput = ! batch && options.output == "-";
        job.streamExtension = options.batchExtension;
        job.output = batch ? folder.getChildFile (job.input.getFileNameWithoutExtension() + options.batchExtension)
                           : (job.toStandardOutput ? juce::File() : resolve (options.output));
        job.plot = resolve (options.plotFile);
        job.sidechainName = options.sidechainFile;
        job.sidechain = options.sidechainFile == "-" ? juce::File() : resolve (options.sidechainFile);
        job.saveState = batch ? juce::File() : resolve (options.saveStateFile);
        job.settings = settings;
        job.blockSize = options.blockSize;
        job.sampleFormat = options.sampleFormat;
        job.overwrite = options.overwrite;

        if (! outputs.insert (job.output.getFullPathName()).second)
            return fail ("two inputs would both be written to '" + job.output.getFullPathName().toStdString() + "'");
        // Problems visible before any work refuse the whole command.
        if (const auto error = newFolder ? std::string() : checkOutputs (job); ! error.empty())
            return fail (error);
        jobs.push_back (job);
    }

    if (newFolder && ! folder.createDirectory())
        return fail ("cannot create folder '" + folder.getFullPathName().toStdString() + "'");
    const auto results = runJobs (jobs, cancelRequested, options.quiet);

    int failures = 0, damaged = 0;
    for (size_t i = 0; i < jobs.size(); ++i)
    {
        // Quiet or not, a script must be able to tell why the exit code says damage.
        if (! options.quiet)
            std::cerr << formatWarnings (jobs[i], results[i]);
        else if (! results[i].damage.empty())
            std::cerr << "vrc-render: warning: " << inputLabel (jobs[i]) << ": " << results[i].damage.front() << "\n";
        damaged += results[i].damage.empty() ? 0 : 1;
        // Standard output carries either the audio or the summary, never both.
        if (results[i].ok() && ! options.quiet)
            (jobs[i].toStandardOutput ? std::cerr : std::cout) << formatSummary (jobs[i], results[i]) << (batch ? "\n" : "");
        else if (! results[i].ok())
        {
            ++failures;
            std::cerr << "vrc-render: error: " << results[i].error << "\n";
        }
    }
    if (newFolder && failures == (int) jobs.size())
        folder.deleteFile(); // only while empty: nothing was rendered into it

    if (batch && ! options.quiet && failures < (int) jobs.size())
    {
        std::cout << "rendered " << (jobs.size() - (size_t) failures) << " of " << jobs.size() << " files into "
                  << folder.getFullPathName() << "\n";
    }
    if (batch && failures == 0 && ! options.saveStateFile.empty())
        if (const int code = saveStateOnly (options, settings); code != 0)
            return code;
    // A summary that did not arrive (standard output full or closed) is a failure.
    if (! (std::cout << std::flush))
        return fail ("cannot write the summary to standard output");
    return failures > 0 ? exitFailure : (damaged > 0 ? exitDamagedInput : 0);
}
} // namespace

int main (int argc, char* argv[])
{
    // A file-size limit must fail the write (and remove the partial file), not kill us.
    std::signal (SIGXFSZ, SIG_IGN);
    // A reader that goes away makes the write fail with a message, as a full disk does.
    std::signal (SIGPIPE, SIG_IGN);
    std::signal (SIGINT, stopNow);
    std::signal (SIGTERM, stopNow);

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
        std::cout << "vrc-render " << VRC_RENDER_VERSION << " (VR-C " << VRC_PLUGIN_VERSION << ")\n"
                  << "Plot labels use the built-in DejaVu Sans typeface (vrc-render --font-licence).\n";
        return 0;
    }
    if (options.showFontLicence)
    {
        std::cout.write (RenderFonts::copyright, RenderFonts::copyrightSize);
        return 0;
    }

    // The MP3 decoder's own lines become ours, or go under --quiet.
    LibraryMessages libraryMessages (! options.quiet);

    // The plot draws text, which wants the framework up.
    juce::ScopedJuceInitialiser_GUI framework;

    if (! options.demoDirectory.empty())
        return finish (runDemo (options, cancelRequested));

    auto settings = defaultSettings();
    // Option values out of range are usage errors, said before any file is opened.
    if (auto scratch = settings; ! applyOptionSettings (options, scratch).empty())
        return fail (applyOptionSettings (options, scratch), exitUsage);
    if (! options.stateFile.empty())
    {
        std::vector<std::string> warnings;
        if (const auto error = applyStateFile (options.stateFile, settings, warnings); ! error.empty())
            return fail (error);
        for (const auto& warning : options.quiet ? std::vector<std::string>() : warnings)
            std::cerr << "vrc-render: warning: " << warning << "\n";
    }
    if (const auto error = applyOptionSettings (options, settings); ! error.empty())
        return fail (error, exitUsage);

    if (options.inputs.empty())
        return saveStateOnly (options, settings);
    return finish (renderFiles (options, settings));
}

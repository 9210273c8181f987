#include "Demo.h"

#include "AtomicFile.h"
#include "AudioOutput.h"
#include "DemoSignal.h"
#include "Jobs.h"
#include "Settings.h"
#include "Summary.h"

#include <iostream>

namespace vrc::render
{

SettingsValues demoSettings()
{
    auto values = defaultSettings();
    const auto set = [&] (ParameterId id, float v) { values[static_cast<size_t> (id)] = v; };
    // Hard enough on the hits to hear the envelope work, gentle on the chord.
    set (ParameterId::threshold, -18.0f);
    set (ParameterId::ratio, 0.75f);
    set (ParameterId::attack, 0.005f);
    set (ParameterId::release, 0.15f);
    set (ParameterId::gain, 6.0f);
    set (ParameterId::curve, 1.0f);
    return values;
}

namespace
{
std::string writeDemoInput (const juce::File& file, bool overwrite)
{
    const auto signal = makeDemoSignal();
    AtomicFile out (file);
    OutputFormat format;
    format.bitsPerSample = 32;
    format.isFloat = true;
    AudioOutput writer;
    if (! writer.open (out.open(), format, demoSampleRate, signal.getNumChannels(), signal.getNumSamples()))
        return out.error().empty() ? "cannot write '" + file.getFullPathName().toStdString() + "'" : out.error();
    const bool written = writer.write (signal.getArrayOfReadPointers(), signal.getNumSamples()) && writer.close();
    if (! written || ! out.commit (overwrite))
        return out.error().empty() ? "cannot write '" + file.getFullPathName().toStdString() + "'" : out.error();
    return {};
}
} // namespace

int runDemo (const Options& options, const std::atomic<bool>& cancel)
{
    auto settings = demoSettings();
    if (const auto error = applyOptionSettings (options, settings); ! error.empty())
    {
        std::cerr << "vrc-render: error: " << error << "\n";
        return 2;
    }

    const auto folder = juce::File::getCurrentWorkingDirectory().getChildFile (options.demoDirectory);
    if (! folder.isDirectory() && ! folder.createDirectory())
    {
        std::cerr << "vrc-render: error: cannot create folder '" << folder.getFullPathName() << "'\n";
        return 1;
    }

    RenderJob job;
    job.input = folder.getChildFile ("input.wav");
    job.output = folder.getChildFile ("output.wav");
    job.plot = folder.getChildFile ("plot.png");
    job.saveState = folder.getChildFile ("settings.vstchunk");
    job.settings = settings;
    job.blockSize = options.blockSize;
    job.sampleFormat = options.sampleFormat;
    job.overwrite = options.overwrite;

    // Refuse before writing anything, so a refused demo leaves the folder as it was.
    for (const auto& file : { job.input, job.output, job.plot, job.saveState })
        if (file.exists() && ! options.overwrite)
        {
            std::cerr << "vrc-render: error: '" << file.getFullPathName() << "' exists (--overwrite replaces it)\n";
            return 1;
        }

    if (const auto error = writeDemoInput (job.input, options.overwrite); ! error.empty())
    {
        std::cerr << "vrc-render: error: " << error << "\n";
        return 1;
    }

    const auto result = runJobs ({ job }, cancel, options.quiet).front();
    if (! result.ok())
    {
        std::cerr << "vrc-render: error: " << result.error << "\n";
        return 1;
    }
    if (options.quiet)
        return 0;
    std::cerr << formatWarnings (job, result);
    std::cout << formatSummary (job, result) << "\nDemo written to " << folder.getFullPathName() << ":\n"
              << "  input.wav          the synthesised signal (listen to it first)\n"
              << "  output.wav         the same through VR-C\n"
              << "  plot.png           transfer curve and gain reduction\n"
              << "  settings.vstchunk  these settings as the plug-in saves them (vrc-render --state)\n";
    return 0;
}

} // namespace vrc::render

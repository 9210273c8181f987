#include "Render.h"

#include "AtomicFile.h"
#include "AudioInput.h"
#include "AudioOutput.h"
#include "ProcessorSetup.h"
#include "Plot.h"
#include "StandardOutput.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <sys/stat.h>

namespace vrc::render
{

namespace
{
// Audio is read and written in chunks of whole host blocks near this size: large
// enough that file access costs little, small enough to keep memory flat.
constexpr int chunkTargetSamples = 1 << 16;

// The plug-in's layouts are 1 in / 1 out and 2 in / 2 out; nothing else is a host it knows.
constexpr int maximumChannels = 2;

std::string quoted (const juce::File& f)
{
    return "'" + f.getFullPathName().toStdString() + "'";
}

std::string checkOne (const juce::File& file, bool overwrite)
{
    if (file == juce::File())
        return {};
    if (! file.getParentDirectory().isDirectory())
        return "cannot write " + quoted (file) + ": folder " + quoted (file.getParentDirectory()) + " does not exist";
    if (file.isDirectory())
        return "cannot write " + quoted (file) + ": it is a folder";
    if (auto special = AtomicFile::checkTarget (file); ! special.empty())
        return special;
    if (file.exists() && ! overwrite)
        return quoted (file) + " exists (--overwrite replaces it)";
    return {};
}

/** Whether two names lead to the same file: through links, hard links, "..", any spelling. */
bool sameFile (const juce::File& a, const juce::File& b)
{
    struct stat x {}, y {};
    return ::stat (a.getFullPathName().toRawUTF8(), &x) == 0 && ::stat (b.getFullPathName().toRawUTF8(), &y) == 0
           && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

/** Fills n frames from the key, reading on as long as it gives frames (a pipe may
    give fewer at a time); returns how many it had. */
int readKey (AudioInput& key, juce::AudioBuffer<float>& into, int n)
{
    int got = 0;
    while (got < n)
    {
        std::array<float*, maximumChannels> at {};
        for (int ch = 0; ch < into.getNumChannels(); ++ch)
            at[(size_t) ch] = into.getWritePointer (ch, got);
        const int k = key.read (at.data(), n - got);
        if (k <= 0)
            break;
        got += k;
    }
    return got;
}

std::string seconds (std::int64_t frames, double rate)
{
    char text[32];
    std::snprintf (text, sizeof text, "%.3f s", static_cast<double> (frames) / rate);
    return text;
}

/** The input's samples [start, start + n) in a buffer that refers to data (no copy). */
juce::AudioBuffer<float> view (juce::AudioBuffer<float>& data, int start, int n)
{
    return juce::AudioBuffer<float> (data.getArrayOfWritePointers(), data.getNumChannels(), start, n);
}
} // namespace

std::string checkOutputs (const RenderJob& job)
{
    const juce::File outputs[] = { job.output, job.plot, job.saveState };
    for (size_t i = 0; i < std::size (outputs); ++i)
    {
        if (outputs[i] == juce::File())
            continue;
        if (outputs[i] == job.input || sameFile (outputs[i], job.input))
            return "refusing to write " + quoted (outputs[i]) + ": it is the input file " + quoted (job.input)
                   + " (an output never replaces its input)";
        if (job.sidechain != juce::File() && (outputs[i] == job.sidechain || sameFile (outputs[i], job.sidechain)))
            return "refusing to write " + quoted (outputs[i]) + ": it is the --sidechain key " + quoted (job.sidechain)
                   + " (an output never replaces an input)";
        for (size_t k = 0; k < i; ++k)
            if (outputs[i] == outputs[k])
                return quoted (outputs[i]) + " is named for two outputs";
        if (auto error = checkOne (outputs[i], job.overwrite); ! error.empty())
            return error;
    }
    return {};
}

RenderResult render (const RenderJob& job, RenderControl control)
{
    const auto started = std::chrono::steady_clock::now();
    RenderResult result;
    if (result.error = checkOutputs (job); ! result.ok())
        return result;

    AudioInput in;
    if (! in.open (job.inputName.empty() ? job.input.getFullPathName().toStdString() : job.inputName, maximumChannels))
    {
        result.error = in.error();
        return result;
    }
    result.sampleRate = in.sampleRate();
    result.channels = in.channels();
    result.length = in.length();
    result.inputFormat = in.formatName();

    // The key: any file the input could be, at the input's rate (the detector's
    // times are in samples, so another rate would stretch the key against the input).
    AudioInput key;
    const bool keyed = ! job.sidechainName.empty();
    if (keyed)
    {
        if (! key.open (job.sidechainName, maximumChannels))
        {
            result.error = "--sidechain: " + key.error();
            return result;
        }
        if (key.sampleRate() != result.sampleRate)
        {
            char rates[96];
            std::snprintf (rates, sizeof rates, "%.0f Hz, the input at %.0f Hz", key.sampleRate(), result.sampleRate);
            result.error = "--sidechain " + (job.sidechainName == "-" ? std::string ("standard input") : quoted (job.sidechain))
                           + " is at " + rates + ": the key must have the input's sample rate (resample it first)";
            return result;
        }
        result.keyChannels = key.channels();
    }

    std::string usage;
    const auto container = containerFor (job.toStandardOutput ? "standard output" + job.streamExtension
                                                              : job.output.getFullPathName().toStdString(), usage);
    if (! container)
    {
        result.error = usage;
        return result;
    }
    const auto format = chooseOutputFormat (*container, job.sampleFormat, in.bitsPerSample(), in.isFloat());
    result.outputFormat = describeFormat (format);
    // AIFF's sizes are signed 32-bit numbers: past 2 GiB its header cannot be right,
    // so such an output is refused before any work rather than written damaged.
    const auto audioBytes = (std::uint64_t) std::max<std::int64_t> (result.length, 0) * (std::uint64_t) result.channels
                            * (std::uint64_t) format.bitsPerSample / 8;
    if (format.container == Container::aiff && audioBytes > 0x7fff0000u)
    {
        result.error = "cannot write " + quoted (job.output) + ": AIFF holds at most 2 GiB of audio, this is "
                       + std::to_string (audioBytes >> 20) + " MiB (a .wav output holds any length, a .flac one too)";
        return result;
    }

    const std::string outputLabel = job.toStandardOutput ? std::string ("standard output") : quoted (job.output);
    AtomicFile audioFile (job.output);
    AudioOutput writer;
    auto* pipe = job.toStandardOutput ? new StandardOutput() : nullptr;
    std::unique_ptr<juce::OutputStream> stream (pipe);
    if (pipe == nullptr)
        stream = audioFile.open();
    const auto streamError = [&] { return pipe != nullptr ? pipe->error() : audioFile.streamError(); };
    if (! writer.open (std::move (stream), format, result.sampleRate, result.channels, result.length, pipe == nullptr))
    {
        result.error = ! audioFile.error().empty() ? audioFile.error()
                                                   : "cannot write " + outputLabel + ": libsndfile refused a "
                                                         + result.outputFormat + " (" + writer.error() + ")";
        return result;
    }

    // The key, when there is one, reaches the processor on its key bus, as a VST3 host routes it.
    VeskCompAudioProcessor processor (VeskCompAudioProcessor::Buses::mainAndKey);
    if (! prepareProcessor (processor, job.settings, result.channels, result.sampleRate, job.blockSize, result.keyChannels))
    {
        result.error = "the processor refused a " + std::to_string (result.channels) + "-channel layout";
        return result;
    }

    // The plot's columns span the length libsndfile finds (a plot needs a named
    // input: a pipe's length is known only at its end).
    Timeline timeline;
    const bool lengthKnown = result.length > 0;
    if (job.plot != juce::File() && lengthKnown)
        timeline.resize (plotTimelineColumns);

    const int chunk = std::max (1, chunkTargetSamples / job.blockSize) * job.blockSize;
    juce::AudioBuffer<float> input (result.channels, chunk), work (result.channels + result.keyChannels, chunk);
    juce::AudioBuffer<float> keyIn (std::max (1, result.keyChannels), chunk);
    std::vector<float> gains ((size_t) chunk); // each frame's gain factor, as the engine applied it
    std::int64_t keyEnd = -1; // the frame where a key shorter than the input ran out

    for (std::int64_t position = 0;; position += chunk)
    {
        if (control.cancel != nullptr && control.cancel->load())
        {
            result.error = "interrupted; nothing was written";
            return result;
        }

        const int n = in.read (input.getArrayOfWritePointers(), chunk);
        if (n <= 0)
            break;
        for (int ch = 0; ch < result.channels; ++ch)
        {
            result.input.add (input.getReadPointer (ch), n);
            work.copyFrom (ch, 0, input, ch, 0, n);
        }
        if (keyed)
        {
            // Past its end the key is silence; beyond the input's end it is never read.
            const int k = keyEnd < 0 ? readKey (key, keyIn, n) : 0;
            if (k < n && keyEnd < 0)
                keyEnd = position + k;
            for (int ch = 0; ch < result.keyChannels; ++ch)
            {
                keyIn.clear (ch, k, n - k);
                work.copyFrom (result.channels + ch, 0, keyIn, ch, 0, n);
            }
        }

        // The host's part: consecutive blocks of the chosen size, the last one shorter.
        for (int start = 0; start < n; start += job.blockSize)
        {
            auto block = view (work, start, std::min (job.blockSize, n - start));
            processor.processWithGains (block, gains.data() + start);
        }

        for (int ch = 0; ch < result.channels; ++ch)
        {
            const float* out = work.getReadPointer (ch);
            result.output.add (out, n);
        }
        if (! writer.write (work.getArrayOfReadPointers(), n))
        {
            result.error = "cannot write " + outputLabel + ": " + (streamError().empty() ? writer.error() : streamError());
            return result;
        }

        for (int i = 0; i < n; ++i)
        {
            float inPeak = 0.0f, outPeak = 0.0f;
            for (int ch = 0; ch < result.channels; ++ch)
            {
                inPeak = std::max (inPeak, std::fabs (input.getSample (ch, i)));
                outPeak = std::max (outPeak, std::fabs (work.getSample (ch, i)));
            }
            const float g = gains[(size_t) i];
            result.gain.add (g);

            if (timeline.columns() > 0)
            {
                // (a file that decodes to less than it announced fills the columns it reaches)
                const auto column = static_cast<size_t> (std::min<std::int64_t> (
                    (position + i) * timeline.columns() / result.length, timeline.columns() - 1));
                timeline.inputPeak[column] = std::max (timeline.inputPeak[column], inPeak);
                timeline.outputPeak[column] = std::max (timeline.outputPeak[column], outPeak);
                timeline.smallestGain[column] = std::min (timeline.smallestGain[column], g);
            }
        }

        if (control.progress != nullptr && lengthKnown)
            control.progress->store (std::min (1.0, static_cast<double> (position + n) / static_cast<double> (result.length)));
    }
    // (the plot's columns were laid out over the length the file announced; the
    // time axis keeps it, so audio left out after damage shows as the gap it is)
    const auto plotLength = lengthKnown ? result.length : in.framesRead();
    result.length = in.framesRead();
    result.damage = in.problems();
    if (keyed && keyEnd >= 0 && keyEnd < result.length)
    {
        const auto keyName = job.sidechainName == "-" ? std::string ("standard input") : quoted (job.sidechain);
        result.notes.push_back ("the --sidechain key " + keyName + " ends at " + seconds (keyEnd, result.sampleRate)
                                + ", the input lasts " + seconds (result.length, result.sampleRate)
                                + ": the detector heard silence after the key's end");
        for (const auto& problem : key.problems())
            result.damage.push_back ("--sidechain key " + keyName + ": " + problem);
    }
    if (result.length == 0)
    {
        result.error = (job.inputName == "-" ? std::string ("standard input") : quoted (job.input)) + " holds no audio that can be decoded"
                       + (result.damage.empty() ? std::string() : " (" + result.damage.front() + ")");
        return result;
    }
    result.clippedSamples = writer.clippedSamples();
    if (writer.nonFiniteSamples() > 0)
        result.damage.push_back (std::to_string (writer.nonFiniteSamples())
                                 + " output samples were not finite numbers; the integer output holds +Inf and -Inf as full "
                                   "scale of their sign and NaN as 0");
    const bool closed = writer.close(); // (also sends what standard output still holds)
    if (! closed || ! streamError().empty())
    {
        result.error = "cannot write " + outputLabel + ": " + (streamError().empty() ? writer.error() : streamError());
        return result;
    }

    // Everything else is prepared before any output is renamed into place.
    AtomicFile plotFile (job.plot), stateFile (job.saveState);
    if (job.plot != juce::File())
    {
        const PlotData data { job.settings, timeline, result.sampleRate, plotLength,
                              job.input.getFileName().toStdString()
                                  + (keyed ? " keyed by " + (job.sidechainName == "-" ? std::string ("standard input")
                                                                                        : job.sidechain.getFileName().toStdString())
                                           : std::string()) };
        if (result.error = writePlot (data, plotFile); ! result.ok())
            return result;
    }
    if (job.saveState != juce::File())
    {
        const auto chunkBytes = writeSettingsChunk (job.settings);
        auto chunkStream = stateFile.open();
        if (chunkStream != nullptr)
            chunkStream->write (chunkBytes.data(), chunkBytes.size());
        if (chunkStream == nullptr)
        {
            result.error = stateFile.error();
            return result;
        }
    }

    if (control.cancel != nullptr && control.cancel->load())
        result.error = "interrupted; nothing was written";
    else if (! job.toStandardOutput && ! audioFile.commit (job.overwrite))
        result.error = audioFile.error();
    else if (job.plot != juce::File() && ! plotFile.commit (job.overwrite))
        result.error = plotFile.error();
    else if (job.saveState != juce::File() && ! stateFile.commit (job.overwrite))
        result.error = stateFile.error();

    result.seconds = std::chrono::duration<double> (std::chrono::steady_clock::now() - started).count();
    return result;
}

} // namespace vrc::render

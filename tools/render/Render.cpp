#include "Render.h"

#include "AtomicFile.h"
#include "AudioInput.h"
#include "AudioOutput.h"
#include "Background.h"
#include "ProcessorSetup.h"
#include "Plot.h"
#include "StandardOutput.h"

#include <juce_audio_basics/juce_audio_basics.h>

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

/** The input's channels and then the key's: at most two of each (prepareProcessor). */
using BlockChannels = std::array<float*, 4>;

/** Pointers to frame start of each of data's channels. */
void pointAt (BlockChannels& channels, juce::AudioBuffer<float>& data, int start) noexcept
{
    for (int ch = 0; ch < data.getNumChannels() && ch < (int) channels.size(); ++ch)
        channels[(size_t) ch] = data.getWritePointer (ch, start);
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

namespace
{
std::string inputLabel (const RenderJob& job)
{
    return job.inputName == "-" ? std::string ("standard input") : quoted (job.input);
}

std::string keyLabel (const RenderJob& job)
{
    return job.sidechainName == "-" ? std::string ("standard input") : quoted (job.sidechain);
}

/** The input and, with --sidechain, the key: opened and checked against each other. */
struct Inputs
{
    AudioInput audio, key;
    bool keyed = false;
};

std::string openInputs (const RenderJob& job, Inputs& inputs, RenderResult& result)
{
    auto& in = inputs.audio;
    if (! in.open (job.inputName.empty() ? job.input.getFullPathName().toStdString() : job.inputName, maximumChannels))
        return in.error();
    result.sampleRate = in.sampleRate();
    result.channels = in.channels();
    result.length = in.length();
    result.inputFormat = in.formatName();

    // The key: any file the input could be, at the input's rate (the detector's
    // times are in samples, so another rate would stretch the key against the input).
    inputs.keyed = ! job.sidechainName.empty();
    if (! inputs.keyed)
        return {};
    if (! inputs.key.open (job.sidechainName, maximumChannels))
        return "--sidechain: " + inputs.key.error();
    if (inputs.key.sampleRate() != result.sampleRate)
    {
        char rates[96];
        std::snprintf (rates, sizeof rates, "%.0f Hz, the input at %.0f Hz", inputs.key.sampleRate(), result.sampleRate);
        return "--sidechain " + keyLabel (job) + " is at " + rates + ": the key must have the input's sample rate (resample it first)";
    }
    result.keyChannels = inputs.key.channels();
    return {};
}

/** The audio output: its format, its file (or standard output) and the writer. */
struct Output
{
    explicit Output (const RenderJob& job) : file (job.output) {}

    AtomicFile file;
    AudioOutput writer;
    std::shared_ptr<std::string> pipeError; // standard output's first failure; null for a file
    std::string label;

    std::string streamError() const { return pipeError != nullptr ? *pipeError : file.streamError(); }
    std::string writeError() const { return "cannot write " + label + ": " + (streamError().empty() ? writer.error() : streamError()); }
};

std::string openOutput (const RenderJob& job, const AudioInput& in, Output& out, RenderResult& result)
{
    std::string usage;
    const auto container = containerFor (job.toStandardOutput ? "standard output" + job.streamExtension
                                                              : job.output.getFullPathName().toStdString(), usage);
    if (! container)
        return usage;
    const auto format = chooseOutputFormat (*container, job.sampleFormat, in.bitsPerSample(), in.isFloat());
    result.outputFormat = describeFormat (format);
    // AIFF's sizes are signed 32-bit numbers: past 2 GiB its header cannot be right,
    // so such an output is refused before any work rather than written damaged.
    const auto audioBytes = (std::uint64_t) std::max<std::int64_t> (result.length, 0) * (std::uint64_t) result.channels
                            * (std::uint64_t) format.bitsPerSample / 8;
    if (format.container == Container::aiff && audioBytes > 0x7fff0000u)
        return "cannot write " + quoted (job.output) + ": AIFF holds at most 2 GiB of audio, this is "
               + std::to_string (audioBytes >> 20) + " MiB (a .wav output holds any length, a .flac one too)";

    out.label = job.toStandardOutput ? std::string ("standard output") : quoted (job.output);
    std::unique_ptr<juce::OutputStream> stream;
    if (job.toStandardOutput)
    {
        out.pipeError = std::make_shared<std::string>();
        stream = std::make_unique<StandardOutput> (out.pipeError);
    }
    else
        stream = out.file.open();
    if (! out.writer.open (std::move (stream), format, result.sampleRate, result.channels, result.length, ! job.toStandardOutput))
        return ! out.file.error().empty() ? out.file.error()
                                          : "cannot write " + out.label + ": libsndfile refused a " + result.outputFormat + " ("
                                                + out.writer.error() + ")";
    return {};
}

/** What the summary and the plot show, gathered chunk by chunk. */
class Statistics
{
public:
    Statistics (RenderResult& r, bool plotted) : result (r)
    {
        // The plot's columns span the length libsndfile finds (a plot needs a named
        // input: a pipe's length is known only at its end).
        if (plotted && result.length > 0)
            timeline.resize (plotTimelineColumns);
    }

    // Each part is added by one thread only: the input's levels where it is decoded,
    // the output's where it is written, the gains and the plot's time line where
    // the processor runs.
    void addInput (const juce::AudioBuffer<float>& input, int n)
    {
        for (int ch = 0; ch < result.channels; ++ch)
            result.input.add (input.getReadPointer (ch), n);
    }

    void addOutput (const juce::AudioBuffer<float>& output, int n)
    {
        for (int ch = 0; ch < result.channels; ++ch)
            result.output.add (output.getReadPointer (ch), n);
    }

    void addGains (const juce::AudioBuffer<float>& input, const juce::AudioBuffer<float>& output, const float* gains, int n,
                   std::int64_t position)
    {
        result.gain.add (gains, n);
        if (timeline.columns() > 0)
            addToTimeline (input, output, gains, n, position);
    }

    const Timeline& plotTimeline() const noexcept { return timeline; }

private:
    void addToTimeline (const juce::AudioBuffer<float>& input, const juce::AudioBuffer<float>& output, const float* gains,
                        int n, std::int64_t position)
    {
        for (int i = 0; i < n; ++i)
        {
            float inPeak = 0.0f, outPeak = 0.0f;
            for (int ch = 0; ch < result.channels; ++ch)
            {
                inPeak = std::max (inPeak, std::fabs (input.getSample (ch, i)));
                outPeak = std::max (outPeak, std::fabs (output.getSample (ch, i)));
            }
            // (a file that decodes to less than it announced fills the columns it reaches)
            const auto column = static_cast<size_t> (
                std::min<std::int64_t> ((position + i) * timeline.columns() / result.length, timeline.columns() - 1));
            timeline.inputPeak[column] = std::max (timeline.inputPeak[column], inPeak);
            timeline.outputPeak[column] = std::max (timeline.outputPeak[column], outPeak);
            timeline.smallestGain[column] = std::min (timeline.smallestGain[column], gains[i]);
        }
    }

    RenderResult& result;
    Timeline timeline;
};

bool cancelled (const RenderControl& control)
{
    return control.cancel != nullptr && control.cancel->load();
}

/** The host's part: the input (and key) in chunks of whole blocks through the
    processor, each chunk written and measured. Decoding the next chunk and
    writing the last one run beside the processor, each on a thread of its own
    (the same work in the same order: only the waiting overlaps). Returns the frame
    where a key shorter than the input ran out (-1: it did not), or an error in result. */
std::int64_t processAll (const RenderJob& job, const RenderControl& control, Inputs& inputs, ProcessorCore& processor,
                         Output& out, Statistics& statistics, RenderResult& result)
{
    const int chunk = std::max (1, chunkTargetSamples / job.blockSize) * job.blockSize;
    struct Slot
    {
        juce::AudioBuffer<float> input, key, work;
        int frames = 0, keyFrames = 0;
    };
    std::array<Slot, 2> slots;
    for (auto& slot : slots)
    {
        slot.input.setSize (result.channels, chunk);
        slot.key.setSize (std::max (1, result.keyChannels), chunk);
        slot.work.setSize (result.channels + result.keyChannels, chunk);
    }
    std::vector<float> gains ((size_t) chunk); // each frame's gain factor, as the engine applied it
    std::int64_t keyEnd = -1, keyRead = 0;

    // Decoding: the input's next chunk and as much of the key (past its end the key is silence).
    const auto decode = [&] (Slot& slot)
    {
        slot.frames = std::max (0, inputs.audio.read (slot.input.getArrayOfWritePointers(), chunk));
        statistics.addInput (slot.input, slot.frames);
        slot.keyFrames = 0;
        if (inputs.keyed && keyEnd < 0 && slot.frames > 0)
        {
            slot.keyFrames = readKey (inputs.key, slot.key, slot.frames);
            if (slot.keyFrames < slot.frames)
                keyEnd = keyRead + slot.keyFrames;
            keyRead += slot.keyFrames;
        }
    };
    Background decoder, encoder;
    bool written = true;

    decode (slots[0]);
    std::int64_t position = 0;
    for (size_t current = 0;; current ^= 1, position += chunk)
    {
        auto& slot = slots[current];
        const int n = slot.frames;
        if (n <= 0 || cancelled (control))
            break;
        decoder.start ([&, next = &slots[current ^ 1]] { decode (*next); });

        for (int ch = 0; ch < result.channels; ++ch)
            slot.work.copyFrom (ch, 0, slot.input, ch, 0, n);
        for (int ch = 0; ch < result.keyChannels; ++ch)
        {
            slot.key.clear (ch, slot.keyFrames, n - slot.keyFrames);
            slot.work.copyFrom (result.channels + ch, 0, slot.key, ch, 0, n);
        }
        // Consecutive blocks of the chosen size, the last one shorter.
        // The key's channels follow the input's, as on a host's key bus.
        BlockChannels channels {};
        for (int start = 0; start < n; start += job.blockSize)
        {
            pointAt (channels, slot.work, start);
            const CompressorEngine::Key key { channels.data() + result.channels, result.keyChannels };
            processor.process (channels.data(), result.channels, std::min (job.blockSize, n - start), gains.data() + start, key);
        }
        statistics.addGains (slot.input, slot.work, gains.data(), n, position);

        encoder.wait();
        if (! written)
            break;
        encoder.start ([&written, &out, &statistics, work = &slot.work, n]
        {
            written = out.writer.write (work->getArrayOfReadPointers(), n);
            statistics.addOutput (*work, n);
        });
        decoder.wait();

        if (control.progress != nullptr && result.length > 0)
            control.progress->store (std::min (1.0, static_cast<double> (position + n) / static_cast<double> (result.length)));
    }
    decoder.wait();
    encoder.wait();
    if (! written)
        result.error = out.writeError();
    else if (cancelled (control))
        result.error = "interrupted; nothing was written";
    return keyEnd;
}

/** What was wrong with the input and the key, and what else the user should know. */
void collectDamage (const RenderJob& job, Inputs& inputs, const AudioOutput& writer, std::int64_t keyEnd, RenderResult& result)
{
    result.damage = inputs.audio.problems();
    if (inputs.keyed && keyEnd >= 0 && keyEnd < result.length)
    {
        result.notes.push_back ("the --sidechain key " + keyLabel (job) + " ends at " + seconds (keyEnd, result.sampleRate)
                                + ", the input lasts " + seconds (result.length, result.sampleRate)
                                + ": the detector heard silence after the key's end");
        for (const auto& problem : inputs.key.problems())
            result.damage.push_back ("--sidechain key " + keyLabel (job) + ": " + problem);
    }
    result.clippedSamples = writer.clippedSamples();
    if (writer.nonFiniteSamples() > 0)
        result.damage.push_back (std::to_string (writer.nonFiniteSamples())
                                 + " output samples were not finite numbers; the integer output holds +Inf and -Inf as full "
                                   "scale of their sign and NaN as 0");
}

/** Finishes the audio, writes the plot and the settings chunk, then renames every
    output into place: all of them or, on any failure, none. */
std::string commitOutputs (const RenderJob& job, const RenderControl& control, Output& out, const Statistics& statistics,
                           std::int64_t plotLength, const RenderResult& result)
{
    const bool closed = out.writer.close(); // (also sends what standard output still holds)
    if (! closed || ! out.streamError().empty())
        return out.writeError();

    AtomicFile plotFile (job.plot), stateFile (job.saveState);
    if (job.plot != juce::File())
    {
        const PlotData data { job.settings, statistics.plotTimeline(), result.sampleRate, plotLength,
                              job.input.getFileName().toStdString()
                                  + (job.sidechainName.empty() ? std::string()
                                                               : " keyed by " + (job.sidechainName == "-" ? std::string ("standard input")
                                                                                                           : job.sidechain.getFileName().toStdString())) };
        if (auto error = writePlot (data, plotFile); ! error.empty())
            return error;
    }
    if (job.saveState != juce::File())
    {
        const auto chunkBytes = writeSettingsChunk (job.settings);
        auto chunkStream = stateFile.open();
        if (chunkStream == nullptr)
            return stateFile.error();
        chunkStream->write (chunkBytes.data(), chunkBytes.size());
    }

    if (cancelled (control))
        return "interrupted; nothing was written";
    if (! job.toStandardOutput && ! out.file.commit (job.overwrite))
        return out.file.error();
    if (job.plot != juce::File() && ! plotFile.commit (job.overwrite))
        return plotFile.error();
    if (job.saveState != juce::File() && ! stateFile.commit (job.overwrite))
        return stateFile.error();
    return {};
}
} // namespace

RenderResult render (const RenderJob& job, RenderControl control)
{
    const auto started = std::chrono::steady_clock::now();
    RenderResult result;
    if (result.error = checkOutputs (job); ! result.ok())
        return result;

    Inputs inputs;
    if (result.error = openInputs (job, inputs, result); ! result.ok())
        return result;
    Output out (job);
    if (result.error = openOutput (job, inputs.audio, out, result); ! result.ok())
        return result;

    ProcessorCore processor;
    if (! prepareProcessor (processor, job.settings, result.channels, result.sampleRate, result.keyChannels))
    {
        result.error = "the processor refused a " + std::to_string (result.channels) + "-channel layout";
        return result;
    }

    Statistics statistics (result, job.plot != juce::File());
    const auto keyEnd = processAll (job, control, inputs, processor, out, statistics, result);
    if (! result.ok())
        return result;
    // (the plot's columns were laid out over the length the file announced; the
    // time axis keeps it, so audio left out after damage shows as the gap it is)
    const auto plotLength = result.length > 0 ? result.length : inputs.audio.framesRead();
    result.length = inputs.audio.framesRead();
    collectDamage (job, inputs, out.writer, keyEnd, result);
    if (result.length == 0)
    {
        result.error = inputLabel (job) + " holds no audio that can be decoded"
                       + (result.damage.empty() ? std::string() : " (" + result.damage.front() + ")");
        return result;
    }
    result.error = commitOutputs (job, control, out, statistics, plotLength, result);
    result.seconds = std::chrono::duration<double> (std::chrono::steady_clock::now() - started).count();
    return result;
}

} // namespace vrc::render

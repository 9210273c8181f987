#pragma once
// Output audio files, written by libsndfile into a stream (an AtomicFile's):
// the container from the output's extension, the sample format as asked or
// following the input. WAV audio of 4 GiB and more (or of a length not known
// beforehand) is written as RF64, so any length fits.
#include <juce_core/juce_core.h>

#include "Options.h"

#include <array>
#include <memory>
#include <optional>
#include <string>

struct sf_private_tag; // libsndfile's SNDFILE

namespace vrc::render
{

enum class Container
{
    wav,
    aiff,
    flac
};

struct OutputFormat
{
    Container container = Container::wav;
    int bitsPerSample = 24;
    bool isFloat = false;
};

/** The container an output name's extension asks for, or an error text naming
    the extensions known: a usage error, found before any input is opened. */
std::optional<Container> containerFor (const std::string& outputName, std::string& error);

/** Whether the requested sample format fits the container; an error text when not. */
std::string checkSampleFormat (Container container, std::optional<SampleFormat> requested);

/** The requested sample format, or the input's where the container stores it
    exactly (16-bit, float in WAV), or 24-bit. */
OutputFormat chooseOutputFormat (Container container, std::optional<SampleFormat> requested, int inputBits, bool inputIsFloat);

/** "24-bit WAV", "32-bit float WAV". */
std::string describeFormat (const OutputFormat& format);

class AudioOutput
{
public:
    AudioOutput() = default;
    ~AudioOutput();
    AudioOutput (const AudioOutput&) = delete;
    AudioOutput& operator= (const AudioOutput&) = delete;

    /** Starts a file in stream, which it then owns; false with error() set. A stream
        that cannot go back (a pipe) gets a WAV whose sizes say "to the end of the
        stream", or a FLAC stream whose header leaves the length open. expectedFrames
        (-1: unknown) decides between WAV and RF64. */
    bool open (std::unique_ptr<juce::OutputStream> stream, const OutputFormat& format, double sampleRate, int numChannels,
               std::int64_t expectedFrames, bool canSeek = true);

    /** Writes n frames from one array per channel; integer formats round to the
        nearest step and clip at full scale (infinities too; NaN becomes 0). */
    bool write (const float* const* channels, int n);

    /** Finite samples beyond full scale that an integer format clipped. */
    std::int64_t clippedSamples() const noexcept { return clipped; }
    /** Non-finite samples an integer format wrote as full scale or 0. */
    std::int64_t nonFiniteSamples() const noexcept { return nonFinite; }

    /** Finishes the header and lets the stream go; false when anything failed. */
    bool close();

    const std::string& error() const noexcept { return errorText; }

private:
    friend struct OutputCallbacks;
    void writePlainFloatFormat();
    bool writeFloat (const float* const* channels, int n, size_t wanted);
    bool writeInteger (const float* const* channels, int n, size_t wanted);
    std::array<std::uint8_t, 96> header {};
    bool floatWav = false;
    std::unique_ptr<juce::OutputStream> stream;
    std::int64_t length = 0;
    sf_private_tag* file = nullptr;
    int numChannels = 0;
    std::vector<float> interleaved;
    std::vector<int> integers;
    int integerBits = 0; // 0: float
    std::int64_t clipped = 0, nonFinite = 0;
    std::string errorText;
};

} // namespace vrc::render

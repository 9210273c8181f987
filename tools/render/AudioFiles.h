#pragma once
// Audio file formats for vrc-render: opening an input with a clear reason when
// it cannot be used, and choosing and creating the output writer from the
// output's extension and the requested sample format.
#include "Options.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <memory>
#include <string>

namespace vrc::render
{

struct InputFile
{
    std::unique_ptr<juce::AudioFormatReader> reader;
    std::string error;   // set when reader is null
    std::string damage;  // set when the file holds less than it announces; reader covers what it holds
};

/** Opens an input and checks that VR-C can process it (mono or stereo, some audio).
    The reader's length is the frames really present, never the header's claim. */
InputFile openInput (const juce::File& file);

/** Where and how the output is written. */
struct OutputFormat
{
    std::unique_ptr<juce::AudioFormat> format;
    int bitsPerSample = 24;
    bool isFloat = false;
    std::string error; // set when format is null
};

/** Picks the output's format from its extension; the sample format is the requested
    one, or the input's where the output format can store it, or 24-bit. */
OutputFormat chooseOutputFormat (const juce::File& output, std::optional<SampleFormat> requested,
                                 const juce::AudioFormatReader& input);

/** A writer into stream (which it then owns), or nullptr; stream is consumed either way. */
std::unique_ptr<juce::AudioFormatWriter> createWriter (const OutputFormat& format,
                                                       std::unique_ptr<juce::OutputStream> stream,
                                                       double sampleRate, int numChannels);

/** Finishes a WAV file the framework's writer left with a 32-bit RIFF size that
    overflowed (data just under 4 GiB plus the header): rewrites its header in
    place as RF64, the 64-bit form of the same layout; in an RF64 header of the
    writer's own, fills in the frame count it leaves at 0. Returns an error text. */
std::string fixLargeWav (const juce::File& file, std::uint64_t dataBytes, std::uint64_t frames);

/** "24-bit WAV", "32-bit float WAV". */
std::string describeFormat (const std::string& formatName, int bitsPerSample, bool isFloat);

} // namespace vrc::render

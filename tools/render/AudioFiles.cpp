#include "AudioFiles.h"

#include <cstring>

namespace vrc::render
{

namespace
{
std::string quoted (const juce::File& f)
{
    return "'" + f.getFullPathName().toStdString() + "'";
}

// The plug-in's layouts are 1 in / 1 out and 2 in / 2 out; nothing else is a host it knows.
constexpr unsigned int maximumChannels = 2;

// FLAC's encoder effort: the library's own default level.
constexpr int flacQualityIndex = 5;
} // namespace

InputFile openInput (const juce::File& file)
{
    InputFile in;
    if (! file.exists())
    {
        in.error = "cannot read " + quoted (file) + ": no such file";
        return in;
    }
    if (file.isDirectory())
    {
        in.error = "cannot read " + quoted (file) + ": it is a folder";
        return in;
    }
    auto stream = std::make_unique<juce::FileInputStream> (file);
    if (stream->failedToOpen())
    {
        in.error = "cannot read " + quoted (file) + ": " + stream->getStatus().getErrorMessage().toStdString();
        return in;
    }

    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    in.reader.reset (formats.createReaderFor (std::move (stream)));
    if (in.reader == nullptr)
    {
        in.error = quoted (file) + " is not a supported audio file (WAV, AIFF, FLAC or Ogg Vorbis) or is damaged";
        return in;
    }

    const auto channels = in.reader->numChannels;
    if (channels < 1 || channels > maximumChannels)
        in.error = quoted (file) + " has " + std::to_string (channels)
                   + " channels; VR-C processes mono or stereo audio only";
    else if (! (in.reader->sampleRate > 0.0) || in.reader->sampleRate > 1.0e6)
        in.error = quoted (file) + " has an unusable sample rate (" + std::to_string (in.reader->sampleRate) + " Hz)";
    else if (in.reader->lengthInSamples <= 0)
        in.error = quoted (file) + " holds no audio";

    if (! in.error.empty())
        in.reader.reset();
    return in;
}

OutputFormat chooseOutputFormat (const juce::File& output, std::optional<SampleFormat> requested,
                                 const juce::AudioFormatReader& input)
{
    OutputFormat out;
    const auto ext = output.getFileExtension().toLowerCase();
    if (ext == ".wav")
        out.format = std::make_unique<juce::WavAudioFormat>();
    else if (ext == ".aif" || ext == ".aiff")
        out.format = std::make_unique<juce::AiffAudioFormat>();
    else if (ext == ".flac")
        out.format = std::make_unique<juce::FlacAudioFormat>();
    else
    {
        out.error = "cannot write " + quoted (output) + ": unsupported output format '" + ext.toStdString()
                    + "' (use .wav, .aif, .aiff or .flac)";
        return out;
    }

    const bool wav = ext == ".wav";
    if (requested)
    {
        out.isFloat = *requested == SampleFormat::float32;
        out.bitsPerSample = *requested == SampleFormat::int16 ? 16 : (*requested == SampleFormat::int24 ? 24 : 32);
        if (out.isFloat && ! wav)
        {
            out.error = "cannot write " + quoted (output) + ": 32-bit float needs a .wav output";
            out.format.reset();
        }
        return out;
    }

    // Follow the input where the output format can hold it exactly.
    if (input.usesFloatingPointData && input.bitsPerSample == 32 && wav)
    {
        out.isFloat = true;
        out.bitsPerSample = 32;
    }
    else if (! input.usesFloatingPointData && input.bitsPerSample == 16)
        out.bitsPerSample = 16;
    else
        out.bitsPerSample = 24;
    return out;
}

std::unique_ptr<juce::AudioFormatWriter> createWriter (const OutputFormat& format,
                                                       std::unique_ptr<juce::OutputStream> stream,
                                                       double sampleRate, int numChannels)
{
    if (format.format == nullptr || stream == nullptr)
        return nullptr;
    const bool flac = dynamic_cast<juce::FlacAudioFormat*> (format.format.get()) != nullptr;
    auto* writer = format.format->createWriterFor (stream.get(), sampleRate, static_cast<unsigned int> (numChannels),
                                                   format.bitsPerSample, {}, flac ? flacQualityIndex : 0);
    if (writer != nullptr)
        stream.release(); // now owned by the writer
    return std::unique_ptr<juce::AudioFormatWriter> (writer);
}

std::string describeFormat (const std::string& formatName, int bitsPerSample, bool isFloat)
{
    if (formatName.rfind ("Ogg", 0) == 0)
        return "Ogg Vorbis"; // lossy: a bit depth would mean nothing
    auto name = formatName;
    for (const char* suffix : { " file", " File" })
        if (name.size() > std::strlen (suffix) && name.compare (name.size() - std::strlen (suffix), std::string::npos, suffix) == 0)
            name.erase (name.size() - std::strlen (suffix));
    return std::to_string (bitsPerSample) + "-bit " + (isFloat ? "float " : "") + name;
}

} // namespace vrc::render

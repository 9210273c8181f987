#include "AudioFiles.h"

#include "PcmContainer.h"
#include "StreamCheck.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

std::string seconds (double frames, double rate)
{
    char text[32];
    const double s = frames / rate;
    std::snprintf (text, sizeof (text), s >= 100.0 ? "%.1f s" : "%.2f s", s);
    return text;
}

/** "header says 24347.9 s, file holds 9.87 s" (in frames when the times read the same). */
std::string shortfall (std::uint64_t claimed, std::int64_t present, double rate)
{
    auto said = seconds ((double) claimed, rate), holds = seconds ((double) present, rate);
    if (said == holds)
    {
        said = std::to_string (claimed) + " frames";
        holds = std::to_string (present) + " frames";
    }
    return "header says " + said + ", file holds " + holds;
}

/** What the file really holds, when it is less than it announces (the reader is trimmed to it). */
std::string checkLength (const juce::File& file, const PcmContainer& container, juce::AudioFormatReader& reader)
{
    const auto rate = reader.sampleRate;
    const auto present = reader.lengthInSamples;
    const std::string rendering = "; rendering what is there";
    if (container.recognised)
    {
        if (! container.claimedFrames)
            return "header gives no length (a recording that was never finished); the file holds "
                   + seconds ((double) present, rate) + rendering;
        if (*container.claimedFrames > (std::uint64_t) present)
            return shortfall (*container.claimedFrames, present, rate) + rendering;
        return {};
    }
    if (reader.getFormatName().startsWith ("FLAC"))
    {
        const auto decoded = countFlacFrames (file).value_or (0);
        if (decoded >= (std::uint64_t) present)
            return {};
        reader.lengthInSamples = (juce::int64) decoded;
        return shortfall ((std::uint64_t) present, (std::int64_t) decoded, rate) + rendering;
    }
    if (reader.getFormatName().startsWith ("Ogg"))
    {
        const auto decoded = countOggFrames (file).value_or (0);
        if (decoded < (std::uint64_t) present)
        {
            reader.lengthInSamples = (juce::int64) decoded;
            return "its last page says " + seconds ((double) present, rate) + ", it decodes to "
                   + seconds ((double) decoded, rate) + rendering;
        }
        if (! oggEndsCleanly (file))
            return "the stream stops without its end mark (the file was cut short); it decodes to "
                   + seconds ((double) present, rate) + rendering;
    }
    return {};
}
/** The format a file's first bytes announce, or nullptr. An ID3 tag may come before FLAC. */
std::unique_ptr<juce::AudioFormat> formatBySignature (const juce::File& file, const PcmContainer& container)
{
    if (container.recognised)
    {
        if (container.isAiff)
            return std::make_unique<juce::AiffAudioFormat>();
        return std::make_unique<juce::WavAudioFormat>();
    }
    juce::FileInputStream in (file);
    std::uint8_t head[10] {};
    if (in.read (head, 10) != 10)
        return nullptr;
    if (std::memcmp (head, "ID3", 3) == 0)
    {
        // The tag's size: four 7-bit bytes, plus a 10-byte footer when flagged.
        const auto size = ((head[6] & 0x7f) << 21) | ((head[7] & 0x7f) << 14) | ((head[8] & 0x7f) << 7) | (head[9] & 0x7f);
        if (! in.setPosition (10 + size + ((head[5] & 0x10) != 0 ? 10 : 0)) || in.read (head, 4) != 4)
            return nullptr;
    }
    if (std::memcmp (head, "fLaC", 4) == 0)
        return std::make_unique<juce::FlacAudioFormat>();
    if (std::memcmp (head, "OggS", 4) == 0)
        return std::make_unique<juce::OggVorbisAudioFormat>();
    return nullptr;
}
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
    auto fileStream = std::make_unique<juce::FileInputStream> (file);
    if (fileStream->failedToOpen())
    {
        in.error = "cannot read " + quoted (file) + ": " + fileStream->getStatus().getErrorMessage().toStdString();
        return in;
    }

    const auto container = scanPcmContainer (file);
    if (! container.error.empty())
    {
        in.error = quoted (file) + " is damaged: " + container.error;
        return in;
    }
    if (container.recognised && container.channels > (int) maximumChannels)
    {
        in.error = quoted (file) + " has " + std::to_string (container.channels)
                   + " channels; VR-C processes mono or stereo audio only";
        return in;
    }
    std::unique_ptr<juce::InputStream> stream = std::move (fileStream);
    if (container.recognised)
        stream = openCleanStream (file, container);

    // Each file goes to the one reader its signature names: a reader tried on
    // another format's bytes may find what it looks for in the middle of them.
    const auto format = formatBySignature (file, container);
    if (format != nullptr && stream != nullptr)
    {
        in.reader.reset (format->createReaderFor (stream.get(), false));
        if (in.reader != nullptr)
            stream.release(); // now the reader's
    }
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
    else if (in.damage = checkLength (file, container, *in.reader); in.reader->lengthInSamples <= 0)
        in.error = quoted (file) + (in.damage.empty() ? " holds no audio" : ": " + in.damage.substr (0, in.damage.find (';')) + ", no audio");

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

std::string fixLargeWav (const juce::File& file, std::uint64_t dataBytes, std::uint64_t frames)
{
    const int fd = ::open (file.getFullPathName().toRawUTF8(), O_RDWR | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat (fd, &info) != 0)
    {
        if (fd >= 0)
            ::close (fd);
        return "cannot finish " + quoted (file) + ": " + std::strerror (errno);
    }
    // The writer's header: RIFF, WAVE, a JUNK chunk reserved for exactly this
    // (36 or 60 bytes), fmt (24 or 48 bytes), data. RF64 needs a 36-byte ds64
    // chunk where the JUNK chunk is; what is left of it stays JUNK.
    std::uint8_t h[12 + 60 + 48 + 8] {};
    std::string error;
    if (::pread (fd, h, sizeof (h), 0) == (ssize_t) sizeof (h) && (std::uint64_t) info.st_size - 8 > 0xffffffffu
        && std::memcmp (h, "RIFF", 4) == 0 && std::memcmp (h + 12, "JUNK", 4) == 0)
    {
        const std::uint32_t junk = h[16] | (h[17] << 8) | (h[18] << 16) | ((std::uint32_t) h[19] << 24);
        const size_t fmtAt = 20 + junk;
        const std::uint32_t fmt = fmtAt + 8 <= sizeof (h) ? h[fmtAt + 4] | (h[fmtAt + 5] << 8) : 0;
        const size_t dataAt = fmtAt + 8 + fmt;
        if ((junk == 28 || junk == 52) && std::memcmp (h + fmtAt, "fmt ", 4) == 0 && dataAt + 8 <= sizeof (h)
            && std::memcmp (h + dataAt, "data", 4) == 0)
        {
            juce::MemoryOutputStream out;
            out.write ("RF64", 4);
            out.writeInt (-1);
            out.write ("WAVE", 4);
            out.write ("ds64", 4);
            out.writeInt (28);
            out.writeInt64 ((juce::int64) info.st_size - 8);
            out.writeInt64 ((juce::int64) dataBytes);
            out.writeInt64 ((juce::int64) frames);
            out.writeInt (0);
            if (junk == 52)
            {
                out.write ("JUNK", 4);
                out.writeInt (16);
                out.writeRepeatedByte (0, 16);
            }
            const bool headOk = ::pwrite (fd, out.getData(), out.getDataSize(), 0) == (ssize_t) out.getDataSize();
            const std::uint8_t unknownSize[4] = { 0xff, 0xff, 0xff, 0xff };
            if (! headOk || ::pwrite (fd, unknownSize, 4, (off_t) dataAt + 4) != 4)
                error = "cannot finish " + quoted (file) + ": " + std::strerror (errno);
        }
        else
        {
            error = "cannot finish " + quoted (file) + ": the WAV writer left a header of an unknown layout";
        }
    }
    else if (std::memcmp (h, "RF64", 4) == 0 && std::memcmp (h + 12, "ds64", 4) == 0)
    {
        // The writer's own RF64 header leaves the frame count at 0, which readers
        // check against the data size and complain about.
        const auto count = (juce::int64) frames;
        juce::MemoryOutputStream le;
        le.writeInt64 (count);
        if (::pwrite (fd, le.getData(), 8, 36) != 8)
            error = "cannot finish " + quoted (file) + ": " + std::strerror (errno);
    }
    ::close (fd);
    return error;
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

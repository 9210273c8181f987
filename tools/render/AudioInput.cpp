#include "AudioInput.h"

#include "StreamCheck.h"

#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vrc::render
{

namespace
{
// libsndfile's log of a header walk fits its own buffer of this size.
constexpr int logBytes = 16384;
// Above this the processor's filters and times are meaningless; such a rate is a damaged header.
constexpr double highestSampleRate = 1.0e6;

std::string seconds (std::int64_t frames, double rate)
{
    char text[32];
    const double s = (double) frames / rate;
    std::snprintf (text, sizeof (text), s >= 100.0 ? "%.1f s" : "%.2f s", s);
    return text;
}

/** "1.30 s (frame 57344)": where a problem is, for a person and for a script. */
std::string at (std::int64_t frame, double rate)
{
    return seconds (frame, rate) + " (frame " + std::to_string (frame) + ")";
}

std::string containerName (int format)
{
    switch (format & SF_FORMAT_TYPEMASK)
    {
        case SF_FORMAT_WAV:
        case SF_FORMAT_WAVEX: return "WAV";
        case SF_FORMAT_RF64: return "RF64 WAV";
        case SF_FORMAT_W64: return "Wave64";
        case SF_FORMAT_AIFF: return "AIFF";
        case SF_FORMAT_FLAC: return "FLAC";
        case SF_FORMAT_OGG: return "Ogg";
        case SF_FORMAT_CAF: return "CAF";
        default: break;
    }
    SF_FORMAT_INFO info { format & SF_FORMAT_TYPEMASK, nullptr, nullptr };
    return sf_command (nullptr, SFC_GET_FORMAT_INFO, &info, sizeof (info)) == 0 && info.name != nullptr ? info.name : "audio";
}

std::string encodingName (int format)
{
    switch (format & SF_FORMAT_SUBMASK)
    {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8: return "8-bit";
        case SF_FORMAT_PCM_16: return "16-bit";
        case SF_FORMAT_PCM_24: return "24-bit";
        case SF_FORMAT_PCM_32: return "32-bit";
        case SF_FORMAT_FLOAT: return "32-bit float";
        case SF_FORMAT_DOUBLE: return "64-bit float";
        case SF_FORMAT_ULAW: return "u-law";
        case SF_FORMAT_ALAW: return "A-law";
        case SF_FORMAT_IMA_ADPCM: return "IMA ADPCM";
        case SF_FORMAT_MS_ADPCM: return "MS ADPCM";
        case SF_FORMAT_VORBIS: return "Vorbis";
        case SF_FORMAT_OPUS: return "Opus";
        default: break;
    }
    SF_FORMAT_INFO info { format & SF_FORMAT_SUBMASK, nullptr, nullptr };
    return sf_command (nullptr, SFC_GET_FORMAT_INFO, &info, sizeof (info)) == 0 && info.name != nullptr ? info.name : "";
}

std::string describe (int format)
{
    const auto encoding = encodingName (format), container = containerName (format);
    if ((format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG)
        return container + " " + encoding;
    return encoding.empty() ? container : encoding + " " + container;
}

/** libsndfile's words on why a file would not open, with the encoding its header
    walk found when that is what it cannot read ("Format : 0x0055 => WAVE_FORMAT_MPEGLAYER3"). */
std::string openFailure()
{
    std::string reason = sf_strerror (nullptr);
    while (! reason.empty() && (reason.back() == '.' || reason.back() == '\n'))
        reason.pop_back();
    char log[logBytes] {};
    sf_command (nullptr, SFC_GET_LOG_INFO, log, sizeof (log) - 1);
    for (const char* line = log; *line != 0;)
    {
        const char* end = std::strchr (line, '\n');
        const std::string text (line, end != nullptr ? (size_t) (end - line) : std::strlen (line));
        if (const auto arrow = text.find ("=> "); text.find ("Format") != std::string::npos && arrow != std::string::npos)
            return reason + "; its encoding is " + text.substr (arrow + 3);
        if (end == nullptr)
            break;
        line = end + 1;
    }
    return reason;
}

/** A size in the header that promises more than the file holds, from libsndfile's
    header log: "data : 176400 (should be 100000)", "Data Size : 88200 (should be
    49956)" (AU), or RF64's frame count against what its file holds. The audio's
    size first, else the container's. A size of all ones is the convention of a
    stream written without going back ("to the end of the file"): no promise. */
std::string headerShortfall (const std::string& log)
{
    std::string found;
    size_t start = 0;
    while (start < log.size())
    {
        auto end = log.find ('\n', start);
        if (end == std::string::npos)
            end = log.size();
        const auto line = log.substr (start, end - start);
        start = end + 1;

        unsigned long long counted = 0, inChunk = 0;
        if (std::sscanf (line.c_str(), "*** Calculated frame count %llu does not match value from 'ds64' chunk of %llu", &counted, &inChunk) == 2
            && inChunk > counted)
            return "its header says the audio holds " + std::to_string (inChunk) + " frames, the file holds " + std::to_string (counted);

        const auto colon = line.find (':'), should = line.find ("(should be ");
        if (colon == std::string::npos || should == std::string::npos || should < colon)
            continue;
        auto first = line.find_first_not_of (' '), last = line.find_last_not_of (' ', colon - 1);
        if (first == std::string::npos || last == std::string::npos || last < first)
            continue;
        const auto name = line.substr (first, last + 1 - first);
        unsigned long long stated = 0, present = 0;
        if (std::sscanf (line.c_str() + colon + 1, " %llu (should be %llu)", &stated, &present) != 2 || stated <= present
            || stated == 0xffffffffull)
            continue;
        const bool audio = name == "data" || name == "SSND" || name == "Data Size";
        // A metadata chunk past the audio that runs off the end loses no audio;
        // a container that does lost what came after its audio chunk.
        const bool container = name == "RIFF" || name == "riff" || name == "RF64" || name == "FORM" || name == "Riff size";
        if (! audio && ! container)
            continue;
        const std::string text = "its header says the '" + name + "' " + (name == "Data Size" ? "field" : "chunk") + " holds "
                                 + std::to_string (stated) + " bytes, the file holds " + std::to_string (present);
        if (audio)
            return text;
        if (found.empty())
            found = text;
    }
    return found;
}

/** Whether a WAV header's sizes were left at all ones, as a stream's are. */
bool streamingSizes (const std::string& log)
{
    return log.find ("data : 4294967295") != std::string::npos || log.find ("data : 0xFFFFFFFF") != std::string::npos;
}

/** Whether an MP3 file's first frame holds the tag that states its length (an
    encoder's "Xing" or "Info" frame): only then is libsndfile's length the file's
    promise rather than an estimate from its size. */
bool mp3StatesLength (int fd)
{
    std::uint8_t head[10] {};
    std::uint64_t start = 0;
    if (::pread (fd, head, sizeof head, 0) == (ssize_t) sizeof head && std::memcmp (head, "ID3", 3) == 0)
        start = 10 + ((std::uint64_t) (head[6] & 0x7f) << 21 | (head[7] & 0x7f) << 14 | (head[8] & 0x7f) << 7 | (head[9] & 0x7f))
                + ((head[5] & 0x10) != 0 ? 10 : 0);
    // The tag sits after the first frame's header and side information: within its first 200 bytes.
    std::uint8_t frame[200] {};
    const auto n = ::pread (fd, frame, sizeof frame, (off_t) start);
    for (ssize_t i = 0; i + 4 <= n; ++i)
        if (std::memcmp (frame + i, "Xing", 4) == 0 || std::memcmp (frame + i, "Info", 4) == 0)
            return true;
    return false;
}

/** Where a WAV file's audio begins, walking its chunks (within the first 64 KiB). */
std::optional<std::uint64_t> wavAudioOffset (int fd)
{
    std::vector<std::uint8_t> head (1 << 16);
    const auto n = ::pread (fd, head.data(), head.size(), 0);
    if (n < 12 || std::memcmp (head.data(), "RIFF", 4) != 0 || std::memcmp (head.data() + 8, "WAVE", 4) != 0)
        return std::nullopt;
    for (std::uint64_t at = 12; at + 8 <= (std::uint64_t) n;)
    {
        const auto* chunk = head.data() + at;
        const std::uint64_t size = chunk[4] | (chunk[5] << 8) | (chunk[6] << 16) | ((std::uint64_t) chunk[7] << 24);
        if (std::memcmp (chunk, "data", 4) == 0)
            return at + 8;
        at += 8 + size + (size & 1);
    }
    return std::nullopt;
}
} // namespace

/** A pipe is read once, so its bytes go through the Ogg page walk on their way to
    the decoder: a thread reads the source, walks the bytes, then hands them on
    through a pipe of its own, so damage is known before the decoder could pass it.
    After decoding, the rest of the source is read for the walk alone (a chained
    stream's second link, a tail after damage). */
struct AudioInput::PipeCheck
{
    OggWalker walker;
    bool isOgg = true; // until its first bytes say otherwise
    std::atomic<bool> stop { false };

    ~PipeCheck()
    {
        stop.store (true);
        if (thread.joinable())
            thread.join();
    }

    /** The descriptor the decoder reads from; -1 when no pipe could be made. */
    int start (int sourceFd)
    {
        int ends[2];
        if (::pipe2 (ends, O_CLOEXEC) != 0)
        {
            ::close (sourceFd);
            return -1;
        }
        source = sourceFd;
        toDecoder = ends[1];
        thread = std::thread ([this] { run(); });
        return ends[0];
    }

    /** After the decoder has closed its end: waits until the source has ended. */
    void finish()
    {
        if (thread.joinable())
            thread.join();
        if (isOgg)
            walker.finish();
    }

private:
    void run()
    {
        std::vector<std::uint8_t> buffer (1 << 16);
        size_t seen = 0;
        while (! stop.load())
        {
            // (a poll with a timeout, so an input abandoned unread never holds up the end)
            pollfd ready { source, POLLIN, 0 };
            if (::poll (&ready, 1, 100) == 0)
                continue;
            const auto n = ::read (source, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            if (seen < 4)
            {
                for (size_t i = 0; i < (size_t) n && seen + i < 4; ++i)
                    isOgg = isOgg && buffer[i] == (std::uint8_t) "OggS"[seen + i];
                seen += (size_t) n;
            }
            if (isOgg)
                walker.push (buffer.data(), (size_t) n);
            if (toDecoder >= 0 && ! forward (buffer.data(), (size_t) n))
                closeDecoderEnd();
        }
        closeDecoderEnd();
        ::close (source);
    }

    bool forward (const std::uint8_t* bytes, size_t n)
    {
        while (n > 0)
        {
            const auto written = ::write (toDecoder, bytes, n);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return false; // the decoder has stopped reading
            bytes += written;
            n -= (size_t) written;
        }
        return true;
    }

    void closeDecoderEnd()
    {
        if (toDecoder >= 0)
            ::close (toDecoder);
        toDecoder = -1;
    }

    int source = -1, toDecoder = -1;
    std::thread thread;
};

AudioInput::AudioInput() = default;

AudioInput::~AudioInput()
{
    if (file != nullptr)
        sf_close (file);
    pipe.reset();
    if (checkFd >= 0)
        ::close (checkFd);
}

bool AudioInput::open (const std::string& name, int maximumChannels)
{
    path = name;
    const bool standardInput = name == "-";
    const std::string quoted = standardInput ? std::string ("standard input") : "'" + name + "'";
    const auto fail = [&] (const std::string& text)
    {
        errorText = text;
        return false;
    };

    struct stat info {};
    if (! standardInput && ::stat (name.c_str(), &info) != 0)
        return fail ("cannot read " + quoted + ": " + (errno == ENOENT ? std::string ("no such file") : std::strerror (errno)));
    if (! standardInput && S_ISDIR (info.st_mode))
        return fail ("cannot read " + quoted + ": it is a folder");
    // A named pipe opens once a writer appears, as with cat; on a terminal, say why nothing happens yet.
    if (! standardInput && S_ISFIFO (info.st_mode) && ::isatty (STDERR_FILENO))
    {
        const auto text = "vrc-render: waiting for a writer on the named pipe " + quoted + "\n";
        [[maybe_unused]] const auto written = ::write (STDERR_FILENO, text.data(), text.size());
    }
    int fd = standardInput ? ::dup (STDIN_FILENO) : ::open (name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return fail ("cannot read " + quoted + ": " + std::strerror (errno));
    struct stat opened {};
    seekable = ::fstat (fd, &opened) == 0 && S_ISREG (opened.st_mode);
    checkPath = name;
    if (seekable && standardInput)
    {
        // (standard input redirected from a file: the checks read it again under its own descriptor)
        checkFd = ::dup (fd);
        checkPath = "/dev/fd/" + std::to_string (checkFd);
    }
    if (! seekable)
    {
        pipe = std::make_unique<PipeCheck>();
        fd = pipe->start (fd);
        if (fd < 0)
            return fail ("cannot read " + quoted + ": " + std::strerror (errno));
    }

    SF_INFO sf {};
    file = sf_open_fd (fd, SFM_READ, &sf, SF_TRUE);
    if (file == nullptr)
        return fail (quoted + " is not an audio file libsndfile can read (" + openFailure() + ")"
                     + (seekable ? std::string() : "; from a pipe it reads WAV, AIFF and Ogg, not FLAC"));

    std::string log (logBytes, '\0');
    sf_command (file, SFC_GET_LOG_INFO, log.data(), logBytes - 1);
    headerLog = log.c_str();

    format = sf.format;
    numChannels = sf.channels;
    rate = sf.samplerate;
    description = describe (format);
    const int encoding = format & SF_FORMAT_SUBMASK, container = format & SF_FORMAT_TYPEMASK;
    opus = encoding == SF_FORMAT_OPUS;
    floatingPoint = encoding == SF_FORMAT_FLOAT || encoding == SF_FORMAT_DOUBLE;
    bits = encoding == SF_FORMAT_PCM_16 ? 16 : (encoding == SF_FORMAT_FLOAT ? 32 : (encoding == SF_FORMAT_DOUBLE ? 64 : 24));
    frames = seekable && sf.frames != SF_COUNT_MAX ? (std::int64_t) sf.frames : -1;
    // From a pipe libsndfile gives the length the header states (an MP3's is a guess,
    // and Ogg's and a stream's all-ones sizes state none).
    const bool statesLength = container != SF_FORMAT_OGG && container != SF_FORMAT_MPEG
                              && ! (container == SF_FORMAT_WAV && streamingSizes (headerLog));
    if (! seekable && statesLength && sf.frames > 0 && sf.frames != SF_COUNT_MAX)
        pipeStated = sf.frames;

    if (numChannels < 1 || numChannels > maximumChannels)
        return fail (quoted + " has " + std::to_string (numChannels) + " channels; VR-C processes mono or stereo audio only");
    if (! (rate > 0.0) || rate > highestSampleRate)
        return fail (quoted + " has an unusable sample rate (" + std::to_string (sf.samplerate) + " Hz)");
    if (seekable)
        checkWholeFile();
    lengthIsEstimate = container == SF_FORMAT_MPEG && ! (seekable && mp3StatesLength (fd));
    if (frames == 0 && seekable && container == SF_FORMAT_WAV && recoverUnsizedWav (fd))
        return true;
    if (frames == 0)
    {
        const auto shortfall = headerShortfall (headerLog);
        return fail (quoted + " holds no audio" + (shortfall.empty() ? std::string() : " (" + shortfall + ")"));
    }
    return true;
}

void AudioInput::checkWholeFile()
{
    const int container = format & SF_FORMAT_TYPEMASK;
    if (container == SF_FORMAT_FLAC)
    {
        fault = checkFlac (checkPath, frames > 0 ? (std::uint64_t) frames : 0);
        // libFLAC gives a damaged frame back as silence and decodes on: stop before it.
        if (fault && fault->located)
            readLimit = (std::int64_t) fault->frame;
    }
    else if (container == SF_FORMAT_OGG)
    {
        const auto ogg = checkOgg (checkPath);
        fault = ogg.fault;
        // libvorbisfile and libopusfile decode on past a hole as if nothing were
        // missing, which moves all later audio earlier: reading stops at the last
        // whole page instead (and after the first stream of a chain).
        if (fault)
            readLimit = framesAt (fault->frame);
        // libsndfile knows no length for an Ogg Vorbis file whose last page is missing;
        // its last whole page tells how far the stream goes (for the plot's time axis).
        if (frames < 0 && ogg.lastPosition > 0)
            frames = framesAt (ogg.lastPosition);
        if ((format & SF_FORMAT_SUBMASK) == SF_FORMAT_VORBIS)
            frames = std::max<std::int64_t> (frames, (std::int64_t) ogg.lastPosition);
    }
}

std::int64_t AudioInput::framesAt (std::uint64_t streamPosition) const noexcept
{
    if (! opus)
        return (std::int64_t) streamPosition;
    return (std::int64_t) ((long double) streamPosition * rate / 48000.0L);
}

/** A WAV whose RIFF and data sizes are both 0 comes from a recorder that stopped
    before it wrote its header: the audio after the header is all there is, and is
    read as raw samples of the header's format. */
bool AudioInput::recoverUnsizedWav (int fd)
{
    if (headerLog.find ("RIFF : 0\n") == std::string::npos || headerLog.find ("data : 0\n") == std::string::npos)
        return false;
    const int encoding = format & SF_FORMAT_SUBMASK;
    if (encoding != SF_FORMAT_PCM_U8 && encoding != SF_FORMAT_PCM_16 && encoding != SF_FORMAT_PCM_24
        && encoding != SF_FORMAT_PCM_32 && encoding != SF_FORMAT_FLOAT && encoding != SF_FORMAT_DOUBLE)
        return false;
    const auto offset = wavAudioOffset (fd);
    struct stat info {};
    if (! offset || ::fstat (fd, &info) != 0 || (std::uint64_t) info.st_size <= *offset)
        return false;
    const int raw = ::open (("/proc/self/fd/" + std::to_string (fd)).c_str(), O_RDONLY | O_CLOEXEC);
    if (raw < 0)
        return false;
    SF_INFO sf {};
    sf.samplerate = (int) rate;
    sf.channels = numChannels;
    sf.format = SF_FORMAT_RAW | encoding | SF_ENDIAN_LITTLE;
    auto* rawFile = sf_open_fd (raw, SFM_READ, &sf, SF_TRUE);
    if (rawFile == nullptr)
        return false;
    sf_count_t start = (sf_count_t) *offset;
    const int sampleBytes = encoding == SF_FORMAT_PCM_U8 ? 1 : (encoding == SF_FORMAT_PCM_16 ? 2 : (encoding == SF_FORMAT_PCM_24 ? 3 : (encoding == SF_FORMAT_DOUBLE ? 8 : 4)));
    const auto whole = ((std::int64_t) info.st_size - (std::int64_t) *offset) / (sampleBytes * numChannels);
    if (sf_command (rawFile, SFC_SET_RAW_START_OFFSET, &start, sizeof (start)) != 0 || whole <= 0
        || sf_seek (rawFile, 0, SEEK_SET) != 0)
    {
        sf_close (rawFile);
        return false;
    }
    sf_close (file);
    file = rawFile;
    frames = readLimit = whole;
    unsized = true;
    return true;
}

std::int64_t AudioInput::limit() const noexcept
{
    std::int64_t at = readLimit;
    if (pipe != nullptr)
        if (const auto whole = pipe->walker.wholeUpTo(); whole >= 0)
            at = at < 0 ? framesAt ((std::uint64_t) whole) : std::min (at, framesAt ((std::uint64_t) whole));
    return at;
}

int AudioInput::read (float* const* channels, int n)
{
    if (const auto end = limit(); end >= 0)
        n = (int) std::min<std::int64_t> (n, end - position);
    if (file == nullptr || n <= 0)
        return 0;
    const auto wanted = (size_t) n * (size_t) numChannels;
    if (interleaved.size() < wanted)
        interleaved.resize (wanted);
    auto got = (int) std::max<sf_count_t> (0, sf_readf_float (file, interleaved.data(), n));
    // (a pipe's damage may have been met while the decoder read ahead)
    if (const auto end = limit(); end >= 0)
        got = (int) std::max<std::int64_t> (0, std::min<std::int64_t> (got, end - position));
    for (int ch = 0; ch < numChannels; ++ch)
    {
        const float* from = interleaved.data() + ch;
        float* to = channels[ch];
        for (int i = 0; i < got; ++i)
            to[i] = from[(size_t) i * (size_t) numChannels];
        // (integer PCM always decodes to finite numbers)
        if (floatingPoint || (format & SF_FORMAT_SUBMASK) > SF_FORMAT_PCM_U8)
            for (int i = 0; i < got; ++i)
                if (! std::isfinite (to[i]))
                {
                    if (firstNonFinite < 0 || position + i < firstNonFinite)
                        firstNonFinite = position + i;
                    ++nonFinite;
                }
    }
    position += got;
    return got;
}

std::vector<std::string> AudioInput::problems()
{
    if (pipe != nullptr)
    {
        // The decoder is done: the rest of the pipe is read for the checks alone.
        if (file != nullptr)
            sf_close (file);
        file = nullptr;
        pipe->finish();
        if (pipe->isOgg)
            fault = pipe->walker.result().fault;
    }

    std::vector<std::string> found;
    if (const auto header = headerShortfall (headerLog); ! header.empty())
        found.push_back (header + "; rendering the " + seconds (position, rate) + " that are there");
    if (unsized)
        found.push_back ("its header gives the audio no size (a recording stopped before its header was written); rendering the "
                         + seconds (position, rate) + " that follow the header");

    // An untagged MP3's length is libsndfile's estimate, not a promise of the file.
    const std::int64_t stated = lengthIsEstimate ? -1 : (seekable ? frames : pipeStated);
    const bool stoppedEarly = stated > 0 && position < stated;
    if (fault && ! fault->located)
        found.push_back (fault->what + "; the " + seconds (position, rate) + " decoded are rendered");
    else if (fault)
    {
        const auto where = framesAt (fault->frame);
        std::string text = fault->exactFrame ? "at " + at (where, rate) + ", byte " + std::to_string (fault->offset)
                                             : "at byte " + std::to_string (fault->offset) + ", after " + at (where, rate);
        text += ": " + fault->what;
        if (stoppedEarly)
            text += "; decoding stops at " + at (position, rate) + ", the " + std::to_string (stated - position)
                    + " frames after it that the header announces are left out";
        else
            text += "; the " + seconds (position, rate) + " decoded before it are rendered";
        found.push_back (text);
    }
    else if (stoppedEarly && found.empty())
        found.push_back ("decoding stops at " + at (position, rate) + " of the " + seconds (stated, rate)
                         + " the header announces; the " + std::to_string (stated - position) + " frames after it are left out");

    if (nonFinite > 0)
        found.push_back (std::to_string (nonFinite) + " samples are not finite numbers (NaN or infinite), the first at "
                         + at (firstNonFinite, rate) + "; the output holds what the plug-in makes of them");
    return found;
}

} // namespace vrc::render

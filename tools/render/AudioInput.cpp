#include "AudioInput.h"

#include "StreamCheck.h"

#include <sndfile.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
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

/** A size field in the header that promises more bytes than the file holds, from
    libsndfile's header log ("data : 176400 (should be 100000)"): the audio chunk's,
    else the container's. */
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
        char name[16] {};
        unsigned long long stated = 0, present = 0;
        if (std::sscanf (line.c_str(), " %15[^ :] : %llu (should be %llu)", name, &stated, &present) != 3 || stated <= present)
            continue;
        const bool audio = std::strcmp (name, "data") == 0 || std::strcmp (name, "SSND") == 0;
        // A metadata chunk past the audio that runs off the end loses no audio;
        // a container that does lost what came after its audio chunk.
        const bool container = std::strcmp (name, "RIFF") == 0 || std::strcmp (name, "riff") == 0
                               || std::strcmp (name, "RF64") == 0 || std::strcmp (name, "FORM") == 0;
        if (! audio && ! container)
            continue;
        const std::string text = stated == 0xffffffffull
                                     ? "its header gives no length for the '" + std::string (name) + "' chunk (a recording that was never finished)"
                                     : "its header says the '" + std::string (name) + "' chunk holds " + std::to_string (stated)
                                           + " bytes, the file holds " + std::to_string (present);
        if (audio)
            return text;
        if (found.empty())
            found = text;
    }
    return found;
}
} // namespace

AudioInput::~AudioInput()
{
    if (file != nullptr)
        sf_close (file);
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
        std::fprintf (stderr, "vrc-render: waiting for a writer on the named pipe %s\n", quoted.c_str());
    const int fd = standardInput ? ::dup (STDIN_FILENO) : ::open (name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return fail ("cannot read " + quoted + ": " + std::strerror (errno));
    struct stat opened {};
    seekable = ::fstat (fd, &opened) == 0 && S_ISREG (opened.st_mode);

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
    const int encoding = format & SF_FORMAT_SUBMASK;
    floatingPoint = encoding == SF_FORMAT_FLOAT || encoding == SF_FORMAT_DOUBLE;
    bits = encoding == SF_FORMAT_PCM_16 ? 16 : (encoding == SF_FORMAT_FLOAT ? 32 : (encoding == SF_FORMAT_DOUBLE ? 64 : 24));
    frames = seekable && sf.frames != SF_COUNT_MAX ? (std::int64_t) sf.frames : -1;
    // libsndfile knows no length for an Ogg Vorbis file whose last page is missing;
    // its last whole page tells how far the stream goes (for the plot's time axis).
    if (frames < 0 && seekable && (format & SF_FORMAT_SUBMASK) == SF_FORMAT_VORBIS)
        if (const auto last = checkOgg (path).lastPosition; last > 0)
        {
            // The walk's length is the first stream's; reading stops there, so a
            // chained stream that libvorbis would decode on (one reusing the first
            // one's serial number) is left out as the warning says.
            frames = (std::int64_t) last;
            readLimit = frames;
        }

    if (numChannels < 1 || numChannels > maximumChannels)
        return fail (quoted + " has " + std::to_string (numChannels) + " channels; VR-C processes mono or stereo audio only");
    if (! (rate > 0.0) || rate > highestSampleRate)
        return fail (quoted + " has an unusable sample rate (" + std::to_string (sf.samplerate) + " Hz)");
    if (frames == 0)
    {
        const auto shortfall = headerShortfall (headerLog);
        return fail (quoted + " holds no audio" + (shortfall.empty() ? std::string() : " (" + shortfall + ")"));
    }
    return true;
}

int AudioInput::read (float* const* channels, int n)
{
    if (readLimit >= 0)
        n = (int) std::min<std::int64_t> (n, readLimit - position);
    if (file == nullptr || n <= 0)
        return 0;
    const auto wanted = (size_t) n * (size_t) numChannels;
    if (interleaved.size() < wanted)
        interleaved.resize (wanted);
    const auto got = (int) sf_readf_float (file, interleaved.data(), n);
    for (int ch = 0; ch < numChannels; ++ch)
    {
        const float* from = interleaved.data() + ch;
        for (int i = 0; i < got; ++i)
        {
            const float v = from[(size_t) i * (size_t) numChannels];
            channels[ch][i] = v;
            if (! std::isfinite (v))
            {
                if (firstNonFinite < 0 || position + i < firstNonFinite)
                    firstNonFinite = position + i;
                ++nonFinite;
            }
        }
    }
    position += std::max (got, 0);
    return std::max (got, 0);
}

std::vector<std::string> AudioInput::problems()
{
    std::vector<std::string> found;
    if (const auto header = headerShortfall (headerLog); ! header.empty())
        found.push_back (header + "; rendering the " + seconds (position, rate) + " that are there");

    std::optional<StreamFault> fault;
    std::int64_t stated = frames;
    const int container = format & SF_FORMAT_TYPEMASK;
    if (seekable && container == SF_FORMAT_FLAC)
        fault = checkFlac (path, frames > 0 ? (std::uint64_t) frames : 0);
    else if (seekable && container == SF_FORMAT_OGG && (format & SF_FORMAT_SUBMASK) == SF_FORMAT_VORBIS)
    {
        // (a Vorbis page's position counts frames; an Opus one's counts 48 kHz samples past a pre-skip)
        const auto ogg = checkOgg (path);
        fault = ogg.fault;
        stated = std::max<std::int64_t> (stated, (std::int64_t) ogg.lastPosition);
    }
    else if (seekable && container == SF_FORMAT_OGG)
        fault = checkOgg (path).fault;

    const bool stoppedEarly = stated > 0 && position < stated;
    if (fault)
    {
        std::string text = fault->exactFrame
                               ? "at " + at ((std::int64_t) fault->frame, rate) + ", byte " + std::to_string (fault->offset)
                               : "at byte " + std::to_string (fault->offset) + ", after " + at ((std::int64_t) fault->frame, rate);
        text += ": " + fault->what;
        if (stoppedEarly)
            text += "; decoding stops at " + at (position, rate) + ", the " + std::to_string (stated - position)
                    + " frames after it that the header announces are left out";
        else
            text += "; the " + seconds (position, rate) + " decoded are rendered";
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

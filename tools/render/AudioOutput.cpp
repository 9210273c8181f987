#include "AudioOutput.h"

#include "Analysis.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cstring>
#include <cstdio>

namespace vrc::render
{

namespace
{
// 4 GiB less room for the header's chunks.
constexpr std::uint64_t largestPlainWavAudio = 0xffffffffull - 4096;
} // namespace

struct OutputCallbacks
{
    static AudioOutput& of (void* user) { return *static_cast<AudioOutput*> (user); }

    static sf_count_t length (void* user) { return of (user).length; }

    static sf_count_t seek (sf_count_t offset, int whence, void* user)
    {
        auto& out = of (user);
        const auto base = whence == SEEK_CUR ? out.stream->getPosition() : (whence == SEEK_END ? out.length : 0);
        return out.stream->setPosition (base + offset) ? out.stream->getPosition() : -1;
    }

    static sf_count_t read (void*, sf_count_t, void*) { return 0; } // a writer never reads back

    static sf_count_t write (const void* data, sf_count_t bytes, void* user)
    {
        auto& out = of (user);
        // Keep what the header holds at the end, for the float WAV form sox expects.
        const auto at = out.stream->getPosition();
        for (sf_count_t i = 0; i < bytes && at + i < (sf_count_t) out.header.size(); ++i)
            out.header[(size_t) (at + i)] = static_cast<const std::uint8_t*> (data)[i];
        if (! out.stream->write (data, (size_t) bytes))
            return 0;
        out.length = std::max<std::int64_t> (out.length, out.stream->getPosition());
        return bytes;
    }

    static sf_count_t tell (void* user) { return of (user).stream->getPosition(); }
};

std::optional<Container> containerFor (const std::string& outputName, std::string& error)
{
    const auto ext = juce::File::createFileWithoutCheckingPath (outputName).getFileExtension().toLowerCase();
    if (ext == ".wav")
        return Container::wav;
    if (ext == ".aif" || ext == ".aiff")
        return Container::aiff;
    if (ext == ".flac")
        return Container::flac;
    error = "cannot write '" + outputName + "': unsupported output format '" + ext.toStdString() + "' (use .wav, .aif, .aiff or .flac)";
    return std::nullopt;
}

std::string checkSampleFormat (Container container, std::optional<SampleFormat> requested)
{
    if (requested == SampleFormat::float32 && container != Container::wav)
        return "32-bit float needs a .wav output";
    return {};
}

OutputFormat chooseOutputFormat (Container container, std::optional<SampleFormat> requested, int inputBits, bool inputIsFloat)
{
    OutputFormat out;
    out.container = container;
    if (requested)
    {
        out.isFloat = *requested == SampleFormat::float32;
        out.bitsPerSample = *requested == SampleFormat::int16 ? 16 : (*requested == SampleFormat::int24 ? 24 : 32);
    }
    else if (inputIsFloat && container == Container::wav)
    {
        out.isFloat = true;
        out.bitsPerSample = 32;
    }
    else
        out.bitsPerSample = ! inputIsFloat && inputBits == 16 ? 16 : 24;
    return out;
}

std::string describeFormat (const OutputFormat& format)
{
    const char* names[] = { "WAV", "AIFF", "FLAC" };
    return std::to_string (format.bitsPerSample) + "-bit " + (format.isFloat ? "float " : "") + names[(int) format.container];
}

AudioOutput::~AudioOutput()
{
    close();
}

namespace
{
/** The header of a WAV stream of unknown length, as pipes carry it: both sizes all
    ones ("to the end"); a float stream's fact chunk says the same of its frame count. */
void writeStreamingWavHeader (juce::OutputStream& out, const OutputFormat& format, double sampleRate, int channels)
{
    const int bytesPerSample = format.bitsPerSample / 8;
    out.write ("RIFF", 4);
    out.writeInt (-1);
    out.write ("WAVEfmt ", 8);
    out.writeInt (format.isFloat ? 18 : 16);
    out.writeShort (format.isFloat ? 3 : 1);
    out.writeShort ((short) channels);
    out.writeInt ((int) sampleRate);
    out.writeInt ((int) sampleRate * channels * bytesPerSample);
    out.writeShort ((short) (channels * bytesPerSample));
    out.writeShort ((short) format.bitsPerSample);
    if (format.isFloat)
    {
        out.writeShort (0);
        out.write ("fact", 4);
        out.writeInt (4);
        out.writeInt (-1);
    }
    out.write ("data", 4);
    out.writeInt (-1);
}
} // namespace

bool AudioOutput::open (std::unique_ptr<juce::OutputStream> target, const OutputFormat& format, double sampleRate, int channels,
                        std::int64_t expectedFrames, bool canSeek)
{
    stream = std::move (target);
    if (stream == nullptr)
        return false;
    // WAV's sizes are 32 bits: audio that may not fit (or of unknown length) goes into
    // RF64, the 64-bit form of the same layout; float goes into the extensible form,
    // which is turned into the plain float form when it is finished.
    const auto audioBytes = (std::uint64_t) std::max<std::int64_t> (expectedFrames, 0) * (std::uint64_t) channels
                            * (std::uint64_t) (format.bitsPerSample / 8);
    const bool large = expectedFrames < 0 || audioBytes > largestPlainWavAudio;
    const int wav = large ? SF_FORMAT_RF64 : (format.isFloat ? SF_FORMAT_WAVEX : SF_FORMAT_WAV);
    int container = format.container == Container::wav ? wav : (format.container == Container::aiff ? SF_FORMAT_AIFF : SF_FORMAT_FLAC);
    // libsndfile writes WAV only where it can go back for the sizes: on a pipe the
    // header is ours and libsndfile writes the samples after it.
    if (! canSeek && format.container == Container::wav)
    {
        writeStreamingWavHeader (*stream, format, sampleRate, channels);
        container = SF_FORMAT_RAW | SF_ENDIAN_LITTLE;
    }
    const int encoding = format.isFloat ? SF_FORMAT_FLOAT : (format.bitsPerSample == 16 ? SF_FORMAT_PCM_16 : SF_FORMAT_PCM_24);
    SF_INFO info {};
    info.samplerate = (int) sampleRate;
    info.channels = channels;
    info.format = container | encoding;
    numChannels = channels;

    static SF_VIRTUAL_IO io { OutputCallbacks::length, OutputCallbacks::seek, OutputCallbacks::read, OutputCallbacks::write,
                              OutputCallbacks::tell };
    file = sf_open_virtual (&io, SFM_WRITE, &info, this);
    if (file == nullptr)
    {
        errorText = sf_strerror (nullptr);
        stream.reset();
        return false;
    }
    floatWav = canSeek && container == SF_FORMAT_WAVEX;
    integerBits = format.isFloat ? 0 : format.bitsPerSample;
    // Past full scale an integer sample is clipped; without this it would wrap round.
    sf_command (file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    return true;
}

bool AudioOutput::write (const float* const* channels, int n)
{
    if (file == nullptr)
        return false;
    const auto wanted = (size_t) n * (size_t) numChannels;
    const bool ok = integerBits == 0 ? writeFloat (channels, n, wanted) : writeInteger (channels, n, wanted);
    if (! ok)
        errorText = sf_strerror (file);
    return ok;
}

bool AudioOutput::writeFloat (const float* const* channels, int n, size_t wanted)
{
    if (interleaved.size() < wanted)
        interleaved.resize (wanted);
    for (int ch = 0; ch < numChannels; ++ch)
        for (int i = 0; i < n; ++i)
            interleaved[(size_t) i * (size_t) numChannels + (size_t) ch] = channels[ch][i];
    return sf_writef_float (file, interleaved.data(), n) == n;
}

namespace
{
/** One sample to an integer of `bits` bits, shifted to the top of 32: rounded to
    the nearest step (halfway to even), clipped at full scale, NaN to 0. */
int toInteger (float v, double scale, int shift) noexcept
{
    // Adding and taking away 1.5 * 2^52 leaves a double rounded to the nearest
    // integer (halfway to even), as nearbyint does, without a library call.
    constexpr double roundingConstant = 6755399441055744.0;
    double x = static_cast<double> (v) * scale; // (exact: a power of two)
    x = x >= scale - 1.0 ? scale - 1.0 : x;
    x = x <= -scale ? -scale : x;
    x = x == x ? x : 0.0; // NaN
    x = (x + roundingConstant) - roundingConstant;
    return static_cast<int> (x) * (1 << shift);
}

struct Counts
{
    std::int64_t clipped = 0, nonFinite = 0;

    void add (float v) noexcept
    {
        const float a = std::fabs (v);
        const bool finite = a <= std::numeric_limits<float>::max(); // (false for NaN)
        nonFinite += finite ? 0 : 1;
        clipped += finite && a > 1.0f ? 1 : 0;
    }
};

#if defined(__SSE2__)
/** Four samples at once, as toInteger does one (the processor's default rounding
    mode is to nearest, halfway to even). */
__m128i toIntegers (__m128 v, float scale, int shift, Counts& counts) noexcept
{
    const __m128 magnitude = _mm_and_ps (v, _mm_castsi128_ps (_mm_set1_epi32 (0x7fffffff)));
    const __m128 finite = _mm_cmple_ps (magnitude, _mm_set1_ps (std::numeric_limits<float>::max()));
    counts.nonFinite += 4 - lanesSet (_mm_movemask_ps (finite));
    counts.clipped += lanesSet (_mm_movemask_ps (_mm_and_ps (finite, _mm_cmpgt_ps (magnitude, _mm_set1_ps (1.0f)))));
    __m128 x = _mm_mul_ps (v, _mm_set1_ps (scale));
    x = _mm_and_ps (x, _mm_cmpord_ps (x, x)); // NaN to 0
    x = _mm_max_ps (_mm_min_ps (x, _mm_set1_ps (scale - 1.0f)), _mm_set1_ps (-scale));
    return _mm_sll_epi32 (_mm_cvtps_epi32 (x), _mm_cvtsi32_si128 (shift));
}
#endif
} // namespace

/** Integer samples are made here rather than by libsndfile, which floors: each
    is rounded to the nearest step (so the error is centred on zero), clipped at
    full scale, +Inf and -Inf taken to the full scale of their sign and NaN to 0.
    They go to libsndfile as 32-bit values it shifts down exactly. */
bool AudioOutput::writeInteger (const float* const* channels, int n, size_t wanted)
{
    if (integers.size() < wanted)
        integers.resize (wanted);
    const float scale = integerBits == 16 ? 32768.0f : 8388608.0f;
    const int shift = 32 - integerBits;
    Counts counts;
    int* to = integers.data();
    int i = 0;
#if defined(__SSE2__)
    if (numChannels == 1)
        for (; i + 4 <= n; i += 4)
            _mm_storeu_si128 (reinterpret_cast<__m128i*> (to + i), toIntegers (_mm_loadu_ps (channels[0] + i), scale, shift, counts));
    else if (numChannels == 2)
        for (; i + 4 <= n; i += 4)
        {
            const __m128i left = toIntegers (_mm_loadu_ps (channels[0] + i), scale, shift, counts);
            const __m128i right = toIntegers (_mm_loadu_ps (channels[1] + i), scale, shift, counts);
            _mm_storeu_si128 (reinterpret_cast<__m128i*> (to + 2 * i), _mm_unpacklo_epi32 (left, right));
            _mm_storeu_si128 (reinterpret_cast<__m128i*> (to + 2 * i + 4), _mm_unpackhi_epi32 (left, right));
        }
#endif
    for (; i < n; ++i)
        for (int ch = 0; ch < numChannels; ++ch)
        {
            counts.add (channels[ch][i]);
            to[(size_t) i * (size_t) numChannels + (size_t) ch] = toInteger (channels[ch][i], scale, shift);
        }
    clipped += counts.clipped;
    nonFinite += counts.nonFinite;
    return sf_writef_int (file, integers.data(), n) == n;
}

/** sox warns on every float WAV that libsndfile writes: on the 16-byte format
    chunk that it lacks its extension, and on the extensible form too (it resolves
    that to float, then finds no extension left). The extensible chunk's 48 bytes
    hold the plain float format chunk with its empty extension, and a JUNK chunk
    for the rest, in place. */
void AudioOutput::writePlainFloatFormat()
{
    const auto* h = header.data();
    const auto le = [&] (size_t at) { return (std::uint32_t) (h[at] | (h[at + 1] << 8) | (h[at + 2] << 16) | ((std::uint32_t) h[at + 3] << 24)); };
    if (std::memcmp (h, "RIFF", 4) != 0 || std::memcmp (h + 12, "fmt ", 4) != 0 || le (16) != 40 || h[20] != 0xfe
        || h[21] != 0xff || h[44] != 3 || h[45] != 0)
        return;
    juce::MemoryOutputStream replacement;
    replacement.write ("fmt ", 4);
    replacement.writeInt (18);
    replacement.writeShort (3); // IEEE float
    replacement.write (h + 22, 12); // channels, rate, bytes per second, block align
    replacement.writeShort (32);
    replacement.writeShort (0); // no extension
    replacement.write ("JUNK", 4);
    replacement.writeInt (14);
    replacement.writeRepeatedByte (0, 14);
    if (stream->setPosition (12))
        stream->write (replacement.getData(), replacement.getDataSize());
}

bool AudioOutput::close()
{
    bool ok = true;
    if (file != nullptr)
    {
        ok = sf_close (file) == 0;
        if (! ok && errorText.empty())
            errorText = sf_strerror (nullptr);
        file = nullptr;
        if (ok && floatWav)
            writePlainFloatFormat();
    }
    stream.reset();
    return ok && errorText.empty();
}

} // namespace vrc::render

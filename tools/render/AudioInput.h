#pragma once
// One audio input, read through libsndfile in bounded blocks: any file it knows,
// or standard input ("-"). Every input of a render goes through one of these.
// Besides the samples it keeps what decoders stay quiet about (a header that
// promises more than the file holds, a stream that stops at damage, a chained
// Ogg file, non-finite samples) and says it in problems() once read to the end.
// Reading stops at the first damage in a compressed stream, so no audio after a
// hole is moved earlier and no frame is invented; a pipe is checked as it passes.
#include "StreamCheck.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct sf_private_tag; // libsndfile's SNDFILE

namespace vrc::render
{

class AudioInput
{
public:
    AudioInput();
    ~AudioInput();
    AudioInput (const AudioInput&) = delete;
    AudioInput& operator= (const AudioInput&) = delete;

    /** Opens path ("-": standard input) for audio of 1 to maximumChannels channels.
        False with error() set, a message that names the file. */
    bool open (const std::string& path, int maximumChannels);

    const std::string& error() const noexcept { return errorText; }
    int channels() const noexcept { return numChannels; }
    double sampleRate() const noexcept { return rate; }
    /** The frames libsndfile finds in the file (as far as the file holds them);
        -1 when unknown before reading to the end (a pipe). */
    std::int64_t length() const noexcept { return frames; }
    /** "24-bit FLAC", "A-law WAV", "Ogg Vorbis". */
    const std::string& formatName() const noexcept { return description; }
    /** 16 for 16-bit PCM, 32 for float, 64 for double, 24 otherwise: what an output can follow. */
    int bitsPerSample() const noexcept { return bits; }
    bool isFloat() const noexcept { return floatingPoint; }

    /** Reads up to n frames into one array per channel; 0 at the end of what can be decoded. */
    int read (float* const* channels, int n);

    std::int64_t framesRead() const noexcept { return position; }
    /** Non-finite samples read so far, and the frame of the first. */
    std::int64_t nonFiniteSamples() const noexcept { return nonFinite; }
    std::int64_t firstNonFiniteFrame() const noexcept { return firstNonFinite; }

    /** After read() returned 0: each thing found wrong with the input, one line each
        saying where and what; empty for a whole file. */
    std::vector<std::string> problems();

private:
    struct PipeCheck; // a pipe's bytes pass through a checker on their way to the decoder
    bool recoverUnsizedWav (int fd);
    std::int64_t framesAt (std::uint64_t streamPosition) const noexcept; // Opus counts at 48 kHz
    void checkWholeFile();
    std::int64_t limit() const noexcept; // the frame past which nothing is read (-1: none)

    std::unique_ptr<PipeCheck> pipe;
    std::string path, checkPath, description, headerLog;
    sf_private_tag* file = nullptr;
    std::string errorText;
    int numChannels = 0, bits = 24, format = 0;
    double rate = 0.0;
    bool floatingPoint = false, seekable = false;
    std::int64_t frames = -1, position = 0, nonFinite = 0, firstNonFinite = -1;
    std::int64_t readLimit = -1; // frames past which nothing is read (-1: none)
    std::int64_t pipeStated = -1; // what a pipe's header announces (-1: nothing, or "to the end")
    int checkFd = -1;             // standard input redirected from a file, open again for the checks
    bool opus = false, unsized = false, lengthIsEstimate = false;
    std::optional<StreamFault> fault;
    std::vector<float> interleaved;
};

} // namespace vrc::render

// Real encodings, made by sox, flac, lame and the Ogg encoders inside the test,
// and damaged copies of them, given as a file, through a pipe or redirected to
// standard input. Every valid file renders in full (the frame count libsndfile's
// own sndfile-info reports) at its real level; every damaged one renders what
// decodes, exits 3 and says what and where, with its audio where it was
// recorded (the render of the undamaged file begins with it); the rest are
// refused with the reason. The processor is set fully dry, so the output is the input.
#include "RenderSupport.h"

#include <gtest/gtest.h>

namespace vrc::test
{
namespace
{
enum class Expect
{
    whole,   // exit 0, libsndfile's frame count, the tone at its level
    damaged, // exit 3, fewer frames or exactly as many (a chain's first stream), the warning
    refused  // exit 1, no output, the message
};

enum class Via
{
    name,     // vrc-render in.x out.wav
    pipe,     // cat in.x | vrc-render - out.wav
    redirect  // vrc-render - out.wav < in.x
};

struct CorpusCase
{
    const char* name;
    const char* file;
    std::string make; // shell commands run in the test folder
    Expect expect;
    const char* message; // on stderr; empty: nothing
    Via via = Via::name;
    const char* original = ""; // the undamaged file: its render begins with the damaged one's
    bool wholeOriginal = false; // ... and is all of it
    int slack = 0;              // frames a whole file may fall short of an estimated length
};

void PrintTo (const CorpusCase& c, std::ostream* os)
{
    *os << c.name;
}

// Shell helpers (for /bin/sh, whose printf knows octal escapes only): a tone at -6 dBFS (peak 0.501), where a chunk id is, one byte changed.
const std::string tools = "tone='synth 0.5 sine 441 gain -6'; vrc='" VRC_RENDER_EXE "'; "
                          "at() { grep -obUa \"$2\" \"$1\" | head -1 | cut -d: -f1; }; "
                          "poke() { printf \"$3\" | dd of=\"$1\" bs=1 seek=$2 conv=notrunc 2>/dev/null; }; "
                          "middle() { echo $(( $(stat -c %s \"$1\") / 2 )); }; "
                          // (every bit of the byte inverted: an Ogg page's serial number is random,
                          // and a byte written over it could be the one already there)
                          "flip() { v=$(dd if=\"$1\" bs=1 skip=$2 count=1 2>/dev/null | od -An -tu1); "
                          "poke \"$1\" $2 \"\\\\$(printf %03o $(( v ^ 255 )))\"; }; ";

class RenderCorpus : public ::testing::TestWithParam<CorpusCase>
{
};

TEST_P (RenderCorpus, EveryFileInFullOrDamageSaid)
{
    const auto& c = GetParam();
    TempFolder dir;
    const auto folder = dir.get().getFullPathName().toStdString();
    const auto made = runShell ("cd '" + folder + "' && " + tools + c.make);
    ASSERT_EQ (made.exitCode, 0) << made.err;
    const auto stated = runShell ("sndfile-info '" + folder + "/" + c.file + "' | awk '/^Frames/ { print $3 }'");
    const int statedFrames = std::atoi (stated.out.c_str());

    const auto input = c.via == Via::name ? dir.path (c.file) : std::string ("-");
    const auto run = runRender (input + " " + dir.path ("out.wav") + " --bits 32f --drywet 0"
                                    + (c.via == Via::redirect ? " < " + dir.path (c.file) : std::string()),
                                std::string ("ulimit -t 20;") + (c.via == Via::pipe ? " cat " + dir.path (c.file) + " |" : ""));
    const int expectedExit = c.expect == Expect::whole ? 0 : (c.expect == Expect::damaged ? 3 : 1);
    ASSERT_EQ (run.exitCode, expectedExit) << run.err;
    // Every line on standard error is vrc-render's own, whoever had something to say.
    juce::StringArray lines;
    lines.addLines (run.err);
    lines.removeEmptyStrings();
    for (const auto& line : lines)
        EXPECT_TRUE (line.startsWith ("vrc-render: ")) << run.err;
    if (*c.message == 0)
        EXPECT_EQ (run.err, "");
    else
        EXPECT_NE (run.err.find (c.message), std::string::npos) << run.err;
    if (c.expect == Expect::refused)
    {
        EXPECT_FALSE (dir.file ("out.wav").exists());
        return;
    }

    const auto out = readAudio (dir.file ("out.wav"));
    if (c.expect == Expect::whole)
    {
        EXPECT_TRUE (out.getNumSamples() <= statedFrames && out.getNumSamples() >= statedFrames - c.slack)
            << out.getNumSamples() << " of " << statedFrames;
        const float peak = out.getMagnitude (0, out.getNumSamples());
        EXPECT_TRUE (peak > 0.48f && peak < 0.53f) << "peak " << peak << ": not the tone at its level";
    }
    else
    {
        EXPECT_GT (out.getNumSamples(), 0);
        if (statedFrames > 0) // (libsndfile knows no length for an Ogg file without its last page)
        {
            EXPECT_LE (out.getNumSamples(), statedFrames);
        }
    }
    if (*c.original != 0)
    {
        const auto whole = runRender (dir.path (c.original) + " " + dir.path ("whole.wav") + " --bits 32f --drywet 0");
        ASSERT_EQ (whole.exitCode, 0) << whole.err;
        const auto reference = readAudio (dir.file ("whole.wav"));
        ASSERT_LE (out.getNumSamples(), reference.getNumSamples());
        if (c.wholeOriginal)
        {
            EXPECT_EQ (out.getNumSamples(), reference.getNumSamples());
        }
        juce::AudioBuffer<float> start (reference.getNumChannels(), out.getNumSamples());
        for (int ch = 0; ch < reference.getNumChannels(); ++ch)
            start.copyFrom (ch, 0, reference, ch, 0, out.getNumSamples());
        EXPECT_EQ (countDifferences (out, start), 0) << "audio moved, invented or lost before the damage";
        // ... and it ends where the warning says the damage is.
        if (const auto frame = run.err.find ("(frame "); frame != std::string::npos)
        {
            EXPECT_EQ (out.getNumSamples(), std::atoi (run.err.c_str() + frame + 7)) << run.err;
        }
    }
    // The summary's input level is the finite samples' (the tone's, about -6 dBFS).
    const auto level = run.out.substr (run.out.find ("input level"), 50);
    EXPECT_NE (level.find ("peak   -"), std::string::npos) << level;
    EXPECT_EQ (level.find ("inf"), std::string::npos) << level;
    EXPECT_EQ (level.find ("nan"), std::string::npos) << level;
    // The same file with --quiet still names the damage in one line.
    if (c.expect == Expect::damaged && c.via == Via::name)
    {
        const auto quiet = runRender (dir.path (c.file) + " " + dir.path ("q.wav") + " --quiet");
        EXPECT_EQ (quiet.exitCode, 3);
        EXPECT_EQ (std::count (quiet.err.begin(), quiet.err.end(), '\n'), 1) << quiet.err;
    }
}

INSTANTIATE_TEST_SUITE_P (
    Files, RenderCorpus,
    ::testing::Values (
        CorpusCase { "Pcm16Wav", "in.wav", "sox -n -r 44100 -c 2 -b 16 in.wav $tone", Expect::whole, "" },
        // 20 bits in 3 bytes and 12 bits in 2: the header's sample size patched in.
        CorpusCase { "Pcm20Wav", "in.wav", "sox -n -r 44100 -c 2 -b 24 in.wav $tone && poke in.wav $(( $(at in.wav 'fmt ') + 22 )) '\\024'",
                     Expect::whole, "" },
        CorpusCase { "Pcm12Aiff", "in.aiff", "sox -n -r 44100 -c 1 -b 16 in.aiff $tone && poke in.aiff $(( $(at in.aiff COMM) + 14 )) '\\000\\014'",
                     Expect::whole, "" },
        CorpusCase { "Aifc", "in.aifc", "sox -n -r 44100 -c 2 -b 16 -t aifc in.aifc $tone", Expect::whole, "" },
        CorpusCase { "ALaw", "in.wav", "sox -n -r 8000 -c 1 -e a-law in.wav $tone", Expect::whole, "" },
        CorpusCase { "MuLaw", "in.wav", "sox -n -r 8000 -c 1 -e u-law in.wav $tone", Expect::whole, "" },
        CorpusCase { "ImaAdpcm", "in.wav", "sox -n -r 22050 -c 1 -e ima-adpcm in.wav $tone", Expect::whole, "" },
        CorpusCase { "MsAdpcm", "in.wav", "sox -n -r 22050 -c 2 -e ms-adpcm in.wav $tone", Expect::whole, "" },
        CorpusCase { "Float64Wav", "in.wav", "sox -n -r 48000 -c 2 -b 64 -e floating-point in.wav $tone", Expect::whole, "" },
        CorpusCase { "Wave64", "in.w64", "sox -n -r 48000 -c 2 -b 24 -t w64 in.w64 $tone", Expect::whole, "" },
        CorpusCase { "Flac24At96k", "in.flac", "sox -n -r 96000 -c 2 -b 24 in.flac $tone", Expect::whole, "" },
        CorpusCase { "Vorbis", "in.ogg", "sox -n -r 44100 -c 2 -b 16 t.wav $tone && oggenc -Q t.wav -o in.ogg", Expect::whole, "" },
        CorpusCase { "Opus", "in.opus", "sox -n -r 48000 -c 2 -b 16 t.wav $tone && opusenc --quiet t.wav in.opus", Expect::whole, "" },
        // A tagger's ID3v1 block after the last FLAC frame; an AIFF whose frame count was
        // never written (its sound chunk says how much there is); an odd-sized chunk and
        // its pad byte before the audio.
        CorpusCase { "FlacWithId3AtTheEnd", "in.flac", "sox -n -r 44100 -c 2 -b 16 in.flac $tone && { printf TAG; head -c 125 /dev/zero; } >> in.flac",
                     Expect::whole, "" },
        CorpusCase { "AiffFrameCountNeverWritten", "in.aiff", "sox -n -r 44100 -c 2 -b 16 in.aiff $tone && poke in.aiff $(( $(at in.aiff COMM) + 10 )) '\\0\\0\\0\\0'",
                     Expect::whole, "" },
        CorpusCase { "OddChunkPadByte", "in.wav",
                     "sox -n -r 8000 -c 1 -b 16 -t raw t.raw $tone && { printf 'RIFF\\160\\037\\0\\0WAVEfmt \\020\\0\\0\\0\\001\\0\\001\\0\\100\\037\\0\\0\\200\\076\\0\\0\\002\\0\\020\\0"
                     "LIST\\003\\0\\0\\0abc\\0data\\100\\037\\0\\0'; cat t.raw; } > in.wav",
                     Expect::whole, "" },

        CorpusCase { "WavCutShort", "in.wav", "sox -n -r 44100 -c 2 -b 16 t.wav $tone && head -c 50000 t.wav > in.wav", Expect::damaged,
                     "its header says the 'data' chunk holds 88200 bytes, the file holds" },
        CorpusCase { "FlacDamagedFrame", "in.flac", "sox -D -n -r 44100 -c 2 -b 16 in.flac synth 2 sine 441 gain -6 && flip in.flac $(middle in.flac)",
                     Expect::damaged, "frames after it that the header announces are left out" },
        CorpusCase { "OggDamagedPage", "in.ogg", "sox -D -n -r 44100 -c 2 -b 16 t.wav synth 8 sine 300-3000 gain -6 && oggenc -Q t.wav -o a.ogg && cp a.ogg in.ogg && flip in.ogg $(middle in.ogg)",
                     Expect::damaged, "a page fails its checksum", Via::name, "a.ogg" },
        CorpusCase { "OggCut", "in.ogg", "sox -n -r 44100 -c 2 -b 16 t.wav synth 2 sine 441 gain -6 && oggenc -Q t.wav -o t.ogg && head -c 9000 t.ogg > in.ogg",
                     Expect::damaged, "cut short" },
        // A chain whose second stream has another rate and channel count: never read as the first's.
        CorpusCase { "OggChained", "in.ogg",
                     "sox -n -r 44100 -c 2 -b 16 a.wav $tone && sox -n -r 48000 -c 1 -b 16 b.wav $tone && oggenc -Q a.wav b.wav && cat a.ogg b.ogg > in.ogg",
                     Expect::damaged, "a second stream begins here (a chained Ogg file" },
        // Damage said whichever way the input comes, and in every container that states a length.
        CorpusCase { "PipedWavCutShort", "in.wav", "sox -n -r 44100 -c 2 -b 16 t.wav $tone && head -c 50000 t.wav > in.wav", Expect::damaged,
                     "standard input: decoding stops at 0.28 s (frame 12489) of the 0.50 s the header announces", Via::pipe },
        CorpusCase { "PipedWavShortByThreeFrames", "in.wav", "sox -n -r 44100 -c 2 -b 16 t.wav $tone && head -c $(( $(stat -c %s t.wav) - 12 )) t.wav > in.wav",
                     Expect::damaged, "the 3 frames after it are left out", Via::pipe, "t.wav" },
        CorpusCase { "PipedOggDamagedPage", "in.ogg", "sox -D -n -r 44100 -c 2 -b 16 t.wav synth 8 sine 300-3000 gain -6 && oggenc -Q t.wav -o a.ogg && cp a.ogg in.ogg && flip in.ogg $(middle in.ogg)",
                     Expect::damaged, "a page fails its checksum", Via::pipe, "a.ogg" },
        CorpusCase { "PipedOggChained", "in.ogg", "sox -n -r 44100 -c 2 -b 16 a.wav $tone && sox -n -r 48000 -c 1 -b 16 b.wav $tone && oggenc -Q a.wav b.wav && cat a.ogg b.ogg > in.ogg",
                     Expect::damaged, "a second stream begins here (a chained Ogg file", Via::pipe, "a.ogg", true },
        CorpusCase { "RedirectedOggChained", "in.ogg", "sox -n -r 44100 -c 2 -b 16 a.wav $tone && oggenc -Q a.wav && cat a.ogg a.ogg a.ogg > in.ogg",
                     Expect::damaged, "a second stream begins here (a chained Ogg file", Via::redirect, "a.ogg", true },
        CorpusCase { "Rf64CutShort", "in.rf64", "sox -n -r 44100 -c 2 -b 16 t.wav $tone && sndfile-convert t.wav t.rf64 && head -c 50000 t.rf64 > in.rf64",
                     Expect::damaged, "its header says the audio holds 22050 frames, the file holds 12474" },
        CorpusCase { "AuCutShort", "in.au", "sox -n -r 44100 -c 2 -b 16 t.au $tone && head -c 50000 t.au > in.au", Expect::damaged,
                     "its header says the 'Data Size' field holds 88200 bytes, the file holds 49956" },
        CorpusCase { "AuShortByThreeFrames", "in.au", "sox -n -r 44100 -c 2 -b 16 t.au $tone && cp t.au in.au && poke in.au 10 '\\130\\224'", Expect::damaged,
                     "the 'Data Size' field holds 88212 bytes, the file holds 88200", Via::name, "t.au", true },
        CorpusCase { "FlacShortByFiveFrames", "in.flac", "sox -n -r 44100 -c 2 -b 16 t.flac $tone && cp t.flac in.flac && poke in.flac 25 '\\047'",
                     Expect::damaged, "the 5 frames after it are left out", Via::name, "t.flac", true },
        CorpusCase { "FlacMd5Mismatch", "in.flac", "sox -D -n -r 44100 -c 2 -b 16 in.flac $tone && flip in.flac 30", Expect::damaged,
                     "does not match the MD5 checksum in its header" },
        // No false alarms: an MP3 without the tag that states its length, our own
        // standard-output stream saved to a file, a header whose sizes were never
        // written (the audio after it is rendered, and that is said).
        CorpusCase { "Mp3WithoutLengthTag", "in.mp3", "sox -n -r 44100 -c 2 -b 16 t.wav synth 2 sine 441 gain -5.6 && lame --quiet -t t.wav in.mp3",
                     Expect::whole, "", Via::name, "", false, 1152 },
        // A tagged MP3 states its length: cut short, that is said (and its decoder's own
        // complaint comes as vrc-render's line, or not at all under --quiet).
        CorpusCase { "Mp3CutShort", "in.mp3", "sox -n -r 44100 -c 2 -b 16 t.wav synth 2 sine 441 gain -5.6 && lame --quiet t.wav t.mp3 && head -c 20000 t.mp3 > in.mp3",
                     Expect::damaged, "of the 2.00 s the header announces" },
        CorpusCase { "OurStreamedWav", "in.wav", "sox -n -r 44100 -c 2 -b 16 t.wav $tone && $vrc -q t.wav - > in.wav", Expect::whole, "" },
        CorpusCase { "WavSizesLeftAtZero", "in.wav",
                     "sox -n -r 44100 -c 2 -b 16 t.wav $tone && cp t.wav in.wav && poke in.wav 4 '\\0\\0\\0\\0' && poke in.wav $(( $(at in.wav data) + 4 )) '\\0\\0\\0\\0'",
                     Expect::damaged, "its header gives the audio no size", Via::name, "t.wav", true },
        // Audio stays where it was recorded: reading stops at the damage.
        CorpusCase { "OpusDamagedPage", "in.opus", "sox -D -n -r 48000 -c 2 -b 16 t.wav synth 4 sine 300-3000 gain -6 && opusenc --quiet t.wav a.opus && cp a.opus in.opus && flip in.opus $(middle in.opus)",
                     Expect::damaged, "a page fails its checksum", Via::name, "a.opus" },
        // (the fourth page, the second of audio, taken out whole: the decoder would join the pages around it;
        // a sweep, so that audio moved by a page's second cannot look like what was there)
        CorpusCase { "OpusPageMissing", "in.opus", "sox -D -n -r 48000 -c 2 -b 16 t.wav synth 4 sine 300-3000 gain -6 && opusenc --quiet t.wav a.opus && "
                     "from=$(grep -obUa OggS a.opus | sed -n 4p | cut -d: -f1) && to=$(grep -obUa OggS a.opus | sed -n 5p | cut -d: -f1) && "
                     "{ head -c $from a.opus; tail -c +$(( to + 1 )) a.opus; } > in.opus",
                     Expect::damaged, "pages are missing before this one", Via::name, "a.opus" },
        CorpusCase { "FlacMonoDamagedFrame", "in.flac", "sox -D -n -r 44100 -c 1 -b 16 a.flac synth 2 sine 441 gain -6 && cp a.flac in.flac && flip in.flac $(( $(stat -c %s in.flac) * 9 / 16 ))",
                     Expect::damaged, "a frame fails its checksum; decoding stops at", Via::name, "a.flac" },
        CorpusCase { "OggChainUnderOneSerial", "in.ogg", "sox -n -r 44100 -c 2 -b 16 a.wav $tone && oggenc -Q a.wav && cat a.ogg a.ogg a.ogg > in.ogg",
                     Expect::damaged, "a second stream begins here (a chained Ogg file", Via::name, "a.ogg", true },
        CorpusCase { "NotFiniteSamples", "in.wav",
                     "sox -n -r 44100 -c 2 -b 32 -e floating-point in.wav $tone && poke in.wav $(( $(at in.wav data) + 4008 )) '\\0\\0\\300\\177\\0\\0\\200\\177'",
                     Expect::damaged, "2 samples are not finite numbers (NaN or infinite), the first at 0.01 s (frame 500)" },

        // An empty audio chunk before a metadata chunk: no audio (the metadata is not played as noise).
        CorpusCase { "EmptyDataThenList", "in.wav",
                     "printf 'RIFF\\060\\0\\0\\0WAVEfmt \\020\\0\\0\\0\\001\\0\\001\\0\\104\\254\\0\\0\\210\\130\\001\\0\\002\\0\\020\\0data\\0\\0\\0\\0LIST\\004\\0\\0\\0INFO' > in.wav",
                     Expect::refused, "holds no audio" },
        CorpusCase { "RateAboveOneMegahertz", "in.wav", "sox -n -r 2000000 -c 1 -b 16 in.wav synth 0.01 sine 1000", Expect::refused,
                     "unusable sample rate (2000000 Hz)" },
        CorpusCase { "UnsupportedEncodingNamed", "in.wav", "sox -n -r 44100 -c 1 -b 16 in.wav $tone && poke in.wav $(( $(at in.wav 'fmt ') + 8 )) '\\125'",
                     Expect::refused, "its encoding is WAVE_FORMAT_MPEGLAYER3" }),
    [] (const auto& p) { return std::string (p.param.name); });

} // namespace
} // namespace vrc::test

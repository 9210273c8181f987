// Inputs whose headers announce more than the files hold (cut short, size fields
// left at 0 or all ones by a recorder that never finished, sizes beyond the
// file): the output holds the frames that exist and no more, a warning names
// the shortfall, and the exit code says the input was damaged. Whole files of
// every format render without a word, and scrambled headers never hang or crash.
#include "RenderSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace vrc::test
{
namespace
{
constexpr double rate = 44100.0;
constexpr int frames = 44100;

using Damage = std::function<void (juce::MemoryBlock&)>;

/** Where a chunk id first appears in the header (the first 200 bytes). */
size_t find (const juce::MemoryBlock& b, const char* id)
{
    const auto* bytes = static_cast<const char*> (b.getData());
    for (size_t i = 0; i + 4 <= std::min<size_t> (b.getSize(), 200); ++i)
        if (std::memcmp (bytes + i, id, 4) == 0)
            return i;
    ADD_FAILURE() << id << " not found";
    return 0;
}

/** Keeps the header and `keep` frames of `bytesPerFrame` bytes (and a stray byte). */
Damage cutAfter (const char* dataId, size_t headerAfterId, int keep, int bytesPerFrame)
{
    return [=] (juce::MemoryBlock& b) { b.setSize (find (b, dataId) + headerAfterId + (size_t) keep * (size_t) bytesPerFrame + 1); };
}

Damage setWavDataSize (std::uint32_t size)
{
    return [=] (juce::MemoryBlock& b)
    {
        const std::uint8_t le[4] = { (std::uint8_t) size, (std::uint8_t) (size >> 8), (std::uint8_t) (size >> 16), (std::uint8_t) (size >> 24) };
        std::memcpy (static_cast<char*> (b.getData()) + find (b, "data") + 4, le, 4);
    };
}

/** Sets the last Ogg page's granule position (its stated length) and its checksum to match. */
Damage setLastOggPosition (std::uint64_t position)
{
    return [=] (juce::MemoryBlock& b)
    {
        auto* bytes = static_cast<std::uint8_t*> (b.getData());
        size_t page = 0;
        for (size_t i = 0; i + 4 <= b.getSize(); ++i)
            if (std::memcmp (bytes + i, "OggS", 4) == 0)
                page = i;
        for (int k = 0; k < 8; ++k)
            bytes[page + 6 + (size_t) k] = (std::uint8_t) (position >> (8 * k));
        std::memset (bytes + page + 22, 0, 4);
        std::uint32_t crc = 0; // Ogg's CRC-32: polynomial 0x04c11db7, not reflected, over the whole page
        for (size_t i = page; i < b.getSize(); ++i)
        {
            crc ^= (std::uint32_t) bytes[i] << 24;
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 0x80000000u) != 0 ? (crc << 1) ^ 0x04c11db7u : crc << 1;
        }
        for (int k = 0; k < 4; ++k)
            bytes[page + 22 + (size_t) k] = (std::uint8_t) (crc >> (8 * k));
    };
}

Damage keepShare (double share)
{
    return [=] (juce::MemoryBlock& b) { b.setSize ((size_t) ((double) b.getSize() * share)); };
}

struct DamageCase
{
    const char* name;
    const char* file;
    int bits;
    Damage damage;       // none for a whole file
    const char* warning; // on stderr; empty: nothing on stderr
    int expectedFrames;  // -1: fewer than whole, more than none; -2: whole, up to one codec block more
};

void PrintTo (const DamageCase& c, std::ostream* os)
{
    *os << c.name;
}

class RenderDamaged : public ::testing::TestWithParam<DamageCase>
{
};

TEST_P (RenderDamaged, RendersWhatIsThereAndSaysSo)
{
    const auto& c = GetParam();
    TempFolder dir;
    const auto input = testSignal (2, rate, 1.0);
    const auto in = dir.file (c.file);
    ASSERT_TRUE (writeAudioFile (in, input, rate, c.bits));
    if (c.damage)
    {
        juce::MemoryBlock bytes;
        ASSERT_TRUE (in.loadFileAsData (bytes));
        c.damage (bytes);
        ASSERT_TRUE (in.replaceWithData (bytes.getData(), bytes.getSize()));
    }

    const bool wav = in.hasFileExtension ("wav");
    const auto run = runRender ("'" + in.getFullPathName().toStdString() + "' " + dir.path ("out.wav") + " --bits 32f");
    const bool damaged = *c.warning != 0;
    ASSERT_EQ (run.exitCode, damaged ? 3 : 0) << run.err;
    if (damaged)
        EXPECT_NE (run.err.find (c.warning), std::string::npos) << run.err;
    else
        EXPECT_EQ (run.err, "");

    const auto out = readAudio (dir.file ("out.wav"));
    if (c.expectedFrames >= 0)
        EXPECT_EQ (out.getNumSamples(), c.expectedFrames);
    else if (c.expectedFrames == -1)
        EXPECT_TRUE (out.getNumSamples() > 0 && out.getNumSamples() < frames) << out.getNumSamples();
    else
        EXPECT_TRUE (out.getNumSamples() >= frames && out.getNumSamples() <= frames + 2048) << out.getNumSamples();
    // No invented frames: the tone under the bursts runs to the output's last sample
    // (or into the codec's own padding of its last block).
    ASSERT_GT (out.getNumSamples(), 256);
    if (c.expectedFrames != -2)
    {
        EXPECT_GT (out.getMagnitude (out.getNumSamples() - 256, 256), 0.02f);
    }
    // And the frames that are there are the processor's output for them, exactly.
    if (wav && c.expectedFrames >= 0)
    {
        juce::AudioBuffer<float> present (2, out.getNumSamples());
        for (int ch = 0; ch < 2; ++ch)
            present.copyFrom (ch, 0, input, ch, 0, out.getNumSamples());
        EXPECT_EQ (countDifferences (out, processInTest (present, { 0.0f, 0.5f, 0.0f, 0.05f, 0.1f, 0.94f, 1.0f, 1.0f }, rate, 512)), 0);
    }
}

// WAV inputs are 32-bit float stereo (8 bytes a frame); the writer's WAV header
// ends 8 bytes after "data", its AIFF header 16 bytes after "SSND".
INSTANTIATE_TEST_SUITE_P (
    Inputs, RenderDamaged,
    ::testing::Values (
        DamageCase { "WavWhole", "in.wav", 32, {}, "", frames },
        DamageCase { "AiffWhole", "in.aiff", 16, {}, "", frames },
        DamageCase { "FlacWhole", "in.flac", 16, {}, "", frames },
        DamageCase { "OggWhole", "in.ogg", 16, {}, "", frames },
        DamageCase { "WavCutShort", "in.wav", 32, cutAfter ("data", 8, 10000, 8), "its header says the 'data' chunk holds 352800 bytes, the file holds 80001; rendering the 0.23 s", 10000 },
        DamageCase { "WavCutByAFewFrames", "in.wav", 32, cutAfter ("data", 8, frames - 3, 8), "its header says the 'data' chunk holds 352800 bytes, the file holds 352777", frames - 3 },
        DamageCase { "WavSizeBeyondFile", "in.wav", 32, setWavDataSize (0xfffffff0u), "its header says the 'data' chunk holds 4294967280 bytes, the file holds 352800", frames },
        // (all ones: the size of a stream written without going back, no promise)
        DamageCase { "WavSizeAllOnes", "in.wav", 32, setWavDataSize (0xffffffffu), "", frames },
        DamageCase { "AiffCutShort", "in.aiff", 16, cutAfter ("SSND", 16, 10000, 4), "its header says the 'SSND' chunk holds 176408 bytes, the file holds 40009; rendering the 0.23 s", 10000 },
        DamageCase { "FlacCutShort", "in.flac", 16, keepShare (0.5), "bytes that are no FLAC frame (lost sync); decoding stops at", -1 },
        DamageCase { "OggLastPageClaimsAnHour", "in.ogg", 16, setLastOggPosition (3600 * 44100), "decoding stops at 1.01 s (frame 44480) of the 3600.0 s the header announces", -2 },
        DamageCase { "OggCutShort", "in.ogg", 16, keepShare (0.8), "the file is cut short inside a page", -1 }),
    [] (const auto& p) { return std::string (p.param.name); });

// Header bytes scrambled at random, and a chunk that claims far more than the
// file holds after the audio (a loop in the framework's own parser): every run
// ends, with a clean refusal or with an output that reads back.
TEST (RenderDamaged, ScrambledHeadersEndCleanly)
{
    TempFolder dir;
    const auto input = testSignal (1, rate, 0.05);
    juce::Random random (99);
    int runs = 0;
    for (const char* name : { "s.wav", "s.aiff" })
    {
        ASSERT_TRUE (writeAudioFile (dir.file (name), input, rate, 16));
        juce::MemoryBlock whole;
        ASSERT_TRUE (dir.file (name).loadFileAsData (whole));
        for (int round = 0; round < 24; ++round, ++runs)
        {
            auto bytes = whole;
            auto* b = static_cast<std::uint8_t*> (bytes.getData());
            for (int k = 0; k < 1 + round % 4; ++k)
                b[random.nextInt (120)] = (std::uint8_t) random.nextInt (256);
            const auto in = dir.file ("x" + std::string (name));
            ASSERT_TRUE (in.replaceWithData (bytes.getData(), bytes.getSize()));
            const auto run = runRender (dir.path ("x" + std::string (name)) + " " + dir.path ("o.wav") + " --overwrite");
            EXPECT_TRUE (run.exitCode == 0 || run.exitCode == 1 || run.exitCode == 3) << run.exitCode << run.err;
            if (run.exitCode != 1)
            {
                EXPECT_GT (readAudio (dir.file ("o.wav")).getNumSamples(), 0) << run.err;
            }
        }
    }

    // Found by fuzzing: an AIFF header whose bytes a FLAC reader once took for 401 s
    // of FLAC frames; its rate field says 800 MHz.
    const auto lookalike = runRender ("'" VRC_TEST_DATA_DIR "/render/aiff-read-as-flac.aiff' " + dir.path ("l.wav"));
    EXPECT_EQ (lookalike.exitCode, 1) << lookalike.out;
    EXPECT_NE (lookalike.err.find ("unusable sample rate"), std::string::npos) << lookalike.err;

    juce::MemoryBlock bytes;
    ASSERT_TRUE (dir.file ("s.wav").loadFileAsData (bytes));
    const char list[] = { 'L', 'I', 'S', 'T', '\xf0', '\xff', '\xff', '\x7f', 'a', 'd', 't', 'l' };
    bytes.append (list, sizeof (list));
    ASSERT_TRUE (dir.file ("list.wav").replaceWithData (bytes.getData(), bytes.getSize()));
    const auto run = runRender (dir.path ("list.wav") + " " + dir.path ("list-out.wav"));
    EXPECT_EQ (run.exitCode, 0) << run.err;
    EXPECT_EQ (readAudio (dir.file ("list-out.wav")).getNumSamples(), input.getNumSamples());
}

TEST (RenderDamage, ChainedOggReusingItsSerialStopsWhereTheWarningSays)
{
    // A fuzzing find: a second stream under the first one's serial number, in a
    // file whose length libsndfile does not know. libvorbis decodes on into it,
    // so the output once held 0.4 s while the warning said only the first
    // stream (0.2 s, 1600 frames) was read.
    TempFolder dir;
    const auto run = runRender ("'" VRC_TEST_DATA_DIR "/render/ogg-chain-reusing-serial.ogg' " + dir.path ("o.wav"));
    EXPECT_EQ (run.exitCode, 3) << run.err;
    EXPECT_NE (run.err.find ("only the first stream is read"), std::string::npos) << run.err;
    EXPECT_EQ (readAudio (dir.file ("o.wav")).getNumSamples(), 1600);
}

TEST (RenderDamage, EveryKeptAudioFileEndsWithAVerdict)
{
    // Every kept input file, sample or fuzzing find, is rendered or refused with a
    // message; none crashes or hangs (the CPU limit ends a hang).
    TempFolder dir;
    for (const auto& entry : juce::RangedDirectoryIterator (juce::File (VRC_TEST_DATA_DIR "/render"), false))
    {
        const auto run = runRender ("'" + entry.getFile().getFullPathName().toStdString() + "' " + dir.path ("o.wav") + " --overwrite",
                                    "ulimit -t 20;");
        EXPECT_TRUE (run.exitCode == 0 || run.exitCode == 1 || run.exitCode == 3)
            << entry.getFile().getFileName() << " exit " << run.exitCode << ": " << run.err;
    }
}

} // namespace
} // namespace vrc::test

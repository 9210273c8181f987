// vrc-render --sidechain: the output is the engine's for the input with that
// key, the key cut to the input's length or, when shorter, followed by silence
// (and a warning). The expectation runs the engine itself with a key padded or
// cut here, so the tool's reading, alignment and block handling are what is tested.
#include "RenderSupport.h"

#include "EngineHelpers.h"
#include "ProcessorBlocks.h"

#include <gtest/gtest.h>

namespace vrc::test
{
namespace
{
constexpr double rate = 44100.0;

// Linear curve with the widest knee: a silent key gives a gain of exactly 1.
const std::string options = "--threshold -24 --ratio 1 --attack 0.002 --release 0.02 --knee 1 --curve linear --bits 32f";

/** The engine's output for input and key, and the smallest gain it applied. */
juce::AudioBuffer<float> expected (const juce::AudioBuffer<float>& input, const juce::AudioBuffer<float>& key, int blockSize,
                                   float& smallestGain)
{
    CompressorEngine engine;
    configure (engine, (float) rate, EngineSettings { -24.0f, 1.0f, 0.0f, 0.002f, 0.02f, 1.0f, 1.0f, 0.0f });

    // The key as the tool must hear it: the input's length, silence past its end.
    juce::AudioBuffer<float> heard (key.getNumChannels(), input.getNumSamples());
    heard.clear();
    for (int ch = 0; ch < key.getNumChannels(); ++ch)
        heard.copyFrom (ch, 0, key, ch, 0, std::min (key.getNumSamples(), input.getNumSamples()));

    auto output = input;
    std::vector<float> gains ((size_t) output.getNumSamples());
    processInBlocks (engine, output.getArrayOfWritePointers(), output.getNumChannels(), output.getNumSamples(), blockSize,
                     heard.getArrayOfReadPointers(), heard.getNumChannels(), gains.data());
    smallestGain = 1.0f;
    for (float g : gains)
        smallestGain = std::min (smallestGain, g);
    return output;
}

/** Loud 0.1 s bursts every 0.3 s. */
juce::AudioBuffer<float> bursts (int channels, double seconds)
{
    return toBuffer (test::bursts (channels, (int) (seconds * rate), { 13230, 4410, 0.8f, 0.03f }));
}
} // namespace

TEST (RenderSidechain, KeyDucksTheInputAndIsPaddedOrCutToItsLength)
{
    struct Row { int inputChannels, keyChannels; double keySeconds; int blockSize; bool warned; };
    const Row rows[] = { { 2, 1, 0.6, 512, true }, { 1, 2, 1.5, 300, false }, { 2, 2, 3.0, 64, false }, { 1, 1, 0.4, 4096, true } };
    for (const auto& row : rows)
    {
        SCOPED_TRACE ("key " + std::to_string (row.keyChannels) + " ch, " + std::to_string (row.keySeconds) + " s");
        TempFolder dir;
        const auto input = testSignal (row.inputChannels, rate, 1.5);
        const auto key = bursts (row.keyChannels, row.keySeconds);
        ASSERT_TRUE (writeWav (dir.file ("in.wav"), input, rate));
        ASSERT_TRUE (writeWav (dir.file ("key.wav"), key, rate));

        const auto run = runRender (dir.path ("in.wav") + " " + dir.path ("out.wav") + " --sidechain " + dir.path ("key.wav")
                                    + " --block " + std::to_string (row.blockSize) + " " + options);
        ASSERT_EQ (run.exitCode, 0) << run.err;
        EXPECT_EQ (run.err.find ("the detector heard silence after the key's end") != std::string::npos, row.warned) << run.err;
        EXPECT_NE (run.out.find (row.keyChannels == 1 ? "mono (the detector follows it)" : "stereo (the detector follows it)"),
                   std::string::npos) << run.out;

        const auto rendered = readAudio (dir.file ("out.wav"));
        float smallestGain = 1.0f;
        EXPECT_EQ (countDifferences (rendered, expected (input, key, row.blockSize, smallestGain)), 0);
        // The summary's (and the plot's) gain reduction is the key's too.
        char largest[64];
        std::snprintf (largest, sizeof largest, "largest %.2f dB", -20.0 * std::log10 ((double) smallestGain));
        EXPECT_NE (run.out.find (largest), std::string::npos) << largest << " in " << run.out;
        // Ducked while the key plays; the input as it was once the key has long been silent.
        EXPECT_LT (std::abs (rendered.getSample (0, 2000)), std::abs (input.getSample (0, 2000)) + 1e-9f);
        EXPECT_GT (countDifferences (rendered, input), 0);
        if (row.warned)
        {
            const int tail = input.getNumSamples() - 4000;
            for (int ch = 0; ch < input.getNumChannels(); ++ch)
                EXPECT_EQ (std::memcmp (rendered.getReadPointer (ch, tail), input.getReadPointer (ch, tail), 4000 * sizeof (float)), 0);
        }
    }
}

TEST (RenderSidechain, ADamagedKeyStopsAtTheDamageWhetherFileOrPipe)
{
    // An Ogg key with a page that fails its checksum: the detector hears the key up
    // to the last whole page and silence after it, never later audio moved earlier.
    TempFolder dir;
    const auto input = testSignal (2, rate, 4.0);
    ASSERT_TRUE (writeWav (dir.file ("in.wav"), input, rate));
    ASSERT_TRUE (writeWav (dir.file ("key.wav"), testSignal (2, rate, 4.0), rate, 16)); // (noisy: many Ogg pages)
    const auto folder = "'" + dir.get().getFullPathName().toStdString() + "'";
    const auto made = runShell ("cd " + folder + " && oggenc -Q key.wav && cp key.ogg bad.ogg && at=$(( $(stat -c %s bad.ogg) / 2 )) && "
                                "printf '\\125\\125' | dd of=bad.ogg bs=1 seek=$at conv=notrunc 2>/dev/null");
    ASSERT_EQ (made.exitCode, 0) << made.err;
    // The key as decoded from the undamaged file, the reference's source.
    ASSERT_EQ (runRender (dir.path ("key.ogg") + " " + dir.path ("decoded.wav") + " --drywet 0 --bits 32f").exitCode, 0);
    const auto decoded = readAudio (dir.file ("decoded.wav"));

    for (const std::string via : { "file", "pipe" })
    {
        SCOPED_TRACE (via);
        const bool pipe = via == "pipe";
        const auto run = runRender (dir.path ("in.wav") + " " + dir.path ("out.wav") + " --overwrite --sidechain "
                                        + (pipe ? std::string ("-") : dir.path ("bad.ogg")) + " " + options,
                                    pipe ? "cat " + dir.path ("bad.ogg") + " |" : std::string());
        ASSERT_EQ (run.exitCode, 3) << run.err;
        const auto said = run.err.find ("a page fails its checksum");
        ASSERT_NE (said, std::string::npos) << run.err;
        const auto frameAt = run.err.rfind ("(frame ", said);
        ASSERT_NE (frameAt, std::string::npos) << run.err;
        const int heard = std::atoi (run.err.c_str() + frameAt + 7);
        ASSERT_GT (heard, 0) << run.err;
        ASSERT_LT (heard, input.getNumSamples());

        juce::AudioBuffer<float> key (2, heard);
        for (int ch = 0; ch < 2; ++ch)
            key.copyFrom (ch, 0, decoded, ch, 0, heard);
        float smallestGain = 1.0f;
        EXPECT_EQ (countDifferences (readAudio (dir.file ("out.wav")), expected (input, key, 512, smallestGain)), 0);
    }

    // A WAV key cut short, through a pipe: its header's length is the promise.
    const auto cut = runRender (dir.path ("in.wav") + " " + dir.path ("out.wav") + " --overwrite --sidechain - " + options,
                                "head -c 100000 " + dir.path ("key.wav") + " |");
    EXPECT_EQ (cut.exitCode, 3) << cut.err;
    EXPECT_NE (cut.err.find ("--sidechain key standard input: decoding stops at"), std::string::npos) << cut.err;
}
} // namespace vrc::test

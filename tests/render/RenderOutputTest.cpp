// What vrc-render writes: the processor's own output for the same settings, to
// the bit, whatever the block size, whether the settings come as options or as
// a chunk, for mono and stereo, one file or several.
#include "RenderSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace vrc::test
{
namespace
{
constexpr double rate = 44100.0;

struct Case
{
    const char* name;
    int channels;
    std::string options;
    SettingsValues values; // threshold, ratio, gain, attack, release, knee, dry/wet, curve
};

void PrintTo (const Case& c, std::ostream* os)
{
    *os << c.name;
}

class RenderMatchesProcessor : public ::testing::TestWithParam<Case>
{
};

TEST_P (RenderMatchesProcessor, SampleForSample)
{
    const auto& c = GetParam();
    TempFolder dir;
    const auto input = testSignal (c.channels, rate, 1.3);
    ASSERT_TRUE (writeWav (dir.file ("in.wav"), input, rate));

    const auto run = runRender (dir.path ("in.wav") + " " + dir.path ("out.wav") + " --bits 32f " + c.options);
    ASSERT_EQ (run.exitCode, 0) << run.err;
    EXPECT_EQ (run.err, "") << "nothing on stderr when it is not a terminal (no progress bar)";
    EXPECT_NE (run.out.find ("gain reduction"), std::string::npos) << run.out;

    double outRate = 0.0;
    const auto rendered = readAudio (dir.file ("out.wav"), &outRate);
    EXPECT_EQ (outRate, rate);
    const auto expected = processInTest (input, c.values, rate, 512);
    EXPECT_EQ (countDifferences (rendered, expected), 0);
    // The comparison must be able to fail: the settings really change the audio.
    EXPECT_GT (countDifferences (rendered, input), input.getNumSamples() / 2);
}

INSTANTIATE_TEST_SUITE_P (
    Settings, RenderMatchesProcessor,
    ::testing::Values (
        Case { "StereoExp", 2,
               "--threshold -20 --ratio 0.75 --gain 6 --attack 0.01 --release 0.2 --knee 0.5 --drywet 100 --curve exp",
               SettingsValues { -20.0f, 0.75f, 6.0f, 0.01f, 0.2f, 0.5f, 1.0f, 1.0f } },
        Case { "MonoLinearHalfWet", 1,
               "--threshold=-30 --ratio 1 --gain=+3.5 --attack 0 --release 0.05 --knee 0 --drywet 50 --curve linear",
               SettingsValues { -30.0f, 1.0f, 3.5f, 0.0f, 0.05f, 0.0f, 0.5f, 0.0f } },
        Case { "StereoDefaultsExceptThreshold", 2, "--threshold -12",
               SettingsValues { -12.0f, 0.5f, 0.0f, 0.05f, 0.1f, 0.94f, 1.0f, 1.0f } },
        Case { "ForcedBeyondRange", 2, "--threshold -50 --gain 36 --force",
               SettingsValues { -50.0f, 0.5f, 36.0f, 0.05f, 0.1f, 0.94f, 1.0f, 1.0f } }),
    [] (const auto& p) { return std::string (p.param.name); });

TEST (RenderBlockSize, OddHostBlocksGiveTheSameAudio)
{
    TempFolder dir;
    ASSERT_TRUE (writeWav (dir.file ("in.wav"), testSignal (2, rate, 0.7), rate));
    const std::string settings = " --bits 32f --threshold -24 --attack 0.002 --release 0.08 --curve linear";
    ASSERT_EQ (runRender (dir.path ("in.wav") + " " + dir.path ("512.wav") + settings).exitCode, 0);
    const auto reference = readAudio (dir.file ("512.wav"));

    for (int block : { 1, 37, 4096, 100000 })
    {
        const auto name = std::to_string (block) + ".wav";
        const auto run = runRender (dir.path ("in.wav") + " " + dir.path (name) + settings + " --block " + std::to_string (block));
        ASSERT_EQ (run.exitCode, 0) << run.err;
        EXPECT_EQ (countDifferences (readAudio (dir.file (name)), reference), 0) << "block " << block;
    }
}

TEST (RenderState, ChunkAndOptionsGiveTheSameAudio)
{
    TempFolder dir;
    ASSERT_TRUE (writeWav (dir.file ("in.wav"), testSignal (2, rate, 0.8), rate));
    const std::string options = " --threshold -22.5 --ratio 0.8 --gain 4 --attack 0.003 --release 0.3 --knee 0.7 --drywet 90 --curve exp";

    // Options, also saving them as a chunk.
    auto run = runRender (dir.path ("in.wav") + " " + dir.path ("options.wav") + " --bits 32f" + options
                          + " --save-state " + dir.path ("saved.chunk"));
    ASSERT_EQ (run.exitCode, 0) << run.err;

    // The chunk holds exactly the values given, in the plug-in's layout.
    juce::MemoryBlock saved;
    ASSERT_TRUE (dir.file ("saved.chunk").loadFileAsData (saved));
    const auto restored = readSettingsChunk (saved.getData(), (int) saved.getSize());
    ASSERT_TRUE (restored[(size_t) ParameterId::dryWet].has_value());
    EXPECT_EQ (*restored[(size_t) ParameterId::threshold], -22.5f);
    EXPECT_EQ (*restored[(size_t) ParameterId::dryWet], 0.9f);
    EXPECT_EQ (*restored[(size_t) ParameterId::release], 0.3f);

    // The saved chunk, and a chunk written as a host would, give the same audio.
    run = runRender (dir.path ("in.wav") + " " + dir.path ("state.wav") + " --bits 32f --state " + dir.path ("saved.chunk"));
    ASSERT_EQ (run.exitCode, 0) << run.err;
    EXPECT_EQ (countDifferences (readAudio (dir.file ("state.wav")), readAudio (dir.file ("options.wav"))), 0);

    const auto hostChunk = writeSettingsChunk (SettingsValues { -22.5f, 0.8f, 4.0f, 0.003f, 0.3f, 0.7f, 0.9f, 1.0f });
    ASSERT_TRUE (dir.file ("host.chunk").replaceWithData (hostChunk.data(), hostChunk.size()));
    run = runRender (dir.path ("in.wav") + " " + dir.path ("host.wav") + " --bits 32f --state " + dir.path ("host.chunk"));
    ASSERT_EQ (run.exitCode, 0) << run.err;
    EXPECT_EQ (countDifferences (readAudio (dir.file ("host.wav")), readAudio (dir.file ("options.wav"))), 0);

    // An option after a chunk overrides that one value only.
    run = runRender (dir.path ("in.wav") + " " + dir.path ("override.wav") + " --bits 32f --state " + dir.path ("host.chunk")
                     + " --gain 0");
    ASSERT_EQ (run.exitCode, 0) << run.err;
    const auto expected = processInTest (readAudio (dir.file ("in.wav")),
                                         SettingsValues { -22.5f, 0.8f, 0.0f, 0.003f, 0.3f, 0.7f, 0.9f, 1.0f }, rate, 512);
    EXPECT_EQ (countDifferences (readAudio (dir.file ("override.wav")), expected), 0);

    // A chunk's value the control cannot reach is used as the plug-in would, with a word.
    const auto wild = writeSettingsChunk (SettingsValues { -22.5f, 0.8f, 4.0f, 0.003f, 0.3f, 0.7f, 1.0e32f, 1.0f });
    ASSERT_TRUE (dir.file ("wild.chunk").replaceWithData (wild.data(), wild.size()));
    run = runRender (dir.path ("in.wav") + " " + dir.path ("wild.wav") + " --state " + dir.path ("wild.chunk"));
    EXPECT_EQ (run.exitCode, 0) << run.err;
    EXPECT_NE (run.err.find ("sets dry/wet to 1.00000004e+34 %, outside the control's range 0 .. 100 %"), std::string::npos) << run.err;

    // A chunk whose text once hung the framework's parser restores what it holds
    // (gain 3), at once; the command's time limit catches a hang.
    run = runRender (dir.path ("in.wav") + " " + dir.path ("kept-finding.wav") + " --bits 32f --state "
                         + VRC_TEST_DATA_DIR "/findings/hang-well-formed-instruction-then-text.vstchunk",
                     "ulimit -t 20;");
    ASSERT_EQ (run.exitCode, 0) << run.err;
    EXPECT_EQ (countDifferences (readAudio (dir.file ("kept-finding.wav")),
                                 processInTest (readAudio (dir.file ("in.wav")), SettingsValues { 0.0f, 0.5f, 3.0f, 0.05f, 0.1f, defaultKnee, 1.0f, 1.0f }, rate, 512)),
               0);
}

TEST (RenderFormats, IntegerOutputsFollowTheInputAndReportClipping)
{
    TempFolder dir;
    auto loud = testSignal (2, rate, 0.5);
    ASSERT_TRUE (writeWav (dir.file ("in16.wav"), loud, rate, 16));

    // A 16-bit input gives a 16-bit output by default; +20 dB drives it past full scale.
    const auto run = runRender (dir.path ("in16.wav") + " " + dir.path ("out.wav") + " --gain 20");
    ASSERT_EQ (run.exitCode, 0) << run.err;
    EXPECT_NE (run.out.find ("16-bit WAV"), std::string::npos) << run.out;
    // The warning goes to stderr; stdout carries the summary alone.
    EXPECT_NE (run.err.find ("vrc-render: warning: "), std::string::npos) << run.err;
    EXPECT_NE (run.err.find ("clipped"), std::string::npos) << run.err;
    EXPECT_EQ (run.out.find ("clipped"), std::string::npos) << run.out;
    // Past full scale a sample is clipped there, never wrapped round to the other sign.
    ASSERT_EQ (runRender (dir.path ("in16.wav") + " " + dir.path ("loud.wav") + " --gain 20 --bits 32f").exitCode, 0);
    const auto loudFloat = readAudio (dir.file ("loud.wav")), clipped = readAudio (dir.file ("out.wav"));
    ASSERT_EQ (clipped.getNumSamples(), loudFloat.getNumSamples());
    int beyond = 0;
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < clipped.getNumSamples(); ++i)
        {
            const float v = loudFloat.getSample (ch, i);
            if (std::fabs (v) <= 1.0f)
                continue;
            ++beyond;
            ASSERT_GT (clipped.getSample (ch, i) * (v > 0.0f ? 1.0f : -1.0f), 0.999f) << "sample " << i;
        }
    EXPECT_GT (beyond, 100);
    const auto quiet = runRender (dir.path ("in16.wav") + " " + dir.path ("quiet.wav") + " --gain 20 --quiet");
    EXPECT_EQ (quiet.exitCode, 0);
    EXPECT_EQ (quiet.out + quiet.err, "");

    // FLAC and AIFF outputs hold the same audio as a float render, to 24-bit resolution.
    ASSERT_EQ (runRender (dir.path ("in16.wav") + " " + dir.path ("float.wav") + " --bits 32f").exitCode, 0);
    const auto reference = readAudio (dir.file ("float.wav"));
    // A float WAV as standard readers expect it: sox reads it without a word.
    const auto sox = runShell ("sox " + dir.path ("float.wav") + " -n");
    EXPECT_EQ (sox.exitCode, 0);
    EXPECT_EQ (sox.out + sox.err, "");
    for (const char* name : { "out.flac", "out.aiff" })
    {
        const auto r = runRender (dir.path ("in16.wav") + " " + dir.path (name) + " --bits 24");
        ASSERT_EQ (r.exitCode, 0) << r.err;
        EXPECT_NE (r.out.find ("24-bit"), std::string::npos) << r.out;
        const auto a = readAudio (dir.file (name));
        ASSERT_EQ (a.getNumSamples(), reference.getNumSamples()) << name;
        ASSERT_EQ (a.getNumChannels(), reference.getNumChannels()) << name;
        float worst = 0.0f;
        for (int ch = 0; ch < a.getNumChannels(); ++ch)
            for (int i = 0; i < a.getNumSamples(); ++i)
                worst = std::max (worst, std::fabs (a.getSample (ch, i) - reference.getSample (ch, i)));
        EXPECT_LE (worst, 1.0f / 8388608.0f) << name;
    }
}

TEST (RenderFormats, IntegerSamplesRoundToNearestAndNotFiniteOnesAreCounted)
{
    TempFolder dir;
    // Values anywhere between the steps of either resolution (halfway ones go to the
    // even step, as the FLAC encoder's rounding does); the processor fully dry.
    juce::AudioBuffer<float> input (2, 8192);
    juce::Random random (7);
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < input.getNumSamples(); ++i)
            input.setSample (ch, i, (random.nextFloat() * 2.0f - 1.0f) * 0.9f);
    ASSERT_TRUE (writeWav (dir.file ("in.wav"), input, rate));

    for (const auto& [name, bits] : { std::pair { "16.wav", 16 }, { "24.wav", 24 }, { "16.aiff", 16 }, { "24.aiff", 24 },
                                      { "16.flac", 16 }, { "24.flac", 24 } })
    {
        const auto run = runRender (dir.path ("in.wav") + " " + dir.path (name) + " --drywet 0 --bits " + std::to_string (bits));
        ASSERT_EQ (run.exitCode, 0) << name << run.err;
        const auto out = readAudio (dir.file (name));
        ASSERT_EQ (out.getNumSamples(), input.getNumSamples()) << name;
        const double scale = bits == 16 ? 32768.0 : 8388608.0;
        int wrong = 0;
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < out.getNumSamples(); ++i)
                wrong += (double) out.getSample (ch, i) * scale != std::nearbyint ((double) input.getSample (ch, i) * scale) ? 1 : 0;
        EXPECT_EQ (wrong, 0) << name << ": samples not at the nearest step";
    }

    // Not-a-number samples (the plug-in makes NaN of infinities too) become 0 in an
    // integer output, which is still written, and are counted.
    juce::AudioBuffer<float> broken (input);
    const float specials[] = { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                               -std::numeric_limits<float>::infinity() };
    for (int k = 0; k < 3; ++k)
        broken.setSample (0, 1000 + k, specials[k]);
    ASSERT_TRUE (writeWav (dir.file ("broken.wav"), broken, rate));
    for (const char* name : { "nan.wav", "nan.flac" })
    {
        const auto run = runRender (dir.path ("broken.wav") + " " + dir.path (name) + " --drywet 0 --bits 16");
        EXPECT_EQ (run.exitCode, 3) << name << run.err;
        EXPECT_NE (run.err.find ("3 output samples were not finite numbers"), std::string::npos) << run.err;
        const auto out = readAudio (dir.file (name));
        ASSERT_EQ (out.getNumSamples(), input.getNumSamples()) << name << run.err;
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ (out.getSample (0, 1000 + k), 0.0f) << name << " sample " << 1000 + k;
        EXPECT_EQ (out.getSample (0, 999), std::nearbyint (input.getSample (0, 999) * 32768.0f) / 32768.0f);
    }
}

TEST (RenderBatch, EachFileGetsItsOwnProcessor)
{
    TempFolder dir;
    const auto mono = testSignal (1, rate, 0.6);
    const auto stereo = testSignal (2, 48000.0, 0.9);
    ASSERT_TRUE (writeWav (dir.file ("a.wav"), mono, rate));
    ASSERT_TRUE (writeWav (dir.file ("b.wav"), stereo, 48000.0));
    ASSERT_TRUE (writeWav (dir.file ("c.wav"), stereo, 48000.0));

    const auto run = runRender ("--threshold -26 --bits 32f -o " + dir.path ("rendered") + " " + dir.path ("a.wav") + " "
                                + dir.path ("b.wav") + " " + dir.path ("c.wav"));
    ASSERT_EQ (run.exitCode, 0) << run.err;
    EXPECT_NE (run.out.find ("rendered 3 of 3 files"), std::string::npos) << run.out;

    auto settings = SettingsValues { -26.0f, 0.5f, 0.0f, 0.05f, 0.1f, 0.94f, 1.0f, 1.0f };
    EXPECT_EQ (countDifferences (readAudio (dir.file ("rendered/a.wav")), processInTest (mono, settings, rate, 512)), 0);
    const auto expectedStereo = processInTest (stereo, settings, 48000.0, 512);
    EXPECT_EQ (countDifferences (readAudio (dir.file ("rendered/b.wav")), expectedStereo), 0);
    EXPECT_EQ (countDifferences (readAudio (dir.file ("rendered/c.wav")), expectedStereo), 0);

    // Two inputs that would land on the same output name are refused before any work.
    ASSERT_TRUE (dir.file ("sub").createDirectory());
    ASSERT_TRUE (writeWav (dir.file ("sub/a.wav"), mono, rate));
    const auto clash = runRender ("-o " + dir.path ("again") + " " + dir.path ("a.wav") + " " + dir.path ("sub/a.wav"));
    EXPECT_NE (clash.exitCode, 0);
    EXPECT_NE (clash.err.find ("both be written"), std::string::npos) << clash.err;
    EXPECT_FALSE (dir.file ("again/a.wav").exists());
}

} // namespace
} // namespace vrc::test

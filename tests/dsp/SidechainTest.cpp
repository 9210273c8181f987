// The engine with a key: the detector follows the key, the gain acts on the
// input. Expectations come from the envelope and curve-0 formulas evaluated here
// in double precision, not from the engine's own passes.
#include "EngineHelpers.h"
#include "Signals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

using vrc::CompressorEngine;
using vrc::test::configure;
using vrc::test::Channels;
using vrc::test::EngineSettings;
using vrc::test::processInBlocks;
using vrc::test::tone;

namespace
{
constexpr float fs = 48000.0f;
// 50 ms bursts of a 200 Hz tone every 150 ms.
constexpr float burstStep = (float) (2.0 * 3.14159265358979323846 * 200.0 / fs);
} // namespace

TEST (Sidechain, KeyDucksTheInputByTheKeysOwnEnvelope)
{
    struct Row { int inputChannels, keyChannels, blockSize; };
    const Row rows[] = { { 2, 1, 512 }, { 2, 2, 333 }, { 1, 2, 4096 }, { 1, 1, 1 }, { 2, 2, 64 } };

    EngineSettings s;
    s.threshold = -12.0f;
    s.ratio = 0.5f;
    s.attack = 0.005f;
    s.release = 0.02f;
    s.knee = 1.0f; // sharpness 13: the bend starts at 12/13 of the threshold
    s.curve = 0.0f;
    const double tl = std::pow (10.0, -12.0 / 20.0), k = 13.0, r = 0.5;
    const double b = k / tl, start = std::max (tl, 1.0 / b) - 1.0 / b;
    const double attack = std::exp (-1.0 / (0.005 * fs)), release = std::exp (-1.0 / ((0.02 + 0.045 * r) * fs));

    for (const auto& row : rows)
    {
        SCOPED_TRACE ("input " + std::to_string (row.inputChannels) + ", key " + std::to_string (row.keyChannels)
                      + ", block " + std::to_string (row.blockSize));
        const int frames = 24000;
        auto input = tone (row.inputChannels, frames, 0.5f, 997.0, fs);
        const auto dry = input;
        auto key = vrc::test::bursts (row.keyChannels, frames, { 7200, 2400, 0.9f, burstStep });

        CompressorEngine keyed, plain;
        configure (keyed, fs, s);
        configure (plain, fs, s);
        const auto gains = processInBlocks (keyed, input, row.blockSize, &key);
        auto plainInput = dry;
        processInBlocks (plain, plainInput, row.blockSize);

        double env = 0.0;
        int ducked = 0, untouched = 0;
        for (int j = 0; j < frames; ++j)
        {
            double mono = 0.0;
            for (const auto& ch : key)
                mono += ch[(size_t) j];
            const double a = std::fabs (mono / row.keyChannels);
            const double c = a > env ? attack : release;
            env = a * (1.0 - c) + env * c;

            double d = 0.0;
            if (env > start)
            {
                const double u = env - start;
                d = (u * r) * (u * b) / (u * b + 1.0);
            }
            const double expected = 1.0 - d / (env + 0.00001);
            ASSERT_NEAR (gains[(size_t) j], expected, 2e-4) << "frame " << j;
            if (env < 0.99 * start)
            {
                ASSERT_EQ (gains[(size_t) j], 1.0f) << "frame " << j;
                ++untouched;
            }
            if (env > tl)
            {
                ASSERT_LT (gains[(size_t) j], 1.0f) << "frame " << j;
                ++ducked;
            }
            // The gain acts on the input, never on the key.
            for (size_t ch = 0; ch < input.size(); ++ch)
                ASSERT_EQ (input[ch][(size_t) j], dry[ch][(size_t) j] * gains[(size_t) j]);
        }
        EXPECT_GT (ducked, frames / 10);
        EXPECT_GT (untouched, frames / 10);
        // The input meter reads the input, as it does without a key.
        EXPECT_EQ (keyed.getInputMeter().rms(), plain.getInputMeter().rms());
        EXPECT_NE (keyed.getGainMeter().rms(), plain.getGainMeter().rms());
    }
}

TEST (Sidechain, SilentKeyLeavesALoudInputAlone)
{
    // Curve 0 gives exactly 1 for a silent detector; curve 1 may take its small
    // floor below the knee (ratio x width / 6 x 0.0037279 dB) and no more.
    struct Row { float curve, knee, floorDb; };
    const Row rows[] = { { 0.0f, 0.0f, 0.0f }, { 1.0f, 0.0f, 1.0f * 200.0f / 6.0f * 0.0037279f }, { 1.0f, 1.0f, 0.0f } };
    for (const auto& row : rows)
    {
        SCOPED_TRACE ("curve " + std::to_string (row.curve) + ", knee " + std::to_string (row.knee));
        EngineSettings s;
        s.threshold = -30.0f;
        s.ratio = 1.0f;
        s.curve = row.curve;
        s.knee = row.knee;
        CompressorEngine e;
        configure (e, fs, s);
        auto input = tone (2, 9600, 0.9f, 997.0, fs);
        const auto dry = input;
        Channels silence (1, std::vector<float> (9600, 0.0f));
        const auto gains = processInBlocks (e, input, 480, &silence);
        const float floorGain = (float) std::pow (10.0, -row.floorDb / 20.0);
        for (size_t j = 0; j < gains.size(); ++j)
        {
            ASSERT_LE (gains[j], 1.0f);
            ASSERT_GE (gains[j], floorGain * 0.99999f) << "frame " << j;
            for (size_t ch = 0; ch < input.size(); ++ch)
                ASSERT_EQ (input[ch][j], dry[ch][j] * gains[j]);
        }
        if (row.curve == 0.0f)
        {
            EXPECT_EQ (input, dry);
        }
    }
}

TEST (Sidechain, KeyThatIsTheInputGivesTheUnkeyedBits)
{
    // Same detector signal, same arithmetic: keying is a pure change of source.
    struct Row { int channels; float curve; int blockSize; };
    const Row rows[] = { { 1, 0.0f, 512 }, { 2, 0.0f, 100 }, { 2, 1.0f, 1 }, { 1, 1.0f, 4096 }, { 3, 1.0f, 257 } };
    for (const auto& row : rows)
    {
        SCOPED_TRACE ("channels " + std::to_string (row.channels) + ", curve " + std::to_string (row.curve));
        EngineSettings s;
        s.threshold = -20.0f;
        s.curve = row.curve;
        CompressorEngine keyed, plain;
        configure (keyed, fs, s);
        configure (plain, fs, s);
        auto input = vrc::test::bursts (row.channels, 20000, { 7200, 2400, 0.8f, burstStep });
        auto key = input, plainInput = input;
        const auto keyedGains = processInBlocks (keyed, input, row.blockSize, &key);
        const auto plainGains = processInBlocks (plain, plainInput, row.blockSize);
        EXPECT_EQ (keyedGains, plainGains);
        EXPECT_EQ (input, plainInput);
        EXPECT_EQ (keyed.getEnvelope(), plain.getEnvelope());
        EXPECT_EQ (keyed.getInputMeter().rms(), plain.getInputMeter().rms());
        EXPECT_EQ (keyed.getGainMeter().rms(), plain.getGainMeter().rms());
    }
}

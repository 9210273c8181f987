// Known-value tests of the compressor engine through its public API.
#include "EngineHelpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <utility>

using vrc::CompressorEngine;
using vrc::test::Block;
using vrc::test::configure;
using vrc::test::EngineSettings;

namespace
{
// Runs a constant full-scale stereo signal until the envelope has settled and
// returns the gain factor of the last sample (output / input with unity make-up).
float steadyFullScaleGain (EngineSettings s)
{
    CompressorEngine engine;
    configure (engine, 48000.0f, s);
    Block block (2, 4800, 1.0f);
    block.process (engine);
    return block.data[0].back();
}
} // namespace

TEST (CompressorEngineSettings, KneeMappingFollowsTheCurve)
{
    CompressorEngine e;
    e.setCurve (0.0f);
    e.setKnee (0.0f);
    EXPECT_FLOAT_EQ (e.getKneeWidth(), 1.0f);
    e.setKnee (1.0f);
    EXPECT_FLOAT_EQ (e.getKneeWidth(), 13.0f);

    // Switching the curve re-maps the stored knee value at once.
    e.setCurve (1.0f);
    EXPECT_NEAR (e.getKneeWidth(), 0.1000061, 1e-7);
    e.setKnee (0.0f);
    EXPECT_FLOAT_EQ (e.getKneeWidth(), 200.0f);
    e.setKnee (1.0f);
    e.setCurve (0.0f);
    EXPECT_FLOAT_EQ (e.getKneeWidth(), 13.0f);
}

TEST (CompressorEngineSettings, CurveSelectorTruncatesTowardZero)
{
    CompressorEngine e;
    e.setCurve (0.999f);
    EXPECT_EQ (e.getCurve(), 0);
    e.setCurve (1.0f);
    EXPECT_EQ (e.getCurve(), 1);
    e.setCurve (0.7f);
    EXPECT_EQ (e.getCurve(), 0);

    // Values that do not fit an int must not be converted with undefined behaviour.
    e.setCurve (1.0e20f);
    EXPECT_NE (e.getCurve(), 0);
    e.setCurve (std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ (e.getCurve(), 0);
}

TEST (CompressorEngineSettings, DecibelSettersDeriveLinearFactors)
{
    CompressorEngine e;
    e.setThreshold (-20.0f);
    EXPECT_NEAR (e.getThresholdGain(), 0.1f, 1e-8);
    e.setGain (6.0f);
    EXPECT_NEAR (e.getMakeupGain(), 1.9952623f, 1e-6);
    e.setGain (0.0f);
    EXPECT_EQ (e.getMakeupGain(), 1.0f);
}

TEST (CompressorEngineSettings, ReleaseKeepsTheRatioOfItsLastUpdate)
{
    CompressorEngine e;
    e.setSampleRate (48000.0f);
    e.setRatio (1.0f);
    e.setRelease (0.01f);
    // 10 ms plus 45 ms times ratio 1 behaves as a 55 ms release.
    const float coeff55ms = static_cast<float> (std::exp (-1.0 / (0.055 * 48000.0)));
    EXPECT_NEAR (e.getReleaseCoeff(), coeff55ms, 2e-7);

    const float before = e.getReleaseCoeff();
    e.setRatio (0.75f);
    EXPECT_EQ (e.getReleaseCoeff(), before);

    e.setRelease (0.01f);
    EXPECT_LT (e.getReleaseCoeff(), before); // 43.75 ms is shorter than 55 ms
}

TEST (CompressorEngineSettings, AttackAndReleaseCoefficientsUseTheRateAtTheirUpdate)
{
    CompressorEngine e;
    e.setSampleRate (48000.0f);
    e.setAttack (0.05f);
    EXPECT_NEAR (e.getAttackCoeff(), std::exp (-1.0 / 2400.0), 1e-7);
    e.setSampleRate (96000.0f);
    EXPECT_NEAR (e.getAttackCoeff(), std::exp (-1.0 / 2400.0), 1e-7);
    e.setAttack (0.0f);
    EXPECT_EQ (e.getAttackCoeff(), 0.0f);
}

TEST (CompressorEngineCurves, SteadyFullScaleGainsOfBothCurves)
{
    EngineSettings s;
    s.threshold = -20.0f;
    s.ratio = 0.5f;
    s.attack = 0.0f; // the envelope then sits at exactly 1.0

    s.curve = 1.0f;
    s.knee = 1.0f;
    EXPECT_NEAR (steadyFullScaleGain (s), 0.31623, 1e-5);
    s.knee = 0.0f;
    EXPECT_NEAR (steadyFullScaleGain (s), 0.31380, 1e-5);

    s.curve = 0.0f;
    s.knee = 0.0f;
    EXPECT_NEAR (steadyFullScaleGain (s), 0.54546, 1e-5);
    s.knee = 1.0f;
    EXPECT_NEAR (steadyFullScaleGain (s), 0.54997, 1e-5);
}

TEST (CompressorEngineCurves, GainBufferHoldsTheGainEachFrameGot)
{
    // Bursts of a sine: the gain moves on every frame, so a stale or shifted
    // gain (the first frame's, the previous chunk's) shows in the output relation.
    for (float curve : { 0.0f, 1.0f })
    {
        EngineSettings s;
        s.threshold = -20.0f;
        s.gain = 6.0f;
        s.dryWet = 0.7f;
        s.attack = 0.001f;
        s.curve = curve;
        CompressorEngine e;
        configure (e, 48000.0f, s);
        Block block (2, 1000);
        for (size_t j = 0; j < 1000; ++j)
            block.data[0][j] = block.data[1][j] = static_cast<float> ((j < 500 ? 0.9 : 0.2) * std::sin (0.05 * static_cast<double> (j)));
        const auto input = block.data;
        std::vector<float> gains (1000, -1.0f);
        e.process (block.pointers.data(), 2, 1000, gains.data());

        const float makeup = e.getMakeupGain(), wet = 0.7f, dry = 1.0f - wet;
        for (size_t j = 0; j < 1000; ++j)
            ASSERT_EQ (block.data[1][j], ((input[1][j] * makeup) * gains[j]) * wet + dry * input[1][j]) << "curve " << curve << " frame " << j;
        EXPECT_LT (*std::min_element (gains.begin(), gains.end()), 0.7f);
        EXPECT_EQ (e.getCurrentGain(), gains.back());
        EXPECT_NE (gains.back(), gains.front());
    }
}

TEST (CompressorEngineSignal, DigitalSilenceIsUntouchedAndReadsZeroReduction)
{
    for (float curve : { 0.0f, 1.0f })
    {
        EngineSettings s;
        s.curve = curve;
        s.knee = 1.0f;
        s.gain = 12.0f;
        CompressorEngine e;
        configure (e, 48000.0f, s);
        Block block (2, 9600, 0.0f);
        block.process (e);
        for (const auto& ch : block.data)
            for (float v : ch)
                ASSERT_EQ (v, 0.0f);
        EXPECT_EQ (e.getEnvelope(), 0.0f);
        // Both curves report exactly unity gain in silence: 0 dB on the gain meter,
        // not the +3 dB an uncapped decibel curve would show.
        EXPECT_EQ (e.getGainMeter().rms(), 1.0f) << "curve " << curve;
        EXPECT_EQ (e.getGainMeter().levelDb(), 0.0f);
    }
}

TEST (CompressorEngineSignal, OppositePhaseChannelsAreNeverBoosted)
{
    // L = -R cancels in the detector. The decibel curve's mismatched offsets would
    // turn that into a +19.6 dB boost; the output must equal the input instead.
    EngineSettings s;
    s.threshold = -30.0f;
    s.knee = 1.0f;
    s.curve = 1.0f;
    CompressorEngine e;
    configure (e, 48000.0f, s);
    Block block (2, 4800);
    for (size_t j = 0; j < 4800; ++j)
    {
        block.data[0][j] = 0.8f * static_cast<float> (std::sin (0.05 * static_cast<double> (j)));
        block.data[1][j] = -block.data[0][j];
    }
    const auto input = block.data;
    block.process (e);
    EXPECT_EQ (block.data, input);
}

TEST (CompressorEngineSignal, DryWetBlendsAroundTheProcessedShare)
{
    EngineSettings s;
    s.threshold = -20.0f;
    s.gain = 10.0f;
    s.attack = 0.0f;
    s.curve = 0.0f;

    s.dryWet = 0.0f;
    CompressorEngine dry;
    configure (dry, 48000.0f, s);
    Block a (2, 480, 0.7f);
    a.process (dry);
    for (const auto& ch : a.data)
        for (float v : ch)
            ASSERT_EQ (v, 0.7f);

    s.dryWet = 1.0f;
    CompressorEngine wet;
    configure (wet, 48000.0f, s);
    Block b (2, 480, 0.7f);
    b.process (wet);
    const float expected = (0.7f * wet.getMakeupGain()) * wet.getCurrentGain();
    EXPECT_EQ (b.data[1].back(), expected);
    EXPECT_LT (wet.getCurrentGain(), 1.0f);
}

TEST (CompressorEngineSignal, ZeroAttackFollowsRisingLevelsAtOnce)
{
    EngineSettings s;
    s.attack = 0.0f;
    CompressorEngine e;
    configure (e, 48000.0f, s);
    Block block (1, 1);
    for (float level : { 0.1f, 0.3f, 0.9f })
    {
        block.data[0][0] = -level;
        block.process (e);
        EXPECT_EQ (e.getEnvelope(), level);
    }
}

TEST (CompressorEngineSignal, DetectorUsesTheChannelMean)
{
    EngineSettings s;
    s.attack = 0.0f;
    CompressorEngine e;
    configure (e, 48000.0f, s);
    Block block (2, 1);
    block.data[0][0] = 0.5f;
    block.data[1][0] = 0.25f;
    block.process (e);
    EXPECT_EQ (e.getEnvelope(), 0.375f);
}

TEST (CompressorEngineRobustness, NonFiniteSamplesDoNotPoisonTheInstance)
{
    for (float bad : { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity() })
    {
        for (float curve : { 0.0f, 1.0f })
        {
            EngineSettings s;
            s.threshold = -20.0f;
            s.curve = curve;
            CompressorEngine e;
            configure (e, 48000.0f, s);
            Block block (2, 256, 0.5f);
            block.data[0][100] = bad;
            block.process (e);

            Block after (2, 256, 0.5f);
            after.process (e);
            EXPECT_TRUE (std::isfinite (e.getEnvelope()));
            EXPECT_TRUE (std::isfinite (e.getInputMeter().rms()));
            EXPECT_TRUE (std::isfinite (e.getGainMeter().rms()));
            for (const auto& ch : after.data)
                for (float v : ch)
                    ASSERT_TRUE (std::isfinite (v)) << "bad " << bad << " curve " << curve;
        }
    }
}

TEST (CompressorEngineRobustness, AnyFiniteSettingsGiveFiniteOutputAndLeaveNoTrace)
{
    // Settings far outside the controls' ranges, as a hand-edited session holds
    // them: inputs within +-1000 must come out finite, and once sane settings
    // return the engine must behave as a fresh one (no envelope stuck at inf).
    constexpr float huge = 1.0e36f;
    const EngineSettings extremes[] = {
        { -20.0f, 0.5f, 800.0f, 0.05f, 0.1f, 0.5f, 1.0f, 1.0f },
        { -20.0f, 0.5f, 0.0f, 0.05f, 0.1f, 200.0f / 199.9f, 1.0f, 1.0f }, // a decibel knee of width 0
        { -20.0f, 0.5f, huge, 0.05f, 0.1f, 0.5f, 1.0f, 1.0f },
        { -20.0f, huge, 0.0f, 0.05f, 0.1f, 0.5f, 1.0f, 1.0f },
        { -20.0f, -huge, 0.0f, 0.05f, 0.1f, 0.5f, 1.0f, 1.0f },
        { -20.0f, 2.0f, 0.0f, 0.0f, 0.1f, -1.0f, 1.0f, 1.0f },
        { huge, 0.5f, 0.0f, 0.05f, 0.1f, huge, 1.0f, 1.0f },
        { -huge, 0.5f, 0.0f, -1.0f, -1.0f, -huge, 1.0f, 1.0f },
        { -20.0f, 0.5f, 30.0f, -1.0e-30f, 1.0e-30f, 0.5f, huge, 1.0f },
        { -20.0f, 0.5f, 30.0f, 0.05f, 0.1f, 0.5f, -huge, huge },
    };
    EngineSettings sane;
    sane.threshold = -20.0f;
    sane.attack = 0.0f;
    for (float curve : { 0.0f, 1.0f })
        for (size_t row = 0; row < std::size (extremes); ++row)
        {
            auto s = extremes[row];
            s.curve = curve == 0.0f ? 0.0f : s.curve;
            CompressorEngine e;
            configure (e, 48000.0f, s);
            Block block (2, 2048);
            for (size_t j = 0; j < 2048; ++j)
            {
                block.data[0][j] = (j % 3 == 0 ? 1000.0f : -0.001f) * static_cast<float> (j % 7) / 6.0f;
                block.data[1][j] = j % 64 < 32 ? 1000.0f : 0.0f;
            }
            block.process (e);
            for (const auto& ch : block.data)
                for (float v : ch)
                    ASSERT_TRUE (std::isfinite (v)) << "row " << row << ", curve " << curve;

            CompressorEngine fresh;
            configure (e, 48000.0f, sane);
            configure (fresh, 48000.0f, sane);
            // At the loudest input an envelope still in range jumps to it at once.
            Block afterwards (2, 480, 1000.0f), reference (2, 480, 1000.0f);
            afterwards.process (e);
            reference.process (fresh);
            EXPECT_EQ (afterwards.data, reference.data) << "row " << row << ", curve " << curve;
        }
}

TEST (CompressorEngineRobustness, ChannelsBeyondTheTableAreLeftAlone)
{
    CompressorEngine e;
    configure (e, 48000.0f, EngineSettings {});
    Block block (12, 64, 0.25f);
    block.process (e);
    EXPECT_EQ (block.data[10], std::vector<float> (64, 0.25f));
    EXPECT_EQ (block.data[11], std::vector<float> (64, 0.25f));
}

TEST (CompressorEngineRobustness, EmptyBlocksChangeNothing)
{
    CompressorEngine e;
    configure (e, 48000.0f, EngineSettings {});
    Block block (2, 1, 0.9f);
    e.process (block.pointers.data(), 2, 0);
    e.process (block.pointers.data(), 0, 1);
    EXPECT_EQ (e.getEnvelope(), 0.0f);
    EXPECT_EQ (block.data[0][0], 0.9f);
}

TEST (CompressorEngineRobustness, SilenceAfterALoudPassageDecaysToExactZero)
{
    // Without flushing, the envelope would crawl through denormal numbers for
    // minutes, each sample costing many times the normal work.
    EngineSettings s;
    s.release = 0.01f;
    CompressorEngine e;
    configure (e, 48000.0f, s);
    Block loud (2, 4800, 0.9f);
    loud.process (e);
    for (int i = 0; i < 200; ++i)
    {
        Block silence (2, 4800, 0.0f);
        silence.process (e);
        ASSERT_NE (std::fpclassify (e.getEnvelope()), FP_SUBNORMAL) << "after block " << i;
    }
    EXPECT_EQ (e.getEnvelope(), 0.0f);
}

TEST (CompressorEngineBlocks, OutputDoesNotDependOnHowTheStreamIsCutIntoBlocks)
{
    // The passes work on chunks of a block; block and chunk edges must not show.
    for (float curve : { 0.0f, 1.0f })
        for (int channels : { 1, 2, 3 })
        {
            EngineSettings s;
            s.threshold = -24.0f;
            s.knee = 0.94f;
            s.curve = curve;
            s.attack = 0.002f;
            Block whole (channels, 9000);
            for (int ch = 0; ch < channels; ++ch)
                for (size_t j = 0; j < 9000; ++j)
                    whole.data[(size_t) ch][j] = static_cast<float> ((j / 1500 % 2 == 0 ? 0.9 : 0.05)
                                                                     * std::sin (0.013 * static_cast<double> (j * (size_t) (ch + 1))));
            const auto input = whole.data;
            CompressorEngine reference;
            configure (reference, 48000.0f, s);
            whole.process (reference);

            for (int blockSize : { 1, 7, 32, 255, 257, 512, 4096 })
            {
                CompressorEngine e;
                configure (e, 48000.0f, s);
                auto data = input;
                for (size_t start = 0; start < 9000; start += (size_t) blockSize)
                {
                    std::vector<float*> ptrs;
                    for (auto& ch : data)
                        ptrs.push_back (ch.data() + start);
                    e.process (ptrs.data(), channels, std::min (blockSize, 9000 - static_cast<int> (start)));
                }
                ASSERT_EQ (data, whole.data) << "curve " << curve << ", " << channels << " channels, blocks of " << blockSize;
                EXPECT_EQ (e.getEnvelope(), reference.getEnvelope());
                EXPECT_EQ (e.getInputMeter().rms(), reference.getInputMeter().rms());
                EXPECT_EQ (e.getGainMeter().rms(), reference.getGainMeter().rms());
            }
        }
}

TEST (CompressorEngineBlocks, ASettingChangedMidStreamActsAsIfSetFromTheStart)
{
    // The detector does not depend on these settings, so an engine given the new
    // value before its first block reaches the same envelope and must give the same
    // output after the change; one still computing with the old value would not.
    using Change = void (*) (CompressorEngine&);
    const std::pair<const char*, Change> changes[] = {
        { "threshold", [] (CompressorEngine& e) { e.setThreshold (-30.0f); } },
        { "ratio", [] (CompressorEngine& e) { e.setRatio (0.9f); } },
        { "knee", [] (CompressorEngine& e) { e.setKnee (1.0f); } },
        { "gain", [] (CompressorEngine& e) { e.setGain (6.0f); } },
        { "dry/wet", [] (CompressorEngine& e) { e.setDryWet (0.5f); } },
        { "curve", [] (CompressorEngine& e) { e.setCurve (e.getCurve() == 0 ? 1.0f : 0.0f); } },
    };
    constexpr int length = 6000, changeAt = 3001;
    Block input (2, length);
    for (size_t j = 0; j < (size_t) length; ++j)
        for (size_t ch = 0; ch < 2; ++ch)
            input.data[ch][j] = static_cast<float> ((j / 1000 % 2 == 0 ? 0.9 : 0.2) * std::sin (0.01 * static_cast<double> (j * (ch + 1))));

    for (float curve : { 0.0f, 1.0f })
        for (const auto& [name, change] : changes)
        {
            EngineSettings s;
            s.threshold = -10.0f;
            s.knee = 0.5f;
            s.attack = 0.002f;
            s.curve = curve;
            // The output after the change, with the change made before the frame
            // at changeBefore (never when it is past the end).
            auto tailWithChangeBefore = [&, change = change] (int changeBefore)
            {
                CompressorEngine e;
                configure (e, 48000.0f, s);
                auto data = input.data;
                for (int start : { 0, changeAt })
                {
                    if (start == changeBefore)
                        change (e);
                    float* ptrs[] = { data[0].data() + start, data[1].data() + start };
                    e.process (ptrs, 2, start == 0 ? changeAt : length - changeAt);
                }
                for (auto& ch : data)
                    ch.erase (ch.begin(), ch.begin() + changeAt);
                return data;
            };
            const auto midStream = tailWithChangeBefore (changeAt);
            EXPECT_EQ (midStream, tailWithChangeBefore (0)) << name << " changed under curve " << curve;
            EXPECT_NE (midStream, tailWithChangeBefore (length)) << name << " changes nothing under curve " << curve;
        }
}

TEST (CompressorEngineMeters, SteadySineReadsItsRmsAndSilenceAfterwardsReadsNothing)
{
    EngineSettings s;
    s.threshold = -20.0f;
    CompressorEngine e;
    configure (e, 48000.0f, s);
    Block sine (2, 48000);
    for (auto& ch : sine.data)
        for (size_t j = 0; j < ch.size(); ++j)
            ch[j] = 0.5f * static_cast<float> (std::sin (2.0 * M_PI * 1000.0 * static_cast<double> (j) / 48000.0));
    sine.process (e);
    EXPECT_NEAR (e.getInputMeter().levelDb(), 20.0 * std::log10 (0.5 / std::sqrt (2.0)), 0.01);

    // A running sum would keep a rounding residue of the loud passage for good.
    Block silence (2, 4800, 0.0f);
    silence.process (e);
    EXPECT_EQ (e.getInputMeter().rms(), 0.0f);
}

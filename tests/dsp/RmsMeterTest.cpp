// The sliding-window RMS meter: windows, fill-up, steady readings, clamps.
#include "RmsMeter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

using vrc::RmsMeter;

TEST (RmsMeterWindow, LengthIsATenthOfASecondTruncated)
{
    const std::pair<float, int> expected[] = { { 8000.0f, 800 }, { 11025.0f, 1102 }, { 22050.0f, 2205 },
                                               { 32000.0f, 3200 }, { 44100.0f, 4410 }, { 48000.0f, 4800 },
                                               { 88200.0f, 8820 }, { 96000.0f, 9600 }, { 176400.0f, 17640 },
                                               { 192000.0f, 19200 } };
    RmsMeter meter;
    for (const auto& [rate, length] : expected)
    {
        meter.prepare (rate);
        EXPECT_EQ (meter.getLength(), length) << rate;
    }
}

TEST (RmsMeterWindow, VeryHighRatesStayWithinTheRing)
{
    RmsMeter meter;
    meter.prepare (2.0e6f);
    EXPECT_EQ (meter.getLength(), RmsMeter::capacity);
    for (int i = 0; i < 2 * RmsMeter::capacity; ++i)
        meter.push (0.5f);
    EXPECT_FLOAT_EQ (meter.rms(), 0.5f);
}

TEST (RmsMeterReading, FillsUpThenSettles)
{
    RmsMeter meter;
    EXPECT_EQ (meter.levelDb(), -std::numeric_limits<float>::infinity());
    meter.prepare (48000.0f);
    for (int i = 0; i < 4800 / 4; ++i)
        meter.push (0.5f);
    EXPECT_FLOAT_EQ (meter.rms(), 0.25f);
    EXPECT_NEAR (meter.levelDb(), -12.0412, 1e-4);
    for (int i = 0; i < 4800; ++i)
        meter.push (0.5f);
    EXPECT_FLOAT_EQ (meter.rms(), 0.5f);
    EXPECT_NEAR (meter.levelDb(), -6.0206, 1e-4);
}

TEST (RmsMeterReading, SquaresAreClampedAndSignless)
{
    RmsMeter meter;
    meter.prepare (8000.0f);
    for (int i = 0; i < 800; ++i)
        meter.push (2.0f);
    EXPECT_NEAR (meter.levelDb(), 3.0103, 1e-4);

    meter.prepare (8000.0f);
    for (int i = 0; i < 800; ++i)
        meter.push (i % 2 == 0 ? 1.0f : -1.0f);
    EXPECT_FLOAT_EQ (meter.levelDb(), 0.0f);
}

TEST (RmsMeterReading, PrepareForgetsEarlierValuesButHoldsTheReading)
{
    RmsMeter meter;
    meter.prepare (8000.0f);
    for (int i = 0; i < 800; ++i)
        meter.push (1.0f);
    meter.prepare (8000.0f);
    EXPECT_FLOAT_EQ (meter.rms(), 1.0f); // held until the next value arrives
    meter.push (0.0f);
    EXPECT_EQ (meter.rms(), 0.0f);
}

TEST (RmsMeterRobustness, RoundingResidueNeverReadsAsNaN)
{
    // With a window of 3, the tiny square is swallowed when added next to 2 but
    // subtracted on its own later: the running sum ends just below zero.
    RmsMeter meter;
    meter.setLength (3);
    meter.push (std::sqrt (2.0f));
    meter.push (1.0e-4f);
    for (int i = 0; i < 3; ++i)
        meter.push (0.0f);
    EXPECT_EQ (meter.rms(), 0.0f);
    EXPECT_EQ (meter.levelDb(), -std::numeric_limits<float>::infinity());
}

TEST (RmsMeterRobustness, NaNDoesNotStayInTheWindow)
{
    RmsMeter meter;
    meter.setLength (4);
    meter.push (std::numeric_limits<float>::quiet_NaN());
    EXPECT_TRUE (std::isfinite (meter.rms()));
    for (int i = 0; i < 4; ++i)
        meter.push (0.5f);
    EXPECT_FLOAT_EQ (meter.rms(), 0.5f);
}

TEST (RmsMeterRobustness, PushWithoutWindowIsHarmless)
{
    RmsMeter meter;
    for (int i = 0; i < 10; ++i)
        meter.push (1.0f);
    EXPECT_EQ (meter.rms(), 0.0f);
}

TEST (RmsMeterReading, MatchesAnExactSumOfTheWindowsSquares)
{
    // Each square, clamped to [0, 2] with NaN as 0, counts round(square * 2^45)
    // (to nearest even); the reading is the root of the window's count over its
    // length. Blocks straddle the ring's end; bursts of clamped values fill whole
    // blocks; ties, tiny, subnormal and non-finite values are mixed in.
    constexpr float inf = std::numeric_limits<float>::infinity();
    const float specials[] = { 0x1p-23f, 3 * 0x1p-23f, 5 * 0x1p-23f, 0x1.6a09e6p0f, 0x1.6a09e8p0f, 1.0e-40f, -0.0f,
                               std::numeric_limits<float>::quiet_NaN(), inf, -inf, 3.0e38f, -1.0e30f, 1.0f, -1.0f };
    std::vector<float> input (20000);
    std::uint32_t state = 1;
    for (size_t i = 0; i < input.size(); ++i)
    {
        state = state * 1664525u + 1013904223u;
        const float random = static_cast<float> (static_cast<std::int32_t> (state)) * 0x1p-31f;
        if ((i / 700) % 5 == 3)
            input[i] = 40.0f * random; // mostly clamped
        else if (i % 7 == 0)
            input[i] = specials[(i / 7) % std::size (specials)];
        else
            input[i] = std::ldexp (random, -static_cast<int> (state >> 28) * 2); // down to 2^-30
    }

    struct Case { int length; std::vector<int> blocks; };
    for (const auto& c : { Case { 1, { 1, 3 } }, Case { 3, { 1, 2, 5 } }, Case { 100, { 7, 64, 300 } },
                           Case { 4800, { 256, 513, 1, 1024 } } })
    {
        RmsMeter meter;
        meter.setLength (c.length);
        std::vector<std::int64_t> window (static_cast<size_t> (c.length), 0);
        std::int64_t expectedCount = 0;
        size_t next = 0;
        for (size_t b = 0; next < input.size(); ++b)
        {
            const size_t n = std::min (static_cast<size_t> (c.blocks[b % c.blocks.size()]), input.size() - next);
            meter.pushBlock (input.data() + next, static_cast<int> (n));
            meter.publish();
            for (size_t i = next; i < next + n; ++i)
            {
                const float square = input[i] * input[i];
                const float clamped = std::isnan (square) ? 0.0f : std::min (square, 2.0f);
                const auto count = static_cast<std::int64_t> (std::nearbyint (static_cast<double> (clamped) * 0x1p45));
                auto& oldest = window[i % window.size()];
                expectedCount += count - oldest;
                oldest = count;
            }
            next += n;
            const float mean = static_cast<float> (static_cast<double> (expectedCount) * 0x1p-45) / static_cast<float> (c.length);
            ASSERT_EQ (meter.rms(), std::sqrt (mean)) << "window " << c.length << ", after value " << next;
        }
    }
}

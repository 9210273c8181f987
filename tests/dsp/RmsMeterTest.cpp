// The sliding-window RMS meter: windows, fill-up, steady readings, clamps.
#include "RmsMeter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

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

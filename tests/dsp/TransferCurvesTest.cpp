// The logarithm approximation and the two static transfer curves.
#include "EngineHelpers.h"
#include "FastLog.h"
#include "TransferCurves.h"

#include <gtest/gtest.h>

#include <cmath>

using vrc::test::ulpDistance;

TEST (FastLog, MatchesItsKnownValuesWithinAFewUlps)
{
    EXPECT_EQ (vrc::fastLog10 (1.0f), 0.0f);
    EXPECT_EQ (vrc::fastLog10 (10.0f), 1.0f);
    EXPECT_LE (ulpDistance (vrc::fastLog2 (1.5f), 0.58333325f), 4);
    EXPECT_LE (ulpDistance (vrc::fastLog10 (0.5f), -0.30188680f), 4);
    EXPECT_LE (ulpDistance (vrc::fastLog10 (0.001f), -3.0092654f), 4);
    EXPECT_LE (ulpDistance (vrc::fastLog10 (1.0000000116860974e-07f), -7.0187087f), 4);
    for (float p : { 0.25f, 0.5f, 2.0f, 8.0f, 1024.0f })
        EXPECT_EQ (vrc::fastLog2 (p), std::log2 (p)) << p;
}

TEST (FastLog, ErrorStaysSmall)
{
    // The approximation is part of the sound, but it must stay a close one.
    for (float v = 1.0e-6f; v < 100.0f; v *= 1.37f)
        EXPECT_NEAR (vrc::fastLog2 (v), std::log2 (v), 0.01) << v;
}

namespace
{
vrc::CurveSettings decibelSettings (float threshold, float ratio, float kneeWidth)
{
    vrc::CurveSettings s;
    s.thresholdDb = threshold;
    s.thresholdGain = std::pow (10.0f, threshold / 20.0f);
    s.ratio = ratio;
    s.kneeWidth = kneeWidth;
    return s;
}
} // namespace

TEST (DecibelCurve, AboveTheKneeIsAStraightLineThroughTheThreshold)
{
    const vrc::DecibelCurve curve (decibelSettings (-20.0f, 0.5f, 12.0f));
    for (float x : { -18.0f, -10.0f, 0.0f, 6.0f })
        EXPECT_NEAR (curve.shape (x), -20.0f + 0.5f * (x + 20.0f), 1e-4) << x;

    const vrc::DecibelCurve limiter (decibelSettings (-10.0f, 1.0f, 0.1f));
    EXPECT_NEAR (limiter.shape (0.0f), -10.0f, 1e-4);
}

TEST (DecibelCurve, KneeBendsSmoothlyBetweenItsEnds)
{
    const float t = -20.0f, k = 12.0f;
    const vrc::DecibelCurve curve (decibelSettings (t, 0.5f, k));
    // Below T - K/3 the curve only carries its tiny constant offset.
    EXPECT_NEAR (curve.shape (t - k / 3.0f - 5.0f), t - k / 3.0f - 5.0f - 0.5f * k / 6.0f * 0.0037279f, 1e-4);
    float previous = curve.shape (t - 10.0f);
    for (float x = t - 10.0f; x < t + 10.0f; x += 0.05f)
    {
        const float y = curve.shape (x);
        EXPECT_GE (y, previous - 1e-5f) << "output must rise with the input at " << x;
        EXPECT_LE (y, x + 1e-5f) << "a compressor never raises the level at " << x;
        previous = y;
    }
}

TEST (DecibelCurve, SettledEnvelopeGetsTheLineLevelExactly)
{
    const float t = -24.0f, r = 0.75f;
    const vrc::DecibelCurve curve (decibelSettings (t, r, 0.1000061f));
    for (float env : { 0.2f, 0.5f, 1.0f })
    {
        const float level = 20.0f * vrc::fastLog10 (env + 1.0e-7f);
        const double expected = std::pow (10.0, (t + (1.0 - r) * (level - t)) / 20.0) / env;
        EXPECT_NEAR (curve.gain (env), expected, 1e-5 * expected) << env;
    }
}

TEST (DecibelCurve, NeverRaisesTheLevel)
{
    const vrc::DecibelCurve curve (decibelSettings (0.0f, 0.5f, 0.1000061f));
    EXPECT_EQ (curve.gain (0.0f), 1.0f);
    for (float env = 1.0e-9f; env < 4.0f; env *= 1.5f)
        EXPECT_LE (curve.gain (env), 1.0f) << env;
}

TEST (LinearCurve, BendsTowardTheSlopeThroughTheThreshold)
{
    vrc::CurveSettings s;
    s.thresholdGain = 0.1f;
    s.ratio = 0.5f;
    s.kneeWidth = 13.0f;
    const vrc::LinearCurve curve (s);
    // Far above the start, the output amplitude approaches (1 - R) x + R TL.
    const float x = 50.0f;
    const float b = 13.0f / 0.1f;
    EXPECT_NEAR (x * curve.gain (x), (1.0f - 0.5f) * x + 0.5f * 0.1f + 0.5f / b - 0.5f / b, 0.01);
    // Below the bend's start nothing is reduced (up to the 1e-5 guard).
    EXPECT_EQ (curve.gain (0.05f), 1.0f);
    EXPECT_EQ (curve.gain (0.0f), 1.0f);
}

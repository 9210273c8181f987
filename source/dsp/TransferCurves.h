#pragma once
// The two static transfer curves, as pure functions of a settled envelope and
// the engine's settings. The engine's per-sample loop and the offline plotting
// tools use the same code, so a plot always shows what the audio gets.

#include "CpuDispatch.h"
#include "FastLog.h"

#include <algorithm>
#include <cmath>

namespace vrc
{

/** Settings the gain computers read, captured once per block. */
struct CurveSettings
{
    float thresholdGain = 1.0f; // threshold as a linear amplitude (curve 0)
    float thresholdDb = 0.0f;   // threshold in dB (curve 1)
    float ratio = 1.0f;         // fraction of the excess level that is removed
    float kneeWidth = 0.0f;     // sharpness (curve 0) or width in dB (curve 1)
};

/** Curve 0: linear amplitudes with a rational knee. Returns the gain factor for envelope x, within 0..1. */
class LinearCurve
{
public:
    explicit LinearCurve (const CurveSettings& s) noexcept;
    float gain (float x) const noexcept
    {
        // The bend is computed on every frame and then selected, not branched
        // around, so that a loop over a block vectorises; below the start its
        // value is discarded.
        const float u = x - start;
        const float ub = u * b;
        const float bend = (u * ratio) * ub / (ub + 1.0f);
        const float d = x > start ? bend : 0.0f;
        const float g = 1.0f - d / (x + 0.00001f);
        // Within the controls' ranges g stays within 0..1; settings far outside
        // them (a hand-edited session) could give an infinite or negative factor,
        // and a degenerate one NaN, which becomes 1.
        const float atMostOne = g <= 1.0f ? g : 1.0f;
        return atMostOne >= 0.0f ? atMostOne : 0.0f;
    }

    /** gain() for n envelope values. */
    VRC_INLINE_PASS void gains (const float* envelope, float* out, int n) const noexcept
    {
        for (int j = 0; j < n; ++j)
            out[j] = gain (envelope[j]);
    }

private:
    float ratio, b, start;
};

/** Curve 1: decibels with a logistic knee. Returns the gain factor, never above 1. */
class DecibelCurve
{
public:
    explicit DecibelCurve (const CurveSettings& s) noexcept;

    /** Output level in dB for an input level x in dB. */
    float shape (float x) const noexcept
    {
        const float shifted = x - kneeSixth;
        float s = floorBend;
        if (shifted > kneeStart)
        {
            const float d = std::min (shifted - kneeStart, knee) / knee;
            // From the middle of the knee upward the blend is exactly 1.
            s = (d >= 0.5f) ? 1.0f : kneeBlend (d);
        }
        const float f = shifted > threshold ? (shifted - threshold) * ratio : 0.0f;
        return x - (ratio * s * knee / 6.0f + f);
    }

    /** The gain factor for one envelope value: gains() for a block of one. */
    float gain (float envelope) const noexcept
    {
        float g;
        gains (&envelope, &g, 1);
        return g;
    }

    /** For each envelope value: its level in dB, shape(), back to a linear
        amplitude, divided by the envelope and capped at 1. The float results are
        those of shape() and of a double-precision std::exp2 for the power of ten;
        only how they are computed is arranged for speed. */
    void gains (const float* envelope, float* out, int n) const noexcept;

    /** Twice the logistic function of 4 pi (d - 1/2): the knee's blend from 0 to 1. */
    static float kneeBlend (float d) noexcept;

private:
    template <int chunk>
    VRC_INLINE_PASS void gainsOfChunk (const float* envelope, float* out, int n) const noexcept;
    void gainsAvx2 (const float* envelope, float* out, int n) const noexcept;
    VRC_INLINE_PASS void kneeTerms (const float* level, const int* usesExp, int users, float* term, int n) const noexcept;

    float threshold, ratio, knee, kneeSixth, kneeStart, floorBend, logDivisor;
    float termInKnee, termBelowKnee, halfKneeFrom;
    bool halfKneeTestExact;
};

} // namespace vrc

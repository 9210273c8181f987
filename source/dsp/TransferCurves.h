#pragma once
// The two static transfer curves, as pure functions of a settled envelope and
// the engine's settings. The engine's per-sample loop and the offline plotting
// tools use the same code, so a plot always shows what the audio gets.

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

/** Curve 0: linear amplitudes with a rational knee. Returns the gain factor for envelope x. */
class LinearCurve
{
public:
    explicit LinearCurve (const CurveSettings& s) noexcept;
    float gain (float x) const noexcept
    {
        float d = 0.0f;
        if (x > start)
        {
            const float u = x - start;
            const float ub = u * b;
            d = (u * ratio) * ub / (ub + 1.0f);
        }
        const float g = 1.0f - d / (x + 0.00001f);
        return g == g ? g : 1.0f; // a degenerate setting must not turn the audio into NaN
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
    float shape (float x) const noexcept;

    float gain (float envelope) const noexcept;

private:
    float threshold, ratio, knee, kneeSixth, kneeStart, floorBend;
};

} // namespace vrc

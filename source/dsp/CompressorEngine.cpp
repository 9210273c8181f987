#include "CompressorEngine.h"

#include "EnvelopePasses.h"
#include "ScopedFlushDenormals.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace vrc
{

namespace
{
float dbToGain (float dB) noexcept
{
    return static_cast<float> (std::pow (10.0, static_cast<double> (dB / 20.0f)));
}

// Effective release is lengthened by 45 ms times the ratio: heavier compression
// recovers more slowly, which keeps the gain from pumping on sustained material.
constexpr double releaseRatioSeconds = 0.045;

// Frames per pass; the passes' buffers live on the stack.
constexpr int chunkFrames = 256;

/** Make-up, gain and the dry/wet blend on one channel, in place. */
VRC_INLINE_PASS void applyGain (float* samples, const float* __restrict gain, int n, float makeup, float wet, float dry) noexcept
{
    for (int j = 0; j < n; ++j)
    {
        const float s = samples[j];
        const float processed = ((s * makeup) * gain[j]) * wet;
        samples[j] = processed + dry * s;
    }
}
} // namespace

void CompressorEngine::setThreshold (float dB) noexcept
{
    store (thresholdDb, dB);
    store (thresholdGain, dbToGain (dB));
}

void CompressorEngine::setRatio (float r) noexcept
{
    // The release coefficient deliberately keeps the ratio of its last update.
    store (ratio, r);
}

void CompressorEngine::setGain (float dB) noexcept
{
    store (makeupDb, dB);
    store (makeupGain, dbToGain (dB));
}

void CompressorEngine::setAttack (float seconds) noexcept
{
    store (attackTime, seconds);
    // Single-precision quotient and exponential. A time of 0 gives -inf and a
    // coefficient of 0: the envelope then follows rising levels instantly.
    const float exponent = -1.0f / (seconds * load (sampleRate));
    store (attackCoeff, std::exp (exponent));
}

void CompressorEngine::setRelease (float seconds) noexcept
{
    store (releaseTime, seconds);
    const double period = (static_cast<double> (seconds) + releaseRatioSeconds * static_cast<double> (load (ratio)))
                          * static_cast<double> (load (sampleRate));
    store (releaseCoeff, static_cast<float> (std::exp (-1.0 / period)));
}

void CompressorEngine::setKnee (float k) noexcept
{
    store (kneeValue, k);
    updateKneeWidth();
}

void CompressorEngine::setDryWet (float w) noexcept
{
    store (dryWet, w);
}

void CompressorEngine::setCurve (float c) noexcept
{
    // Truncation toward zero; any non-zero result selects the decibel curve. Values
    // that do not fit an int (or NaN) are mapped explicitly instead of converting
    // with undefined behaviour.
    int selector = 0;
    if (c >= 1.0f)
        selector = c < 2147483520.0f ? static_cast<int> (c) : std::numeric_limits<int>::max();
    else if (c <= -1.0f)
        selector = c > -2147483520.0f ? static_cast<int> (c) : std::numeric_limits<int>::min();
    curve.store (selector, std::memory_order_relaxed);
    updateKneeWidth();
}

void CompressorEngine::updateKneeWidth() noexcept
{
    const float k = load (kneeValue);
    // Curve 0 reads a sharpness 1..13, curve 1 a width in dB 200..0.1.
    const float width = getCurve() == 0 ? k * 12.0f + 1.0f : 200.0f - k * 199.9f;
    store (kneeWidth, width);
}

void CompressorEngine::setSampleRate (float fs) noexcept
{
    store (sampleRate, fs);
    inputMeter.prepare (fs);
    gainMeter.prepare (fs);
}

CurveSettings CompressorEngine::curveSettings() const noexcept
{
    return { load (thresholdGain), load (thresholdDb), load (ratio), load (kneeWidth) };
}

void CompressorEngine::process (float* const* channelData, int numChannels, int numSamples) noexcept
{
    const int n = std::min (numChannels, maxChannels);
    for (int i = 0; i < n; ++i)
        channels[(size_t) i] = channelData[i];

    if (numSamples <= 0 || n <= 0)
        return;

    ScopedFlushDenormals noDenormals;
    const bool decibel = getCurve() != 0; // chosen once per block

    if (n == 1)
        decibel ? dispatch<true, 1> (n, numSamples) : dispatch<false, 1> (n, numSamples);
    else if (n == 2)
        decibel ? dispatch<true, 2> (n, numSamples) : dispatch<false, 2> (n, numSamples);
    else
        decibel ? dispatch<true, 0> (n, numSamples) : dispatch<false, 0> (n, numSamples);
}

template <bool decibelCurve, int fixedChannels>
void CompressorEngine::dispatch (int numChannels, int numSamples) noexcept
{
#if VRC_AVX2_DISPATCH
    if (cpuHasAvx2())
    {
        processSamplesAvx2<decibelCurve, fixedChannels> (numChannels, numSamples);
        return;
    }
#endif
    processSamples<decibelCurve, fixedChannels> (numChannels, numSamples);
}

#if VRC_AVX2_DISPATCH
template <bool decibelCurve, int fixedChannels>
VRC_TARGET_AVX2 void CompressorEngine::processSamplesAvx2 (int numChannels, int numSamples) noexcept
{
    processSamples<decibelCurve, fixedChannels> (numChannels, numSamples);
}
#endif

template <bool decibelCurve, int fixedChannels>
void CompressorEngine::processSamples (int numChannelsIn, int numSamples) noexcept
{
    const int numChannels = fixedChannels > 0 ? fixedChannels : numChannelsIn;

    // One consistent snapshot per block: the passes read finished values only.
    const CurveSettings settings = curveSettings();
    if (! curvesBuilt || std::memcmp (&settings, &curveKey, sizeof settings) != 0)
    {
        cachedLinear = LinearCurve (settings);
        cachedDecibel = DecibelCurve (settings);
        curveKey = settings;
        curvesBuilt = true;
    }
    const LinearCurve& linear = cachedLinear;
    const DecibelCurve& decibel = cachedDecibel;
    const float attack = load (attackCoeff), release = load (releaseCoeff);
    const float makeup = load (makeupGain), wet = load (dryWet);
    const float dry = 1.0f - wet;

    // Passes over chunks of the block: the detector and the envelope (the only
    // serial work), the gain curve, the channels, the meters. Each frame's result
    // is the same float arithmetic a frame-by-frame loop would do.
    alignas (16) float mono[chunkFrames], meterIn[chunkFrames], env[chunkFrames], gain[chunkFrames];
    alignas (16) float scratch[3 * chunkFrames];
    for (int offset = 0; offset < numSamples; offset += chunkFrames)
    {
        const int n = std::min (chunkFrames, numSamples - offset);
        mixToMono<fixedChannels> (channels.data(), numChannels, offset, n, mono);
        envelope = followEnvelope (mono, n, envelope, attack, release, env, meterIn, scratch);

        if constexpr (decibelCurve)
        {
            decibel.gains (env, gain, n);
        }
        else
        {
            linear.gains (env, gain, n);
            currentGain = gain[n - 1];
        }

        for (int i = 0; i < numChannels; ++i)
            applyGain (channels[(size_t) i] + offset, gain, n, makeup, wet, dry);

        inputMeter.pushBlock (meterIn, n);
        gainMeter.pushBlock (gain, n);
    }
    inputMeter.publish();
    gainMeter.publish();
}

} // namespace vrc

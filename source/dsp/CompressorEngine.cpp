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

/** x within [low, high]; NaN becomes 'otherwise'. */
float within (float x, float low, float high, float otherwise) noexcept
{
    if (x != x)
        return otherwise;
    return std::min (std::max (x, low), high);
}

/** Truncation toward zero; any non-zero result selects the decibel curve.
    Values that do not fit an int (or NaN) are mapped explicitly instead of
    converting with undefined behaviour. */
int curveSelector (float c) noexcept
{
    if (c >= 1.0f)
        return c < 2147483520.0f ? static_cast<int> (c) : std::numeric_limits<int>::max();
    if (c <= -1.0f)
        return c > -2147483520.0f ? static_cast<int> (c) : std::numeric_limits<int>::min();
    return 0;
}

// The knee control (0..1) read by each curve: the linear curve's sharpness runs
// from 1 (softest) up by 12, the decibel curve's width from 200 dB down by 199.9
// (to 0.1 dB, never a zero width).
constexpr float linearSharpnessAtZero = 1.0f, linearSharpnessSpan = 12.0f;
constexpr float decibelWidthAtZero = 200.0f, decibelWidthSpan = 199.9f;

/** Curve 0 reads the knee as a sharpness 1..13, curve 1 as a width in dB 200..0.1. */
float kneeWidthFor (float knee, int curve) noexcept
{
    return curve == 0 ? knee * linearSharpnessSpan + linearSharpnessAtZero
                      : decibelWidthAtZero - knee * decibelWidthSpan;
}

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
}

void CompressorEngine::setRatio (float r) noexcept
{
    // The release coefficient deliberately keeps the ratio of its last update.
    store (ratio, r);
}

void CompressorEngine::setGain (float dB) noexcept
{
    store (makeupDb, dB);
}

void CompressorEngine::setAttack (float seconds) noexcept
{
    // Single-precision quotient and exponential. A time of 0 gives -inf and a
    // coefficient of 0: the envelope then follows rising levels instantly.
    const float exponent = -1.0f / (seconds * load (sampleRate));
    store (attackCoeff, std::exp (exponent));
}

void CompressorEngine::setRelease (float seconds) noexcept
{
    const double period = (static_cast<double> (seconds) + releaseRatioSeconds * static_cast<double> (load (ratio)))
                          * static_cast<double> (load (sampleRate));
    store (releaseCoeff, static_cast<float> (std::exp (-1.0 / period)));
}

void CompressorEngine::setKnee (float k) noexcept
{
    store (kneeValue, k);
}

void CompressorEngine::setDryWet (float w) noexcept
{
    store (dryWet, w);
}

void CompressorEngine::setCurve (float c) noexcept
{
    store (curveValue, c);
}

void CompressorEngine::setSampleRate (float fs) noexcept
{
    store (sampleRate, fs);
    inputMeter.prepare (fs);
    gainMeter.prepare (fs);
}

CompressorEngine::Snapshot CompressorEngine::snapshot() const noexcept
{
    return { load (thresholdDb), load (ratio), load (makeupDb), load (attackCoeff),
             load (releaseCoeff), load (kneeValue), load (dryWet), load (curveValue) };
}

CompressorEngine::BlockSettings CompressorEngine::derive (const Snapshot& s) noexcept
{
    BlockSettings b;
    const int curve = curveSelector (s.curve);
    b.decibel = curve != 0;
    b.curve = { dbToGain (s.thresholdDb), s.thresholdDb, s.ratio, kneeWidthFor (s.knee, curve) };
    // A coefficient outside 0..1 (a negative time, a rate of 0) would let the
    // envelope grow without end and stay infinite for the rest of the session.
    b.attack = within (s.attackCoeff, 0.0f, 1.0f, 0.0f);
    b.release = within (s.releaseCoeff, 0.0f, 1.0f, 0.0f);
    // Bounded so that any finite input within +-1000 gives a finite output; a NaN
    // (which no host write can store) falls back to the defaults.
    b.makeup = within (dbToGain (s.makeupDb), 0.0f, maxMakeupGain, 1.0f);
    b.wet = within (s.dryWet, 0.0f, 1.0f, 1.0f);
    return b;
}

CurveSettings CompressorEngine::curveSettings() const noexcept { return derive (snapshot()).curve; }
float CompressorEngine::getKneeWidth() const noexcept { return curveSettings().kneeWidth; }
float CompressorEngine::getThresholdGain() const noexcept { return curveSettings().thresholdGain; }
float CompressorEngine::getMakeupGain() const noexcept { return derive (snapshot()).makeup; }
float CompressorEngine::getDryWet() const noexcept { return derive (snapshot()).wet; }
int CompressorEngine::getCurve() const noexcept { return curveSelector (load (curveValue)); }

void CompressorEngine::process (float* const* channelData, int numChannels, int numSamples, float* gainOut,
                                Key key) noexcept
{
    const int n = std::min (numChannels, maxChannels);
    for (int i = 0; i < n; ++i)
        channels[(size_t) i] = channelData[i];
    numKeyChannels = key.channels != nullptr ? std::clamp (key.numChannels, 0, maxChannels) : 0;
    for (int i = 0; i < numKeyChannels; ++i)
        keyChannels[(size_t) i] = key.channels[i];

    if (numSamples <= 0 || n <= 0)
        return;

    // One snapshot per block: settings written meanwhile on other threads apply
    // from the next block on, all together.
    const Snapshot s = snapshot();
    if (! derived || std::memcmp (&s, &lastSnapshot, sizeof s) != 0)
    {
        const BlockSettings next = derive (s);
        if (! derived || std::memcmp (&next.curve, &block.curve, sizeof next.curve) != 0)
        {
            cachedLinear = LinearCurve (next.curve);
            cachedDecibel = DecibelCurve (next.curve);
        }
        block = next;
        lastSnapshot = s;
        derived = true;
    }

    ScopedFlushDenormals noDenormals;
    if (n == 1)
        block.decibel ? dispatch<true, 1> (n, numSamples, gainOut) : dispatch<false, 1> (n, numSamples, gainOut);
    else if (n == 2)
        block.decibel ? dispatch<true, 2> (n, numSamples, gainOut) : dispatch<false, 2> (n, numSamples, gainOut);
    else
        block.decibel ? dispatch<true, 0> (n, numSamples, gainOut) : dispatch<false, 0> (n, numSamples, gainOut);
}

template <bool decibelCurve, int fixedChannels>
void CompressorEngine::dispatch (int numChannels, int numSamples, float* gainOut) noexcept
{
#if VRC_AVX2_DISPATCH
    if (cpuHasAvx2())
    {
        processSamplesAvx2<decibelCurve, fixedChannels> (numChannels, numSamples, gainOut);
        return;
    }
#endif
    processSamples<decibelCurve, fixedChannels> (numChannels, numSamples, gainOut);
}

#if VRC_AVX2_DISPATCH
template <bool decibelCurve, int fixedChannels>
VRC_TARGET_AVX2 void CompressorEngine::processSamplesAvx2 (int numChannels, int numSamples, float* gainOut) noexcept
{
    processSamples<decibelCurve, fixedChannels> (numChannels, numSamples, gainOut);
}
#endif

template <bool decibelCurve, int fixedChannels>
void CompressorEngine::processSamples (int numChannelsIn, int numSamples, float* gainOut) noexcept
{
    const int numChannels = fixedChannels > 0 ? fixedChannels : numChannelsIn;
    const LinearCurve& linear = cachedLinear;
    const DecibelCurve& decibel = cachedDecibel;
    const float attack = block.attack, release = block.release;
    const float makeup = block.makeup, wet = block.wet;
    const float dry = 1.0f - wet;
    // The detector listens to the channels it processes, or to the key. The
    // choice is made per chunk, outside the per-frame loops, so a block without
    // a key runs exactly the arithmetic it always did.
    const bool keyed = numKeyChannels > 0;

    // Passes over chunks of the block: the detector and the envelope (the only
    // serial work), the gain curve, the channels, the meters. Each frame's result
    // is the same float arithmetic a frame-by-frame loop would do.
    alignas (16) float mono[chunkFrames], meterIn[chunkFrames], env[chunkFrames], gain[chunkFrames];
    alignas (16) float scratch[3 * chunkFrames];
    for (int offset = 0; offset < numSamples; offset += chunkFrames)
    {
        const int n = std::min (chunkFrames, numSamples - offset);
        if (! keyed)
        {
            mixToMono<fixedChannels> (channels.data(), numChannels, offset, n, mono);
            envelope = followEnvelope (mono, n, envelope, attack, release, env, meterIn, scratch);
        }
        else
        {
            mixToMono<0> (keyChannels.data(), numKeyChannels, offset, n, mono);
            envelope = followEnvelope (mono, n, envelope, attack, release, env, meterIn, scratch);
            // The input meter shows what comes in, not what the detector hears.
            mixToMono<fixedChannels> (channels.data(), numChannels, offset, n, mono);
            meterValues (mono, n, meterIn);
        }

        // Both curves give factors within 0..1 whatever the settings.
        if constexpr (decibelCurve)
            decibel.gains (env, gain, n);
        else
            linear.gains (env, gain, n);
        currentGain = gain[n - 1];
        if (gainOut != nullptr)
            std::memcpy (gainOut + offset, gain, sizeof (float) * (size_t) n);

        for (int i = 0; i < numChannels; ++i)
            applyGain (channels[(size_t) i] + offset, gain, n, makeup, wet, dry);

        inputMeter.pushBlock (meterIn, n);
        gainMeter.pushBlock (gain, n);
    }
    inputMeter.publish();
    gainMeter.publish();
}

} // namespace vrc

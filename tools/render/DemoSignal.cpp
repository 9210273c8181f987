#include "DemoSignal.h"

#include <cmath>
#include <cstdint>

namespace vrc::render
{

namespace
{
constexpr double twoPi = 6.283185307179586;
constexpr double beatSeconds = 0.5;   // 120 beats per minute
constexpr double drumsStart = 2.0;    // the chord plays alone before this

/** A small fixed-seed generator: the demo is identical on every machine and run. */
class Noise
{
public:
    float next() noexcept
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<float> (state) / 2147483648.0f - 1.0f;
    }

private:
    std::uint32_t state = 0x9e3779b9u;
};

/** Adds one hit to both channels, starting at `start` seconds, with left/right gains. */
template <typename Voice>
void addHit (juce::AudioBuffer<float>& out, double sampleRate, double start, double length,
             float left, float right, Voice&& voice)
{
    const int first = static_cast<int> (start * sampleRate);
    const int n = std::min (static_cast<int> (length * sampleRate), out.getNumSamples() - first);
    for (int i = 0; i < n; ++i)
    {
        const float v = voice (static_cast<double> (i) / sampleRate);
        out.addSample (0, first + i, v * left);
        out.addSample (1, first + i, v * right);
    }
}
} // namespace

juce::AudioBuffer<float> makeDemoSignal (double sampleRate)
{
    const int length = static_cast<int> (demoSeconds * sampleRate);
    juce::AudioBuffer<float> out (2, length);
    out.clear();
    Noise noise;

    // The chord: A major, each voice with two soft harmonics and a small phase
    // offset between the channels for width. (Detuning the channels instead
    // would make them beat against each other, and the detector, which hears
    // their mean, would see the chord vanish every few seconds.)
    const double chord[] = { 110.0, 164.81, 220.0, 277.18, 329.63 };
    for (int ch = 0; ch < 2; ++ch)
    {
        const double offset = ch == 0 ? 0.0 : 0.5;
        auto* data = out.getWritePointer (ch);
        for (int i = 0; i < length; ++i)
        {
            const double t = static_cast<double> (i) / sampleRate;
            double v = 0.0;
            for (double f : chord)
            {
                const double p = twoPi * f * t + offset;
                v += std::sin (p) + 0.3 * std::sin (2.0 * p) + 0.15 * std::sin (3.0 * p);
            }
            const double swell = 1.0 + 0.15 * std::sin (twoPi * 0.25 * t);
            data[i] = static_cast<float> (0.024 * swell * v);
        }
    }

    for (double bar = drumsStart; bar < demoSeconds - 1e-9; bar += 4 * beatSeconds)
    {
        // Levels leave the preset's +6 dB make-up below full scale even while
        // the 5 ms attack lets the start of each hit through.
        // Kick on beats 1 and 3: a falling sine with a short click.
        for (double beat : { 0.0, 2.0 })
            addHit (out, sampleRate, bar + beat * beatSeconds, 0.45, 1.0f, 1.0f,
                    [phase = 0.0, &noise, sampleRate] (double t) mutable
                    {
                        phase += twoPi * (45.0 + 110.0 * std::exp (-t / 0.03)) / sampleRate;
                        return static_cast<float> (0.26 * std::exp (-t / 0.16) * std::sin (phase)
                                                   + 0.04 * std::exp (-t / 0.002) * noise.next());
                    });

        // Snare on beats 2 and 4: a body tone and a brighter, longer noise tail.
        for (double beat : { 1.0, 3.0 })
            addHit (out, sampleRate, bar + beat * beatSeconds, 0.35, 0.95f, 1.0f,
                    [last = 0.0f, &noise] (double t) mutable
                    {
                        const float n = noise.next();
                        const float bright = n - 0.6f * last; // tilt the noise upward
                        last = n;
                        return static_cast<float> (0.14 * std::exp (-t / 0.05) * std::sin (twoPi * 185.0 * t)
                                                   + 0.14 * std::exp (-t / 0.08) * bright);
                    });

        // Hats on every eighth, alternating sides, accented on the beat.
        for (int eighth = 0; eighth < 8; ++eighth)
        {
            const float level = eighth % 2 == 0 ? 0.09f : 0.06f;
            const float left = eighth % 4 < 2 ? 1.0f : 0.6f;
            addHit (out, sampleRate, bar + eighth * beatSeconds / 2.0, 0.08, left, 1.6f - left,
                    [last = 0.0f, &noise, level] (double t) mutable
                    {
                        const float n = noise.next();
                        const float high = n - last; // a first difference keeps only the top end
                        last = n;
                        return level * static_cast<float> (std::exp (-t / 0.018)) * high;
                    });
        }
    }

    // Short fades so the file starts and ends without a click.
    const int fade = static_cast<int> (0.05 * sampleRate);
    for (int ch = 0; ch < 2; ++ch)
    {
        out.applyGainRamp (ch, 0, fade, 0.0f, 1.0f);
        out.applyGainRamp (ch, length - fade, fade, 1.0f, 0.0f);
    }
    return out;
}

} // namespace vrc::render

#pragma once
// Sliding-window RMS meter (100 ms) with constant work per value. The audio
// thread pushes; any other thread may read the level at the same time.
#include <atomic>
#include <memory>

namespace vrc
{

class RmsMeter
{
public:
    /** The ring is sized once for 100 ms at 960 kHz; windows never exceed it. */
    static constexpr int capacity = 96000;

    RmsMeter();

    /** Sets the rate and a fresh, empty 100 ms window. Not concurrent with push. */
    void prepare (float sampleRate) noexcept;

    /** Sets an empty window of n values (clamped to 1..capacity). */
    void setLength (int n) noexcept;

    /** Adds one value; its square, clamped to [0, 2], enters the window. */
    void push (float x) noexcept
    {
        float v = x * x;
        if (v > 2.0f)
            v = 2.0f;
        else if (! (v >= 0.0f))
            v = 0.0f; // also catches NaN, which would otherwise stay in the sum for good

        const int n = length;
        if (n <= 0)
            return; // no window before the first prepare
        const int i = writeIndex;
        sum = sum + v;
        sum = sum - buffer[(size_t) i];
        buffer[(size_t) i] = v;
        // Publish the running sum and its window; the reader divides and takes the
        // square root, so the audio thread pays for neither on every sample.
        publishedSum.store (sum, std::memory_order_relaxed);
        publishedLength.store (n, std::memory_order_relaxed);
        writeIndex = (i + 1 == n) ? 0 : i + 1;
    }

    /** Current RMS value (linear). Safe from any thread. */
    float rms() const noexcept;

    /** Current reading in dB: 20 log10(rms); minus infinity for a reading of 0. */
    float levelDb() const noexcept;

    int getLength() const noexcept { return length; }
    float getSampleRate() const noexcept { return sampleRate; }

private:
    float sampleRate = 44100.0f;
    int length = 0;
    int writeIndex = 0;
    std::unique_ptr<float[]> buffer;
    float sum = 0.0f;

    // The reader's view of the last push: a new window publishes nothing until
    // its first value arrives, so the previous reading holds until then.
    std::atomic<float> publishedSum { 0.0f };
    std::atomic<int> publishedLength { 0 };
};

} // namespace vrc

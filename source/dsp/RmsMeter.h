#pragma once
// Sliding-window RMS meter (100 ms). The audio thread adds a block of values at a
// time and publishes the reading once per block; any other thread may read the
// level at the same time.
#include "CpuDispatch.h"

#include <atomic>
#include <cstdint>
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

    /** Adds n values; their squares, clamped to [0, 2], enter the window. The
        reading follows at the next publish(). */
    void pushBlock (const float* x, int n) noexcept;

    /** Makes the current window the reading. A new window publishes nothing until
        its first value arrives, so the previous reading holds until then. */
    void publish() noexcept;

    /** One value, published at once. */
    void push (float x) noexcept
    {
        pushBlock (&x, 1);
        publish();
    }

    /** Current RMS value (linear). Safe from any thread. */
    float rms() const noexcept;

    /** Current reading in dB: 20 log10(rms); minus infinity for a reading of 0. */
    float levelDb() const noexcept;

    int getLength() const noexcept { return length; }
    float getSampleRate() const noexcept { return sampleRate; }

private:
    void addSegment (const float* x, int n) noexcept;
    void addSegmentAvx2 (const float* x, int n) noexcept;
    VRC_INLINE_PASS void addSegmentPasses (const float* x, int n) noexcept;

    float sampleRate = 44100.0f;
    int length = 0;
    int writeIndex = 0;
    bool hasValues = false;
    // The window's squares, each as two counts (see RmsMeter.cpp), in two rings
    // of one allocation, both aligned to a cache line (capacity is a multiple of 16).
    static constexpr int countsPerLine = 16;
    std::unique_ptr<std::uint32_t[]> storage;
    std::uint32_t* coarse = nullptr;
    std::uint32_t* fine = nullptr;

    // The window's sum as an integer count of 2^-45: adding and removing squares
    // is exact, so the sum never drifts and silence after a loud passage reads
    // exactly zero. A full window of the largest square (2) needs 2^62.6.
    std::int64_t sum = 0;

    std::atomic<float> publishedSum { 0.0f };
    std::atomic<int> publishedLength { 0 };
};

} // namespace vrc

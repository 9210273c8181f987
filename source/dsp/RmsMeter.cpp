#include "RmsMeter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vrc
{

namespace
{
constexpr double sumUnitsPerOne = 0x1p45;

// Adding 2^52 to a value below 2^51 rounds it to an integer held in the low
// mantissa bits. Differences of these bit patterns are differences of the
// rounded values, and bit patterns add without rounding, so whole blocks are
// summed with plain integer additions (in any order, hence in vector lanes).
VRC_INLINE_PASS std::uint64_t fixedPointBits (float square) noexcept
{
    const double shifted = static_cast<double> (square) * sumUnitsPerOne + 0x1p52;
    std::uint64_t bits;
    std::memcpy (&bits, &shifted, sizeof bits);
    return bits;
}
} // namespace

RmsMeter::RmsMeter() : buffer (new float[capacity]())
{
}

void RmsMeter::prepare (float fs) noexcept
{
    sampleRate = fs;
    // 0.1 s in single precision, multiplied in double and truncated: 4410 at 44.1 kHz.
    const double window = static_cast<double> (sampleRate) * static_cast<double> (0.1f);
    // Rates above 960 kHz would ask for more than the ring holds; non-finite or
    // negative rates get the smallest window rather than an undefined conversion.
    const int n = (window >= 1.0) ? static_cast<int> (std::min (window, static_cast<double> (capacity))) : 1;
    setLength (n);
}

void RmsMeter::setLength (int n) noexcept
{
    length = std::clamp (n, 1, capacity);
    std::fill (buffer.get(), buffer.get() + length, 0.0f);
    sum = 0;
    writeIndex = 0;
    hasValues = false;
}

void RmsMeter::pushBlock (const float* x, int n) noexcept
{
    if (length <= 0 || n <= 0)
        return; // no window before the first prepare
    hasValues = true;
    while (n > 0)
    {
        const int segment = std::min (n, length - writeIndex);
        addSegment (x, segment);
        writeIndex = (writeIndex + segment == length) ? 0 : writeIndex + segment;
        x += segment;
        n -= segment;
    }
}

void RmsMeter::addSegment (const float* x, int n) noexcept
{
#if VRC_AVX2_DISPATCH
    if (cpuHasAvx2())
    {
        addSegmentAvx2 (x, n);
        return;
    }
#endif
    addSegmentPasses (x, n);
}

#if VRC_AVX2_DISPATCH
VRC_TARGET_AVX2 void RmsMeter::addSegmentAvx2 (const float* x, int n) noexcept
{
    addSegmentPasses (x, n);
}
#endif

void RmsMeter::addSegmentPasses (const float* x, int n) noexcept
{
    // Three passes (one loop mixing the clamps with the conversions would not vectorise).
    float* ring = buffer.get() + writeIndex;
    std::uint64_t added = 0, removed = 0; // wrap modulo 2^64; their difference is exact
    for (int j = 0; j < n; ++j)
        removed += fixedPointBits (ring[j]);
    for (int j = 0; j < n; ++j)
    {
        float v = x[j] * x[j];
        v = v > 2.0f ? 2.0f : v;
        v = v >= 0.0f ? v : 0.0f; // also catches NaN, which would otherwise stay in the sum for good
        ring[j] = v;
    }
    for (int j = 0; j < n; ++j)
        added += fixedPointBits (ring[j]);
    sum += static_cast<std::int64_t> (added - removed);
}

void RmsMeter::publish() noexcept
{
    if (! hasValues)
        return;
    // The reader divides and takes the square root, so the audio thread pays for
    // neither.
    publishedSum.store (static_cast<float> (static_cast<double> (sum) / sumUnitsPerOne), std::memory_order_relaxed);
    publishedLength.store (length, std::memory_order_relaxed);
}

float RmsMeter::rms() const noexcept
{
    const int n = publishedLength.load (std::memory_order_relaxed);
    if (n <= 0)
        return 0.0f;
    const float mean = publishedSum.load (std::memory_order_relaxed) / static_cast<float> (n);
    return std::sqrt (mean > 0.0f ? mean : 0.0f);
}

float RmsMeter::levelDb() const noexcept
{
    return 20.0f * static_cast<float> (std::log10 (static_cast<double> (rms())));
}

} // namespace vrc

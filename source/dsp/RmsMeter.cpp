#include "RmsMeter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vrc
{

namespace
{
constexpr double sumUnitsPerOne = 0x1p45;

// Each square enters the window as round(square * 2^45), split in two float
// sums whose bit patterns count units exactly: 2 + square rounds the square to a
// multiple of 2^-22 (the spacing of floats in [2, 4]); the remainder (within
// 2^-23, and exact) plus 1.5 * 2^-22 rounds it to a multiple of 2^-45 (the
// spacing in [2^-22, 2^-21]). Both biases are even multiples of their spacing,
// so ties round to an even count in both, and the two counts add up to the
// square rounded once. Within a binade (and onto its upper edge) a float's bit
// pattern grows by one per spacing, so differences of these patterns are exact
// integers, summed in 32-bit lanes without widening to double.
constexpr float coarseBias = 2.0f;
constexpr float fineBias = 0x1.8p-22f;
constexpr std::uint32_t coarseZero = 0x40000000u; // bit pattern of coarseBias
constexpr std::uint32_t fineZero = 0x34c00000u; // bit pattern of fineBias
constexpr int coarseShift = 23; // a coarse step is 2^23 units

// A coarse count moves by at most 2^23 per value, so the sums of differences of
// this many values stay within a 32-bit integer.
constexpr int valuesPerSum = 128;

VRC_INLINE_PASS std::uint32_t bitsOf (float f) noexcept
{
    std::uint32_t bits;
    std::memcpy (&bits, &f, sizeof bits);
    return bits;
}

/** x * x clamped to [0, 2]; NaN counts as 0, as it would otherwise stay in the sum for good. */
VRC_INLINE_PASS float clampedSquare (float x) noexcept
{
    // A square is +0, positive, +infinity or NaN. Apart from NaN, its bit pattern
    // orders as its value, so an integer minimum clamps it (float selects become
    // branches here, which would keep the loop scalar); NaN is masked out after.
    const float square = x * x;
    std::int32_t bits;
    std::memcpy (&bits, &square, sizeof bits);
    constexpr std::int32_t twoBits = 0x40000000;
    bits = bits < twoBits ? bits : twoBits;
    bits &= -static_cast<std::int32_t> (square == square);
    float clamped;
    std::memcpy (&clamped, &bits, sizeof clamped);
    return clamped;
}
} // namespace

// Left uninitialised: setLength clears the part a window uses, and the pages
// beyond it need not become resident (a 48 kHz window uses 38 kB of 768 kB).
RmsMeter::RmsMeter() : storage (new std::uint32_t[2 * capacity + countsPerLine])
{
    // Vector stores that straddle cache lines cost twice: both rings start on one.
    const auto misalignment = reinterpret_cast<std::uintptr_t> (storage.get()) % (countsPerLine * sizeof (std::uint32_t));
    coarse = storage.get() + (countsPerLine - misalignment / sizeof (std::uint32_t)) % countsPerLine;
    static_assert (capacity % countsPerLine == 0, "the fine ring starts on a line too");
    fine = coarse + capacity;
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
    std::fill (coarse, coarse + length, coarseZero);
    std::fill (fine, fine + length, fineZero);
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
    // One pass: each square is converted once, on its way in; on its way out its
    // counts are already there to subtract.
    std::uint32_t* const coarseRing = coarse + writeIndex;
    std::uint32_t* const fineRing = fine + writeIndex;
    std::int64_t total = sum;
    for (int start = 0; start < n; start += valuesPerSum)
    {
        const int end = std::min (n, start + valuesPerSum);
        std::uint32_t coarseChange = 0, fineChange = 0; // wrap modulo 2^32; the true sums fit an int32
        for (int j = start; j < end; ++j)
        {
            const float v = clampedSquare (x[j]);
            const float coarseSum = v + coarseBias;
            const float rest = v - (coarseSum - coarseBias);
            const std::uint32_t coarseBits = bitsOf (coarseSum), fineBits = bitsOf (rest + fineBias);
            coarseChange += coarseBits - coarseRing[j];
            fineChange += fineBits - fineRing[j];
            coarseRing[j] = coarseBits;
            fineRing[j] = fineBits;
        }
        total += static_cast<std::int64_t> (static_cast<std::int32_t> (coarseChange)) * (std::int64_t { 1 } << coarseShift)
                 + static_cast<std::int32_t> (fineChange);
    }
    sum = total;
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

#pragma once
// What a render measures: levels of the input and the output, the gain the
// engine applied on every sample, and a per-column time line for the plot.
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vrc::render
{

/** How many of a 4-lane mask's lanes are set (a table: the baseline x86-64 has no
    population-count instruction, and the library call costs more than the rest). */
inline int lanesSet (int mask) noexcept
{
    constexpr int bits[16] = { 0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4 };
    return bits[mask & 15];
}

/** Peak and RMS over all channels of a signal. */
struct LevelStats
{
    float peak = 0.0f;
    double sumOfSquares = 0.0;
    std::int64_t count = 0; // finite samples over all channels

    void add (const float* samples, int n) noexcept
    {
        // Levels are those of the finite samples: one NaN would make the RMS NaN,
        // one infinity the peak; non-finite samples are counted and reported apart.
        // Several partial sums, so each addition need not wait for the one before.
        int i = 0;
        float top = peak;
        double sum = 0.0;
        std::int64_t finite = 0;
#if defined(__SSE2__)
        const __m128 magnitudeMask = _mm_castsi128_ps (_mm_set1_epi32 (0x7fffffff));
        const __m128 largest = _mm_set1_ps (std::numeric_limits<float>::max());
        __m128 peaks = _mm_set1_ps (top);
        __m128d sums[2] = { _mm_setzero_pd(), _mm_setzero_pd() };
        for (; i + 4 <= n; i += 4)
        {
            const __m128 v = _mm_loadu_ps (samples + i);
            const __m128 ok = _mm_cmple_ps (_mm_and_ps (v, magnitudeMask), largest); // (false for NaN)
            const __m128 kept = _mm_and_ps (v, ok);
            peaks = _mm_max_ps (peaks, _mm_and_ps (kept, magnitudeMask));
            const __m128d low = _mm_cvtps_pd (kept), high = _mm_cvtps_pd (_mm_movehl_ps (kept, kept));
            sums[0] = _mm_add_pd (sums[0], _mm_mul_pd (low, low));
            sums[1] = _mm_add_pd (sums[1], _mm_mul_pd (high, high));
            finite += lanesSet (_mm_movemask_ps (ok));
        }
        alignas (16) float lanes[4];
        _mm_store_ps (lanes, peaks);
        for (float lane : lanes)
            top = lane > top ? lane : top;
        alignas (16) double partial[4];
        _mm_store_pd (partial, sums[0]);
        _mm_store_pd (partial + 2, sums[1]);
        sum = (partial[0] + partial[1]) + (partial[2] + partial[3]);
#endif
        for (; i < n; ++i)
        {
            const float a = std::fabs (samples[i]);
            if (! (a <= std::numeric_limits<float>::max()))
                continue;
            top = a > top ? a : top;
            sum += static_cast<double> (samples[i]) * static_cast<double> (samples[i]);
            ++finite;
        }
        peak = top;
        sumOfSquares += sum;
        count += finite;
    }

    double peakDb() const noexcept { return toDb (peak); }
    double rmsDb() const noexcept { return count > 0 ? toDb (std::sqrt (sumOfSquares / static_cast<double> (count))) : toDb (0.0); }

    static double toDb (double amplitude) noexcept
    {
        return amplitude > 0.0 ? 20.0 * std::log10 (amplitude) : -std::numeric_limits<double>::infinity();
    }
};

/** Gain reduction, from the engine's gain factor on each sample. */
struct GainStats
{
    float smallestGain = 1.0f;
    double sumOfReductionDb = 0.0;
    std::int64_t count = 0;

    /** The gain factors of n frames. The reductions' sum in dB is the logarithm of
        their product: one logarithm per block instead of one per frame (each
        partial product is renormalised before it could leave double's range). */
    void add (const float* gains, int n) noexcept
    {
        double products[4] = { 1.0, 1.0, 1.0, 1.0 };
        int exponent = 0, i = 0;
        float smallest = smallestGain;
        bool silenced = false; // a gain of 0: a reduction without end
        const auto take = [&] (float g, double& product)
        {
            smallest = g < smallest ? g : smallest;
            silenced = silenced || g <= 0.0f;
            // (below 1e-37, -740 dB, a factor counts as 1e-37: eight of them stay in range)
            product *= g < 1.0f ? static_cast<double> (g > 1.0e-37f ? g : 1.0e-37f) : 1.0;
        };
#if defined(__SSE2__)
        __m128 least = _mm_set1_ps (smallest), zeroOrLess = _mm_setzero_ps();
        __m128d low = _mm_set1_pd (1.0), high = _mm_set1_pd (1.0);
        for (; i + 32 <= n; i += 32)
        {
            for (int k = 0; k < 32; k += 4)
            {
                const __m128 g = _mm_loadu_ps (gains + i + k);
                least = _mm_min_ps (least, g);
                zeroOrLess = _mm_or_ps (zeroOrLess, _mm_cmple_ps (g, _mm_setzero_ps()));
                const __m128 factor = _mm_min_ps (_mm_max_ps (g, _mm_set1_ps (1.0e-37f)), _mm_set1_ps (1.0f));
                low = _mm_mul_pd (low, _mm_cvtps_pd (factor));
                high = _mm_mul_pd (high, _mm_cvtps_pd (_mm_movehl_ps (factor, factor)));
            }
            alignas (16) double lanes[4];
            _mm_store_pd (lanes, low);
            _mm_store_pd (lanes + 2, high);
            for (auto& lane : lanes)
            {
                int e = 0;
                lane = std::frexp (lane, &e);
                exponent += e;
            }
            low = _mm_load_pd (lanes);
            high = _mm_load_pd (lanes + 2);
        }
        alignas (16) float leastLanes[4];
        _mm_store_ps (leastLanes, least);
        for (float lane : leastLanes)
            smallest = lane < smallest ? lane : smallest;
        silenced = _mm_movemask_ps (zeroOrLess) != 0;
        _mm_storeu_pd (products, low);
        _mm_storeu_pd (products + 2, high);
#endif
        for (; i < n; ++i)
        {
            take (gains[i], products[0]);
            int e = 0;
            products[0] = std::frexp (products[0], &e);
            exponent += e;
        }
        smallestGain = smallest;
        const double product = (products[0] * products[1]) * (products[2] * products[3]); // (each at least 1/2)
        sumOfReductionDb -= silenced ? -std::numeric_limits<double>::infinity()
                                     : 20.0 * (std::log10 (product) + exponent * 0.30102999566398119521);
        count += n;
    }

    double largestReductionDb() const noexcept { return -LevelStats::toDb (smallestGain); }
    double averageReductionDb() const noexcept { return count > 0 ? sumOfReductionDb / static_cast<double> (count) : 0.0; }
};

/** Per pixel column of the plot's time axis: the extremes within the column. */
struct Timeline
{
    std::vector<float> inputPeak, outputPeak, smallestGain;

    void resize (int columns)
    {
        inputPeak.assign (static_cast<size_t> (columns), 0.0f);
        outputPeak.assign (static_cast<size_t> (columns), 0.0f);
        smallestGain.assign (static_cast<size_t> (columns), 1.0f);
    }

    int columns() const noexcept { return static_cast<int> (smallestGain.size()); }
};

} // namespace vrc::render

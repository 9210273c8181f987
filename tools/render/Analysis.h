#pragma once
// What a render measures: levels of the input and the output, the gain the
// engine applied on every sample, and a per-column time line for the plot.
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace vrc::render
{

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
        // Four partial sums, so each addition need not wait for the one before.
        double sums[4] {};
        float top = peak;
        std::int64_t finite = 0;
        const auto take = [&] (float v, double& sum)
        {
            const float a = std::fabs (v);
            const bool ok = a <= std::numeric_limits<float>::max(); // (false for NaN)
            top = ok && a > top ? a : top;
            sum += ok ? static_cast<double> (v) * static_cast<double> (v) : 0.0;
            finite += ok ? 1 : 0;
        };
        int i = 0;
        for (; i + 4 <= n; i += 4)
            for (int k = 0; k < 4; ++k)
                take (samples[i + k], sums[k]);
        for (; i < n; ++i)
            take (samples[i], sums[0]);
        peak = top;
        sumOfSquares += (sums[0] + sums[1]) + (sums[2] + sums[3]);
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
        their product: a logarithm per few frames instead of one per frame (the
        product is renormalised before it could leave double's range). */
    void add (const float* gains, int n) noexcept
    {
        float smallest = smallestGain;
        double product = 1.0;
        int exponent = 0;
        for (int i = 0; i < n; ++i)
        {
            const float g = gains[i];
            smallest = g < smallest ? g : smallest;
            if (g < 1.0f)
                product *= g > 0.0f ? static_cast<double> (g) : 0.0;
            if ((i & 7) == 7 || product < 1e-250)
            {
                int e = 0;
                product = std::frexp (product, &e);
                exponent += e;
            }
        }
        smallestGain = smallest;
        // (a gain of 0, full reduction, makes the sum infinite, as one log10 (0) would)
        sumOfReductionDb -= product > 0.0 ? 20.0 * (std::log10 (product) + exponent * 0.30102999566398119521)
                                          : -std::numeric_limits<double>::infinity();
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

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
        for (int i = 0; i < n; ++i)
        {
            if (! std::isfinite (samples[i]))
                continue;
            const float a = std::fabs (samples[i]);
            peak = a > peak ? a : peak;
            sumOfSquares += static_cast<double> (samples[i]) * static_cast<double> (samples[i]);
            ++count;
        }
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

    void add (float g) noexcept
    {
        smallestGain = g < smallestGain ? g : smallestGain;
        if (g < 1.0f)
            sumOfReductionDb -= 20.0 * std::log10 (static_cast<double> (g));
        ++count;
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

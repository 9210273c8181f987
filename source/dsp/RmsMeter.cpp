#include "RmsMeter.h"

#include <algorithm>
#include <cmath>

namespace vrc
{

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
    sum = 0.0f;
    writeIndex = 0;
}

float RmsMeter::rms() const noexcept
{
    const int n = publishedLength.load (std::memory_order_relaxed);
    if (n <= 0)
        return 0.0f;
    // The running sum drifts in single precision and may end slightly below zero
    // in silence; clamp so the reading is 0 rather than NaN.
    const float mean = publishedSum.load (std::memory_order_relaxed) / static_cast<float> (n);
    return std::sqrt (mean > 0.0f ? mean : 0.0f);
}

float RmsMeter::levelDb() const noexcept
{
    return 20.0f * static_cast<float> (std::log10 (static_cast<double> (rms())));
}

} // namespace vrc

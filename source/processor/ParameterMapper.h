#pragma once
// One parameter's range and current physical value, and the linear mapping
// between the host's normalised 0..1 and physical units. Neither direction
// clamps: saved settings may legitimately lie outside the printed range.
#include <atomic>
#include <cmath>

namespace vrc
{

class ParameterMapper
{
public:
    /** Stores the range and starts in the middle of it. */
    ParameterMapper (float minimumIn, float maximumIn) noexcept
        : minimum (minimumIn), maximum (maximumIn)
    {
        setNormalised (0.5f);
    }

    /** False, and the value untouched, when x or the physical value it maps to
        is not finite: such a value would be saved with the session. */
    bool setNormalised (float x) noexcept
    {
        // The span is a float; the rest is done in double and rounded once.
        const float span = maximum - minimum;
        const auto v = static_cast<float> (static_cast<double> (minimum) + static_cast<double> (x) * static_cast<double> (span));
        if (! std::isfinite (v))
            return false;
        setPhysical (v);
        return true;
    }

    void setPhysical (float v) noexcept { value.store (v, std::memory_order_relaxed); }

    float getNormalised() const noexcept
    {
        const float offset = getValue() - minimum;
        const float span = maximum - minimum;
        return offset / span;
    }

    float getValue() const noexcept { return value.load (std::memory_order_relaxed); }
    float getMinimum() const noexcept { return minimum; }
    float getMaximum() const noexcept { return maximum; }

private:
    std::atomic<float> value { 0.0f };
    const float minimum, maximum;
};

} // namespace vrc

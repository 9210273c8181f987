#pragma once
// The detector's two passes over a block: the channels' mean, then the peak
// envelope. The envelope recurrence is the engine's only serial work; the engine
// and the benchmarks' cost floor both run it through these functions.
#include "CpuDispatch.h"

#include <cmath>
#include <limits>

namespace vrc
{

/** mono[j] = (0 + x0[j] + x1[j] + ...) / channels, summed in channel order.
    fixedChannels > 0 fixes the count at compile time; 0 uses numChannels. */
template <int fixedChannels, typename Sample>
VRC_INLINE_PASS void mixToMono (Sample* const* channels, int numChannels, int offset, int n, float* __restrict mono) noexcept
{
    const int count = fixedChannels > 0 ? fixedChannels : numChannels;
    for (int j = 0; j < n; ++j)
        mono[j] = 0.0f;
    for (int i = 0; i < count; ++i)
    {
        const float* x = channels[i] + offset;
        for (int j = 0; j < n; ++j)
            mono[j] = mono[j] + x[j];
    }
    const auto divisor = static_cast<float> (count);
    for (int j = 0; j < n; ++j)
        mono[j] = mono[j] / divisor;
}

/** What the input meter takes for each mono value: the value, or 0 where it is
    not finite (as followEnvelope writes it). */
VRC_INLINE_PASS void meterValues (const float* __restrict mono, int n, float* __restrict meterIn) noexcept
{
    for (int j = 0; j < n; ++j)
        meterIn[j] = std::fabs (mono[j]) <= std::numeric_limits<float>::max() ? mono[j] : 0.0f;
}

/** Attack/release peak follower over n mono values starting from 'envelope'.
    Writes each frame's envelope and the value the input meter takes (the mono
    value, or 0 where it is not finite); returns the last envelope. A NaN or
    infinite value leaves the envelope where it was, so one bad sample cannot
    poison the instance for good. 'scratch' holds 3 n floats. */
VRC_INLINE_PASS float followEnvelope (const float* __restrict mono, int n, float envelope, float attack, float release,
                             float* __restrict envelopeOut, float* __restrict meterIn, float* __restrict scratch) noexcept
{
    float* __restrict level = scratch;
    float* __restrict attackTerm = scratch + n;
    float* __restrict releaseTerm = scratch + 2 * n;
    const float attackKeep = 1.0f - attack, releaseKeep = 1.0f - release;

    // Everything that does not depend on the previous envelope, for the whole block.
    int nonFinite = 0;
    for (int j = 0; j < n; ++j)
    {
        const float l = std::fabs (mono[j]);
        const bool finite = l <= std::numeric_limits<float>::max();
        level[j] = l;
        attackTerm[j] = l * attackKeep;
        releaseTerm[j] = l * releaseKeep;
        meterIn[j] = finite ? mono[j] : 0.0f;
        nonFinite |= finite ? 0 : 1;
    }

    float env = envelope;
    if (nonFinite == 0)
    {
        // Both candidates are computed ahead of the choice: from one envelope to
        // the next the chain is one multiply and one add, whichever way it goes
        // (the compiler keeps the choice a branch, which stays well predicted on
        // audio: attack and release alternate in runs).
        for (int j = 0; j < n; ++j)
        {
            const float rising = attackTerm[j] + env * attack;
            const float falling = releaseTerm[j] + env * release;
            env = level[j] > env ? rising : falling;
            envelopeOut[j] = env;
        }
    }
    else
    {
        for (int j = 0; j < n; ++j)
        {
            if (level[j] <= std::numeric_limits<float>::max())
                env = level[j] > env ? attackTerm[j] + env * attack : releaseTerm[j] + env * release;
            envelopeOut[j] = env;
        }
    }
    return env;
}

} // namespace vrc

#pragma once
// Small helpers for driving the engine in tests: constant signals and blocks.
#include "CompressorEngine.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vrc::test
{

/** Distance in units of the last place between two finite floats. */
inline std::int64_t ulpDistance (float a, float b)
{
    auto key = [] (float f)
    {
        std::int32_t i;
        std::memcpy (&i, &f, sizeof i);
        return i < 0 ? static_cast<std::int64_t> (INT32_MIN) - i : static_cast<std::int64_t> (i);
    };
    const auto d = key (a) - key (b);
    return d < 0 ? -d : d;
}

/** A stereo (or n-channel) block of owned samples. */
struct Block
{
    Block (int channels, int samples, float value = 0.0f)
        : data (static_cast<size_t> (channels), std::vector<float> (static_cast<size_t> (samples), value))
    {
        for (auto& ch : data)
            pointers.push_back (ch.data());
    }

    void process (CompressorEngine& engine)
    {
        engine.process (pointers.data(), static_cast<int> (pointers.size()), static_cast<int> (data[0].size()));
    }

    std::vector<std::vector<float>> data;
    std::vector<float*> pointers;
};

/** An engine prepared at fs with every setting given, in the processor's refresh order. */
struct EngineSettings
{
    float threshold = 0.0f, ratio = 0.5f, gain = 0.0f, attack = 0.05f, release = 0.1f,
          knee = 0.0f, dryWet = 1.0f, curve = 1.0f;
};

inline void configure (CompressorEngine& e, float fs, const EngineSettings& s)
{
    e.setSampleRate (fs);
    e.setRatio (s.ratio);
    e.setThreshold (s.threshold);
    e.setGain (s.gain);
    e.setAttack (s.attack);
    e.setRelease (s.release);
    e.setKnee (s.knee);
    e.setDryWet (s.dryWet);
    e.setCurve (s.curve);
}

} // namespace vrc::test

#pragma once
// Driving the engine in tests: settings written the way the processor writes
// them (vrc::applySettings), blocks run as a host sends them, owned sample blocks.
#include "CompressorEngine.h"
#include "processor/EngineSettings.h"
#include "processor/ParameterMapper.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
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

/** Every setting by name, in physical units (the knee starts at 0 here, not at
    the plug-in's default). */
struct EngineSettings
{
    float threshold = 0.0f, ratio = 0.5f, gain = 0.0f, attack = 0.05f, release = 0.1f,
          knee = 0.0f, dryWet = 1.0f, curve = 1.0f;

    SettingsValues values() const noexcept { return { threshold, ratio, gain, attack, release, knee, dryWet, curve }; }
};

/** The engine at fs with every setting written, as the processor writes a full set. */
inline void configure (CompressorEngine& e, float fs, const SettingsValues& values)
{
    e.setSampleRate (fs);
    applySettings (e, values);
}

inline void configure (CompressorEngine& e, float fs, const EngineSettings& s)
{
    configure (e, fs, s.values());
}

/** Physical settings for what a host set (host index -> normalised value), the
    others at their defaults; a value that maps to no finite setting is ignored,
    as the processor ignores it. */
inline SettingsValues fromNormalised (const std::map<int, float>& normalised)
{
    auto values = defaultSettings();
    for (const auto& [index, value] : normalised)
    {
        const auto& info = parameterTable[static_cast<size_t> (index)];
        ParameterMapper mapper (info.minimum, info.maximum);
        mapper.setPhysical (values[static_cast<size_t> (index)]);
        mapper.setNormalised (value);
        values[static_cast<size_t> (index)] = mapper.getValue();
    }
    return values;
}

/** Runs numChannels x frames in place through the engine, blockSize frames at a
    time, with the key's channels when there are any; each frame's gain into gains
    when given. */
inline void processInBlocks (CompressorEngine& e, float* const* channels, int numChannels, int frames, int blockSize,
                             const float* const* key = nullptr, int numKeyChannels = 0, float* gains = nullptr)
{
    std::vector<float*> in ((size_t) numChannels);
    std::vector<const float*> k ((size_t) numKeyChannels);
    for (int start = 0; start < frames; start += blockSize)
    {
        for (int ch = 0; ch < numChannels; ++ch)
            in[(size_t) ch] = channels[ch] + start;
        for (int ch = 0; ch < numKeyChannels; ++ch)
            k[(size_t) ch] = key[ch] + start;
        const CompressorEngine::Key keyArg { k.data(), numKeyChannels };
        e.process (in.data(), numChannels, std::min (blockSize, frames - start), gains != nullptr ? gains + start : nullptr,
                   numKeyChannels > 0 ? keyArg : CompressorEngine::Key {});
    }
}

/** The same over channel vectors (all of one length); returns each frame's gain. */
inline std::vector<float> processInBlocks (CompressorEngine& e, std::vector<std::vector<float>>& audio, int blockSize,
                                           const std::vector<std::vector<float>>* key = nullptr)
{
    std::vector<float*> in;
    std::vector<const float*> k;
    for (auto& ch : audio)
        in.push_back (ch.data());
    if (key != nullptr)
        for (auto& ch : *key)
            k.push_back (ch.data());
    std::vector<float> gains (audio[0].size());
    processInBlocks (e, in.data(), (int) in.size(), (int) gains.size(), blockSize, k.data(), (int) k.size(), gains.data());
    return gains;
}

} // namespace vrc::test

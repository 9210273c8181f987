#pragma once
// The plug-ins the CLAP factory offers. Hosts store these ids in sessions: they
// never change. Mono and the key input are plug-ins of their own, as in the LV2
// bundle: every host lists a second id, while few offer a choice between port
// configurations, and a key port a host leaves silent would starve the detector.
#include <array>

namespace vrc::clap
{
struct Variant
{
    const char* id;
    const char* name;
    const char* const* features;
    int inputs, outputs, keyInputs;
};

inline constexpr const char* stereoFeatures[] = { "audio-effect", "compressor", "stereo", nullptr };
inline constexpr const char* monoFeatures[] = { "audio-effect", "compressor", "mono", nullptr };

inline constexpr std::array<Variant, 3> variants { {
    { "com.veskara.vr-c", "VR-C", stereoFeatures, 2, 2, 0 },
    { "com.veskara.vr-c.mono", "VR-C Mono", monoFeatures, 1, 1, 0 },
    { "com.veskara.vr-c.sidechain", "VR-C Sidechain", stereoFeatures, 2, 2, 2 },
} };
} // namespace vrc::clap

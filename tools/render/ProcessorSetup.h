#pragma once
// The plug-in's processing set up for a file as a host would set it up for a track.
#include "processor/ProcessorCore.h"

namespace vrc::render
{

/** Sets the core up as a host would for a file: only the plug-in's layouts
    (a mono or stereo input; no key, or a mono or stereo one), the settings as a
    saved chunk, then prepared at the file's rate. False if the layout is refused. */
bool prepareProcessor (ProcessorCore& core, const SettingsValues& settings,
                       int numChannels, double sampleRate, int keyChannels = 0);

} // namespace vrc::render

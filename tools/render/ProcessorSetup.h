#pragma once
// A processor set up for a file as a host would set it up for a track.
#include "processor/SettingsChunk.h"
#include "processor/VeskCompAudioProcessor.h"

namespace vrc::render
{

/** Sets a processor up as a host would for a file: the matching mono or stereo
    layout, the settings as a chunk, then prepareToPlay. False if the layout is refused. */
bool prepareProcessor (VeskCompAudioProcessor& processor, const SettingsValues& settings,
                       int numChannels, double sampleRate, int blockSize);

} // namespace vrc::render

#include "ProcessorSetup.h"

#include "processor/SettingsChunk.h"

namespace vrc::render
{

bool prepareProcessor (ProcessorCore& core, const SettingsValues& settings,
                       int numChannels, double sampleRate, int keyChannels)
{
    // The layouts every plug-in format of VR-C accepts, and no others.
    if (numChannels < 1 || numChannels > 2 || keyChannels < 0 || keyChannels > 2)
        return false;

    // Physical values through a chunk: exactly what a host restoring a saved
    // project hands the plug-in, with no normalised round trip to round them.
    const auto chunk = writeSettingsChunk (settings);
    core.restoreChunk (chunk.data(), static_cast<int> (chunk.size()));
    core.prepare (sampleRate);
    return true;
}

} // namespace vrc::render

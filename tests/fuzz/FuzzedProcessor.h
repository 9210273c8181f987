#pragma once
// What every state fuzz target ends with: the bytes restored into the run's one
// processor core (the plug-in's settings and engine, as every format restores
// them), whose re-saved chunk must then read back completely.
#include "processor/ProcessorCore.h"
#include "processor/SettingsChunk.h"

#include <cstdlib>

namespace vrc::fuzz
{
inline void restoreAndCheckResave (const void* data, std::size_t size)
{
    // One instance for the whole run, as one host instance lives through many loads.
    static ProcessorCore core;
    if (size > 0)
        core.restoreChunk (data, static_cast<int> (size));
    const auto saved = core.saveChunk();
    for (const auto& value : readSettingsChunk (saved.data(), static_cast<int> (saved.size())))
        if (! value.has_value())
            std::abort();
}
} // namespace vrc::fuzz

// Feeds arbitrary bytes to the processor as a saved-settings chunk, the way a
// host hands back whatever its project file holds. Any crash, sanitizer report
// or unreadable re-saved chunk is a finding.
#include "processor/SettingsChunk.h"
#include "processor/SettingsXmlReader.h"
#include "processor/VeskCompAudioProcessor.h"

#include <cstdlib>

namespace
{
VeskCompAudioProcessor& processor()
{
    // One framework initialisation and one instance for the whole run: the
    // processor starts a timer, which needs the message manager. Both are left
    // alive at exit on purpose: libFuzzer ends the process from inside a run, and
    // tearing the framework down there would race its own timer thread.
    static auto* framework = new juce::ScopedJuceInitialiser_GUI();
    static auto* instance = new VeskCompAudioProcessor();
    juce::ignoreUnused (framework);
    return *instance;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    // The XML reader on its own, on any bytes (the restore passes it checked UTF-8 only).
    vrc::readXmlRootElement (std::string_view (reinterpret_cast<const char*> (data), size));

    auto& p = processor();
    p.setStateInformation (data, static_cast<int> (std::min<std::size_t> (size, 1u << 20)));

    // Whatever was restored must save as a chunk that reads back completely.
    juce::MemoryBlock saved;
    p.getStateInformation (saved);
    const auto restored = vrc::readSettingsChunk (saved.getData(), static_cast<int> (saved.getSize()));
    for (const auto& value : restored)
        if (! value.has_value())
            std::abort();
    return 0;
}

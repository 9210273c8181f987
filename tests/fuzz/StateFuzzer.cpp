// Feeds arbitrary bytes to the processor as a saved-settings chunk, the way a
// host hands back whatever its project file holds. Any crash, sanitizer report
// or unreadable re-saved chunk is a finding.
#include "FuzzedProcessor.h"
#include "processor/SettingsXmlReader.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    // The XML reader on its own, on any bytes (the restore passes it checked UTF-8 only).
    vrc::readXmlRootElement (std::string_view (reinterpret_cast<const char*> (data), size));

    vrc::fuzz::restoreAndCheckResave (data, std::min<std::size_t> (size, 1u << 20));
    return 0;
}

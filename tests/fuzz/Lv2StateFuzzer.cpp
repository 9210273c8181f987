// Feeds arbitrary bytes to the LV2 build's state restore as the text a host hands
// back: the project's reader decodes it, and whatever it accepts must decode the
// same through the framework's own decoder (from the host's text and from the
// canonical text the framework is given), and restore and re-save cleanly.
#include "plugin/lv2/Lv2StateText.h"
#include "FuzzedProcessor.h"

#include <juce_core/juce_core.h>

#include <cstdlib>
#include <cstring>

namespace
{
bool sameBytes (const juce::MemoryBlock& block, const std::vector<std::uint8_t>& bytes)
{
    return block.getSize() == bytes.size() && (bytes.empty() || std::memcmp (block.getData(), bytes.data(), bytes.size()) == 0);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    const auto* text = reinterpret_cast<const char*> (data);
    const auto bytes = vrc::lv2::decodeStateText (text, size);
    if (! bytes.has_value())
        return 0;
    if (bytes->size() > vrc::lv2::maxStateBytes)
        std::abort();

    // With its count checked, the host's text is safe for the framework's decoder,
    // which must agree with ours.
    juce::MemoryBlock fromHostText;
    fromHostText.fromBase64Encoding (juce::String (text, size));
    juce::MemoryBlock fromCanonical;
    fromCanonical.fromBase64Encoding (juce::MemoryBlock (bytes->data(), bytes->size()).toBase64Encoding());
    if (! sameBytes (fromHostText, *bytes) || ! sameBytes (fromCanonical, *bytes))
        std::abort();

    vrc::fuzz::restoreAndCheckResave (bytes->data(), bytes->size());
    return 0;
}

#pragma once
// Reads the root element and its attributes out of a saved chunk's XML text.
// Total: time linear in the text, no recursion, memory bounded by the text's size,
// for any bytes. It accepts and rejects documents as the framework's parser did, so
// sessions saved by any earlier build restore exactly as before.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vrc
{

struct XmlRootElement
{
    std::string name;
    /** Name and value of each attribute, in document order. Values are meant to be
        read as numbers: every character outside ASCII reads as U+FFFD. */
    std::vector<std::pair<std::string, std::string>> attributes;
};

/** The root element of a UTF-8 text, or nothing when the text does not parse.
    Any bytes are safe; the restore hands it only valid UTF-8. */
std::optional<XmlRootElement> readXmlRootElement (std::string_view utf8Text);

} // namespace vrc

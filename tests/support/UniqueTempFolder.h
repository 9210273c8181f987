#pragma once
// A new folder under the system's temporary folder, created atomically
// (mkdtemp), so test processes running side by side never share one. Picking a
// free name and creating it afterwards is a race between processes.
#include <juce_core/juce_core.h>

#include <stdlib.h>
#include <string>

namespace vrc::test
{

/** The new folder, or juce::File() if none could be made. */
inline juce::File makeUniqueTempFolder (const std::string& prefix)
{
    auto pattern = juce::File::getSpecialLocation (juce::File::tempDirectory).getChildFile (prefix + "-XXXXXX").getFullPathName().toStdString();
    return ::mkdtemp (pattern.data()) != nullptr ? juce::File (pattern) : juce::File();
}

} // namespace vrc::test

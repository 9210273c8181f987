#pragma once
// Standard output as the stream an output file is written into ("-" as OUT).
// A pipe cannot go back: a request to move anywhere but the current position
// fails, and whatever is written after such a request (a header a writer would
// have rewritten at the end) is dropped rather than appended to the stream.
#include <juce_core/juce_core.h>

#include <memory>
#include <string>

namespace vrc::render
{

class StandardOutput : public juce::OutputStream
{
public:
    StandardOutput() = default;
    ~StandardOutput() override { flush(); }

    void flush() override;
    bool setPosition (juce::int64 newPosition) override;
    juce::int64 getPosition() override { return position; }
    bool write (const void* data, size_t numBytes) override;

    /** The first write error ("Broken pipe"), or empty. */
    const std::string& error() const noexcept { return firstError; }

private:
    bool send (const char* bytes, size_t n);

    juce::int64 position = 0;
    bool rewinding = false;
    std::string firstError;
    juce::MemoryBlock buffer;
};

} // namespace vrc::render

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
    /** firstError receives the first write error ("Broken pipe"): it outlives the
        stream, which the writer that owns it destroys (sending what it still holds). */
    explicit StandardOutput (std::shared_ptr<std::string> firstError) : failure (std::move (firstError)) {}
    ~StandardOutput() override { flush(); }

    void flush() override;
    bool setPosition (juce::int64 newPosition) override;
    juce::int64 getPosition() override { return position; }
    bool write (const void* data, size_t numBytes) override;


private:
    bool send (const char* bytes, size_t n);

    juce::int64 position = 0;
    bool rewinding = false;
    std::shared_ptr<std::string> failure;
    juce::MemoryBlock buffer;
};

} // namespace vrc::render

#pragma once
// An output file that appears whole or not at all: everything is written to a
// temporary file in the target's folder, every write is checked, and only a
// complete, synced file is renamed over the target. The temporary file is
// removed whenever the result is not committed.
#include <juce_core/juce_core.h>

#include <memory>
#include <string>
#include <sys/stat.h>

namespace vrc::render
{

class AtomicFile
{
public:
    explicit AtomicFile (juce::File target);
    ~AtomicFile();

    /** Creates the temporary file and returns a stream into it, or nullptr with error() set.
        The stream may be handed to a writer that owns it; failures are recorded here
        even after the stream is gone. */
    std::unique_ptr<juce::OutputStream> open();

    /** Syncs the finished temporary file and renames it to the target. Without
        overwrite an existing target is never replaced, even one that appeared
        while rendering. Call only after the stream has been destroyed. */
    bool commit (bool overwrite);

    /** Writes a whole block of bytes through open() and commit(). */
    bool writeAll (const void* data, size_t size, bool overwrite);

    const std::string& error() const noexcept { return errorText; }

    /** An error text when the file (links followed) exists and is not a regular
        file: a named pipe, a device, a socket, a folder is never replaced. */
    static std::string checkTarget (const juce::File& file);

    /** Removes every temporary file not yet committed or removed, from any thread;
        safe inside a signal handler (it only unlinks names kept in fixed storage). */
    static void removeUnfinished() noexcept;

    /** The first failure of the stream itself (e.g. "No space left on device"), or empty. */
    const std::string& streamError() const noexcept { return status->firstError; }
    const juce::File& getTarget() const noexcept { return target; }
    /** The file being written, before commit; juce::File() when none is open. */
    const juce::File& getTemporary() const noexcept { return temporary; }

private:
    class CheckedStream;
    struct Status
    {
        std::string firstError;
    };

    void fail (const std::string& what);
    static std::string refusalFor (const juce::File& file, const struct stat& info);

    juce::File target, temporary;
    std::shared_ptr<Status> status = std::make_shared<Status>();
    std::string errorText;
    bool committed = false;
    int slot = -1; // this file's entry among those removeUnfinished() knows
};

} // namespace vrc::render

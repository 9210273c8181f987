#include "StandardOutput.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace vrc::render
{

namespace
{
constexpr size_t bufferBytes = 1 << 16;
}

bool StandardOutput::send (const char* bytes, size_t n)
{
    while (n > 0 && failure->empty())
    {
        const auto written = ::write (STDOUT_FILENO, bytes, n);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
        {
            *failure = std::strerror (errno);
            break;
        }
        bytes += written;
        n -= (size_t) written;
    }
    return failure->empty();
}

void StandardOutput::flush()
{
    if (buffer.getSize() > 0)
        send (static_cast<const char*> (buffer.getData()), buffer.getSize());
    buffer.setSize (0);
}

bool StandardOutput::setPosition (juce::int64 newPosition)
{
    if (newPosition == position)
        return true;
    rewinding = true;
    return false;
}

bool StandardOutput::write (const void* data, size_t numBytes)
{
    if (rewinding)
        return true; // a header rewrite the pipe cannot take; the stream as sent stays valid
    position += (juce::int64) numBytes;
    if (buffer.getSize() + numBytes > bufferBytes)
    {
        flush();
        if (numBytes >= bufferBytes)
            return send (static_cast<const char*> (data), numBytes);
    }
    buffer.append (data, numBytes);
    return failure->empty();
}

} // namespace vrc::render

#include "ClapStateStream.h"

#include <algorithm>

namespace vrc::clap
{
std::optional<std::vector<std::uint8_t>> readWholeStream (const InputStream& stream)
{
    if (stream.read == nullptr)
        return {};
    constexpr std::size_t step = 4096;
    std::vector<std::uint8_t> bytes;
    // Every pass either ends the loop or adds at least one byte, and one byte
    // past the limit is asked for at most: at most maxStateBytes + 1 passes.
    for (;;)
    {
        const auto room = std::min (step, maxStateBytes + 1 - bytes.size());
        const auto at = bytes.size();
        bytes.resize (at + room);
        const auto got = stream.read (&stream, bytes.data() + at, room);
        if (got < 0 || static_cast<std::uint64_t> (got) > room)
            return {};
        bytes.resize (at + static_cast<std::size_t> (got));
        if (got == 0)
            return bytes;
        if (bytes.size() > maxStateBytes)
            return {};
    }
}

bool writeWholeStream (const OutputStream& stream, const std::uint8_t* bytes, std::size_t size) noexcept
{
    if (stream.write == nullptr)
        return false;
    std::size_t done = 0;
    while (done < size)
    {
        const auto wrote = stream.write (&stream, bytes + done, size - done);
        // Nothing taken is an error too: a host that keeps taking nothing would
        // otherwise hold the save forever.
        if (wrote <= 0 || static_cast<std::uint64_t> (wrote) > size - done)
            return false;
        done += static_cast<std::size_t> (wrote);
    }
    return true;
}
} // namespace vrc::clap

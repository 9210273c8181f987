#include "LibraryMessages.h"

#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace vrc::render
{

namespace
{
std::FILE* ownStream = nullptr;

void writeLine (const std::string& line)
{
    for (size_t done = 0; done < line.size();)
    {
        const auto n = ::write (STDERR_FILENO, line.data() + done, line.size() - done);
        if (n <= 0)
            return;
        done += (size_t) n;
    }
}
} // namespace

std::FILE* LibraryMessages::ownErrors() noexcept
{
    return ownStream != nullptr ? ownStream : stderr;
}

LibraryMessages::LibraryMessages (bool show)
{
    int ends[2];
    if (::pipe2 (ends, O_CLOEXEC) != 0)
        return;
    taken = ::fdopen (ends[1], "w");
    if (taken == nullptr)
    {
        ::close (ends[0]);
        ::close (ends[1]);
        return;
    }
    std::setvbuf (taken, nullptr, _IOLBF, 0);
    // The C library's stderr is a variable the libraries read at each write;
    // std::cerr keeps the stream it was made with, file descriptor 2.
    original = stderr;
    ownStream = original;
    stderr = taken;
    relay = std::thread ([fd = ends[0], show]
    {
        std::string pending;
        char buffer[4096];
        for (;;)
        {
            const auto n = ::read (fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            pending.append (buffer, (size_t) n);
            for (auto end = pending.find ('\n'); end != std::string::npos; end = pending.find ('\n'))
            {
                if (show && end > 0)
                    writeLine ("vrc-render: decoder: " + pending.substr (0, end) + "\n");
                pending.erase (0, end + 1);
            }
        }
        if (show && ! pending.empty())
            writeLine ("vrc-render: decoder: " + pending + "\n");
        ::close (fd);
    });
}

LibraryMessages::~LibraryMessages()
{
    if (taken == nullptr)
        return;
    stderr = original;
    ownStream = nullptr;
    std::fclose (taken);
    relay.join();
}

} // namespace vrc::render

#include "Progress.h"

#include "LibraryMessages.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace vrc::render
{

namespace
{
constexpr int barWidth = 40;
}

ProgressBar::ProgressBar (bool wanted)
    : enabled (wanted && ::isatty (STDERR_FILENO) == 1)
{
}

ProgressBar::~ProgressBar()
{
    clear();
}

void ProgressBar::show (double fraction, const std::string& label)
{
    if (! enabled)
        return;
    fraction = std::clamp (fraction, 0.0, 1.0);
    const int filled = static_cast<int> (fraction * barWidth);
    std::string bar (static_cast<size_t> (filled), '#');
    bar.append (static_cast<size_t> (barWidth - filled), '.');
    // \r and clear-to-end-of-line: each frame replaces the last.
    std::fprintf (LibraryMessages::ownErrors(), "\r[%s] %3d%%  %s\x1b[K", bar.c_str(), static_cast<int> (fraction * 100.0), label.c_str());
    std::fflush (LibraryMessages::ownErrors());
    drawn = true;
}

void ProgressBar::clear()
{
    if (enabled && drawn)
    {
        std::fputs ("\r\x1b[K", LibraryMessages::ownErrors());
        std::fflush (LibraryMessages::ownErrors());
        drawn = false;
    }
}

} // namespace vrc::render

#pragma once
// A one-line progress bar on standard error, drawn only when standard error is
// a terminal, so logs and pipes get the summary alone.
#include <string>

namespace vrc::render
{

class ProgressBar
{
public:
    explicit ProgressBar (bool wanted = true);
    ~ProgressBar();

    /** Redraws the bar at fraction 0..1 with a short label after it. */
    void show (double fraction, const std::string& label);

    /** Removes the bar so later text starts on a clean line. */
    void clear();

    bool isEnabled() const noexcept { return enabled; }

private:
    bool enabled;
    bool drawn = false;
};

} // namespace vrc::render

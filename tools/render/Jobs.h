#pragma once
// Runs renders on a pool of threads, one processor per file and at most one
// file per core, while the calling thread draws the progress bar.
#include "Render.h"

#include <atomic>
#include <vector>

namespace vrc::render
{

/** quiet: no progress bar. */
std::vector<RenderResult> runJobs (const std::vector<RenderJob>& jobs, const std::atomic<bool>& cancel, bool quiet = false);

} // namespace vrc::render

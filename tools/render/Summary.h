#pragma once
// The text printed after a render: formats, settings, levels, gain reduction,
// time and speed. Plain text on standard output, stable enough to grep; the
// warnings go to standard error.
#include "Render.h"

#include <string>

namespace vrc::render
{

std::string formatSummary (const RenderJob& job, const RenderResult& result);

/** The input's name as the user knows it: its full path, or "standard input". */
std::string inputLabel (const RenderJob& job);

/** Warning lines for standard error (damaged input, clipping), empty when none. */
std::string formatWarnings (const RenderJob& job, const RenderResult& result);

} // namespace vrc::render

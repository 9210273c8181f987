#pragma once
// The text printed after a render: formats, settings, levels, gain reduction,
// time and speed. Plain text on standard output, stable enough to grep.
#include "Render.h"

#include <string>

namespace vrc::render
{

std::string formatSummary (const RenderJob& job, const RenderResult& result);

} // namespace vrc::render

#pragma once
// What the bundle's UI needs of a running LV2 instance (handed over by the
// host's instance-access feature): the processor behind its ports.
#include <lv2/core/lv2.h>

class VeskCompAudioProcessor;

namespace vrc::lv2
{
/** The processor of an instance this module created. */
VeskCompAudioProcessor& processorOf (LV2_Handle instance) noexcept;
} // namespace vrc::lv2

// The project's CLAP declarations against the sizes and offsets the published
// C ABI fixes on x86-64 (worked out by hand from the 1.2 headers' members and
// the platform's alignment rules): a field out of place or of the wrong width
// would make a host and the plug-in read different things.
#include "plugin/clap/ClapAbi.h"

#include <gtest/gtest.h>

#include <cstddef>

namespace
{
using namespace vrc::clap;

struct Layout
{
    const char* what;
    std::size_t actual, expected;
};

#define VRC_AT(type, member, offset) Layout { #type "." #member, offsetof (type, member), offset }
#define VRC_SIZE(type, size) Layout { "sizeof " #type, sizeof (type), size }

TEST (ClapLayout, MatchesThePublishedAbiOnX86_64)
{
    if (sizeof (void*) != 8)
        GTEST_SKIP() << "the table holds the 64-bit layout";
    const Layout table[] = {
        VRC_SIZE (Version, 12),
        VRC_AT (PluginEntry, init, 16), VRC_AT (PluginEntry, getFactory, 32), VRC_SIZE (PluginEntry, 40),
        VRC_AT (PluginDescriptor, id, 16), VRC_AT (PluginDescriptor, version, 64),
        VRC_AT (PluginDescriptor, features, 80), VRC_SIZE (PluginDescriptor, 88),
        VRC_AT (Plugin, init, 16), VRC_AT (Plugin, reset, 64), VRC_AT (Plugin, process, 72),
        VRC_AT (Plugin, onMainThread, 88), VRC_SIZE (Plugin, 96),
        VRC_AT (Host, hostData, 16), VRC_AT (Host, getExtension, 56), VRC_AT (Host, requestCallback, 80), VRC_SIZE (Host, 88),
        VRC_SIZE (PluginFactory, 24),
        VRC_AT (EventHeader, spaceId, 8), VRC_AT (EventHeader, type, 10), VRC_AT (EventHeader, flags, 12), VRC_SIZE (EventHeader, 16),
        VRC_AT (EventParamValue, paramId, 16), VRC_AT (EventParamValue, cookie, 24), VRC_AT (EventParamValue, noteId, 32),
        VRC_AT (EventParamValue, portIndex, 36), VRC_AT (EventParamValue, key, 40), VRC_AT (EventParamValue, value, 48),
        VRC_SIZE (EventParamValue, 56), VRC_SIZE (EventParamGesture, 20),
        VRC_SIZE (InputEvents, 24), VRC_SIZE (OutputEvents, 16),
        VRC_AT (AudioBuffer, channelCount, 16), VRC_AT (AudioBuffer, constantMask, 24), VRC_SIZE (AudioBuffer, 32),
        VRC_AT (Process, framesCount, 8), VRC_AT (Process, transport, 16), VRC_AT (Process, audioInputsCount, 40),
        VRC_AT (Process, audioOutputsCount, 44), VRC_AT (Process, inEvents, 48), VRC_SIZE (Process, 64),
        VRC_AT (AudioPortInfo, flags, 260), VRC_AT (AudioPortInfo, portType, 272), VRC_AT (AudioPortInfo, inPlacePair, 280),
        VRC_SIZE (AudioPortInfo, 288), VRC_SIZE (PluginAudioPorts, 16),
        VRC_AT (ParamInfo, cookie, 8), VRC_AT (ParamInfo, name, 16), VRC_AT (ParamInfo, module, 272),
        VRC_AT (ParamInfo, minValue, 1296), VRC_AT (ParamInfo, defaultValue, 1312), VRC_SIZE (ParamInfo, 1320),
        VRC_SIZE (PluginParams, 48), VRC_SIZE (HostParams, 24),
        VRC_SIZE (InputStream, 16), VRC_SIZE (OutputStream, 16), VRC_SIZE (PluginState, 16),
        VRC_AT (Window, x11, 8), VRC_SIZE (Window, 16), VRC_AT (GuiResizeHints, aspectRatioWidth, 4), VRC_SIZE (GuiResizeHints, 12),
        VRC_SIZE (PluginGui, 120), VRC_SIZE (HostTimerSupport, 16), VRC_SIZE (HostPosixFdSupport, 24),
    };
    for (const auto& row : table)
        EXPECT_EQ (row.actual, row.expected) << row.what;
}
} // namespace

// The editor hosted the way a Linux host does it: the rectangle first, then the
// editor embedded into a real window of the host's, idled from the host's thread.
#include "HostTest.h"

#include "HostWindow.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#if defined(__linux__)
 #include "KnobDrag.h"
#endif

namespace vsthost
{
namespace
{
using EditorTest = HostTest;

/** Idles the plug-in as a host's UI loop does, until the condition holds or about two seconds pass. */
bool idleUntil (const PluginInstance& plugin, HostWindow& window, const std::function<bool()>& condition)
{
    for (int i = 0; i < 200; ++i)
    {
        plugin.dispatch (effEditIdle);
        window.pumpEvents();
        if (condition())
            return true;
        std::this_thread::sleep_for (std::chrono::milliseconds (10));
    }
    return condition();
}

void idleFor (const PluginInstance& plugin, HostWindow& window, int ticks)
{
    idleUntil (plugin, window, [&] { return --ticks <= 0; });
}

struct Rect
{
    IntPtr result;
    ERect rect;
};

Rect editorRect (const PluginInstance& plugin)
{
    // The plug-in writes one pointer into the host's slot; the slot sits between guards.
    Guarded<sizeof (ERect*)> slot;
    const auto result = plugin.dispatch (effEditGetRect, 0, 0, slot.data);
    EXPECT_TRUE (slot.guardsIntact());
    ERect* rect = nullptr;
    std::memcpy (&rect, slot.data, sizeof (rect));
    return { result, rect != nullptr && result != 0 ? *rect : ERect { -1, -1, -1, -1 } };
}

TEST_F (EditorTest, RectangleBeforeOpeningIsTheEditorSize)
{
    PluginInstance plugin;
    const auto r = editorRect (plugin);
    EXPECT_NE (r.result, 0);
    EXPECT_EQ (r.rect.top, 0);
    EXPECT_EQ (r.rect.left, 0);
    EXPECT_EQ (r.rect.bottom, 200);
    EXPECT_EQ (r.rect.right, 800);
}

TEST_F (EditorTest, OpensIntoTheHostWindowAndClosesCleanly)
{
    HostWindow window (800, 200);
    ASSERT_TRUE (window.isValid()) << "cannot connect to the X display (the editor tests run under xvfb-run)";

    PluginInstance plugin;
    plugin.dispatch (effOpen);
    editorRect (plugin);
    EXPECT_EQ (plugin.dispatch (effEditOpen, 0, 0, window.getNativeHandle()), 1);
    idleFor (plugin, window, 5);
    EXPECT_EQ (window.countChildWindows(), 1);

    const auto r = editorRect (plugin);
    EXPECT_EQ (r.rect.bottom, 200);
    EXPECT_EQ (r.rect.right, 800);

    EXPECT_EQ (plugin.dispatch (effEditClose), 0);
    idleFor (plugin, window, 2);
    EXPECT_EQ (window.countChildWindows(), 0);

    // Opening without asking for the rectangle first works the same.
    EXPECT_EQ (plugin.dispatch (effEditOpen, 0, 0, window.getNativeHandle()), 1);
    idleFor (plugin, window, 2);
    EXPECT_EQ (window.countChildWindows(), 1);
    // Closing the instance with the editor still open takes the editor with it.
    plugin.close();
    EXPECT_EQ (window.countChildWindows(), 0);
}

TEST_F (EditorTest, EditorOpensAndClosesAHundredTimes)
{
    HostWindow window (800, 200);
    ASSERT_TRUE (window.isValid());

    PluginInstance plugin;
    plugin.resume (44100.0f, 256);
    for (int i = 0; i < 100; ++i)
    {
        editorRect (plugin);
        ASSERT_EQ (plugin.dispatch (effEditOpen, 0, 0, window.getNativeHandle()), 1) << "opening " << i;
        plugin.dispatch (effEditIdle);
        window.pumpEvents();
        ASSERT_EQ (window.countChildWindows(), 1);
        plugin.dispatch (effEditClose);
    }
    idleFor (plugin, window, 2);
    EXPECT_EQ (window.countChildWindows(), 0);
}

TEST_F (EditorTest, DescriptorStaysUntouchedWhileTheUiThreadWorksBesideTheAudioThread)
{
    // Hosts read the descriptor on the audio thread without a lock while the UI
    // thread opens, idles and queries the editor, so no request may write into it
    // unless a value really changes. Two fields the plug-in never changes carry
    // markers of the host's: a plug-in that rewrites its descriptor after every
    // request overwrites them (and the sanitizer build sees the race as well).
    HostWindow window (800, 200);
    ASSERT_TRUE (window.isValid());
    PluginInstance plugin;
    AEffect* e = plugin.effect();
    const auto uniqueId = e->uniqueID;
    const auto version = e->version;
    e->uniqueID = 0x7e57;
    e->version = 0x7e57;
    plugin.resume (48000.0f, 64);
    editorRect (plugin);
    ASSERT_EQ (plugin.dispatch (effEditOpen, 0, 0, window.getNativeHandle()), 1);

    std::atomic<bool> stop { false };
    std::atomic<int> changedReads { 0 };
    std::thread audio ([&] {
        std::vector<float> left (64, 0.25f), right (64, -0.25f);
        float* channels[] = { left.data(), right.data() };
        while (! stop.load())
        {
            if (e->numInputs != 2 || e->numOutputs != 2 || e->flags != 0x231 || e->initialDelay != 0 || e->numPrograms != 0)
                ++changedReads;
            e->processReplacing (e, channels, channels, 64);
        }
    });
    for (int i = 0; i < 50; ++i)
    {
        plugin.dispatch (effEditIdle);
        plugin.text<64> (effGetParamDisplay, i % 8);
        editorRect (plugin);
        window.pumpEvents();
    }
    stop = true;
    audio.join();
    plugin.dispatch (effEditClose);
    EXPECT_EQ (changedReads.load(), 0);
    EXPECT_EQ (e->uniqueID, 0x7e57) << "the descriptor was rewritten";
    EXPECT_EQ (e->version, 0x7e57) << "the descriptor was rewritten";
    e->uniqueID = uniqueId;
    e->version = version;
}

TEST_F (EditorTest, HostChangesAreNotReportedBackWithoutAnEditor)
{
    PluginInstance plugin;
    plugin.setParameter (1, 0.8f);
    plugin.setParameter (7, 0.0f);
    plugin.dispatch (effEditIdle);
    EXPECT_TRUE (hostCalls (audioMasterAutomate).empty());
}

TEST_F (EditorTest, OpenEditorReportsAHostChangedKnobBackButNotTheCurveSwitch)
{
    HostWindow window (800, 200);
    ASSERT_TRUE (window.isValid());

    PluginInstance plugin;
    editorRect (plugin);
    ASSERT_EQ (plugin.dispatch (effEditOpen, 0, 0, window.getNativeHandle()), 1);
    idleFor (plugin, window, 20); // let the editor settle on the current values
    RecordingHost::instance().clear();

    plugin.setParameter (1, 0.8f);
    const bool reported = idleUntil (plugin, window, [] { return ! RecordingHost::instance().callsWith (audioMasterAutomate).empty(); });
    ASSERT_TRUE (reported) << "the editor's next tick reports the knob's new value";
    const auto automate = hostCalls (audioMasterAutomate);
    EXPECT_EQ (automate.front().index, 1);
    EXPECT_EQ (automate.front().opt, plugin.getParameter (1));
    EXPECT_EQ (automate.front().effect, plugin.effect());

    RecordingHost::instance().clear();
    plugin.setParameter (7, 0.0f);
    idleFor (plugin, window, 20);
    EXPECT_TRUE (hostCalls (audioMasterAutomate).empty()) << "the curve switch follows the host silently";
    EXPECT_FLOAT_EQ (plugin.getParameter (7), 0.0f);

    plugin.dispatch (effEditClose);
}
#if defined(__linux__)
TEST_F (EditorTest, AKnobDraggedInTheEditorReachesTheHostAsAutomationWithoutEditGestures)
{
    // VST 2.4 hosts hear of a user's knob movement through audioMasterAutomate
    // alone: VR-C sends no audioMasterBeginEdit or EndEdit around it (the
    // fixture's tear-down fails on either), whatever the editor does for the
    // formats that want gestures.
    HostWindow window (800, 200);
    ASSERT_TRUE (window.isValid());
    PluginInstance plugin;
    editorRect (plugin);
    ASSERT_EQ (plugin.dispatch (effEditOpen, 0, 0, window.getNativeHandle()), 1);
    idleFor (plugin, window, 20);
    RecordingHost::instance().clear();

    ASSERT_TRUE (vrc::test::dragThresholdKnobUp ([&] { idleFor (plugin, window, 2); }));
    idleFor (plugin, window, 10);

    const auto automate = hostCalls (audioMasterAutomate);
    ASSERT_FALSE (automate.empty()) << "the drag reached the host";
    for (const auto& call : automate)
        EXPECT_EQ (call.index, 0) << "only the threshold was moved";
    EXPECT_GT (plugin.getParameter (0), 0.0f);
    EXPECT_EQ (automate.back().opt, plugin.getParameter (0));
    plugin.dispatch (effEditClose);
}
#endif
} // namespace
} // namespace vsthost

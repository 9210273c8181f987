// The VST3 editor hosted by the framework's plug-in hosting, as a host shows it:
// a knob dragged with the mouse and a click on the curve switch each reach the
// host as begin edit, the edits, end edit, so a host can record touch automation
// and knows when a drag ends.
#include "FormatHost.h"
#include "HostXErrors.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <functional>
#include <mutex>
#include <tuple>

namespace vrc::formats
{
namespace
{
/** Gestures and value changes of the host's parameters, in order. */
struct Recorder : juce::AudioProcessorParameter::Listener
{
    void parameterValueChanged (int index, float) override { add ('v', index, true); }
    void parameterGestureChanged (int index, bool starting) override { add ('g', index, starting); }
    void add (char kind, int index, bool starting)
    {
        const std::lock_guard<std::mutex> lock (mutex);
        events.emplace_back (kind, index, starting);
    }

    /** Whether the parameter changed at least once, each change between a
        begin and an end, and no gesture is left open. */
    bool editsInsideGestures (int index)
    {
        const std::lock_guard<std::mutex> lock (mutex);
        bool open = false, any = false;
        for (const auto& [kind, i, starting] : events)
        {
            if (i != index)
                continue;
            if (kind == 'g')
            {
                if (open == starting)
                    return false;
                open = starting;
            }
            else if (! open)
                return false;
            any = any || kind == 'v';
        }
        return any && ! open;
    }
    bool gestureEnded (int index)
    {
        const std::lock_guard<std::mutex> lock (mutex);
        for (const auto& [kind, i, starting] : events)
            if (kind == 'g' && i == index && ! starting)
                return true;
        return false;
    }

    std::mutex mutex;
    std::vector<std::tuple<char, int, bool>> events;
};

void pump (int milliseconds)
{
    juce::MessageManager::getInstance()->runDispatchLoopUntil (milliseconds);
}

void pumpUntil (const std::function<bool()>& done)
{
    for (int i = 0; i < 100 && ! done(); ++i)
        pump (50);
}

TEST (EditorGestures, Vst3KnobDragAndSwitchClickAreEditsBetweenBeginAndEnd)
{
    vrctest::tolerateXErrorsLikeAHost();
    Display* display = XOpenDisplay (nullptr);
    ASSERT_NE (display, nullptr) << "needs an X server (xvfb-run)";
    const auto plugin = load (Format::vst3);
    ASSERT_NE (plugin, nullptr);
    const auto params = parametersByIndex (Format::vst3, *plugin);
    Recorder recorder;
    for (auto* p : params)
        p->addListener (&recorder);

    {
        std::unique_ptr<juce::AudioProcessorEditor> editor (plugin->createEditorIfNeeded());
        ASSERT_NE (editor, nullptr);
        editor->setTopLeftPosition (0, 0);
        editor->addToDesktop (0);
        editor->setVisible (true);
        pump (500);

        // Drag THRESHOLD up, then click the curve switch.
        XTestFakeMotionEvent (display, -1, 537, 76, 0);
        XTestFakeButtonEvent (display, 1, True, 0);
        XFlush (display);
        pump (100);
        for (int y = 72; y >= 36; y -= 4)
        {
            XTestFakeMotionEvent (display, -1, 537, y, 0);
            XFlush (display);
            pump (50);
        }
        XTestFakeButtonEvent (display, 1, False, 0);
        XFlush (display);
        const int threshold = params[0]->getParameterIndex(), curve = params[7]->getParameterIndex();
        pumpUntil ([&] { return recorder.gestureEnded (threshold); });
        XTestFakeMotionEvent (display, -1, 552, 167, 0);
        XTestFakeButtonEvent (display, 1, True, 0);
        XFlush (display);
        pump (100);
        XTestFakeButtonEvent (display, 1, False, 0);
        XFlush (display);
        pumpUntil ([&] { return recorder.gestureEnded (curve); });

        EXPECT_TRUE (recorder.editsInsideGestures (threshold)) << "the drag: begin edit, edits, end edit";
        EXPECT_TRUE (recorder.editsInsideGestures (curve)) << "the click: begin edit, the edit, end edit";
        EXPECT_GT (params[0]->getValue(), 0.0f) << "the knob moved from 0 dB toward -40 dB";
        EXPECT_EQ (params[7]->getValue(), 0.0f) << "the switch went from exp to linear";
        editor->removeFromDesktop();
    }
    for (auto* p : params)
        p->removeListener (&recorder);
    XCloseDisplay (display);
}
} // namespace
} // namespace vrc::formats

#pragma once
// A user's drag of the panel's threshold knob, made through the X server's test
// extension: pressed on the knob, moved up in steps (it turns toward -40 dB),
// released. The editor's window must sit at the screen's top left.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <functional>

namespace vrc::test
{
/** Runs `between` after each step (the host's idle or event loop). False when
    no X display can be opened. */
inline bool dragThresholdKnobUp (const std::function<void()>& between)
{
    Display* display = XOpenDisplay (nullptr);
    if (display == nullptr)
        return false;
    const auto move = [&] (int y)
    {
        XTestFakeMotionEvent (display, -1, 537, y, 0);
        XFlush (display);
        between();
    };
    move (76);
    XTestFakeButtonEvent (display, 1, True, 0);
    for (int y = 72; y >= 36; y -= 4)
        move (y);
    XTestFakeButtonEvent (display, 1, False, 0);
    XFlush (display);
    XCloseDisplay (display);
    return true;
}
} // namespace vrc::test

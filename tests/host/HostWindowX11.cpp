#include "HostWindow.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <cstdlib>

namespace vsthost
{
namespace
{
// Like most X11 hosts, the test host keeps X errors from ending the process.
// With VRC_TEST_FATAL_X_ERRORS set it does not, as a minimal host: then any X
// error the plug-in causes ends the test process (tests/host/bare-x-server.sh).
int ignoreXError (Display*, XErrorEvent*) { return 0; }

Display* asDisplay (void* d) { return static_cast<Display*> (d); }

// One connection for the whole test process, as a host has: opening and closing
// a connection per test makes the suite depend on how quickly a busy X server
// accepts new clients.
Display* hostDisplay()
{
    static Display* display = []
    {
        auto* d = XOpenDisplay (nullptr);
        if (d != nullptr && std::getenv ("VRC_TEST_FATAL_X_ERRORS") == nullptr)
            XSetErrorHandler (ignoreXError);
        return d;
    }();
    return display;
}
Window asWindow (void* w) { return static_cast<Window> (reinterpret_cast<std::uintptr_t> (w)); }
} // namespace

HostWindow::HostWindow (int width, int height)
{
    auto* d = hostDisplay();
    if (d == nullptr)
        return;

    display = d;
    const Window w = XCreateSimpleWindow (d, DefaultRootWindow (d), 0, 0, (unsigned) width, (unsigned) height, 0,
                                          BlackPixel (d, DefaultScreen (d)), BlackPixel (d, DefaultScreen (d)));
    XMapWindow (d, w);
    XSync (d, False);
    nativeHandle = reinterpret_cast<void*> (static_cast<std::uintptr_t> (w));
}

HostWindow::~HostWindow()
{
    if (display == nullptr)
        return;
    if (nativeHandle != nullptr)
        XDestroyWindow (asDisplay (display), asWindow (nativeHandle));
    XSync (asDisplay (display), False);
}

int HostWindow::countChildWindows() const
{
    if (nativeHandle == nullptr)
        return 0;

    XSync (asDisplay (display), False);
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree (asDisplay (display), asWindow (nativeHandle), &root, &parent, &children, &count) == 0)
        return 0;
    if (children != nullptr)
        XFree (children);
    return static_cast<int> (count);
}

void HostWindow::pumpEvents()
{
    if (display == nullptr)
        return;
    auto* d = asDisplay (display);
    XSync (d, False);
    while (XPending (d) > 0)
    {
        XEvent event;
        XNextEvent (d, &event);
    }
}
} // namespace vsthost

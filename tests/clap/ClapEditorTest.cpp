// The gui extension as a Linux host uses it: the editor embedded in the host's
// X11 window at 800×200, not resizable, shown, hidden and closed, with the
// framework's loop run by the host's timer and descriptor support when the host
// offers them and by the plug-in's own thread when it does not. Needs an X server
// (ctest runs it under xvfb-run).
#include "ClapTestHost.h"
#include "HostWindow.h"

#include <gtest/gtest.h>

// (after gtest: Xlib defines macros that gtest uses as names)
#include "KnobDrag.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <functional>

namespace clapHost
{
namespace
{
/** Runs the loop as a host does until condition holds, for at most about 5 s. */
bool pumpUntil (TestHost& host, vsthost::HostWindow& window, const std::function<bool()>& condition)
{
    const auto* timers = host.extension<PluginTimerSupport> (extTimerSupport);
    const auto* fds = host.extension<PluginPosixFdSupport> (extPosixFdSupport);
    for (int round = 0; round < 500; ++round)
    {
        window.pumpEvents();
        for (const auto& t : host.timers)
            timers->onTimer (&host.plugin(), t.second);
        for (const int fd : host.fds)
            fds->onFd (&host.plugin(), fd, posixFdRead);
        if (condition())
            return true;
        usleep (10000);
    }
    return false;
}

/** Whether the editor has painted into the host's window: its background
    picture, not the window's black (painting needs the message loop to run). */
bool painted (const vsthost::HostWindow& window)
{
    static Display* display = XOpenDisplay (nullptr);
    const auto id = static_cast<::Window> (reinterpret_cast<std::uintptr_t> (window.getNativeHandle()));
    auto* image = display != nullptr ? XGetImage (display, id, 0, 0, 800, 200, AllPlanes, ZPixmap) : nullptr;
    if (image == nullptr)
        return false;
    int lit = 0;
    for (int y = 0; y < 200; y += 4)
        for (int x = 0; x < 800; x += 4)
            lit += (XGetPixel (image, x, y) & 0xffffff) != 0 ? 1 : 0;
    XDestroyImage (image);
    return lit > 1000;
}

void openAndClose (Offers offers, int times)
{
    TestHost host ("com.veskara.vr-c", offers);
    const auto* gui = host.extension<PluginGui> (extGui);
    ASSERT_NE (gui, nullptr);
    const auto& p = host.plugin();
    EXPECT_TRUE (gui->isApiSupported (&p, windowApiX11, false));
    EXPECT_FALSE (gui->isApiSupported (&p, windowApiX11, true)) << "no floating window";
    EXPECT_FALSE (gui->isApiSupported (&p, "wayland", false));
    vsthost::HostWindow window (800, 200);
    ASSERT_TRUE (window.isValid()) << "needs an X server (xvfb-run)";
    for (int i = 0; i < times; ++i)
    {
        SCOPED_TRACE (i);
        ASSERT_TRUE (gui->create (&p, windowApiX11, false));
        EXPECT_FALSE (gui->create (&p, windowApiX11, false)) << "one editor per instance";
        std::uint32_t width = 0, height = 0;
        ASSERT_TRUE (gui->getSize (&p, &width, &height));
        EXPECT_EQ (width, 800u);
        EXPECT_EQ (height, 200u);
        EXPECT_FALSE (gui->canResize (&p));
        EXPECT_FALSE (gui->setSize (&p, 900, 300));
        vrc::clap::Window parent {};
        parent.api = windowApiX11;
        parent.x11 = reinterpret_cast<std::uintptr_t> (window.getNativeHandle());
        ASSERT_TRUE (gui->setParent (&p, &parent));
        ASSERT_TRUE (gui->show (&p));
        EXPECT_TRUE (pumpUntil (host, window, [&] { return window.countChildWindows() == 1; }))
            << "the editor is not inside the host's window";
        if (i == 0)
        {
            EXPECT_TRUE (pumpUntil (host, window, [&] { return painted (window); })) << "the editor never painted";
        }
        EXPECT_EQ (host.timers.empty(), ! offers.timers) << "the host's timer runs the loop when it has one";
        EXPECT_TRUE (gui->hide (&p));
        gui->destroy (&p);
        EXPECT_TRUE (pumpUntil (host, window, [&] { return window.countChildWindows() == 0; }))
            << "the editor's window outlived it";
        EXPECT_TRUE (host.timers.empty() && host.fds.empty()) << "timers and descriptors are given back";
    }
}

TEST (ClapEditor, RunsOnTheHostsTimerAndDescriptorsAndClosesCleanly)
{
    openAndClose ({ true, true, true }, 100);
}

TEST (ClapEditor, AKnobMovedInTheEditorReachesTheHostAsAParameterEvent)
{
    TestHost host ("com.veskara.vr-c", { true, true, false });
    const auto* gui = host.extension<PluginGui> (extGui);
    const auto& p = host.plugin();
    vsthost::HostWindow window (800, 200);
    ASSERT_TRUE (window.isValid()) << "needs an X server (xvfb-run)";
    ASSERT_TRUE (gui->create (&p, windowApiX11, false));
    vrc::clap::Window parent {};
    parent.api = windowApiX11;
    parent.x11 = reinterpret_cast<std::uintptr_t> (window.getNativeHandle());
    ASSERT_TRUE (gui->setParent (&p, &parent) && gui->show (&p));
    ASSERT_TRUE (pumpUntil (host, window, [&] { return painted (window); }));

    ASSERT_TRUE (vrc::test::dragThresholdKnobUp ([&] { pumpUntil (host, window, [] { return true; }); }));
    EXPECT_TRUE (pumpUntil (host, window, [&] { return host.flushRequests > 0; })) << "the host was not asked to flush";
    const auto reported = host.flush ({});
    ASSERT_FALSE (reported.empty()) << "no parameter event from the knob";
    for (const auto& r : reported)
        EXPECT_EQ (r.id, 0u) << "only the threshold was moved";
    EXPECT_LT (reported.back().value, 0.0);
    EXPECT_EQ (reported.back().value, host.value (0)) << "the event carries the value the plug-in now has";
    EXPECT_TRUE (host.flush ({}).empty()) << "each change is reported once";
    gui->destroy (&p);
}

TEST (ClapEditor, RunsOnTheHostsTimerAlone)
{
    openAndClose ({ true, true, false }, 3);
}

TEST (ClapEditor, RunsOnItsOwnThreadWhenTheHostHasNoTimer)
{
    openAndClose ({ true, false, false }, 3);
}
} // namespace
} // namespace clapHost

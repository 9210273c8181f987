// The editor as the LV2 UI, opened the way an LV2 host opens it (instance
// access, an X11 parent window, idle calls on the host's thread): a knob dragged
// with the mouse reaches the host as a write to its control port, inside a
// ui:touch grab and release, and a port value the host changes turns the knob.
#include "DynamicLibrary.h"
#include "HostXErrors.h"
#include "Lv2Host.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>
#include <unistd.h>

#include <cstring>
#include <tuple>
#include <utility>
#include <vector>

namespace vrc::formats
{
namespace
{
struct PortWrites
{
    std::vector<std::pair<uint32_t, float>> writes;
    /** Writes and ui:touch messages in the order they came: (port, value), or
        (port, +1 grabbed / -1 released) for a touch. */
    std::vector<std::tuple<char, uint32_t, float>> events;
    static void write (LV2UI_Controller c, uint32_t port, uint32_t size, uint32_t protocol, const void* data)
    {
        float value = 0.0f;
        if (protocol == 0 && size == sizeof value)
        {
            std::memcpy (&value, data, sizeof value);
            static_cast<PortWrites*> (c)->writes.emplace_back (port, value);
            static_cast<PortWrites*> (c)->events.emplace_back ('w', port, value);
        }
    }
    static void touch (LV2UI_Feature_Handle h, uint32_t port, bool grabbed)
    {
        static_cast<PortWrites*> (h)->events.emplace_back ('t', port, grabbed ? 1.0f : -1.0f);
    }

    /** Whether every write to the port came between a grab and a release of it,
        and at least one did. */
    bool writesInsideTouches (uint32_t port) const
    {
        bool grabbed = false, any = false;
        for (const auto& [kind, p, value] : events)
        {
            if (p != port)
                continue;
            if (kind == 't')
            {
                if (grabbed == (value > 0.0f))
                    return false; // grabbed twice, or released without a grab
                grabbed = value > 0.0f;
            }
            else if (! grabbed)
                return false;
            any = any || kind == 'w';
        }
        return any && ! grabbed;
    }
};

/** The threshold knob's pixels (the editor sits at the screen's top left). */
std::vector<char> thresholdKnob (Display* display)
{
    auto* image = XGetImage (display, DefaultRootWindow (display), 497, 36, 80, 80, AllPlanes, ZPixmap);
    if (image == nullptr)
        return {};
    std::vector<char> pixels (image->data, image->data + image->bytes_per_line * image->height);
    XDestroyImage (image);
    return pixels;
}

TEST (Lv2Ui, KnobDragBecomesAPortWriteAndAHostPortChangeTurnsTheKnob)
{
    vrctest::tolerateXErrorsLikeAHost();
    Display* display = XOpenDisplay (nullptr);
    ASSERT_NE (display, nullptr) << "needs an X server (xvfb-run)";
    Lv2Host lv2 ("urn:veskara:vr-c");
    ASSERT_TRUE (lv2.isLoaded());
    const auto block = testSignal (2, 480);
    lv2.run (block, 480);

    auto* uis = lilv_plugin_get_uis (lv2PluginByUri ("urn:veskara:vr-c"));
    ASSERT_EQ (lilv_uis_size (uis), 1u);
    const auto* ui = lilv_uis_get (uis, lilv_uis_begin (uis));
    char* binary = lilv_file_uri_parse (lilv_node_as_uri (lilv_ui_get_binary_uri (ui)), nullptr);
    char* bundle = lilv_file_uri_parse (lilv_node_as_uri (lilv_ui_get_bundle_uri (ui)), nullptr);
    // Left loaded until the process ends, as hosts keep a UI library once loaded.
    static const auto* library = new vsthost::DynamicLibrary (binary);
    ASSERT_TRUE (library->isLoaded()) << library->getError();
    auto* entry = reinterpret_cast<const LV2UI_Descriptor* (*) (uint32_t)> (library->findSymbol ("lv2ui_descriptor"));
    ASSERT_NE (entry, nullptr);
    const auto* descriptor = entry (0);
    ASSERT_STREQ (descriptor->URI, lilv_node_as_uri (lilv_ui_get_uri (ui)));
    const auto* idle = static_cast<const LV2UI_Idle_Interface*> (descriptor->extension_data (LV2_UI__idleInterface));
    ASSERT_NE (idle, nullptr);

    const Window parent = XCreateSimpleWindow (display, DefaultRootWindow (display), 0, 0, 800, 200, 0, 0, 0);
    XMapWindow (display, parent);
    XSync (display, False);
    LV2_Feature instanceAccess { LV2_INSTANCE_ACCESS_URI, lilv_instance_get_handle (lv2.lilvInstance()) },
        parentFeature { LV2_UI__parent, reinterpret_cast<void*> (parent) };
    const auto* const* host = lv2HostFeatures();
    PortWrites portWrites;
    LV2UI_Touch touch { &portWrites, &PortWrites::touch };
    LV2_Feature touchFeature { LV2_UI__touch, &touch };
    const LV2_Feature* features[] { host[0], host[1], &instanceAccess, &parentFeature, &touchFeature, nullptr };
    LV2UI_Widget widget = nullptr;
    auto* handle = descriptor->instantiate (descriptor, "urn:veskara:vr-c", bundle, &PortWrites::write, &portWrites, &widget, features);
    ASSERT_NE (handle, nullptr);
    EXPECT_NE (widget, nullptr);
    // As hosts do: the UI hears every control port's value, and each change.
    const auto tellUi = [&]
    {
        for (uint32_t i = 0; i < 8; ++i)
            descriptor->port_event (handle, i, sizeof (float), 0, &lv2.controls[i]);
    };
    tellUi();
    const auto settle = [&]
    {
        for (int i = 0; i < 25; ++i)
        {
            idle->idle (handle);
            XSync (display, False);
            usleep (8000);
        }
    };
    settle();
    // A loaded machine may paint late: wait for a condition, up to about 5 s.
    const auto settleUntil = [&] (auto&& done)
    {
        for (int round = 0; round < 25 && ! done(); ++round)
            settle();
    };
    // The knob's picture once the editor has stopped repainting it.
    const auto steadyKnob = [&]
    {
        auto pixels = thresholdKnob (display);
        for (int same = 0, round = 0; same < 3 && round < 50; ++round)
        {
            settle();
            auto next = thresholdKnob (display);
            same = next == pixels ? same + 1 : 0;
            pixels = std::move (next);
        }
        return pixels;
    };

    // Drag the threshold knob up (it turns clockwise, toward -40 dB).
    XTestFakeMotionEvent (display, -1, 537, 76, 0);
    XTestFakeButtonEvent (display, 1, True, 0);
    settle();
    for (int y = 72; y >= 36; y -= 4)
    {
        XTestFakeMotionEvent (display, -1, 537, y, 0);
        settle();
    }
    XTestFakeButtonEvent (display, 1, False, 0);
    const auto released = [&]
    { return ! portWrites.events.empty() && std::get<0> (portWrites.events.back()) == 't' && std::get<2> (portWrites.events.back()) < 0.0f; };
    settleUntil (released);
    ASSERT_FALSE (portWrites.writes.empty()) << "no port write from the knob";
    for (const auto& [port, value] : portWrites.writes)
        EXPECT_EQ (port, 0u) << "only THRESHOLD was moved";
    const float written = portWrites.writes.back().second;
    EXPECT_TRUE (written < 0.0f && written >= -40.0f) << written;
    EXPECT_TRUE (portWrites.writesInsideTouches (0)) << "the drag is one touch gesture around its writes";

    // The host takes the write on its port; then moves the port itself.
    lv2.controls[0] = written;
    tellUi();
    lv2.run (block, 480);
    const auto atWritten = steadyKnob();
    lv2.controls[0] = written > -20.0f ? -40.0f : 0.0f;
    tellUi();
    lv2.run (block, 480);
    settleUntil ([&] { return thresholdKnob (display) != atWritten; });
    EXPECT_NE (thresholdKnob (display), atWritten) << "the knob did not follow the host's port";
    lv2.controls[0] = written;
    tellUi();
    lv2.run (block, 480);
    settleUntil ([&] { return thresholdKnob (display) == atWritten; });
    EXPECT_EQ (thresholdKnob (display), atWritten) << "the knob shows the host's value";
    EXPECT_EQ (portWrites.writes.back().second, written) << "host changes are not written back";

    // A click on the curve switch is a gesture of its own.
    XTestFakeMotionEvent (display, -1, 552, 167, 0);
    XTestFakeButtonEvent (display, 1, True, 0);
    settle();
    XTestFakeButtonEvent (display, 1, False, 0);
    settleUntil ([&] { return released() && std::get<1> (portWrites.events.back()) == 7u; });
    EXPECT_EQ (portWrites.writes.back(), std::make_pair (7u, 0.0f)) << "the switch went from exp to linear";
    EXPECT_TRUE (portWrites.writesInsideTouches (7));

    descriptor->cleanup (handle);
    XDestroyWindow (display, parent);
    XCloseDisplay (display);
    lilv_free (binary);
    lilv_free (bundle);
    lilv_uis_free (uis);
}
} // namespace
} // namespace vrc::formats

// The VST3 editor as a Windows host opens it: a view of type "editor" for an
// HWND, attached to the host's window while audio runs, then removed. (On
// Linux the editor needs the host's run loop; the format tests open it there.)
#include "CrossCheck.h"
#include "HostWindow.h"
#include "Vst3TestHost.h"

#include "pluginterfaces/gui/iplugview.h"

#include <cstdio>

#if defined(_WIN32)
 #include <windows.h>
#endif

namespace crosscheck
{
using namespace vst3host;
#if defined(_WIN32)
namespace
{
using namespace Steinberg;

void pump (vsthost::HostWindow& window, int cycles)
{
    for (int i = 0; i < cycles; ++i)
    {
        window.pumpEvents();
        Sleep (10);
    }
}

bool childIsEditorSized (const vsthost::HostWindow& window)
{
    RECT r {};
    const HWND child = GetWindow (static_cast<HWND> (window.getNativeHandle()), GW_CHILD);
    return child != nullptr && GetWindowRect (child, &r) && r.right - r.left == 800 && r.bottom - r.top == 200;
}
} // namespace

bool checkVst3Editor (const std::string& binaryPath)
{
    const Vst3Module module (binaryPath);
    const Vst3Instance plugin (module);
    vsthost::HostWindow window (1000, 400);
    if (! plugin.isValid() || ! window.isValid())
    {
        std::printf ("VST3 editor: %s\n", plugin.isValid() ? "no display" : module.error().c_str());
        return false;
    }
    plugin.getComponent()->setActive (true);

    IPlugView* view = plugin.getController()->createView (Vst::ViewType::kEditor);
    if (view == nullptr || view->isPlatformTypeSupported (kPlatformTypeHWND) != kResultTrue)
    {
        std::printf ("VST3 editor: no view for an HWND\n");
        return false;
    }
    ViewRect size {};
    view->getSize (&size);
    const bool attached = view->attached (window.getNativeHandle(), kPlatformTypeHWND) == kResultTrue;
    pump (window, 50);
    const bool shown = window.countChildWindows() == 1 && childIsEditorSized (window);
    view->removed();
    pump (window, 5);
    const bool closed = window.countChildWindows() == 0;
    view->release();
    plugin.getComponent()->setActive (false);

    std::printf ("VST3 editor: size %dx%d, attached %d, shown at 800x200 %d, closed %d\n", size.getWidth(),
                 size.getHeight(), attached, shown, closed);
    return size.getWidth() == 800 && size.getHeight() == 200 && attached && shown && closed;
}
#else
bool checkVst3Editor (const std::string&)
{
    std::printf ("VST3 editor: checked in the Windows build only\n");
    return false;
}
#endif
} // namespace crosscheck

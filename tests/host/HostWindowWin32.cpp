#include "HostWindow.h"

#include <windows.h>

#include <utility>

namespace vsthost
{
namespace
{
HWND asWindow (void* w) { return static_cast<HWND> (w); }

BOOL CALLBACK countChild (HWND child, LPARAM counter)
{
    // EnumChildWindows visits all descendants; count direct children only.
    auto* state = reinterpret_cast<std::pair<HWND, int>*> (counter);
    if (GetParent (child) == state->first)
        ++state->second;
    return TRUE;
}
} // namespace

HostWindow::HostWindow (int width, int height)
{
    const auto hwnd = CreateWindowExA (0, "STATIC", "VR-C test host", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                       0, 0, width, height, nullptr, nullptr, GetModuleHandleA (nullptr), nullptr);
    nativeHandle = hwnd;
}

HostWindow::~HostWindow()
{
    if (nativeHandle != nullptr)
        DestroyWindow (asWindow (nativeHandle));
}

int HostWindow::countChildWindows() const
{
    std::pair<HWND, int> state { asWindow (nativeHandle), 0 };
    if (nativeHandle != nullptr)
        EnumChildWindows (asWindow (nativeHandle), countChild, reinterpret_cast<LPARAM> (&state));
    return state.second;
}

void HostWindow::pumpEvents()
{
    MSG msg;
    while (PeekMessageA (&msg, nullptr, 0, 0, PM_REMOVE))
    {
        TranslateMessage (&msg);
        DispatchMessageA (&msg);
    }
}
} // namespace vsthost

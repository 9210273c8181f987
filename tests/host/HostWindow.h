#pragma once
// A real top-level window of the test host's own, to embed the plug-in editor
// into: an X11 window on Linux, an HWND on Windows. The one place where the test
// host touches the windowing system.
namespace vsthost
{
class HostWindow
{
public:
    HostWindow (int width, int height);
    ~HostWindow();
    HostWindow (const HostWindow&) = delete;
    HostWindow& operator= (const HostWindow&) = delete;

    /** False when no display is available (the editor tests then cannot run). */
    bool isValid() const noexcept { return nativeHandle != nullptr; }
    /** What effEditOpen takes: the X11 Window id or the HWND, as a pointer. */
    void* getNativeHandle() const noexcept { return nativeHandle; }
    /** How many direct child windows the plug-in has placed in this window. */
    int countChildWindows() const;
    /** Lets the windowing system deliver pending events to this window. */
    void pumpEvents();

private:
    void* display = nullptr;
    void* nativeHandle = nullptr;
};
} // namespace vsthost

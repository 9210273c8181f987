#include "CrossCheck.h"

#include "HostWindow.h"
#include "TestHost.h"

#include <cstdio>
#include <fstream>
#include <vector>

#if defined(_WIN32)
 #include <windows.h>
#endif

namespace crosscheck
{
namespace
{
bool exists (const std::string& path)
{
    return static_cast<bool> (std::ifstream (path));
}

// One block of the loud test signal, so the needles show a live reading, then
// the plug-in's idle call and the host's event loop: what a host does between
// its audio callbacks while an editor is open.
void runHostCycle (const vsthost::PluginInstance& plugin, vsthost::HostWindow& window, long long& position)
{
    constexpr int32_t frames = 441;
    std::vector<float> in[2], out[2];
    float* ins[2];
    float* outs[2];
    for (int c = 0; c < 2; ++c)
    {
        in[c].resize (frames);
        out[c].resize (frames);
        for (int32_t i = 0; i < frames; ++i)
            in[c][static_cast<size_t> (i)] = testSignal (c, (position + i) % 11025);
        ins[c] = in[c].data();
        outs[c] = out[c].data();
    }
    position += frames;
    plugin.effect()->processReplacing (plugin.effect(), ins, outs, frames);
    plugin.dispatch (vsthost::effEditIdle);
    window.pumpEvents();
#if defined(_WIN32)
    Sleep (10);
#endif
}

bool writeEditorRect (const vsthost::HostWindow& window, const std::string& readyFile)
{
#if defined(_WIN32)
    RECT r {};
    const HWND editor = GetWindow (static_cast<HWND> (window.getNativeHandle()), GW_CHILD);
    if (editor == nullptr || ! GetWindowRect (editor, &r))
        return false;
    std::ofstream (readyFile) << r.left << ' ' << r.top << ' ' << (r.right - r.left) << ' ' << (r.bottom - r.top) << '\n';
    return true;
#else
    (void) window;
    std::ofstream (readyFile) << "0 0 0 0\n";
    return true;
#endif
}
} // namespace

bool showEditor (const std::string& readyFile, const std::string& doneFile)
{
    vsthost::PluginInstance plugin;
    if (plugin.effect() == nullptr)
        return false;
    plugin.resume (44100.0f, 512);

    vsthost::HostWindow window (1000, 400);
    if (! window.isValid())
    {
        std::printf ("no display: the editor needs one\n");
        return false;
    }

    if (plugin.dispatch (vsthost::effEditOpen, 0, 0, window.getNativeHandle()) != 1 || window.countChildWindows() != 1)
    {
        std::printf ("effEditOpen did not place the editor in the host window\n");
        return false;
    }

    long long position = 0;
    for (int cycle = 0; cycle < 100; ++cycle)
        runHostCycle (plugin, window, position);

    if (! writeEditorRect (window, readyFile))
        return false;
    // Kept open for whoever takes the picture; they say when they are done.
    for (int cycle = 0; ! exists (doneFile) && cycle < 12000; ++cycle)
        runHostCycle (plugin, window, position);

    plugin.dispatch (vsthost::effEditClose);
    window.pumpEvents();
    const bool closed = window.countChildWindows() == 0;
    if (! closed)
        std::printf ("effEditClose left the editor window in place\n");
    plugin.dispatch (vsthost::effMainsChanged, 0, 0);
    plugin.close();
    return closed;
}
} // namespace crosscheck

#pragma once
// The editor inside the host's window (the gui extension): 800×200, not
// resizable. On Linux the framework's message loop runs on the host's main
// thread, driven by the host's timer (and file-descriptor) support, when the
// host offers a timer; otherwise it stays on the plug-in's own message thread.
#include "ClapAbi.h"

#include <memory>

namespace vrc::clap
{
class Instance;

class EditorHost
{
public:
    /** Creates the editor, not yet shown nor embedded. */
    explicit EditorHost (Instance& instance);
    ~EditorHost();

    bool setParent (const Window& window);
    bool setVisible (bool visible);
    void size (std::uint32_t& width, std::uint32_t& height) const noexcept;
    void onTimer (Id timer);
    void onFd (int fd);

    struct Parts;

private:
    Instance& instance;
    std::unique_ptr<Parts> parts;
};

/** The gui extension's table. */
const PluginGui& guiExtension() noexcept;
const PluginTimerSupport& timerExtension() noexcept;
const PluginPosixFdSupport& fdExtension() noexcept;
} // namespace vrc::clap

#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "ClapEditor.h"

#include "ClapInstance.h"
#include "processor/VeskCompAudioProcessor.h"

#if JUCE_LINUX || JUCE_BSD
 #include <juce_audio_plugin_client/utility/juce_LinuxMessageThread.h>
 #include <juce_events/native/juce_linux_EventLoopInternal.h>
#endif

#include <cstring>
#include <functional>
#include <vector>

namespace vrc::clap
{
namespace
{
#if JUCE_WINDOWS
const char* const nativeApi = windowApiWin32;
#else
const char* const nativeApi = windowApiX11;
#endif

/** How often the host's timer runs the message loop: well inside the editor's
    41 ms meter tick, so the needles move as smoothly as in other hosts. */
constexpr std::uint32_t loopPeriodMs = 10;

/** Runs f on the framework's message thread and waits for it. */
void onMessageThread (const std::function<void()>& f)
{
    auto* mm = juce::MessageManager::getInstance();
    if (mm->isThisTheMessageThread())
    {
        f();
        return;
    }
    mm->callFunctionOnMessageThread ([] (void* p) -> void*
                                     {
                                         (*static_cast<const std::function<void()>*> (p))();
                                         return nullptr;
                                     },
                                     const_cast<std::function<void()>*> (&f));
}

class EditorWindow : public juce::Component
{
public:
    explicit EditorWindow (VeskCompAudioProcessor& p) : processor (p), editor (p.createEditorIfNeeded())
    {
        setOpaque (true);
        setSize (editor->getWidth(), editor->getHeight());
        addAndMakeVisible (*editor);
    }
    ~EditorWindow() override { processor.editorBeingDeleted (editor.get()); }

private:
    VeskCompAudioProcessor& processor;
    std::unique_ptr<juce::AudioProcessorEditor> editor;
};
} // namespace

struct EditorHost::Parts
{
#if JUCE_LINUX || JUCE_BSD
    std::unique_ptr<juce::SharedResourcePointer<juce::HostDrivenEventLoop>> hostLoop;
    std::vector<int> fds;
#endif
    const HostTimerSupport* timers = nullptr;
    const HostPosixFdSupport* fdSupport = nullptr;
    Id timer = invalidId;
    std::unique_ptr<EditorWindow> window;
};

EditorHost::EditorHost (Instance& i) : instance (i), parts (std::make_unique<Parts>())
{
#if JUCE_LINUX || JUCE_BSD
    const auto* timers = static_cast<const HostTimerSupport*> (instance.hostExtension (extTimerSupport));
    Id timer = invalidId;
    if (timers != nullptr && timers->registerTimer != nullptr && timers->unregisterTimer != nullptr
        && timers->registerTimer (&instance.host(), loopPeriodMs, &timer))
    {
        // From here the host's main thread is the message thread.
        parts->timers = timers;
        parts->timer = timer;
        parts->hostLoop = std::make_unique<juce::SharedResourcePointer<juce::HostDrivenEventLoop>>();
    }
#endif
    onMessageThread ([this] { parts->window = std::make_unique<EditorWindow> (instance.processor()); });
#if JUCE_LINUX || JUCE_BSD
    // The X connection's descriptor (and any other the framework reads) wakes the
    // loop as soon as an event arrives, where the host can watch descriptors.
    const auto* fdSupport = static_cast<const HostPosixFdSupport*> (instance.hostExtension (extPosixFdSupport));
    if (parts->hostLoop != nullptr && fdSupport != nullptr && fdSupport->registerFd != nullptr
        && fdSupport->unregisterFd != nullptr)
    {
        parts->fdSupport = fdSupport;
        for (const int fd : juce::LinuxEventLoopInternal::getRegisteredFds())
            if (fdSupport->registerFd (&instance.host(), fd, posixFdRead | posixFdError))
                parts->fds.push_back (fd);
    }
#endif
}

EditorHost::~EditorHost()
{
#if JUCE_LINUX || JUCE_BSD
    for (const int fd : parts->fds)
        parts->fdSupport->unregisterFd (&instance.host(), fd);
    if (parts->timers != nullptr)
        parts->timers->unregisterTimer (&instance.host(), parts->timer);
#endif
    onMessageThread ([this] { parts->window.reset(); });
#if JUCE_LINUX || JUCE_BSD
    parts->hostLoop.reset();
#endif
}

bool EditorHost::setParent (const Window& window)
{
    if (window.api == nullptr || std::strcmp (window.api, nativeApi) != 0)
        return false;
#if JUCE_WINDOWS
    void* native = window.win32;
#else
    void* native = reinterpret_cast<void*> (static_cast<std::uintptr_t> (window.x11));
#endif
    if (native == nullptr)
        return false;
    onMessageThread ([&]
                     {
                         parts->window->addToDesktop (0, native);
                         parts->window->setVisible (true);
                     });
    return true;
}

bool EditorHost::setVisible (bool visible)
{
    onMessageThread ([this, visible] { parts->window->setVisible (visible); });
    return true;
}

void EditorHost::size (std::uint32_t& width, std::uint32_t& height) const noexcept
{
    width = static_cast<std::uint32_t> (parts->window->getWidth());
    height = static_cast<std::uint32_t> (parts->window->getHeight());
}

void EditorHost::onTimer (Id timer)
{
#if JUCE_LINUX || JUCE_BSD
    if (parts->hostLoop != nullptr && timer == parts->timer)
        (*parts->hostLoop)->processPendingEvents();
#else
    juce::ignoreUnused (timer);
#endif
}

void EditorHost::onFd (int fd)
{
#if JUCE_LINUX || JUCE_BSD
    if (parts->hostLoop == nullptr)
        return;
    juce::LinuxEventLoopInternal::invokeEventLoopCallbackForFd (fd);
    (*parts->hostLoop)->processPendingEvents();
#else
    juce::ignoreUnused (fd);
#endif
}

namespace
{
EditorHost* editorOf (const Plugin* p) noexcept { return Instance::of (p).editor.get(); }
} // namespace

const PluginGui& guiExtension() noexcept
{
    static const PluginGui gui {
        [] (const Plugin*, const char* api, bool floating) { return ! floating && api != nullptr && std::strcmp (api, nativeApi) == 0; },
        [] (const Plugin*, const char** api, bool* floating)
        {
            if (api == nullptr || floating == nullptr)
                return false;
            *api = nativeApi;
            *floating = false;
            return true;
        },
        [] (const Plugin* p, const char* api, bool floating)
        {
            auto& instance = Instance::of (p);
            if (floating || api == nullptr || std::strcmp (api, nativeApi) != 0 || instance.editor != nullptr)
                return false;
            instance.editor = std::make_unique<EditorHost> (instance);
            return true;
        },
        [] (const Plugin* p) { Instance::of (p).editor.reset(); },
        [] (const Plugin*, double) { return false; }, // the editor is drawn at one size
        [] (const Plugin* p, std::uint32_t* width, std::uint32_t* height)
        {
            auto* editor = editorOf (p);
            if (editor == nullptr || width == nullptr || height == nullptr)
                return false;
            editor->size (*width, *height);
            return true;
        },
        [] (const Plugin*) { return false; },
        [] (const Plugin*, GuiResizeHints*) { return false; },
        [] (const Plugin*, std::uint32_t*, std::uint32_t*) { return false; },
        [] (const Plugin* p, std::uint32_t width, std::uint32_t height)
        {
            // Only the size it already has.
            auto* editor = editorOf (p);
            std::uint32_t w = 0, h = 0;
            if (editor != nullptr)
                editor->size (w, h);
            return editor != nullptr && w == width && h == height;
        },
        [] (const Plugin* p, const Window* window)
        {
            auto* editor = editorOf (p);
            return editor != nullptr && window != nullptr && editor->setParent (*window);
        },
        [] (const Plugin*, const Window*) { return false; },
        [] (const Plugin*, const char*) {},
        [] (const Plugin* p) { auto* e = editorOf (p); return e != nullptr && e->setVisible (true); },
        [] (const Plugin* p) { auto* e = editorOf (p); return e != nullptr && e->setVisible (false); },
    };
    return gui;
}

const PluginTimerSupport& timerExtension() noexcept
{
    static const PluginTimerSupport timers { [] (const Plugin* p, Id timer)
                                             {
                                                 if (auto* e = editorOf (p))
                                                     e->onTimer (timer);
                                             } };
    return timers;
}

const PluginPosixFdSupport& fdExtension() noexcept
{
    static const PluginPosixFdSupport fds { [] (const Plugin* p, int fd, std::uint32_t)
                                            {
                                                if (auto* e = editorOf (p))
                                                    e->onFd (fd);
                                            } };
    return fds;
}
} // namespace vrc::clap

// The editor as the bundle's LV2 UI (an X11 window inside the host's). It reads
// the processor of its instance (instance-access) as in every format, and every
// knob move reaches the host as a port write, between touch messages where the
// host offers ui:touch, so the host records, saves and shows it. Host port changes reach the processor at the next run and the knobs
// follow at the editor's next tick; the editor then hands the value back, and
// that echo of what the host's port already holds is not written again. The host's UI thread drives the message loop
// through the idle interface while a UI is open.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "Lv2Instance.h"
#include "Lv2Ports.h"
#include "processor/VeskCompAudioProcessor.h"

#include <juce_audio_plugin_client/utility/juce_LinuxMessageThread.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include <array>
#include <cstring>
#include <optional>

namespace vrc::lv2
{
namespace
{
const void* featureData (const LV2_Feature* const* features, const char* uri) noexcept
{
    for (auto* f = features; f != nullptr && *f != nullptr; ++f)
        if (std::strcmp ((*f)->URI, uri) == 0)
            return (*f)->data;
    return nullptr;
}

class EditorWindow : private juce::Component,
                     private juce::AudioProcessorListener
{
public:
    EditorWindow (VeskCompAudioProcessor& p, LV2UI_Write_Function writeIn, LV2UI_Controller controllerIn,
                  LV2UI_Widget parent, const LV2UI_Resize* resize, const LV2UI_Touch* touchIn, LV2UI_Widget* widget)
        : processor (p), write (writeIn), controller (controllerIn), touch (touchIn), editor (p.createEditorIfNeeded())
    {
        setOpaque (true);
        setSize (editor->getWidth(), editor->getHeight());
        addAndMakeVisible (*editor);
        addToDesktop (0, parent);
        *widget = getWindowHandle();
        setVisible (true);
        if (resize != nullptr && resize->ui_resize != nullptr)
            resize->ui_resize (resize->handle, getWidth(), getHeight());
        processor.addListener (this);
    }

    ~EditorWindow() override
    {
        processor.removeListener (this);
        processor.editorBeingDeleted (editor.get());
    }

    /** A control port's value as the host reports it. */
    void hostPortValue (std::uint32_t port, float value) noexcept
    {
        if (port < numParameters)
            hostValues[port] = value;
    }

private:
    // Called on this thread by the editor's knobs and switch.
    void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float normalised) override
    {
        const auto* p = processor.parameterFor (index);
        if (p == nullptr)
            return;
        const auto port = static_cast<std::uint32_t> (index);
        if (hostValues[port].has_value() && normalisedForPortValue (port, *hostValues[port]) == normalised)
            return;
        const float value = portValueForPhysical (port, p->getValue());
        hostValues[port] = value;
        write (controller, port, sizeof value, 0, &value);
    }
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}
    // A knob drag or a switch click: the host hears the control grabbed and let go
    // around its writes (where it offers ui:touch), so it can record touch automation.
    void audioProcessorParameterChangeGestureBegin (juce::AudioProcessor*, int index) override { grab (index, true); }
    void audioProcessorParameterChangeGestureEnd (juce::AudioProcessor*, int index) override { grab (index, false); }
    void grab (int index, bool grabbed)
    {
        if (touch != nullptr && touch->touch != nullptr && index >= 0 && index < numParameters)
            touch->touch (touch->handle, static_cast<std::uint32_t> (index), grabbed);
    }

    VeskCompAudioProcessor& processor;
    LV2UI_Write_Function write;
    LV2UI_Controller controller;
    const LV2UI_Touch* touch;
    std::unique_ptr<juce::AudioProcessorEditor> editor;
    std::array<std::optional<float>, numParameters> hostValues {};
};

/** One open UI: the host's thread runs the message loop while it exists. */
struct Ui
{
    juce::SharedResourcePointer<juce::HostDrivenEventLoop> eventLoop;
    std::unique_ptr<EditorWindow> window;
};

LV2UI_Handle instantiate (const LV2UI_Descriptor*, const char*, const char*, LV2UI_Write_Function write,
                          LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features)
{
    auto* instance = featureData (features, LV2_INSTANCE_ACCESS_URI);
    auto* parent = const_cast<void*> (featureData (features, LV2_UI__parent));
    if (instance == nullptr || parent == nullptr || write == nullptr || widget == nullptr)
        return nullptr;
    auto ui = std::make_unique<Ui>();
    ui->window = std::make_unique<EditorWindow> (processorOf (const_cast<void*> (instance)), write, controller, parent,
                                                 static_cast<const LV2UI_Resize*> (featureData (features, LV2_UI__resize)),
                                                 static_cast<const LV2UI_Touch*> (featureData (features, LV2_UI__touch)),
                                                 widget);
    return ui.release();
}

int idle (LV2UI_Handle)
{
    juce::MessageManager::getInstance()->setCurrentThreadAsMessageThread();
    while (juce::dispatchNextMessageOnSystemQueue (true))
    {
    }
    return 0;
}

const void* extensionData (const char* uri)
{
    static const LV2UI_Idle_Interface idleInterface { &idle };
    return uri != nullptr && std::strcmp (uri, LV2_UI__idleInterface) == 0 ? &idleInterface : nullptr;
}
} // namespace
} // namespace vrc::lv2

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor (std::uint32_t index)
{
    static const LV2UI_Descriptor descriptor {
        vrc::lv2::uiUri,
        &vrc::lv2::instantiate,
        [] (LV2UI_Handle ui) { delete static_cast<vrc::lv2::Ui*> (ui); },
        // Port values reach the knobs through the processor, at the next run;
        // here they are only noted, so the editor's echo of them is not written back.
        [] (LV2UI_Handle ui, std::uint32_t port, std::uint32_t size, std::uint32_t protocol, const void* data)
        {
            float value = 0.0f;
            if (protocol == 0 && size == sizeof value && data != nullptr)
            {
                std::memcpy (&value, data, sizeof value);
                static_cast<vrc::lv2::Ui*> (ui)->window->hostPortValue (port, value);
            }
        },
        &vrc::lv2::extensionData
    };
    return index == 0 ? &descriptor : nullptr;
}

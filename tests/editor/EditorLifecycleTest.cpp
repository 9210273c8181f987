// Opening and closing the window many times, as hosts do: nothing may crash,
// and every opening must give the processor a fresh editor of its own.
#include "EditorTestSupport.h"
#include "HostXErrors.h"

#include <cstdlib>

using namespace vrctest;

TEST (EditorLifecycle, OpensAndClosesAHundredTimes)
{
    VeskCompAudioProcessor processor;
    processor.prepareToPlay (48000.0, 512);

    // With an X server (the test script provides one) the window really goes on
    // screen, so the native peer and its painting take part too.
    const bool onScreen = std::getenv ("DISPLAY") != nullptr;
    if (onScreen)
        tolerateXErrorsLikeAHost();

    for (int i = 0; i < 100; ++i)
    {
        auto editor = openEditor (processor);
        ASSERT_NE (editor, nullptr);
        ASSERT_EQ (processor.getActiveEditor(), editor.get());

        if (onScreen)
        {
            editor->addToDesktop (0);
            editor->setVisible (true);
        }
        pumpMessages (i % 10 == 0 ? 60 : 5); // now and then long enough for timer ticks
        editor.reset();
    }
}

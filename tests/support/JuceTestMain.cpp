// Test entry point: the framework's message manager must exist before any
// processor (it starts a timer) or component is created.
#include <gtest/gtest.h>
#include <juce_events/juce_events.h>
#include <juce_gui_basics/juce_gui_basics.h>

int main (int argc, char** argv)
{
    ::testing::InitGoogleTest (&argc, argv);
    juce::ScopedJuceInitialiser_GUI framework;
    return RUN_ALL_TESTS();
}

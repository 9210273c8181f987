// The framework's LV2 client, compiled here in place of the framework's own unit
// with its entry point renamed: hosts find the project's lv2_descriptor
// (Lv2Entry.cpp) first, which hands out the framework's descriptor with the state
// restore put behind the project's own reader.
#define lv2_descriptor vrcFrameworkLv2Descriptor

#include <juce_audio_plugin_client/juce_audio_plugin_client_LV2.cpp>

// The framework's VST 2.4 wrapper, compiled here in place of the framework's own
// unit so that its exported entry points step aside: the host must reach the
// project's layer (VstEntryPoints.cpp) first, which then calls the wrapper under
// the name given below.
//
// VSTPluginMain is renamed outright. On Linux the wrapper also defines "main"
// (through an asm label, as C++ forbids a function called main returning a
// pointer); it is made weak so the layer's own "main" takes its place at link time.
#define VSTPluginMain vrcFrameworkVstPluginMain

#if defined(__linux__) || defined(__FreeBSD__)
 #pragma weak main_plugin
#endif

// On Windows the wrapper marks its entry point __declspec (dllexport), which
// would put the renamed function into the DLL's export table beside the layer's
// own; with the attribute emptied here, only the layer's names are exported.
// (Elsewhere the link's export list decides: cmake/VrcExports.cmake.)
#if defined(_WIN32)
 #define dllexport
#endif

#include <juce_audio_plugin_client/juce_audio_plugin_client_VST2.cpp>

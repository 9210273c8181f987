// The exported entry points a VST 2.4 host looks up: VSTPluginMain, and the
// older name main for hosts that still ask for it. Both create one instance.
#include "VstHostLayer.h"

#if defined(_WIN32)
 #define VRC_VST_EXPORT extern "C" __declspec (dllexport)
#else
 #define VRC_VST_EXPORT extern "C" __attribute__ ((visibility ("default")))
#endif

VRC_VST_EXPORT Vst2::AEffect* VSTPluginMain (Vst2::audioMasterCallback host);
VRC_VST_EXPORT Vst2::AEffect* VSTPluginMain (Vst2::audioMasterCallback host)
{
    return vrc::VstHostLayer::create (host);
}

#if ! defined(_WIN32)
// C++ does not allow a function named main that returns a pointer, so the
// symbol gets its name through an assembler label. (On Windows the module
// definition file exports main as an alias of VSTPluginMain.)
VRC_VST_EXPORT Vst2::AEffect* vrcVstMain (Vst2::audioMasterCallback host) asm ("main");
VRC_VST_EXPORT Vst2::AEffect* vrcVstMain (Vst2::audioMasterCallback host)
{
    return VSTPluginMain (host);
}
#endif

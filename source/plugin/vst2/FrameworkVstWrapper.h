#pragma once
// The framework wrapper's entry point under the name FrameworkVstWrapper.cpp
// gives it; only the layer calls it.
#include "Vst2Interface.h"

extern "C" Vst2::AEffect* vrcFrameworkVstPluginMain (Vst2::audioMasterCallback);


#pragma once
// The VST 2.4 binary interface as the layer uses it: the structures come from the
// same declarations the framework's wrapper sees (namespace Vst2), the request and
// callback numbers are spelled out here so each answer can be read against them.
#include <cstddef>
#include <cstdint>

namespace Vst2
{
#include "pluginterfaces/vst2.x/aeffect.h"
#include "pluginterfaces/vst2.x/aeffectx.h"
} // namespace Vst2

namespace vrc::vst2
{
using Effect = Vst2::AEffect;
using IntPtr = Vst2::VstIntPtr;
using HostCallback = Vst2::audioMasterCallback;

/** Host-to-plug-in requests that the layer answers or inspects. */
enum Request : int32_t
{
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effSetProgramName = 4,
    effGetProgramName = 5,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effGetChunk = 23,
    effSetChunk = 24,
    effProcessEvents = 25,
    effCanBeAutomated = 26,
    effString2Parameter = 27,
    effGetProgramNameIndexed = 29,
    effGetInputProperties = 33,
    effGetOutputProperties = 34,
    effSetSpeakerArrangement = 42,
    effSetBypass = 44,
    effGetEffectName = 45,
    effGetVendorString = 47,
    effGetProductString = 48,
    effVendorSpecific = 50,
    effCanDo = 51,
    effGetParameterProperties = 56,
    effGetSpeakerArrangement = 69,
    effSetProcessPrecision = 77
};

/** Plug-in-to-host calls that the layer filters. */
enum Callback : int32_t
{
    audioMasterWantMidi = 6,
    audioMasterGetTime = 7,
    audioMasterSizeWindow = 15,
    audioMasterCanDo = 37,
    audioMasterUpdateDisplay = 42,
    audioMasterBeginEdit = 43,
    audioMasterEndEdit = 44
};

constexpr int pinIsActive = 1;
constexpr int pinIsStereo = 2;
constexpr int pinUseSpeaker = 4;
constexpr int speakerArrMono = 0;
constexpr int speakerArrStereo = 1;
} // namespace vrc::vst2

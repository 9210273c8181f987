#pragma once
// The VST 2.4 binary interface as a host sees it, written out from the opcode
// numbers and structure layouts, independent of the headers the plug-in is
// built with, so the test checks the plug-in against the interface itself.
#include <cstdint>

namespace vsthost
{
using IntPtr = std::intptr_t;
struct AEffect;

using HostCallback = IntPtr (*) (AEffect*, int32_t opcode, int32_t index, IntPtr value, void* ptr, float opt);
using DispatcherProc = IntPtr (*) (AEffect*, int32_t opcode, int32_t index, IntPtr value, void* ptr, float opt);
using ProcessProc = void (*) (AEffect*, float** inputs, float** outputs, int32_t sampleFrames);
using ProcessDoubleProc = void (*) (AEffect*, double** inputs, double** outputs, int32_t sampleFrames);
using SetParameterProc = void (*) (AEffect*, int32_t index, float value);
using GetParameterProc = float (*) (AEffect*, int32_t index);
using EntryPoint = AEffect* (*) (HostCallback);

struct AEffect
{
    int32_t magic;
    DispatcherProc dispatcher;
    ProcessProc process;
    SetParameterProc setParameter;
    GetParameterProc getParameter;
    int32_t numPrograms;
    int32_t numParams;
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags;
    IntPtr reserved1;
    IntPtr reserved2;
    int32_t initialDelay;
    int32_t realQualities;
    int32_t offQualities;
    float ioRatio;
    void* object;
    void* user;
    int32_t uniqueID;
    int32_t version;
    ProcessProc processReplacing;
    ProcessDoubleProc processDoubleReplacing;
    char future[56];
};

struct ERect
{
    int16_t top, left, bottom, right;
};

struct PinProperties
{
    char label[64];
    int32_t flags;
    int32_t arrangementType;
    char shortLabel[8];
    char future[48];
};

struct SpeakerProperties
{
    float azimuth, elevation, radius, reserved;
    char name[64];
    int32_t type;
    char future[28];
};

struct SpeakerArrangement
{
    int32_t type;
    int32_t numChannels;
    SpeakerProperties speakers[8];
};

static_assert (sizeof (PinProperties) == 128, "VstPinProperties is 128 bytes");
static_assert (sizeof (SpeakerProperties) == 112, "VstSpeakerProperties is 112 bytes");
static_assert (sizeof (void*) != 8 || sizeof (AEffect) == 192, "AEffect is 192 bytes on 64-bit");
static_assert (sizeof (void*) != 4 || sizeof (AEffect) == 144, "AEffect is 144 bytes on 32-bit");

constexpr int32_t magicVstP = 0x56737450;

namespace flags
{
constexpr int32_t hasEditor = 1, canReplacing = 16, programChunks = 32, isSynth = 256,
                  noSoundInStop = 512, canDoubleReplacing = 4096;
}

namespace pin
{
constexpr int32_t isActive = 1, isStereo = 2, useSpeaker = 4;
}

namespace speakerArr
{
constexpr int32_t userDefined = -2, mono = 0, stereo = 1, surround51 = 15;
}

/** Host-to-plug-in requests. */
enum Opcode : int32_t
{
    effOpen = 0, effClose = 1, effSetProgram = 2, effGetProgram = 3, effSetProgramName = 4,
    effGetProgramName = 5, effGetParamLabel = 6, effGetParamDisplay = 7, effGetParamName = 8,
    effSetSampleRate = 10, effSetBlockSize = 11, effMainsChanged = 12, effEditGetRect = 13,
    effEditOpen = 14, effEditClose = 15, effEditIdle = 19, effGetChunk = 23, effSetChunk = 24,
    effProcessEvents = 25, effCanBeAutomated = 26, effString2Parameter = 27,
    effGetProgramNameIndexed = 29, effGetInputProperties = 33, effGetOutputProperties = 34,
    effGetPlugCategory = 35, effSetSpeakerArrangement = 42, effSetBypass = 44,
    effGetEffectName = 45, effGetVendorString = 47, effGetProductString = 48,
    effGetVendorVersion = 49, effVendorSpecific = 50, effCanDo = 51, effGetTailSize = 52,
    effGetParameterProperties = 56, effGetVstVersion = 58, effGetSpeakerArrangement = 69,
    effSetProcessPrecision = 77, effGetNumMidiInputChannels = 78, effGetNumMidiOutputChannels = 79
};

/** Plug-in-to-host calls. */
enum HostOpcode : int32_t
{
    audioMasterAutomate = 0, audioMasterVersion = 1, audioMasterIdle = 3, audioMasterWantMidi = 6,
    audioMasterGetTime = 7, audioMasterSizeWindow = 15, audioMasterGetSampleRate = 16,
    audioMasterGetCurrentProcessLevel = 23, audioMasterCanDo = 37, audioMasterUpdateDisplay = 42,
    audioMasterBeginEdit = 43, audioMasterEndEdit = 44
};
} // namespace vsthost

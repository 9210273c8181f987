#pragma once
// The free fst header marks a few identifiers as not yet known and gives them
// placeholder values. The wrapper needs the real ones: with the placeholders the
// pin flags read 0 and some host requests never reach their handlers. The
// placeholders are renamed while the header is read, then the real values are
// declared under the proper names.
#define effSetBypass vrcFstPlaceholder_effSetBypass
#define effGetTailSize vrcFstPlaceholder_effGetTailSize
#define effGetNumMidiInputChannels vrcFstPlaceholder_effGetNumMidiInputChannels
#define effGetNumMidiOutputChannels vrcFstPlaceholder_effGetNumMidiOutputChannels
#define audioMasterIdle vrcFstPlaceholder_audioMasterIdle
#define audioMasterUpdateDisplay vrcFstPlaceholder_audioMasterUpdateDisplay
#define kVstPinIsActive vrcFstPlaceholder_kVstPinIsActive
#define kVstPinIsStereo vrcFstPlaceholder_kVstPinIsStereo
#define kVstPinUseSpeaker vrcFstPlaceholder_kVstPinUseSpeaker

#include <pluginterfaces/fst/fst.h>

#undef effSetBypass
#undef effGetTailSize
#undef effGetNumMidiInputChannels
#undef effGetNumMidiOutputChannels
#undef audioMasterIdle
#undef audioMasterUpdateDisplay
#undef kVstPinIsActive
#undef kVstPinIsStereo
#undef kVstPinUseSpeaker

// Typed like the enumerators they stand for, so switch labels and assignments
// in the wrapper compile unchanged.
constexpr t_fstHostOpcode audioMasterIdle = static_cast<t_fstHostOpcode> (3);
constexpr t_fstHostOpcode audioMasterUpdateDisplay = static_cast<t_fstHostOpcode> (42);
constexpr t_fstPluginOpcode effSetBypass = static_cast<t_fstPluginOpcode> (44);
constexpr t_fstPluginOpcode effGetTailSize = static_cast<t_fstPluginOpcode> (52);
constexpr t_fstPluginOpcode effGetNumMidiInputChannels = static_cast<t_fstPluginOpcode> (78);
constexpr t_fstPluginOpcode effGetNumMidiOutputChannels = static_cast<t_fstPluginOpcode> (79);
constexpr int kVstPinIsActive = 1;
constexpr int kVstPinIsStereo = 2;
constexpr int kVstPinUseSpeaker = 4;

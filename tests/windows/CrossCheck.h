#pragma once
// The cross-platform check: the same fixed session (parameter texts, chunks,
// audio) run against the Linux and the Windows build of the plug-in through
// the VST 2.4 binary interface, written to files, and compared.
#include <string>

namespace crosscheck
{
/** Runs the session against the built plug-in and writes texts.txt, chunk.bin
    and audio-*.f32 into dir. Returns false if the plug-in could not be run. */
bool writeDump (const std::string& dir);

/** Compares two dumps: texts and chunks must match byte for byte, audio to
    within audioTolerance (absolute, full scale 1). Prints the figures and
    returns true when everything matches. */
bool compareDumps (const std::string& referenceDir, const std::string& candidateDir, float audioTolerance);

/** Opens the editor in a host window with live audio running, writes the
    editor's screen rectangle ("x y width height") to readyFile, keeps it open
    until doneFile exists, then closes it. Returns false if opening or closing
    the editor did not behave. */
bool showEditor (const std::string& readyFile, const std::string& doneFile);

/** The deterministic test signal: integer arithmetic only, so both builds
    feed the plug-in the very same samples. */
float testSignal (int channel, long long sampleIndex);
} // namespace crosscheck

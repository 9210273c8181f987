#pragma once
// The cross-platform check: the same fixed session (parameter texts, chunks,
// audio) run against the Linux and the Windows build of the plug-in through
// the VST 2.4 binary interface (and the VST3 one), written to files, and compared.
#include <cstddef>
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

/** Runs the same session through a VST3 bundle's binary (texts-vst3.txt,
    state*.bin, audio-*.f32 in dir). Returns false if the plug-in could not be run. */
bool writeVst3Dump (const std::string& binaryPath, const std::string& dir);

/** Compares a VST3 dump with one from the other platform (every file byte for
    byte) and with the VST2 dump of the reference platform: the same audio bit
    for bit, and the VST2 chunk inside the VST3 state. */
bool compareVst3Dumps (const std::string& referenceDir, const std::string& candidateDir, const std::string& vst2Dir);

/** Opens the VST3 editor in a host window (Windows only), checks its size and
    that it closes; prints what it saw and returns true when all behaved. */
bool checkVst3Editor (const std::string& binaryPath);

/** The session's two settings: a normalised value for each of the eight parameters. */
struct Setting
{
    const char* name;
    float values[8];
};
extern const Setting sessionSettings[2];

/** The block sizes a render cycles through, from the first. */
extern const int sessionBlockSizes[5];

/** Writes size bytes to a new file at path. */
bool writeBinary (const std::string& path, const void* data, size_t size);

/** The deterministic test signal: integer arithmetic only, so both builds
    feed the plug-in the very same samples. */
float testSignal (int channel, long long sampleIndex);
} // namespace crosscheck

#pragma once
// Helpers for the vrc-render tests: a private folder, running the executable
// with its output captured, WAV files in and out, and the reference render by
// a processor inside the test.
#include "processor/SettingsChunk.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <string>

namespace vrc::test
{

/** A fresh folder under the system's temporary folder, deleted with everything in it. */
class TempFolder
{
public:
    TempFolder();
    ~TempFolder();
    juce::File file (const std::string& name) const { return folder.getChildFile (name); }
    std::string path (const std::string& name) const { return "'" + file (name).getFullPathName().toStdString() + "'"; }
    const juce::File& get() const noexcept { return folder; }

    /** Names in the folder, hidden ones included (partial files are hidden). */
    juce::StringArray names() const;

private:
    juce::File folder;
};

struct RunResult
{
    int exitCode = -1;
    std::string out, err;
};

/** Runs a shell command with its standard output and error captured. */
RunResult runShell (const std::string& command);

/** Runs "vrc-render <arguments>" through the shell; shellPrefix comes before it (e.g. "ulimit -f 64;"). */
RunResult runRender (const std::string& arguments, const std::string& shellPrefix = {});

/** A deterministic test signal: a tone with bursts at several levels, so the
    envelope attacks and releases many times. */
juce::AudioBuffer<float> testSignal (int channels, double sampleRate, double seconds);

bool writeWav (const juce::File& file, const juce::AudioBuffer<float>& audio, double sampleRate, int bits = 32);
/** In the format the extension names: .wav, .aiff, .flac or .ogg. */
bool writeAudioFile (const juce::File& file, const juce::AudioBuffer<float>& audio, double sampleRate, int bits);
juce::AudioBuffer<float> readAudio (const juce::File& file, double* sampleRate = nullptr);

/** The plug-in's processor run inside the test: physical values set directly on
    its parameters, prepared as a host would, then fed blockSize blocks. */
juce::AudioBuffer<float> processInTest (const juce::AudioBuffer<float>& input, const SettingsValues& settings,
                                        double sampleRate, int blockSize);

/** Number of samples that differ in any bit (and a size mismatch counts as all). */
int countDifferences (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b);

} // namespace vrc::test

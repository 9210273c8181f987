#include "RenderSupport.h"

#include "ProcessorBlocks.h"
#include "UniqueTempFolder.h"
#include "processor/VeskCompAudioProcessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sys/wait.h>

namespace vrc::test
{

TempFolder::TempFolder()
{
    folder = makeUniqueTempFolder ("vrc-render-test");
}

TempFolder::~TempFolder()
{
    folder.deleteRecursively();
}

juce::StringArray TempFolder::names() const
{
    juce::StringArray result;
    for (const auto& f : folder.findChildFiles (juce::File::findFilesAndDirectories, false))
        result.add (f.getFileName());
    result.sort (false);
    return result;
}

RunResult runShell (const std::string& command)
{
    // (in a private folder: the framework's temporary file names are random but
    // not reserved, and two test processes could pick the same one)
    const auto scratch = makeUniqueTempFolder ("vrc-render-run");
    const auto out = scratch.getChildFile ("out"), err = scratch.getChildFile ("err");
    const std::string line = "( " + command + " ) >'" + out.getFullPathName().toStdString() + "' 2>'"
                             + err.getFullPathName().toStdString() + "'";
    RunResult r;
    const int status = std::system (line.c_str());
    r.exitCode = WIFEXITED (status) ? WEXITSTATUS (status) : 128 + WTERMSIG (status);
    r.out = out.loadFileAsString().toStdString();
    r.err = err.loadFileAsString().toStdString();
    scratch.deleteRecursively();
    return r;
}

RunResult runRender (const std::string& arguments, const std::string& shellPrefix)
{
    return runShell (shellPrefix + " exec '" VRC_RENDER_EXE "' " + arguments);
}

juce::AudioBuffer<float> testSignal (int channels, double sampleRate, double seconds)
{
    const int n = static_cast<int> (seconds * sampleRate);
    juce::AudioBuffer<float> audio (channels, n);
    juce::Random random (1234);
    // Bursts every 0.15 s at levels from -40 to -3 dBFS over a quiet tone.
    const float levels[] = { 0.01f, 0.7f, 0.1f, 0.3f, 0.05f, 0.5f, 0.2f };
    for (int i = 0; i < n; ++i)
    {
        const double t = i / sampleRate;
        const int burst = static_cast<int> (t / 0.15);
        const double inBurst = t - burst * 0.15;
        const float level = levels[burst % 7] * static_cast<float> (std::exp (-inBurst / 0.04));
        const float tone = 0.05f * static_cast<float> (std::sin (2.0 * juce::MathConstants<double>::pi * 220.0 * t));
        for (int ch = 0; ch < channels; ++ch)
            audio.setSample (ch, i, tone + level * (random.nextFloat() * 2.0f - 1.0f) * (ch == 0 ? 1.0f : 0.8f));
    }
    return audio;
}

bool writeWav (const juce::File& file, const juce::AudioBuffer<float>& audio, double sampleRate, int bits)
{
    return writeAudioFile (file, audio, sampleRate, bits);
}

bool writeAudioFile (const juce::File& file, const juce::AudioBuffer<float>& audio, double sampleRate, int bits)
{
    file.deleteFile();
    auto stream = file.createOutputStream();
    if (stream == nullptr)
        return false;
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    auto* format = formats.findFormatForFileExtension (file.getFileExtension());
    if (format == nullptr)
        return false;
    std::unique_ptr<juce::AudioFormatWriter> writer (format->createWriterFor (
        stream.get(), sampleRate, static_cast<unsigned int> (audio.getNumChannels()), bits, {}, 0));
    if (writer == nullptr)
        return false;
    stream.release();
    return writer->writeFromAudioSampleBuffer (audio, 0, audio.getNumSamples());
}

juce::AudioBuffer<float> readAudio (const juce::File& file, double* sampleRate)
{
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (file));
    if (reader == nullptr)
        return {};
    juce::AudioBuffer<float> audio (static_cast<int> (reader->numChannels), static_cast<int> (reader->lengthInSamples));
    reader->read (&audio, 0, audio.getNumSamples(), 0, true, true);
    if (sampleRate != nullptr)
        *sampleRate = reader->sampleRate;
    return audio;
}

juce::AudioBuffer<float> processInTest (const juce::AudioBuffer<float>& input, const SettingsValues& settings,
                                        double sampleRate, int blockSize)
{
    VeskCompAudioProcessor processor;
    const auto set = input.getNumChannels() == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
    processor.setPlayConfigDetails (input.getNumChannels(), input.getNumChannels(), sampleRate, blockSize);
    EXPECT_EQ (processor.getMainBusNumInputChannels(), set.size());
    for (int i = 0; i < numParameters; ++i)
        processor.parameterFor (i)->setPhysical (settings[(size_t) i]);
    processor.prepareToPlay (sampleRate, blockSize);

    juce::AudioBuffer<float> output (input);
    processInBlocks (processor, output, blockSize);
    return output;
}

int countDifferences (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
{
    if (a.getNumChannels() != b.getNumChannels() || a.getNumSamples() != b.getNumSamples())
        return std::max (a.getNumSamples(), b.getNumSamples()) * std::max (a.getNumChannels(), b.getNumChannels()) + 1;
    int differences = 0;
    for (int ch = 0; ch < a.getNumChannels(); ++ch)
        for (int i = 0; i < a.getNumSamples(); ++i)
            differences += std::memcmp (a.getReadPointer (ch, i), b.getReadPointer (ch, i), sizeof (float)) != 0 ? 1 : 0;
    return differences;
}

} // namespace vrc::test

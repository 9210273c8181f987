// The demo: all four files, an output that is exactly what rendering its input
// with its saved settings gives, a plot that decodes, and a second run that
// refuses to replace the files unless asked.
#include "RenderSupport.h"

#include <juce_graphics/juce_graphics.h>

#include <gtest/gtest.h>

namespace vrc::test
{
namespace
{

TEST (RenderDemo, WritesConsistentFilesAndRefusesToReplaceThem)
{
    TempFolder dir;
    const auto run = runRender ("--demo " + dir.path ("demo"));
    ASSERT_EQ (run.exitCode, 0) << run.err;
    EXPECT_NE (run.out.find ("gain reduction"), std::string::npos) << run.out;

    double rate = 0.0;
    const auto input = readAudio (dir.file ("demo/input.wav"), &rate);
    EXPECT_EQ (rate, 48000.0);
    EXPECT_EQ (input.getNumChannels(), 2);
    EXPECT_EQ (input.getNumSamples(), 8 * 48000);

    // The saved chunk holds the demo preset, and reproduces the output exactly.
    juce::MemoryBlock chunk;
    ASSERT_TRUE (dir.file ("demo/settings.vstchunk").loadFileAsData (chunk));
    const auto restored = readSettingsChunk (chunk.getData(), (int) chunk.getSize());
    ASSERT_TRUE (restored[(size_t) ParameterId::threshold].has_value());
    EXPECT_EQ (*restored[(size_t) ParameterId::threshold], -18.0f);
    EXPECT_EQ (*restored[(size_t) ParameterId::curve], 1.0f);
    SettingsValues values {};
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = restored[i].value_or (-1000.0f);
    const auto output = readAudio (dir.file ("demo/output.wav"));
    EXPECT_EQ (countDifferences (output, processInTest (input, values, rate, 512)), 0);

    // The compressor did audible work: the hits are reduced by several dB.
    EXPECT_NE (run.out.find ("largest"), std::string::npos);
    const auto image = juce::ImageFileFormat::loadFrom (dir.file ("demo/plot.png"));
    ASSERT_TRUE (image.isValid());
    EXPECT_GT (image.getWidth(), 800);

    // Again without --overwrite: refused, and the files are the same files.
    const auto before = dir.file ("demo/output.wav").getLastModificationTime();
    const auto again = runRender ("--demo " + dir.path ("demo"));
    EXPECT_EQ (again.exitCode, 1);
    EXPECT_NE (again.err.find ("--overwrite"), std::string::npos) << again.err;
    EXPECT_EQ (dir.file ("demo/output.wav").getLastModificationTime(), before);

    const auto replaced = runRender ("--demo " + dir.path ("demo") + " --overwrite");
    EXPECT_EQ (replaced.exitCode, 0) << replaced.err;
    EXPECT_EQ (countDifferences (readAudio (dir.file ("demo/output.wav")), output), 0);
    const auto names = dir.file ("demo").findChildFiles (juce::File::findFiles, false);
    EXPECT_EQ (names.size(), 4) << "no partial files left behind";
}

} // namespace
} // namespace vrc::test

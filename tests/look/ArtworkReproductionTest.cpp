// The committed pictures are the generator's output: running it again must
// give the same bytes, so a change to the artwork code cannot go unnoticed
// and nobody edits the pictures by hand.
#include "UniqueTempFolder.h"

#include <gtest/gtest.h>
#include <juce_core/juce_core.h>

#ifdef VRC_ARTGEN_PATH

TEST (Artwork, GeneratorReproducesTheCommittedPictures)
{
    struct ScratchDir
    {
        juce::File dir = vrc::test::makeUniqueTempFolder ("vrc-artgen");
        ~ScratchDir() { dir.deleteRecursively(); }
    } scratch;
    const auto outDir = scratch.dir;
    ASSERT_TRUE (outDir.isDirectory());

    juce::ChildProcess generator;
    ASSERT_TRUE (generator.start (juce::StringArray { VRC_ARTGEN_PATH, outDir.getFullPathName() }));
    const auto log = generator.readAllProcessOutput();
    ASSERT_TRUE (generator.waitForProcessToFinish (-1));
    ASSERT_EQ (generator.getExitCode(), 0u) << log;

    const juce::File committed (VRC_RESOURCES_DIR);
    for (auto name : { "knobStrip80.png", "knobStrip64.png", "curveSwitchOff.png", "curveSwitchOn.png", "keyLamp.png",
                       "background.jpg" })
    {
        juce::MemoryBlock expected, rendered;
        ASSERT_TRUE (committed.getChildFile (name).loadFileAsData (expected)) << name;
        ASSERT_TRUE (outDir.getChildFile (name).loadFileAsData (rendered)) << name;
        EXPECT_TRUE (expected == rendered) << name << " differs from a fresh render; run vrc_artgen resources --docs docs";
    }
}

#endif

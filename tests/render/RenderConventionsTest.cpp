// How vrc-render treats what is already on disk and the conventions of a
// command-line tool: replaced files keep their permissions, links are written
// through, long names work, signals end the run with 128+signal and nothing
// partial, batch mode writes the format asked for, and plots carry labels
// drawn with the built-in typeface when the machine has no fonts at all.
#include "RenderSupport.h"

#include <juce_graphics/juce_graphics.h>

#include <gtest/gtest.h>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace vrc::test
{
namespace
{
constexpr double rate = 44100.0;

mode_t modeOf (const juce::File& f)
{
    struct stat info {};
    return ::lstat (f.getFullPathName().toRawUTF8(), &info) == 0 ? info.st_mode : 0;
}

TEST (RenderConventions, ReplacingKeepsModeWritesThroughLinksAndTakesLongNames)
{
    TempFolder dir;
    const auto input = testSignal (1, rate, 0.2);
    ASSERT_TRUE (writeWav (dir.file ("in.wav"), input, rate));

    ASSERT_TRUE (dir.file ("private.wav").replaceWithText ("old"));
    ASSERT_EQ (::chmod (dir.file ("private.wav").getFullPathName().toRawUTF8(), 0600), 0);
    ASSERT_TRUE (dir.file ("target.wav").replaceWithText ("old"));
    ASSERT_EQ (::symlink ("target.wav", dir.file ("link.wav").getFullPathName().toRawUTF8()), 0);
    const std::string longName = std::string (251, 'n') + ".wav"; // 255 bytes, the usual limit

    for (const std::string name : { "private.wav", "link.wav", longName.c_str() })
    {
        const auto run = runRender (dir.path ("in.wav") + " " + dir.path (name) + " --overwrite");
        EXPECT_EQ (run.exitCode, 0) << name << run.err;
    }
    EXPECT_EQ (modeOf (dir.file ("private.wav")) & 0777, 0600u);
    EXPECT_TRUE (S_ISLNK (modeOf (dir.file ("link.wav"))));
    EXPECT_EQ (readAudio (dir.file ("target.wav")).getNumSamples(), input.getNumSamples());
    EXPECT_EQ (readAudio (dir.file (longName)).getNumSamples(), input.getNumSamples());
}

TEST (RenderConventions, SpecialFilesAreNeverReplacedAndOwnersAreKept)
{
    TempFolder dir;
    ASSERT_TRUE (writeWav (dir.file ("in.wav"), testSignal (1, rate, 0.2), rate));
    const auto at = [&] (const char* name) { return dir.file (name).getFullPathName().toStdString(); };
    ASSERT_EQ (::mkfifo (at ("fifo.wav").c_str(), 0600), 0);
    ASSERT_EQ (::symlink ("fifo.wav", at ("to-fifo.wav").c_str()), 0);
    std::vector<std::string> special { "fifo.wav", "to-fifo.wav" };
    // (a device node of our own, like /dev/null, where the test may make one)
    if (::mknod (at ("null.wav").c_str(), S_IFCHR | 0666, makedev (1, 3)) == 0)
    {
        ASSERT_EQ (::symlink ("null.wav", at ("to-null.wav").c_str()), 0);
        special.insert (special.end(), { "null.wav", "to-null.wav" });
    }
    for (const auto& name : special)
    {
        const auto run = runRender (dir.path ("in.wav") + " " + dir.path (name) + " --overwrite");
        EXPECT_EQ (run.exitCode, 1) << name;
        EXPECT_NE (run.err.find ("which an output never replaces"), std::string::npos) << run.err;
    }
    EXPECT_TRUE (S_ISFIFO (modeOf (dir.file ("fifo.wav"))));
    if (special.size() > 2)
    {
        EXPECT_TRUE (S_ISCHR (modeOf (dir.file ("null.wav"))));
    }

    // A write-protected file of another owner keeps owner, group and mode when
    // replaced (as root; anyone else cannot replace it with them kept, and is refused).
    ASSERT_TRUE (dir.file ("theirs.wav").replaceWithText ("old"));
    ASSERT_EQ (::chmod (at ("theirs.wav").c_str(), 0444), 0);
    if (::geteuid() == 0)
    {
        ASSERT_EQ (::chown (at ("theirs.wav").c_str(), 65534, 65534), 0);
        const auto run = runRender (dir.path ("in.wav") + " " + dir.path ("theirs.wav") + " --overwrite");
        EXPECT_EQ (run.exitCode, 0) << run.err;
        struct stat info {};
        ASSERT_EQ (::stat (at ("theirs.wav").c_str(), &info), 0);
        EXPECT_EQ (info.st_uid, 65534u);
        EXPECT_EQ (info.st_gid, 65534u);
        EXPECT_EQ (info.st_mode & 07777, 0444u);
        EXPECT_GT (readAudio (dir.file ("theirs.wav")).getNumSamples(), 0);
    }
}

TEST (RenderConventions, DoubleDashEndsOptionsAndALostSummaryFails)
{
    TempFolder dir;
    ASSERT_TRUE (writeWav (dir.file ("-in.wav"), testSignal (1, rate, 0.2), rate));
    const auto run = runShell ("cd '" + dir.get().getFullPathName().toStdString() + "' && '" VRC_RENDER_EXE "' --quiet -- -in.wav -out.wav");
    EXPECT_EQ (run.exitCode, 0) << run.err;
    EXPECT_TRUE (dir.file ("-out.wav").existsAsFile());

    const auto full = runRender (dir.path ("-in.wav") + " " + dir.path ("out.wav") + " > /dev/full");
    EXPECT_EQ (full.exitCode, 1);
    EXPECT_NE (full.err.find ("cannot write the summary to standard output"), std::string::npos) << full.err;
}

struct SignalCase
{
    const char* name;
    int signal;
    bool waitingForWriter; // the input a named pipe nobody has opened yet
};

class RenderInterrupted : public ::testing::TestWithParam<SignalCase>
{
};

TEST_P (RenderInterrupted, ExitsWith128PlusSignalAndLeavesNothing)
{
    TempFolder dir;
    // An unfinished recording of an hour of silence, sparse on disk: long enough
    // that the signal always lands mid-render.
    ASSERT_TRUE (writeWav (dir.file ("long.wav"), juce::AudioBuffer<float> (2, 1), rate));
    juce::MemoryBlock header;
    ASSERT_TRUE (dir.file ("long.wav").loadFileAsData (header));
    auto* bytes = static_cast<char*> (header.getData());
    for (size_t i = 0; i + 8 <= header.getSize(); ++i)
        if (std::memcmp (bytes + i, "data", 4) == 0)
            std::memset (bytes + i + 4, 0xff, 4); // "to the end of the file"
    ASSERT_TRUE (dir.file ("long.wav").replaceWithData (header.getData(), header.getSize()));
    ASSERT_EQ (::truncate (dir.file ("long.wav").getFullPathName().toRawUTF8(), 3600LL * 44100 * 8), 0);
    ASSERT_EQ (::mkfifo (dir.file ("pipe.wav").getFullPathName().toRawUTF8(), 0600), 0);
    const auto before = dir.names();

    // (the signal is sent once the program runs its second thread: its handlers are
    // in place by then; a run that ignores the signal is ended by the watchdog)
    const auto input = GetParam().waitingForWriter ? dir.path ("pipe.wav") : dir.path ("long.wav");
    const auto run = runShell ("'" VRC_RENDER_EXE "' " + input + " " + dir.path ("out.wav") + " & pid=$!; "
                               + "while kill -0 $pid 2>/dev/null && [ $(ls /proc/$pid/task | wc -l) -lt 2 ]; do sleep 0.05; done; sleep 0.2; "
                               + "( sleep 20; kill -9 $pid ) >/dev/null 2>&1 & watchdog=$!; kill -" + std::to_string (GetParam().signal)
                               + " $pid; wait $pid; code=$?; kill $watchdog; exit $code");
    EXPECT_EQ (run.exitCode, 128 + GetParam().signal) << run.err;
    EXPECT_NE (run.err.find ("vrc-render: interrupted"), std::string::npos) << run.err;
    EXPECT_EQ (dir.names().joinIntoString (","), before.joinIntoString (",")) << "no output, no temporary file";
}

INSTANTIATE_TEST_SUITE_P (Signals, RenderInterrupted,
                          ::testing::Values (SignalCase { "Interrupt", SIGINT, false }, SignalCase { "Terminate", SIGTERM, false },
                                            SignalCase { "TerminateWaitingForWriter", SIGTERM, true },
                                            SignalCase { "InterruptWaitingForWriter", SIGINT, true }),
                          [] (const auto& p) { return std::string (p.param.name); });

/** A stereo 44.1 kHz WAV file as an unfinished recording leaves it: sizes of all
    ones ("to the end of the file"), then audioBytes of sparse, unwritten audio. */
bool writeUnfinishedWav (const juce::File& file, short format, short bits, std::int64_t audioBytes)
{
    juce::MemoryOutputStream header;
    header.write ("RIFF", 4);
    header.writeInt (-1);
    header.write ("WAVEfmt ", 8);
    header.writeInt (16);
    header.writeShort (format);
    header.writeShort (2);
    header.writeInt (44100);
    header.writeInt (44100 * 2 * bits / 8);
    header.writeShort ((short) (2 * bits / 8));
    header.writeShort (bits);
    header.write ("data", 4);
    header.writeInt (-1);
    return file.replaceWithData (header.getData(), header.getDataSize())
           && ::truncate (file.getFullPathName().toRawUTF8(), (off_t) header.getDataSize() + audioBytes) == 0;
}

// About two and a half minutes and 8 GiB of disk for a while (sparse input, both
// files deleted after): run with VRC_LARGE_TESTS=1, as scripts/test.sh does.
// The size is the one where the framework's writer used to let the 32-bit RIFF
// size wrap round: 4 GiB of audio less 40 bytes, plus the header.
TEST (RenderLarge, PastFourGiBTheOutputIsRf64)
{
    if (std::getenv ("VRC_LARGE_TESTS") == nullptr)
        GTEST_SKIP() << "set VRC_LARGE_TESTS=1 to render a 4 GiB file";
    TempFolder dir;
    const auto in = dir.file ("in.wav");
    const std::int64_t dataBytes = (1LL << 32) - 40;
    ASSERT_TRUE (writeUnfinishedWav (in, 3, 32, dataBytes)); // float

    const auto run = runRender (dir.path ("in.wav") + " " + dir.path ("out.wav") + " --bits 32f --quiet");
    in.deleteFile();
    ASSERT_EQ (run.exitCode, 0) << run.err; // (size fields of all ones: a stream's "to the end", no damage)

    juce::FileInputStream out (dir.file ("out.wav"));
    char magic[4] {};
    ASSERT_EQ (out.read (magic, 4), 4);
    EXPECT_EQ (std::string (magic, 4), "RF64");
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (dir.file ("out.wav")));
    ASSERT_NE (reader, nullptr);
    EXPECT_EQ (reader->lengthInSamples, dataBytes / 8);
    // (the audio and a header of a few chunks: ds64, fmt, fact, PEAK, data)
    EXPECT_GT (dir.file ("out.wav").getSize(), reader->lengthInSamples * 8 + 44);
    EXPECT_LT (dir.file ("out.wav").getSize(), reader->lengthInSamples * 8 + 1024);
}

// An AIFF output past what its 32-bit sizes can state is refused before any work
// (the input: an unfinished recording of 2.2 GB, sparse on disk).
TEST (RenderLarge, AiffPastTwoGiBIsRefusedAtOnce)
{
    TempFolder dir;
    ASSERT_TRUE (writeUnfinishedWav (dir.file ("in.wav"), 1, 16, 2200000000 - 44)); // PCM
    const auto run = runRender (dir.path ("in.wav") + " " + dir.path ("out.aiff") + " --bits 16");
    EXPECT_EQ (run.exitCode, 1);
    EXPECT_NE (run.err.find ("AIFF holds at most 2 GiB"), std::string::npos) << run.err;
    EXPECT_FALSE (dir.file ("out.aiff").exists());
}

TEST (RenderConventions, BatchWritesTheFormatAskedFor)
{
    TempFolder dir;
    const auto input = testSignal (2, rate, 0.3);
    ASSERT_TRUE (writeWav (dir.file ("a.wav"), input, rate, 24));
    for (const std::string format : { "flac", "aiff" })
    {
        const auto run = runRender ("-o " + dir.path (format) + " --format " + format + " " + dir.path ("a.wav"));
        ASSERT_EQ (run.exitCode, 0) << run.err;
        EXPECT_NE (run.out.find ("24-bit " + juce::String (format).toUpperCase().toStdString()), std::string::npos) << run.out;
        EXPECT_EQ (readAudio (dir.file (format + "/a." + format)).getNumSamples(), input.getNumSamples()) << format;
    }
}

TEST (RenderConventions, PlotLabelsNeedNoInstalledFonts)
{
    TempFolder dir;
    ASSERT_TRUE (writeWav (dir.file ("in.wav"), testSignal (2, rate, 0.5), rate));
    ASSERT_TRUE (dir.file ("no-fonts").createDirectory());
    // The framework finds system fonts through JUCE_FONT_PATH when it is set: an
    // empty folder there is a machine without any font package.
    const auto plain = runRender (dir.path ("in.wav") + " " + dir.path ("a.wav") + " --plot " + dir.path ("a.png"));
    const auto bare = runRender (dir.path ("in.wav") + " " + dir.path ("b.wav") + " --plot " + dir.path ("b.png"),
                                 "export JUCE_FONT_PATH=" + dir.path ("no-fonts") + " FONTCONFIG_FILE=/dev/null;");
    ASSERT_EQ (plain.exitCode, 0) << plain.err;
    ASSERT_EQ (bare.exitCode, 0) << bare.err;

    const auto a = juce::ImageFileFormat::loadFrom (dir.file ("a.png"));
    const auto b = juce::ImageFileFormat::loadFrom (dir.file ("b.png"));
    ASSERT_TRUE (a.isValid() && b.isValid());
    int differences = 0, inkInTitle = 0;
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            differences += a.getPixelAt (x, y) != b.getPixelAt (x, y) ? 1 : 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            inkInTitle += b.getPixelAt (x, y).getBrightness() < 0.5f ? 1 : 0;
    EXPECT_EQ (differences, 0) << "the picture must not depend on installed fonts";
    EXPECT_GT (inkInTitle, 200) << "the title is drawn";
}

// The README lists what vrc-render needs on a machine that did not build it.
TEST (RenderConventions, ReadmeNamesEveryLibraryTheProgramLinks)
{
    const auto run = runShell ("objdump -p '" VRC_RENDER_EXE "' | awk '/NEEDED/ { print $2 }'");
    ASSERT_EQ (run.exitCode, 0) << run.err;
    const auto readme = juce::File (VRC_TEST_DATA_DIR).getChildFile ("../../README.md").loadFileAsString();
    const auto libraries = juce::StringArray::fromLines (juce::String (run.out).trim());
    EXPECT_GT (libraries.size(), 5);
    for (const auto& library : libraries)
        if (! library.startsWith ("ld-linux"))
        {
            EXPECT_TRUE (readme.contains ("`" + library + "`")) << library << " is not named in README.md";
        }
}

} // namespace
} // namespace vrc::test

namespace vrc::test
{
namespace
{
// "-" reads standard input and writes standard output (WAV, or FLAC by --format);
// the summary then goes to standard error. The audio is the same as a file render's.
TEST (RenderConventions, StandardInputAndOutput)
{
    TempFolder dir;
    ASSERT_TRUE (writeWav (dir.file ("in.wav"), testSignal (2, 44100.0, 0.4), 44100.0, 32));
    ASSERT_EQ (runRender (dir.path ("in.wav") + " " + dir.path ("file.wav") + " --bits 32f").exitCode, 0);
    const auto reference = readAudio (dir.file ("file.wav"));

    auto run = runShell ("cat " + dir.path ("in.wav") + " | '" VRC_RENDER_EXE "' - - --bits 32f > " + dir.path ("piped.wav"));
    ASSERT_EQ (run.exitCode, 0) << run.err;
    EXPECT_NE (run.err.find ("standard input -> standard output"), std::string::npos) << run.err;
    // A pipe's WAV header cannot know its sizes: they say "to the end of the stream".
    juce::MemoryBlock bytes;
    ASSERT_TRUE (dir.file ("piped.wav").loadFileAsData (bytes));
    const auto* head = static_cast<const char*> (bytes.getData());
    const int dataAt = (int) (std::search (head, head + 80, "data", "data" + 4) - head);
    ASSERT_LT (dataAt, 80);
    EXPECT_EQ (std::memcmp (head + dataAt + 4, "\xff\xff\xff\xff", 4), 0);
    juce::AudioBuffer<float> piped (2, (int) (bytes.getSize() - (size_t) dataAt - 8) / 8);
    for (int i = 0; i < piped.getNumSamples(); ++i)
        for (int ch = 0; ch < 2; ++ch)
            std::memcpy (piped.getWritePointer (ch, i), (const char*) bytes.getData() + dataAt + 8 + i * 8 + ch * 4, 4);
    EXPECT_EQ (countDifferences (piped, reference), 0);

    // A named pipe is read once its writer comes, as cat reads it.
    run = runShell ("mkfifo " + dir.path ("fifo") + "; (sleep 0.3; cat " + dir.path ("in.wav") + " > " + dir.path ("fifo")
                    + ") & '" VRC_RENDER_EXE "' " + dir.path ("fifo") + " " + dir.path ("fifo.wav") + " --bits 32f");
    ASSERT_EQ (run.exitCode, 0) << run.err;
    EXPECT_EQ (countDifferences (readAudio (dir.file ("fifo.wav")), reference), 0);

    run = runShell ("'" VRC_RENDER_EXE "' " + dir.path ("in.wav") + " - --format flac --bits 24 > " + dir.path ("piped.flac")
                    + " && flac -t -s " + dir.path ("piped.flac"));
    ASSERT_EQ (run.exitCode, 0) << run.err;
    EXPECT_EQ (readAudio (dir.file ("piped.flac")).getNumSamples(), reference.getNumSamples());
}
} // namespace
} // namespace vrc::test

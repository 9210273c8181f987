// Every way a render can be refused or fail: a message on stderr, a non-zero
// exit code, no output file, no partial file left behind, and an existing
// output left exactly as it was.
#include "RenderSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

namespace vrc::test
{
namespace
{
constexpr double rate = 44100.0;

struct ErrorCase
{
    const char* name;
    std::string arguments;   // IN/OUT names are relative to the test folder, via {dir}
    const char* message;     // expected on stderr
    int exitCode;
    std::string shellPrefix; // e.g. a file-size limit
};

void PrintTo (const ErrorCase& c, std::ostream* os)
{
    *os << c.name;
}

class RenderRefuses : public ::testing::TestWithParam<ErrorCase>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE (writeWav (dir.file ("in.wav"), testSignal (2, rate, 1.0), rate));
        ASSERT_TRUE (writeWav (dir.file ("tiny.wav"), testSignal (1, rate, 0.05), rate, 16));
        ASSERT_TRUE (writeWav (dir.file ("three.wav"), testSignal (3, rate, 0.2), rate));
        ASSERT_TRUE (writeAudioFile (dir.file ("in.flac"), testSignal (1, rate, 0.2), rate, 16));
        ASSERT_TRUE (writeWav (dir.file ("48k.wav"), testSignal (1, 48000.0, 0.2), 48000.0));
        ASSERT_TRUE (dir.file ("text.wav").replaceWithText ("this is not audio"));
        ASSERT_TRUE (dir.file ("song.mp3").replaceWithText ("ID3 and then nothing useful"));
        ASSERT_TRUE (dir.file ("not-a-chunk").replaceWithText ("<VeskCompSettings gain=\"6\"/>"));
        ASSERT_TRUE (dir.file ("kept.wav").replaceWithText ("existing output"));
        ASSERT_EQ (::symlink ("in.wav", dir.file ("link.wav").getFullPathName().toRawUTF8()), 0);
        ASSERT_EQ (::link (dir.file ("in.wav").getFullPathName().toRawUTF8(), dir.file ("hard.wav").getFullPathName().toRawUTF8()), 0);
        ASSERT_TRUE (dir.file ("in.wav").loadFileAsData (original));
    }

    std::string expand (std::string text) const
    {
        const std::string key = "{dir}";
        const auto folder = dir.get().getFullPathName().toStdString();
        for (auto at = text.find (key); at != std::string::npos; at = text.find (key, at + folder.size()))
            text.replace (at, key.size(), folder);
        return text;
    }

    TempFolder dir;
    juce::MemoryBlock original;
};

TEST_P (RenderRefuses, WithMessageAndNoOutput)
{
    const auto& c = GetParam();
    const auto before = dir.names();

    const auto run = runRender (expand (c.arguments), expand (c.shellPrefix));
    EXPECT_EQ (run.exitCode, c.exitCode) << run.err;
    EXPECT_NE (run.err.find (c.message), std::string::npos) << "stderr: " << run.err;
    EXPECT_EQ (run.out, "");

    // Nothing new in the folder (no output, no plot, no partial file) and the
    // existing output untouched.
    EXPECT_EQ (dir.names().joinIntoString (","), before.joinIntoString (","));
    EXPECT_EQ (dir.file ("kept.wav").loadFileAsString(), "existing output");
    juce::MemoryBlock now;
    EXPECT_TRUE (dir.file ("in.wav").loadFileAsData (now) && now == original) << "the input was changed";
}

INSTANTIATE_TEST_SUITE_P (
    Errors, RenderRefuses,
    ::testing::Values (
        ErrorCase { "MissingInput", "{dir}/nothing.wav {dir}/out.wav", "no such file", 1, "" },
        ErrorCase { "InputIsText", "{dir}/text.wav {dir}/out.wav", "is not an audio file libsndfile can read (Format not recognised)", 1, "" },
        ErrorCase { "UnsupportedInputFormat", "{dir}/song.mp3 {dir}/out.wav", "is not an audio file libsndfile can read", 1, "" },
        ErrorCase { "ThreeChannels", "{dir}/three.wav {dir}/out.wav", "has 3 channels", 1, "" },
        ErrorCase { "UnsupportedOutputFormat", "{dir}/in.wav {dir}/out.mp3", "unsupported output format", 2, "" },
        ErrorCase { "FloatIntoFlac", "{dir}/in.wav {dir}/out.flac --bits 32f", "32-bit float needs a .wav", 2, "" },
        ErrorCase { "UnknownOption", "{dir}/in.wav {dir}/out.wav --loudness 3", "unknown option '--loudness'", 2, "" },
        ErrorCase { "NotANumber", "{dir}/in.wav {dir}/out.wav --ratio abc", "bad value 'abc' for --ratio", 2, "" },
        ErrorCase { "TrailingText", "{dir}/in.wav {dir}/out.wav --attack 0.01s", "bad value '0.01s'", 2, "" },
        ErrorCase { "NotFinite", "{dir}/in.wav {dir}/out.wav --gain nan --force", "bad value 'nan'", 2, "" },
        ErrorCase { "BadCurve", "{dir}/in.wav {dir}/out.wav --curve log", "expected linear or exp", 2, "" },
        ErrorCase { "RatioOutOfRange", "{dir}/in.wav {dir}/out.wav --ratio 2", "outside the control's range 0.5 .. 1", 2, "" },
        ErrorCase { "ThresholdOutOfRange", "{dir}/in.wav {dir}/out.wav --threshold 3", "-40 .. 0 dB", 2, "" },
        ErrorCase { "DryWetOutOfRange", "{dir}/in.wav {dir}/out.wav --drywet 150", "0 .. 100 %", 2, "" },
        ErrorCase { "OutOfRangeBeforeTheChunkIsRead", "{dir}/in.wav {dir}/out.wav --state {dir}/nothing --gain 99", "outside the control's range", 2, "" },
        ErrorCase { "ZeroBlock", "{dir}/in.wav {dir}/out.wav --block 0", "bad value '0' for --block", 2, "" },
        ErrorCase { "MissingValue", "{dir}/in.wav {dir}/out.wav --gain", "--gain needs a value", 2, "" },
        ErrorCase { "OneFileOnly", "{dir}/in.wav", "expected an input and an output file", 2, "" },
        ErrorCase { "StateNotAChunk", "{dir}/in.wav {dir}/out.wav --state {dir}/not-a-chunk", "not a VR-C settings chunk", 1, "" },
        // A chunk is read up to its limit from any file, one without end included.
        ErrorCase { "StateWithoutEnd", "{dir}/in.wav {dir}/out.wav --state /dev/zero", "(more than 1024 KiB)", 1, "" },
        ErrorCase { "AiffToAPipe", "{dir}/in.wav - --format aiff", "standard output takes WAV or FLAC", 2, "" },
        ErrorCase { "PlotOfAPipe", "- {dir}/out.wav --plot {dir}/p.png", "--plot needs a named input file", 2, "" },
        ErrorCase { "FlacFromAPipe", "- {dir}/out.wav", "from a pipe it reads WAV, AIFF and Ogg, not FLAC", 1, "cat {dir}/in.flac |" },
        ErrorCase { "OutputExists", "{dir}/in.wav {dir}/kept.wav", "exists (--overwrite replaces it)", 1, "" },
        ErrorCase { "PlotExists", "{dir}/in.wav {dir}/out.wav --plot {dir}/kept.wav", "exists", 1, "" },
        // An output that is an input, under any name, is refused even with --overwrite.
 // A key is an input like any other, at the input's rate.
        ErrorCase { "KeyAtAnotherRate", "{dir}/in.wav {dir}/out.wav --sidechain {dir}/48k.wav", "the key must have the input's sample rate", 1, "" },
        ErrorCase { "KeyWithThreeChannels", "{dir}/in.wav {dir}/out.wav --sidechain {dir}/three.wav", "--sidechain: ", 1, "" },
        ErrorCase { "MissingKey", "{dir}/in.wav {dir}/out.wav --sidechain {dir}/nothing.wav", "no such file", 1, "" },
        ErrorCase { "OutputIsKey", "{dir}/tiny.wav {dir}/in.wav --sidechain {dir}/link.wav --overwrite", "it is the --sidechain key", 1, "" },
        ErrorCase { "KeyAndInputFromOnePipe", "- {dir}/out.wav --sidechain -", "not both", 2, "" },
        ErrorCase { "KeyInDemo", "--demo {dir}/demo --sidechain {dir}/in.wav", "--sidechain do not apply", 2, "" },
        ErrorCase { "OutputIsInput", "{dir}/in.wav {dir}/in.wav --overwrite", "it is the input file", 1, "" },
        ErrorCase { "OutputIsInputThroughLink", "{dir}/in.wav {dir}/link.wav --overwrite", "it is the input file", 1, "" },
        ErrorCase { "OutputIsInputHardLinked", "{dir}/hard.wav {dir}/in.wav --overwrite", "it is the input file", 1, "" },
        ErrorCase { "OutputIsInputOtherSpelling", "{dir}/in.wav {dir}/./../$(basename {dir})/in.wav --overwrite", "it is the input file", 1, "" },
        ErrorCase { "BatchIntoTheInputsFolder", "-o {dir} {dir}/in.wav --overwrite", "it is the input file", 1, "" },
        ErrorCase { "PlotIsInput", "{dir}/in.wav {dir}/out.wav --plot {dir}/link.wav --overwrite", "it is the input file", 1, "" },
        // A refused batch run leaves no new folder behind.
        ErrorCase { "BatchRefusedMakesNoFolder", "-o {dir}/new {dir}/in.wav {dir}/in.wav", "both be written", 1, "" },
        ErrorCase { "BatchAllFailedMakesNoFolder", "-o {dir}/new {dir}/nothing.wav", "no such file", 1, "" },
        ErrorCase { "BadFormat", "-o {dir}/new {dir}/in.wav --format mp3", "expected wav, aiff or flac", 2, "" },
        ErrorCase { "FormatOutsideBatch", "{dir}/in.wav {dir}/out.wav --format flac", "--format applies to -o", 2, "" },
        ErrorCase { "MissingFolder", "{dir}/in.wav {dir}/no/out.wav", "does not exist", 1, "" },
        ErrorCase { "PlotFolderMissing", "{dir}/in.wav {dir}/out.wav --plot {dir}/no/plot.png", "does not exist", 1, "" },
        // A file-size limit stands in for a full disk: the write fails part way.
        ErrorCase { "DiskFullNewFile", "{dir}/in.wav {dir}/out.wav --bits 32f", "File too large", 1, "ulimit -f 100;" },
        ErrorCase { "DiskFullKeepsExisting", "{dir}/in.wav {dir}/kept.wav --bits 32f --overwrite", "File too large", 1,
                    "ulimit -f 100;" },
        // The audio fits but the plot does not: neither appears.
        ErrorCase { "DiskFullInPlot", "{dir}/tiny.wav {dir}/out.wav --plot {dir}/plot.png", "File too large", 1,
                    "ulimit -f 20;" }),
    [] (const auto& p) { return std::string (p.param.name); });

TEST (RenderRefuses, UnreadableInput)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind the superuser";
    TempFolder dir;
    ASSERT_TRUE (writeWav (dir.file ("in.wav"), testSignal (1, rate, 0.1), rate));
    ASSERT_TRUE (dir.file ("in.wav").setReadOnly (true));
    ::chmod (dir.file ("in.wav").getFullPathName().toRawUTF8(), 0);
    const auto run = runRender (dir.path ("in.wav") + " " + dir.path ("out.wav"));
    EXPECT_EQ (run.exitCode, 1);
    EXPECT_NE (run.err.find ("cannot read"), std::string::npos) << run.err;
    EXPECT_FALSE (dir.file ("out.wav").exists());
}

TEST (RenderOptions, ForceAcceptsOutOfRangeAndOverwriteReplaces)
{
    TempFolder dir;
    ASSERT_TRUE (writeWav (dir.file ("in.wav"), testSignal (1, rate, 0.2), rate));
    ASSERT_TRUE (dir.file ("out.wav").replaceWithText ("old"));
    const auto run = runRender (dir.path ("in.wav") + " " + dir.path ("out.wav") + " --ratio 1.2 --force --overwrite");
    ASSERT_EQ (run.exitCode, 0) << run.err;
    EXPECT_EQ (readAudio (dir.file ("out.wav")).getNumSamples(), static_cast<int> (0.2 * rate));
    EXPECT_NE (run.out.find ("ratio 1.2"), std::string::npos) << run.out;
}

TEST (RenderOptions, ProgressBarOnATerminal)
{
    TempFolder dir;
    ASSERT_TRUE (writeWav (dir.file ("in.wav"), testSignal (2, rate, 0.5), rate));
    // script(1) gives the program a terminal; the bar's last frame reads 100%.
    const auto run = runShell ("script -qec \"'" VRC_RENDER_EXE "' " + dir.path ("in.wav") + " " + dir.path ("tty.wav")
                               + "\" /dev/null");
    ASSERT_EQ (run.exitCode, 0) << run.out << run.err;
    EXPECT_NE (run.out.find ("100%"), std::string::npos) << run.out;
    EXPECT_NE (run.out.find ("gain reduction"), std::string::npos) << run.out;
}

TEST (RenderOptions, HelpListsExactlyTheEightSettingsWithUnitsRangesAndDefaults)
{
    // Each setting is two lines: its option with the unit it takes and what it
    // does, then its range and default, as the panel prints them.
    const std::pair<const char*, const char*> expected[] = {
        { "--threshold dB", "range -40 .. 0 dB, default 0 dB" },
        { "--ratio X", "range 0.5 .. 1, default 0.5" },
        { "--gain dB", "range -20 .. 30 dB, default 0 dB" },
        { "--attack s", "range 0 .. 0.3 s, default 0.05 s" },
        { "--release s", "range 0.01 .. 5 s, default 0.1 s" },
        { "--knee X", "range 0 .. 1, default 0.94" },
        { "--drywet %", "range 0 .. 100 %, default 100 %" },
        { "--curve linear|exp", "default exp" },
    };
    const auto help = runRender ("--help").out;
    const auto start = help.find ('\n', help.find ("\nSettings") + 1) + 1;
    const auto end = help.find ("  --state ", start);
    ASSERT_TRUE (start != 0 && end != std::string::npos) << help;

    std::istringstream block (help.substr (start, end - start));
    std::vector<std::pair<std::string, std::string>> listed;
    for (std::string option, range; std::getline (block, option) && std::getline (block, range);)
    {
        std::istringstream words (option);
        std::string name, unit;
        words >> name >> unit;
        listed.emplace_back (name + " " + unit, range.substr (std::min (range.find_first_not_of (' '), range.size())));
    }
    ASSERT_EQ (listed.size(), std::size (expected)) << help.substr (start, end - start);
    for (size_t i = 0; i < listed.size(); ++i)
    {
        EXPECT_EQ (listed[i].first, expected[i].first);
        EXPECT_EQ (listed[i].second, expected[i].second) << expected[i].first;
    }
}

TEST (RenderOptions, HelpNamesEveryOptionAndVersionAnswers)
{
    const auto help = runRender ("--help");
    ASSERT_EQ (help.exitCode, 0);
    for (const char* option : { "--threshold", "--ratio", "--gain", "--attack", "--release", "--knee", "--drywet",
                                "--curve", "--state", "--save-state", "--force", "--block", "--bits", "--overwrite",
                                "--plot", "--sidechain", "--demo", "-o OUTDIR", "--format", "--quiet", "--font-licence", "--help", "--version" })
        EXPECT_NE (help.out.find (option), std::string::npos) << option;

    const auto version = runRender ("--version");
    EXPECT_EQ (version.exitCode, 0);
    EXPECT_EQ (version.out.rfind ("vrc-render ", 0), 0u) << version.out;
    // The built-in typeface's licence asks for its notice to travel with it.
    EXPECT_NE (runRender ("--font-licence").out.find ("Bitstream Vera"), std::string::npos);
}

} // namespace
} // namespace vrc::test

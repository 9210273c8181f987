// The saved-settings chunk: exact bytes, golden files from earlier builds, and
// every way a damaged or foreign chunk can arrive.
#include "processor/SettingsChunk.h"
#include "processor/VeskCompAudioProcessor.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

using vrc::ParameterId;

namespace
{
using Bytes = std::vector<std::uint8_t>;

vrc::SettingsValues physicalValues (VeskCompAudioProcessor& p)
{
    vrc::SettingsValues v {};
    for (int i = 0; i < vrc::numParameters; ++i)
        v[(size_t) i] = p.parameterFor (i)->getValue();
    return v;
}

Bytes saved (VeskCompAudioProcessor& p)
{
    juce::MemoryBlock block;
    p.getStateInformation (block);
    const auto* b = static_cast<const std::uint8_t*> (block.getData());
    return Bytes (b, b + block.getSize());
}

void restore (VeskCompAudioProcessor& p, const Bytes& chunk)
{
    p.setStateInformation (chunk.data(), static_cast<int> (chunk.size()));
}

Bytes chunkWithText (const std::string& text, std::int64_t declaredLength = -1)
{
    Bytes c { 0x56, 0x43, 0x32, 0x21 };
    const auto l = static_cast<std::uint32_t> (declaredLength < 0 ? static_cast<std::int64_t> (text.size()) : declaredLength);
    for (int shift = 0; shift < 32; shift += 8)
        c.push_back (static_cast<std::uint8_t> (l >> shift));
    c.insert (c.end(), text.begin(), text.end());
    c.push_back (0);
    c.push_back (0);
    return c;
}

Bytes readFile (const std::string& name)
{
    std::ifstream in (std::string (VRC_TEST_DATA_DIR) + "/" + name, std::ios::binary);
    return Bytes (std::istreambuf_iterator<char> (in), {});
}

struct Golden
{
    const char* file;
    vrc::SettingsValues settings; // threshold, ratio, gain, attack, release, knee, dry/wet, curve
};

const Golden goldens[] = {
    { "example.vstchunk", vrc::SettingsValues { -20.0f, 0.75f, 6.0f, 0.01f, 0.5f, 0.5f, 1.0f, 0.0f } },
    { "defaults.vstchunk", vrc::SettingsValues { 0.0f, 0.5f, 0.0f, 0.05f, 0.1f, vrc::defaultKnee, 1.0f, 1.0f } },
    { "out-of-range.vstchunk", vrc::SettingsValues { -60.0f, 1.25f, 45.0f, 0.00001f, 12.0f, 2.0f, -0.5f, 3.0f } },
    { "extremes.vstchunk", vrc::SettingsValues { -1.0e-7f, 0.500000060f, 3.0e38f, 1234567.0f, 0.000123456789f, 1.0e-30f, 100.0f, 0.999999940f } },
};
} // namespace

TEST (SettingsChunkFormat, TheExampleIsByteExact)
{
    const auto chunk = vrc::writeSettingsChunk (goldens[0].settings);
    const std::string text = "<VeskCompSettings gain=\"6\" ratio=\"0.75\" thresold=\"-20\" attack=\"0.00999999978\""
                             " release=\"0.5\" knee=\"0.5\" drywet=\"1\" curve=\"0\"/>";
    ASSERT_EQ (text.size(), 125u);
    EXPECT_EQ (chunk, chunkWithText (text));
    ASSERT_EQ (chunk.size(), 135u);
    EXPECT_EQ (Bytes (chunk.begin(), chunk.begin() + 8), (Bytes { 0x56, 0x43, 0x32, 0x21, 0x7D, 0, 0, 0 }));
    EXPECT_EQ (chunk[133], 0);
    EXPECT_EQ (chunk[134], 0);
}

TEST (SettingsChunkFormat, GoldenFilesStillReadAndWriteTheSameBytes)
{
    const bool update = std::getenv ("VRC_UPDATE_GOLDEN") != nullptr;
    for (const auto& g : goldens)
    {
        const auto written = vrc::writeSettingsChunk (g.settings);
        if (update)
        {
            std::ofstream out (std::string (VRC_TEST_DATA_DIR) + "/" + g.file, std::ios::binary);
            out.write (reinterpret_cast<const char*> (written.data()), static_cast<std::streamsize> (written.size()));
        }
        const auto golden = readFile (g.file);
        ASSERT_FALSE (golden.empty()) << g.file;
        EXPECT_EQ (written, golden) << g.file;

        VeskCompAudioProcessor p;
        restore (p, golden);
        EXPECT_EQ (physicalValues (p), g.settings) << g.file;
        EXPECT_EQ (saved (p), golden) << g.file;
    }
}

TEST (SettingsChunkFormat, OutOfRangeValuesComeBackUnclampedAndTheOutputStaysFinite)
{
    VeskCompAudioProcessor p;
    restore (p, chunkWithText ("<VeskCompSettings gain=\"45\"/>"));
    EXPECT_EQ (p.parameterFor (2)->getValue(), 45.0f);
    EXPECT_FLOAT_EQ (p.getParameter (2), 1.3f);
    EXPECT_NEAR (p.getEngine().getMakeupGain(), 177.8279f, 1e-3);

    // Far outside: the values and their texts stay as restored, the audio of the
    // loudest inputs stays finite and at most +60 dB over them.
    const char* sessions[] = {
        "<VeskCompSettings gain=\"800\"/>",
        "<VeskCompSettings gain=\"1e30\" drywet=\"3e38\" curve=\"0\"/>",
        "<VeskCompSettings ratio=\"1e38\" knee=\"-7\" curve=\"0\"/>",
        "<VeskCompSettings ratio=\"-1e38\" attack=\"-1e-30\" release=\"-3\" thresold=\"3e38\"/>",
    };
    for (const char* text : sessions)
    {
        VeskCompAudioProcessor q;
        q.prepareToPlay (48000.0, 512);
        restore (q, chunkWithText (text));
        juce::AudioBuffer<float> buffer (2, 512);
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < 512; ++i)
                buffer.setSample (ch, i, (i % 2 == 0 ? 1000.0f : -1000.0f) * static_cast<float> (i % 5) / 4.0f);
        juce::MidiBuffer midi;
        q.processBlock (buffer, midi);
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < 512; ++i)
                ASSERT_LE (std::fabs (buffer.getSample (ch, i)), 1.0e6f) << text << " frame " << i;
    }
    VeskCompAudioProcessor q;
    restore (q, chunkWithText (sessions[0]));
    EXPECT_EQ (q.parameterFor (2)->getValue(), 800.0f);
    EXPECT_EQ (q.getParameterText (2), "800.00");
}

TEST (SettingsChunkFormat, ProgramChunksAreTheSame)
{
    VeskCompAudioProcessor p;
    p.setParameter (0, 0.25f);
    juce::MemoryBlock bank, program;
    p.getStateInformation (bank);
    p.getCurrentProgramStateInformation (program);
    EXPECT_EQ (bank, program);

    VeskCompAudioProcessor q;
    q.setCurrentProgramStateInformation (program.getData(), static_cast<int> (program.getSize()));
    EXPECT_EQ (physicalValues (q), physicalValues (p));
}

TEST (SettingsChunkFormat, DecimalCommaLocaleChangesNoByte)
{
    VeskCompAudioProcessor p;
    restore (p, readFile ("out-of-range.vstchunk"));
    const auto inC = saved (p);

    const std::string previous = std::setlocale (LC_ALL, nullptr);
    ASSERT_NE (std::setlocale (LC_ALL, "de_DE.UTF-8"), nullptr) << "scripts/setup.sh generates this locale";
    const auto inGerman = saved (p);
    VeskCompAudioProcessor q;
    restore (q, inGerman);
    const auto restoredValues = physicalValues (q);
    std::setlocale (LC_ALL, previous.c_str());

    EXPECT_EQ (inGerman, inC);
    EXPECT_EQ (restoredValues, physicalValues (p));
}

class SettingsChunkRestore : public ::testing::Test
{
protected:
    void SetUp() override
    {
        p.setParameter (0, 0.25f);
        p.setParameter (7, 0.0f);
        p.prepareToPlay (48000.0, 512);
        before = physicalValues (p);
    }

    // A restore that finds nothing must still refresh the engine. A ratio change
    // alone leaves the release coefficient stale (it keeps the ratio of its last
    // update); only the refresh recomputes it, which makes the refresh visible.
    void expectNothingRestored (const Bytes& chunk, const char* what)
    {
        ratioHigh = ! ratioHigh;
        p.setParameter (1, ratioHigh ? 1.0f : 0.0f);
        const auto expected = physicalValues (p);
        const float staleRelease = p.getEngine().getReleaseCoeff();
        p.setStateInformation (chunk.data(), static_cast<int> (chunk.size()));
        EXPECT_EQ (physicalValues (p), expected) << what;
        EXPECT_NE (p.getEngine().getReleaseCoeff(), staleRelease) << what << ": engine not refreshed";
    }

    bool ratioHigh = false;
    VeskCompAudioProcessor p;
    vrc::SettingsValues before {};
};

TEST_F (SettingsChunkRestore, DamagedOrForeignChunksRestoreNothing)
{
    const std::string good = "<VeskCompSettings gain=\"12\"/>";
    expectNothingRestored ({}, "empty");
    expectNothingRestored ({ 0x56, 0x43, 0x32, 0x21, 1, 0, 0, 0 }, "8 bytes");
    auto otherMagic = chunkWithText (good);
    otherMagic[0] = 0x57;
    expectNothingRestored (otherMagic, "other magic");
    expectNothingRestored (chunkWithText (good, 0), "length 0");
    expectNothingRestored (chunkWithText (good, 0xFFFFFFF0), "negative length");
    expectNothingRestored (chunkWithText ("<OtherPlugin gain=\"12\"/>"), "other root");
    expectNothingRestored (chunkWithText ("<VeskCompSettings gain=\"12\""), "unterminated element");
    expectNothingRestored (chunkWithText ("not xml at all"), "not XML");
    auto cut = chunkWithText (good, 1000);
    cut.resize (8 + 20);
    expectNothingRestored (cut, "length beyond the bytes, cut inside the element");
    expectNothingRestored (chunkWithText ("<VeskCompSettings gain=\"\xff\xfe\"/>"), "not UTF-8");
}

TEST_F (SettingsChunkRestore, LengthBeyondTheBytesStillReadsACompleteText)
{
    auto chunk = chunkWithText ("<VeskCompSettings gain=\"12\"/>", 5000);
    p.setStateInformation (chunk.data(), static_cast<int> (chunk.size()));
    EXPECT_EQ (p.parameterFor (2)->getValue(), 12.0f);
}

TEST_F (SettingsChunkRestore, NamesMatchWithoutRegardToCase)
{
    restore (p, chunkWithText ("<VESKCOMPSETTINGS Gain=\"7\" KNEE=\"0.25\"/>"));
    auto expected = before;
    expected[(size_t) ParameterId::gain] = 7.0f;
    expected[(size_t) ParameterId::knee] = 0.25f;
    EXPECT_EQ (physicalValues (p), expected);
}

TEST_F (SettingsChunkRestore, MissingAttributesKeepTheirValues)
{
    restore (p, chunkWithText ("<VeskCompSettings gain=\"-3\" unknown=\"9\"><child knee=\"1\"/></VeskCompSettings>"));
    auto expected = before;
    expected[(size_t) ParameterId::gain] = -3.0f;
    EXPECT_EQ (physicalValues (p), expected);
}

TEST_F (SettingsChunkRestore, NumbersReadTheirLeadingDigitsOnly)
{
    restore (p, chunkWithText ("<VeskCompSettings knee=\"abc\" gain=\"12abc\" ratio=\" 0.75\" attack=\"1e-3\"/>"));
    EXPECT_EQ (p.parameterFor (5)->getValue(), 0.0f);
    EXPECT_EQ (p.parameterFor (2)->getValue(), 12.0f);
    EXPECT_EQ (p.parameterFor (1)->getValue(), 0.75f);
    EXPECT_EQ (p.parameterFor (3)->getValue(), 0.001f);
}

TEST_F (SettingsChunkRestore, XmlDeclarationIsAccepted)
{
    restore (p, chunkWithText ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n<VeskCompSettings curve=\"1\"/>\n"));
    EXPECT_EQ (p.parameterFor (7)->getValue(), 1.0f);
    EXPECT_EQ (p.getEngine().getCurve(), 1);
}

TEST_F (SettingsChunkRestore, AZeroByteEndsTheText)
{
    auto chunk = chunkWithText (std::string ("<VeskCompSettings gain=\"4\"/>") + '\0' + "garbage<<<");
    restore (p, chunk);
    EXPECT_EQ (p.parameterFor (2)->getValue(), 4.0f);
}

TEST_F (SettingsChunkRestore, AbsurdNumbersNeitherOverflowNorReachTheEngine)
{
    // Exponents far beyond any float: read without overflow, and values that do
    // not fit a float are ignored instead of making the audio infinite.
    restore (p, chunkWithText ("<VeskCompSettings gain=\"3e+5000000000001\" knee=\"1e-999999999999\""
                               " ratio=\"1e39\" attack=\"0.02e0000000000000000001\"/>"));
    EXPECT_EQ (p.parameterFor (2)->getValue(), before[(size_t) ParameterId::gain]);
    EXPECT_EQ (p.parameterFor (1)->getValue(), before[(size_t) ParameterId::ratio]);
    EXPECT_EQ (p.parameterFor (5)->getValue(), 0.0f);
    EXPECT_FLOAT_EQ (p.parameterFor (3)->getValue(), 0.2f);
}

TEST (SettingsChunkFindings, EveryKeptFindingRestoresAndSavesAgain)
{
    // Inputs the fuzzer once found hanging or crashing the restore; a hang here
    // ends in the test's time limit.
    VeskCompAudioProcessor p;
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator (std::string (VRC_TEST_DATA_DIR) + "/findings"))
    {
        std::ifstream in (entry.path(), std::ios::binary);
        const Bytes chunk (std::istreambuf_iterator<char> (in), {});
        p.setStateInformation (chunk.data(), static_cast<int> (chunk.size()));
        const auto again = saved (p);
        for (const auto& value : vrc::readSettingsChunk (again.data(), static_cast<int> (again.size())))
            EXPECT_TRUE (value.has_value()) << entry.path();
        ++replayed;
    }
    EXPECT_GE (replayed, 2);
}

TEST_F (SettingsChunkRestore, DeepNestingAndRepeatedMarkupCostOnePass)
{
    // A recursive reader overflows its stack on deep nesting, and one that searches
    // again from each repeated opener takes quadratic time; the time limit of this
    // test and the sanitizer run catch either.
    auto repeated = [] (const std::string& s, int n)
    {
        std::string out;
        for (int i = 0; i < n; ++i)
            out += s;
        return out;
    };
    const std::string open = "<VeskCompSettings gain=\"3\">";
    struct Case
    {
        std::string text;
        bool restores;
    };
    const Case cases[] = {
        { open + repeated ("<a>", 300000) + repeated ("</a>", 300000) + "</VeskCompSettings>", true },
        { open + repeated ("<a>", 300000) + repeated ("</", 300000), false },
        { open + repeated ("<!--", 300000) + ">", false },
        { open + repeated ("<?", 300000) + ">", false },
        { open + repeated ("&", 300000) + ">", false },
        { open + repeated ("x<?y?>", 200000) + "</VeskCompSettings>", true },
        { repeated ("<!DOCTYPE", 100000) + ">", false },
    };
    for (const auto& c : cases)
    {
        p.setParameter (2, 0.4f);
        const float unchanged = p.parameterFor (2)->getValue();
        restore (p, chunkWithText (c.text));
        EXPECT_EQ (p.parameterFor (2)->getValue(), c.restores ? 3.0f : unchanged) << c.text.substr (0, 60);
    }
}

// Host-visible parameters: defaults, mapping, texts and the engine they drive,
// and the parameter table as their only description.
#include "processor/VeskCompAudioProcessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

namespace
{
float physical (VeskCompAudioProcessor& p, int index)
{
    return p.parameterFor (index)->getValue();
}
} // namespace

TEST (Parameters, NamesInHostOrder)
{
    VeskCompAudioProcessor p;
    const char* names[] = { "Threshold", "Ratio", "Gain", "Attack", "Release", "Knee", "Dry/Wet", "Transfert Curve" };
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ (p.getParameterName (i), names[i]);
    EXPECT_TRUE (p.getParameterName (8).isEmpty());
    EXPECT_TRUE (p.getParameterName (-1).isEmpty());
}

TEST (Parameters, DefaultsAsTheHostSeesThem)
{
    VeskCompAudioProcessor p;
    const float normalised[] = { 0.0f, 0.0f, 0.4f, 0.16666666f, 0.018036073f, vrc::defaultKnee, 1.0f, 1.0f };
    const char* texts[] = { "0.00", "0.50", "0.00", "0.05", "0.10", "0.94", "100.0%", "1.00" };
    for (int i = 0; i < 8; ++i)
    {
        EXPECT_FLOAT_EQ (p.getParameter (i), normalised[i]) << i;
        EXPECT_EQ (p.getParameterText (i), texts[i]) << i;
    }
}

TEST (Parameters, KneeDefaultIsASoftKneeInsideItsRange)
{
    VeskCompAudioProcessor p;
    p.prepareToPlay (48000.0, 512);
    EXPECT_GT (p.getParameter (5), 0.0f);
    EXPECT_LT (p.getParameter (5), 1.0f);
    // Under the default decibel curve the knee is some 12 dB wide.
    EXPECT_NEAR (p.getEngine().getKneeWidth(), 12.1, 0.1);
}

TEST (Parameters, NormalisedValuesMapLinearlyInBothDirections)
{
    VeskCompAudioProcessor p;
    p.setParameter (0, 0.5f);
    EXPECT_EQ (physical (p, 0), -20.0f);
    EXPECT_EQ (p.getParameterText (0), "-20.00");
    p.setParameter (0, 1.0f);
    EXPECT_EQ (physical (p, 0), -40.0f);
    p.setParameter (0, 0.3f);
    EXPECT_EQ (physical (p, 0), -12.0f);
    EXPECT_EQ (p.getParameter (0), 0.3f);

    p.setParameter (2, 0.0f);
    EXPECT_EQ (physical (p, 2), -20.0f);
    p.setParameter (2, 1.0f);
    EXPECT_EQ (physical (p, 2), 30.0f);

    p.setParameter (4, 0.0f);
    EXPECT_EQ (physical (p, 4), 0.00999999978f);
    EXPECT_EQ (p.getParameterText (4), "0.01");

    p.setParameter (6, 0.5f);
    EXPECT_EQ (p.getParameterText (6), "50.0%");
    p.setParameter (6, 0.333f);
    EXPECT_EQ (p.getParameterText (6), "33.3%");

    p.setParameter (0, 0.0001f);
    EXPECT_EQ (p.getParameterText (0), "-0.00");
}

TEST (Parameters, TextForAnotherValueIsTheTextThatValueWouldShow)
{
    VeskCompAudioProcessor asked, set;
    for (int i = 0; i < vrc::numParameters; ++i)
        for (float v : { 0.0f, 0.0001f, 0.25f, 0.333f, 0.5f, 1.0f, 1.3f })
        {
            set.setParameter (i, v);
            EXPECT_EQ (asked.getParameterTextForValue (i, v), set.getParameterText (i)) << i << " at " << v;
            EXPECT_EQ (asked.getParameterText (i), VeskCompAudioProcessor().getParameterText (i)) << "asking changes nothing";
        }
    EXPECT_EQ (asked.getParameterTextForValue (8, 0.5f), "");
}

TEST (Parameters, OutOfRangeValuesAreNotClamped)
{
    VeskCompAudioProcessor p;
    p.setParameter (2, 1.3f);
    EXPECT_FLOAT_EQ (physical (p, 2), 45.0f);
    EXPECT_FLOAT_EQ (p.getParameter (2), 1.3f);
    EXPECT_EQ (p.getParameterText (2), "45.00");
}

TEST (Parameters, RepeatingAChangeGivesTheSameResult)
{
    // The wrapper delivers every editor change twice.
    VeskCompAudioProcessor p;
    p.setParameter (3, 0.37f);
    const float once = physical (p, 3);
    const float coeff = p.getEngine().getAttackCoeff();
    p.setParameter (3, 0.37f);
    EXPECT_EQ (physical (p, 3), once);
    EXPECT_EQ (p.getEngine().getAttackCoeff(), coeff);
}

TEST (Parameters, CurveSelectionNeedsAFullOne)
{
    VeskCompAudioProcessor p;
    p.setParameter (7, 0.7f);
    EXPECT_EQ (p.getParameterText (7), "0.70");
    EXPECT_EQ (p.getEngine().getCurve(), 0);
    p.setParameter (7, 1.0f);
    EXPECT_EQ (p.getEngine().getCurve(), 1);
}

TEST (Parameters, EachChangeReachesOnlyItsEngineSetter)
{
    VeskCompAudioProcessor p;
    p.prepareToPlay (48000.0, 512);
    p.setParameter (0, 0.5f);
    EXPECT_NEAR (p.getEngine().getThresholdGain(), 0.1f, 1e-7);
    p.setParameter (2, 0.52f); // +6 dB
    EXPECT_NEAR (p.getEngine().getMakeupGain(), 1.9952623f, 1e-6);
    p.setParameter (1, 1.0f);
    EXPECT_EQ (p.getEngine().getRatio(), 1.0f);
    p.setParameter (6, 0.25f);
    EXPECT_EQ (p.getEngine().getDryWet(), 0.25f);
    p.setParameter (7, 0.0f);
    p.setParameter (5, 1.0f);
    EXPECT_EQ (p.getEngine().getKneeWidth(), 13.0f);
}

TEST (Parameters, IndicesOutsideTheTableAndValuesThatAreNotFiniteAreHarmless)
{
    VeskCompAudioProcessor p;
    p.prepareToPlay (48000.0, 512);
    juce::MemoryBlock before, after;
    p.getStateInformation (before);
    const float makeup = p.getEngine().getMakeupGain(), width = p.getEngine().getKneeWidth();
    for (int index : { -1, 8, 9, 1000, INT32_MIN })
    {
        p.setParameter (index, 0.5f);
        EXPECT_EQ (p.getParameter (index), 0.0f);
        EXPECT_TRUE (p.getParameterText (index).isEmpty());
        EXPECT_EQ (p.parameterFor (index), nullptr);
    }
    // Not finite, or finite but beyond the float range once mapped: ignored, so
    // neither the engine nor a saved session ever holds inf or NaN.
    for (int index = 0; index < vrc::numParameters; ++index)
        for (float bad : { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                           -std::numeric_limits<float>::infinity() })
            p.setParameter (index, bad);
    p.setParameter (2, 1.0e38f); // 50 dB of span times 1e38
    p.getStateInformation (after);
    EXPECT_EQ (before, after);
    EXPECT_EQ (p.getEngine().getMakeupGain(), makeup);
    EXPECT_EQ (p.getEngine().getKneeWidth(), width);
}

namespace
{
/** A source file's text without its comments (a string holding "//" may lose its
    tail, which can only hide a copy, never invent one). */
std::string codeOf (const std::filesystem::path& file)
{
    std::ifstream in (file, std::ios::binary);
    std::stringstream whole;
    whole << in.rdbuf();
    const auto text = whole.str();
    std::string code;
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text.compare (i, 2, "//") == 0)
            i = std::min (text.find ('\n', i), text.size()) - 1;
        else if (text.compare (i, 2, "/*") == 0)
            i = std::min (text.find ("*/", i + 2), text.size() - 2) + 1;
        else
            code += text[i];
    }
    return code;
}
} // namespace

TEST (Parameters, FrozenNamesAndLabelsAreWrittenInTheTableAlone)
{
    // A second copy of these strings in the product (a format, a tool, the
    // artwork) could drift from the table unseen; every consumer reads the table.
    const char* names[] = { "VeskCompSettings", "thresold", "drywet", "dry_wet", "Dry/Wet", "Transfert Curve",
                            "dry/wet", "linear", "exp", "--threshold", "--ratio", "--gain", "--attack", "--release",
                            "--knee", "--drywet", "--curve", "THRESHOLD", "RATIO", "GAIN", "ATTACK", "RELEASE",
                            "KNEE", "SUM", "CURVE" };
    const std::filesystem::path root (VRC_TEST_DATA_DIR "/../..");
    const auto table = std::filesystem::canonical (root / "source/processor/Parameters.h");
    int scanned = 0;
    for (const char* folder : { "source", "tools", "bench" })
        for (const auto& entry : std::filesystem::recursive_directory_iterator (root / folder))
        {
            const auto extension = entry.path().extension();
            if (! entry.is_regular_file() || (extension != ".cpp" && extension != ".h")
                || std::filesystem::canonical (entry.path()) == table)
                continue;
            ++scanned;
            const auto code = codeOf (entry.path());
            for (const char* name : names)
                EXPECT_EQ (code.find ('"' + std::string (name) + '"'), std::string::npos)
                    << entry.path().lexically_relative (root) << " spells \"" << name << "\" itself";
        }
    EXPECT_GT (scanned, 50);
}

namespace
{
/** A number as the README writes it: shortest form, with a true minus sign. */
std::string readmeNumber (float v)
{
    char text[32];
    std::snprintf (text, sizeof text, "%g", static_cast<double> (v));
    std::string s (text);
    return s[0] == '-' ? "\u2212" + s.substr (1) : s;
}
} // namespace

TEST (Parameters, TheReadmesTablesDescribeEachParameterAsHostsAndThePanelShowIt)
{
    // The README's identities table is what users and session tools go by; an
    // edit of the parameter table that leaves it behind fails here.
    std::ifstream in (VRC_TEST_DATA_DIR "/../../README.md");
    std::stringstream text;
    text << in.rdbuf();
    const auto readme = text.str();
    ASSERT_FALSE (readme.empty()) << "README.md not found";
    const char* units[] = { "", " dB", " s", " %" };
    for (const auto& p : vrc::parameterTable)
    {
        const auto i = std::to_string (static_cast<int> (p.id));
        std::string row = "| " + i + " | " + p.name + " | " + i + " | " + i + ", `" + p.symbol + "`: ";
        if (p.enumeration)
            row += std::string ("a switch, 0 \"") + vrc::curveLabels[0] + "\" or 1 \"" + vrc::curveLabels[1] + "\"";
        else
            row += readmeNumber (p.lowest() * p.displayScale) + "\u2026" + readmeNumber (p.highest() * p.displayScale)
                   + units[static_cast<int> (p.unit)] + (p.logarithmic ? ", logarithmic" : "");
        EXPECT_NE (readme.find (row + " |"), std::string::npos) << "README.md should hold the row:\n" << row << " |";
        // The controls table names each by its panel label.
        EXPECT_NE (readme.find (std::string ("\n| ") + p.label + " | "), std::string::npos) << p.label;
    }
}

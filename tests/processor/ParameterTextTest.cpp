// Number texts: fixed decimals for the host's display and "%.9g" for saved
// settings, both independent of the process locale.
#include "processor/ParameterText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

using vrc::formatFixed;
using vrc::formatShortest9;

TEST (FixedDecimalText, RoundsHalvesAwayFromZero)
{
    EXPECT_EQ (formatFixed (0.125, 2), "0.13"); // printf would print 0.12
    EXPECT_EQ (formatFixed (-0.125, 2), "-0.13");
    EXPECT_EQ (formatFixed (99.95, 1), "100.0");
    EXPECT_EQ (formatFixed (-12.5, 2), "-12.50");
    EXPECT_EQ (formatFixed (0.05, 2), "0.05");
}

TEST (FixedDecimalText, SmallNegativesKeepTheirSign)
{
    EXPECT_EQ (formatFixed (-0.004, 2), "-0.00");
    EXPECT_EQ (formatFixed (0.0, 2), "0.00");
    EXPECT_EQ (formatFixed (0.004, 2), "0.00");
}

TEST (FixedDecimalText, HugeValuesFallBackToExponentForm)
{
    EXPECT_EQ (formatFixed (1e20, 2), "1e+020");
    EXPECT_EQ (formatFixed (-3.5e25, 1), "-3.5e+025");
    EXPECT_EQ (formatFixed (99999999999999.0, 2), "99999999999999.00");
}

TEST (FixedDecimalText, ValuesBeyondA64BitIntegerShowTheirExactDigits)
{
    // Restored settings may hold any float. From |n| x 10^d >= 2^63 the integer part
    // no longer fits 64 bits; the text must still be the value's digits up to 1e20.
    struct Case
    {
        float value;
        int decimals;
        const char* text;
    };
    const Case cases[] = {
        { 92233718306963456.0f, 2, "92233718306963456.00" }, // last float below 2^63 / 100
        { 92233726896898048.0f, 2, "92233726896898048.00" }, // first float above it
        { 1e17f, 2, "99999998430674944.00" },
        { -3e18f, 2, "-2999999884200771584.00" },
        { 99999993207994712064.0f, 2, "99999993207994712064.00" }, // last float below 1e20
        { -99999993207994712064.0f, 2, "-99999993207994712064.00" },
        { 1e20f, 2, "1.00000002e+020" },
        { 9999999980506447872.0f, 1, "9999999980506447872.0" },
    };
    for (const auto& c : cases)
        EXPECT_EQ (formatFixed (static_cast<double> (c.value), c.decimals), c.text) << c.value;
}

TEST (ShortestText, NineSignificantDigitsOfTheWidenedFloat)
{
    EXPECT_EQ (formatShortest9 (0.0), "0");
    EXPECT_EQ (formatShortest9 (0.5), "0.5");
    EXPECT_EQ (formatShortest9 (-40.0), "-40");
    EXPECT_EQ (formatShortest9 (static_cast<double> (0.05f)), "0.0500000007");
    EXPECT_EQ (formatShortest9 (static_cast<double> (0.1f)), "0.100000001");
    EXPECT_EQ (formatShortest9 (static_cast<double> (0.01f)), "0.00999999978");
    EXPECT_EQ (formatShortest9 (static_cast<double> (0.00001f)), "9.99999975e-006");
    EXPECT_EQ (formatShortest9 (123456789.0), "123456789");
    EXPECT_EQ (formatShortest9 (1234567890.0), "1.23456789e+009");
    EXPECT_EQ (formatShortest9 (1e10), "1e+010");
    EXPECT_EQ (formatShortest9 (0.0001), "0.0001");
    EXPECT_EQ (formatShortest9 (static_cast<double> (3.0e38f)), "3.00000001e+038");
}

TEST (ShortestText, AgreesWithTheCLibraryApartFromTheExponentWidth)
{
    // Away from exponents, the C library's "%.9g" in the C locale is the reference.
    for (double v : { 1.0, -2.5, 0.333333343, 45.0, 199.899994, 0.00999999978, 12345.6789 })
    {
        char expected[64];
        std::snprintf (expected, sizeof expected, "%.9g", v);
        EXPECT_EQ (formatShortest9 (v), expected);
    }
}

TEST (ShortestText, IgnoresADecimalCommaLocale)
{
    const char* previous = std::setlocale (LC_ALL, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    bool switched = false;
    for (const char* name : { "de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8" })
        if (std::setlocale (LC_ALL, name) != nullptr)
        {
            switched = true;
            break;
        }
    ASSERT_TRUE (switched) << "no locale with a decimal comma is installed (scripts/setup.sh generates de_DE.UTF-8)";

    char probe[16];
    std::snprintf (probe, sizeof probe, "%.1f", 0.5);
    EXPECT_STREQ (probe, "0,5"); // the locale really is active

    EXPECT_EQ (formatShortest9 (static_cast<double> (0.05f)), "0.0500000007");
    EXPECT_EQ (formatShortest9 (static_cast<double> (0.00001f)), "9.99999975e-006");
    EXPECT_EQ (formatFixed (-12.5, 2), "-12.50");
    std::setlocale (LC_ALL, saved.c_str());
}

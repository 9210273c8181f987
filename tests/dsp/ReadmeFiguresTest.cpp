// The figures the README gives for the curves and the detector, computed here
// from the engine's own code: each must appear in the README word for word, so
// a change to the signal path that moves one cannot leave the text behind. On a
// failure the message shows the text the README should now hold.
#include "EngineHelpers.h"
#include "Signals.h"
#include "TransferCurves.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace
{
constexpr float threshold = -20.0f;
using vrc::defaultKnee;

std::string readme()
{
    std::ifstream in (VRC_TEST_DATA_DIR "/../../README.md");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

template <typename... Values>
std::string format (const char* pattern, Values... values)
{
    char text[200];
    std::snprintf (text, sizeof (text), pattern, static_cast<double> (values)...);
    // The README writes negative numbers with a true minus sign.
    std::string s (text);
    for (auto at = s.find ('-'); at != std::string::npos; at = s.find ('-', at))
        s.replace (at, 1, "\u2212");
    return s;
}

void expectInReadme (const std::string& text)
{
    static const auto readmeText = readme();
    ASSERT_FALSE (readmeText.empty()) << "README.md not found";
    EXPECT_NE (readmeText.find (text), std::string::npos) << "README.md should contain:\n" << text;
}

float kneeWidthDb (float knob)
{
    // The engine's mapping of the knob to the exp curve's nominal width.
    vrc::CompressorEngine e;
    e.setCurve (1.0f);
    e.setKnee (knob);
    return e.getKneeWidth();
}

/** A signal through a fresh engine (mono, 48 kHz), processed in place. */
void run (std::vector<float>& signal, float curve, float ratio, float attack, float knob = defaultKnee)
{
    vrc::test::EngineSettings s;
    s.threshold = threshold;
    s.ratio = ratio;
    s.attack = attack;
    s.knee = knob;
    s.curve = curve;
    vrc::CompressorEngine e;
    vrc::test::configure (e, 48000.0f, s);
    float* channel[] = { signal.data() };
    e.process (channel, 1, (int) signal.size());
}

double db (double amplitude)
{
    return 20.0 * std::log10 (amplitude);
}

/** Printed as 0.0 rather than -0.0 when it rounds to zero. */
double shown (double v)
{
    return std::fabs (v) < 0.05 ? 0.0 : v;
}

// Where the exp curve (its designed shape, in exact decibels) departs from its two
// straight lines, unity below the threshold and the ratio above, by more than 0.05 dB.
TEST (ReadmeFigures, KneeWidths)
{
    for (const float knob : { 0.5f, 0.75f, 0.8f, 0.9f, defaultKnee, 0.97f })
    {
        vrc::CurveSettings s;
        s.thresholdDb = threshold;
        s.ratio = 0.5f;
        s.kneeWidth = kneeWidthDb (knob);
        const vrc::DecibelCurve curve (s);
        double low = 1.0e9, high = -1.0e9;
        for (int i = -20000; i <= 20000; ++i)
        {
            const float x = threshold + (float) i * 0.01f;
            const float straight = x < threshold ? x : threshold + (1.0f - s.ratio) * (x - threshold);
            if (std::fabs (curve.shape (x) - straight) > 0.05f)
            {
                low = std::min<double> (low, x - threshold);
                high = std::max<double> (high, x - threshold);
            }
        }
        expectInReadme (format ("| %.2g | %.0f dB | %.1f dB | %.1f to +%.1f dB | %.2f dB |", knob, s.kneeWidth, high - low,
                                low, high, threshold - curve.shape (threshold)));
    }
}

// A steady level 20 dB over the threshold, settled: where each curve puts it.
TEST (ReadmeFigures, RatioOnBothCurves)
{
    for (const float ratio : { 0.5f, 0.75f, 1.0f })
    {
        double over[2] {};
        for (int curve = 0; curve < 2; ++curve)
        {
            std::vector<float> level (48000, 1.0f); // 0 dBFS: 20 dB over
            run (level, (float) curve, ratio, 0.0f);
            over[curve] = db (level.back()) - threshold;
        }
        expectInReadme (format ("| %.2g | %.1f dB over | %.1f dB over |", ratio, shown (over[1]), shown (over[0])));
    }
}

// The detector follows peaks with its attack time: a steady 1 kHz sine 20 dB over
// the threshold at ratio 1 keeps its peaks above the threshold by this much.
TEST (ReadmeFigures, AttackLetsPeaksThrough)
{
    std::string text = "| peaks over the threshold |";
    for (const float attack : { 0.0f, 0.01f, 0.05f })
    {
        auto sine = vrc::test::tone (1, 3 * 48000, 1.0f, 1000.0, 48000.0)[0];
        run (sine, 1.0f, 1.0f, attack);
        float peak = 0.0f;
        for (size_t i = sine.size() - 24000; i < sine.size(); ++i)
            peak = std::max (peak, std::fabs (sine[i]));
        text += format (" %.1f dB |", std::max (0.0, db (peak) - threshold));
    }
    expectInReadme (text);
}

// Far below the threshold (from -80 dBFS to the start of the default knee) the exp
// curve turns the level down a little: its logistic floor plus the error of the fast
// logarithm it uses, which ripples with the level.
TEST (ReadmeFigures, ExpCurveFloor)
{
    double least = 1.0e9, most = 0.0;
    for (const float t : { 0.0f, -20.0f, -40.0f })
    {
        vrc::CurveSettings s;
        s.thresholdDb = t;
        s.ratio = 0.5f;
        s.kneeWidth = kneeWidthDb (defaultKnee);
        const vrc::DecibelCurve curve (s);
        for (float x = -80.0f; x < t - s.kneeWidth / 3.0f; x += 0.05f)
        {
            const double down = -db (curve.gain (std::pow (10.0f, x / 20.0f))) + 0.0;
            least = std::min (least, down);
            most = std::max (most, down);
        }
    }
    expectInReadme (format ("by %.2f to %.2f dB", least, most));
}

} // namespace

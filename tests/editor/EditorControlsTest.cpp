// The editor's controls: where they sit, how they are set up, which filmstrip
// frame and switch picture they show for a parameter value, and what they tell
// the host when the user or the host moves them.
#include "EditorTestSupport.h"

using namespace vrctest;

namespace
{
struct KnobSetup
{
    Child child;
    int parameter;
    juce::Rectangle<int> bounds;
    int frameSize;
    double skew;
};

const KnobSetup knobSetups[] = {
    { threshold, 0, { 497, 36, 80, 80 }, 80, 1.0 },
    { ratio, 1, { 147, 19, 64, 64 }, 64, 1.0 },
    { gain, 2, { 265, 19, 64, 64 }, 64, 1.0 },
    { attack, 3, { 147, 113, 64, 64 }, 64, 0.3 },
    { release, 4, { 265, 113, 64, 64 }, 64, 0.2 },
    { knee, 5, { 384, 113, 64, 64 }, 64, 1.0 },
    { dryWet, 6, { 384, 19, 64, 64 }, 64, 2.0 },
};

juce::Image stripFor (int frameSize)
{
    return frameSize == 80 ? embedded (BinaryData::knobStrip80_png, BinaryData::knobStrip80_pngSize)
                           : embedded (BinaryData::knobStrip64_png, BinaryData::knobStrip64_pngSize);
}

juce::Image switchImage (bool on)
{
    return on ? embedded (BinaryData::curveSwitchOn_png, BinaryData::curveSwitchOn_pngSize)
              : embedded (BinaryData::curveSwitchOff_png, BinaryData::curveSwitchOff_pngSize);
}

double differenceFromImage (const juce::Image& shown, const juce::Image& expected)
{
    if (shown.getBounds() != expected.getBounds())
        return 1.0e9;
    const juce::Image::BitmapData s (shown, juce::Image::BitmapData::readOnly);
    const juce::Image::BitmapData e (expected, juce::Image::BitmapData::readOnly);
    return meanDifference (s, e, 0);
}
} // namespace

using EditorControls = EditorFixture;

TEST_F (EditorControls, LayoutStylesAndLinks)
{
    EXPECT_EQ (editor.getWidth(), 800);
    EXPECT_EQ (editor.getHeight(), 200);
    ASSERT_EQ (editor.getNumChildComponents(), static_cast<int> (childCount));

    for (const auto& k : knobSetups)
    {
        SCOPED_TRACE (k.parameter);
        auto& s = knob (k.child);
        EXPECT_EQ (s.getBounds(), k.bounds);
        EXPECT_EQ (s.getSliderStyle(), juce::Slider::RotaryVerticalDrag);
        EXPECT_EQ (s.getTextBoxPosition(), juce::Slider::NoTextBox);
        EXPECT_TRUE (s.isTextBoxEditable());
        EXPECT_EQ (s.getTextBoxWidth(), 0);
        EXPECT_EQ (s.getTextBoxHeight(), 0);
        EXPECT_EQ (s.getMinimum(), 0.0);
        EXPECT_EQ (s.getMaximum(), 1.0);
        EXPECT_EQ (s.getInterval(), 0.0);
        EXPECT_DOUBLE_EQ (s.getSkewFactor(), k.skew);
        EXPECT_TRUE (s.isVisible());

        auto* look = dynamic_cast<VeskLookSlider*> (&s.getLookAndFeel());
        ASSERT_NE (look, nullptr);
        EXPECT_EQ (look->getFrameSize(), k.frameSize);
    }

    auto* link = dynamic_cast<juce::HyperlinkButton*> (editor.getChildComponent (webLink));
    ASSERT_NE (link, nullptr);
    EXPECT_EQ (link->getBounds(), juce::Rectangle<int> (30, 10, 62, 70));
    EXPECT_TRUE (link->getButtonText().isEmpty());
    EXPECT_TRUE (link->getURL().toString (false).startsWith ("https://"));
    EXPECT_TRUE (link->isVisible());

    auto& sw = curveButton();
    EXPECT_EQ (sw.getName(), "bouton");
    EXPECT_EQ (sw.getBounds(), juce::Rectangle<int> (538, 145, 29, 45));
    EXPECT_TRUE (sw.getClickingTogglesState());
    EXPECT_TRUE (sw.isVisible());
}

TEST_F (EditorControls, BeforeTheFirstTickKnobsRestAtZeroAndTheSwitchIsOff)
{
    // The processor's defaults put most knobs elsewhere, and the curve defaults
    // to on: this only holds because nothing has been copied in yet.
    for (const auto& k : knobSetups)
    {
        SCOPED_TRACE (k.parameter);
        const auto m = closestFrame (render (knob (k.child)), stripFor (k.frameSize), k.frameSize);
        EXPECT_EQ (m.frame, 216);
        EXPECT_LT (m.difference, 0.5);
    }
    EXPECT_FALSE (curveButton().getToggleState());
    EXPECT_LT (differenceFromImage (render (curveButton()), switchImage (false)), 0.5);
}

TEST_F (EditorControls, KnobsShowTheFrameForTheirSkewedPosition)
{
    struct Case
    {
        Child child;
        int parameter;
        float value;
        int frameSize;
        int frame;
    };
    const Case cases[] = {
        { attack, 3, 0.5f, 64, 89 },     // 0.5^0.3
        { release, 4, 0.5f, 64, 106 },   // 0.5^0.2
        { dryWet, 6, 0.5f, 64, 288 },    // 0.5^2
        { ratio, 1, 0.5f, 64, 0 },       // unskewed: straight up
        { threshold, 0, 0.5f, 80, 0 },   // the big knob's strip
        { knee, 5, 1.0f, 64, 144 },      // the clockwise end
        { gain, 2, 0.75f, 64, 71 },
    };

    for (const auto& c : cases)
        processor.setParameter (c.parameter, c.value);
    tick();

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.parameter);
        const auto m = closestFrame (render (knob (c.child)), stripFor (c.frameSize), c.frameSize);
        EXPECT_EQ (m.frame, c.frame);
        EXPECT_LT (m.difference, 0.5);
    }
}

TEST_F (EditorControls, SwitchFollowsTheCurveParameterAtHalfWay)
{
    HostLog log;
    processor.addListener (&log);

    processor.setParameter (7, 0.5f);
    tick();
    EXPECT_TRUE (curveButton().getToggleState());
    EXPECT_LT (differenceFromImage (render (curveButton()), switchImage (true)), 0.5);

    processor.setParameter (7, 0.49f);
    tick();
    EXPECT_FALSE (curveButton().getToggleState());
    EXPECT_LT (differenceFromImage (render (curveButton()), switchImage (false)), 0.5);

    // Showing the host's value must not send it back.
    EXPECT_TRUE (log.valuesFor (7).empty());
    processor.removeListener (&log);
}

TEST_F (EditorControls, ClickingTheSwitchSendsOneThenZero)
{
    HostLog log;
    processor.addListener (&log);
    processor.setParameter (7, 0.0f);
    tick();

    curveButton().triggerClick();
    pumpMessages (100);
    EXPECT_TRUE (curveButton().getToggleState());
    EXPECT_EQ (processor.getParameter (7), 1.0f);
    EXPECT_LT (differenceFromImage (render (curveButton()), switchImage (true)), 0.5);

    curveButton().triggerClick();
    pumpMessages (100);
    EXPECT_FALSE (curveButton().getToggleState());
    EXPECT_EQ (processor.getParameter (7), 0.0f);

    // The timer runs during the pumps; showing the switch must not echo it.
    EXPECT_EQ (log.valuesFor (7), (std::vector<float> { 1.0f, 0.0f }));
    processor.removeListener (&log);
}

TEST_F (EditorControls, EachKnobSendsItsOwnParameterToTheHost)
{
    HostLog log;
    processor.addListener (&log);

    // A drag ends in setValue with a synchronous notification, as this does.
    for (const auto& k : knobSetups)
    {
        const float v = 0.1f * static_cast<float> (k.parameter + 1);
        knob (k.child).setValue (v, juce::sendNotificationSync);
        ASSERT_EQ (log.changes.size(), 1u) << k.parameter;
        EXPECT_EQ (log.changes.front().first, k.parameter);
        EXPECT_FLOAT_EQ (log.changes.front().second, v);
        EXPECT_NEAR (processor.getParameter (k.parameter), v, 1.0e-6f);
        log.changes.clear();
    }
    processor.removeListener (&log);
}

TEST_F (EditorControls, HostChangeIsEchoedOnceAfterTheNextTick)
{
    tick(); // the first copy echoes every parameter that is not at 0
    pumpMessages (50);

    HostLog log;
    processor.addListener (&log);
    processor.setParameter (0, 0.25f); // the host's own call: no notification
    EXPECT_TRUE (log.changes.empty());

    pumpMessages (250); // several real timer ticks and the async deliveries
    EXPECT_EQ (knob (threshold).getValue(), 0.25);
    EXPECT_EQ (log.valuesFor (0), (std::vector<float> { 0.25f }));
    EXPECT_EQ (log.changes.size(), 1u);
    processor.removeListener (&log);
}

TEST_F (EditorControls, OutOfRangeValueIsShownAtTheEndAndWrittenBackClamped)
{
    tick();
    pumpMessages (50);

    HostLog log;
    processor.addListener (&log);
    processor.setParameter (0, 15.0f);
    tick();
    pumpMessages (100);

    EXPECT_EQ (knob (threshold).getValue(), 1.0);
    EXPECT_EQ (log.valuesFor (0), (std::vector<float> { 1.0f }));
    EXPECT_EQ (processor.getParameter (0), 1.0f);
    processor.removeListener (&log);
}

// The processor's fixed answers to the host and its state right after creation.
#include "processor/VeskCompAudioProcessor.h"

#include <gtest/gtest.h>

TEST (ProcessorAnswers, IdentityAndStructure)
{
    VeskCompAudioProcessor p;
    EXPECT_EQ (p.getName(), "VR-C");
    EXPECT_EQ (p.getInputChannelName (0), "1");
    EXPECT_EQ (p.getOutputChannelName (1), "2");
    EXPECT_FALSE (p.isInputChannelStereoPair (0));
    EXPECT_FALSE (p.isOutputChannelStereoPair (0));
    EXPECT_FALSE (p.acceptsMidi());
    EXPECT_FALSE (p.producesMidi());
    EXPECT_TRUE (p.hasEditor());
    EXPECT_EQ (p.getNumParameters(), 8);
    EXPECT_EQ (p.getTailLengthSeconds(), 0.0);
}

TEST (ProcessorAnswers, ProgramsAreAbsentAndInert)
{
    VeskCompAudioProcessor p;
    EXPECT_EQ (p.getNumPrograms(), 0);
    EXPECT_EQ (p.getCurrentProgram(), 0);
    EXPECT_TRUE (p.getProgramName (3).isEmpty());
    juce::MemoryBlock before, after;
    p.getStateInformation (before);
    p.setCurrentProgram (2);
    p.changeProgramName (0, "mine");
    p.getStateInformation (after);
    EXPECT_EQ (before, after);
    EXPECT_TRUE (p.getProgramName (0).isEmpty());
}

TEST (ProcessorAnswers, LayoutsAreMonoOrStereoOnBothSides)
{
    VeskCompAudioProcessor p;
    using Set = juce::AudioChannelSet;
    auto layout = [] (Set in, Set out)
    {
        juce::AudioProcessor::BusesLayout l;
        l.inputBuses.add (in);
        l.outputBuses.add (out);
        return l;
    };
    EXPECT_TRUE (p.checkBusesLayoutSupported (layout (Set::mono(), Set::mono())));
    EXPECT_TRUE (p.checkBusesLayoutSupported (layout (Set::stereo(), Set::stereo())));
    EXPECT_FALSE (p.checkBusesLayoutSupported (layout (Set::mono(), Set::stereo())));
    EXPECT_FALSE (p.checkBusesLayoutSupported (layout (Set::create5point1(), Set::create5point1())));
}

TEST (ProcessorAnswers, MeterReadingsStartAtMinusTwenty)
{
    VeskCompAudioProcessor p;
    EXPECT_EQ (p.getInputMeterDb(), -20.0f);
    EXPECT_EQ (p.getGainMeterDb(), -20.0f);
}

TEST (ProcessorAnswers, PrepareSizesTheMeterWindows)
{
    VeskCompAudioProcessor p;
    p.prepareToPlay (48000.0, 512);
    EXPECT_EQ (p.getEngine().getInputMeter().getLength(), 4800);
    EXPECT_EQ (p.getEngine().getGainMeter().getLength(), 4800);
    p.prepareToPlay (44100.0, 512);
    EXPECT_EQ (p.getEngine().getInputMeter().getLength(), 4410);
    EXPECT_EQ (p.getEngine().getSampleRate(), 44100.0f);
}

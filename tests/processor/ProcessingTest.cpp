// Audio through the processor: the same result as the engine run directly,
// curve choice per block, untouched MIDI, surplus outputs cleared, meters published.
#include "processor/SettingsChunk.h"
#include "processor/VeskCompAudioProcessor.h"

#include "EngineHelpers.h"
#include "ProcessorBlocks.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
using vrc::test::processInBlocks;

juce::AudioBuffer<float> testSignal (int channels, int samples)
{
    return vrc::test::toBuffer (vrc::test::programme (channels, samples));
}

// Accepts two inputs and four outputs, a layout a host could ask for.
class WideOutputProcessor : public VeskCompAudioProcessor
{
public:
    bool isBusesLayoutSupported (const BusesLayout& layouts) const override
    {
        return layouts.getMainInputChannels() == 2 && layouts.getMainOutputChannels() == 4;
    }
};
} // namespace

TEST (Processing, MatchesTheEngineRunDirectlyAlsoAfterAChangeMidStream)
{
    for (float curve : { 0.0f, 1.0f })
    {
        VeskCompAudioProcessor p;
        p.setParameter (0, 0.5f);  // -20 dB
        p.setParameter (1, 0.5f);  // ratio 0.75
        p.setParameter (2, 0.52f); // +6 dB
        p.setParameter (3, 0.1f);
        p.setParameter (7, curve);
        p.prepareToPlay (48000.0, 512);

        vrc::SettingsValues s;
        for (int i = 0; i < vrc::numParameters; ++i)
            s[(size_t) i] = p.parameterFor (i)->getValue();

        // The threshold moves to -32 dB after 47 blocks. The threshold does not move
        // the detector, so from there on the audio is that of an engine that had the
        // new threshold from the start.
        constexpr int changeAt = 47 * 512;
        auto viaProcessor = testSignal (2, 48000);
        juce::AudioBuffer<float> before (viaProcessor.getArrayOfWritePointers(), 2, 0, changeAt);
        juce::AudioBuffer<float> after (viaProcessor.getArrayOfWritePointers(), 2, changeAt, 48000 - changeAt);
        processInBlocks (p, before, 512);
        p.setParameter (0, 0.8f);
        processInBlocks (p, after, 512);

        auto direct = testSignal (2, 48000);
        vrc::CompressorEngine reference;
        vrc::test::configure (reference, 48000.0f, s);
        reference.process (direct.getArrayOfWritePointers(), 2, direct.getNumSamples());

        auto changed = testSignal (2, 48000);
        s[0] = p.parameterFor (0)->getValue();
        vrc::CompressorEngine changedReference;
        vrc::test::configure (changedReference, 48000.0f, s);
        changedReference.process (changed.getArrayOfWritePointers(), 2, changed.getNumSamples());

        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < direct.getNumSamples(); ++i)
                ASSERT_EQ (viaProcessor.getSample (ch, i), (i < changeAt ? direct : changed).getSample (ch, i))
                    << "curve " << curve << " sample " << i;
        EXPECT_NE (direct.getSample (0, 40000), changed.getSample (0, 40000)) << "the change is audible";
    }
}

TEST (Processing, BlockSizeDoesNotChangeTheAudio)
{
    auto render = [] (int blockSize)
    {
        VeskCompAudioProcessor p;
        p.setParameter (0, 0.6f);
        p.prepareToPlay (48000.0, blockSize);
        auto buffer = testSignal (2, 20000);
        processInBlocks (p, buffer, blockSize);
        return buffer;
    };
    const auto reference = render (512);
    for (int blockSize : { 1, 37, 4096 })
    {
        const auto other = render (blockSize);
        for (int i = 0; i < reference.getNumSamples(); ++i)
            ASSERT_EQ (other.getSample (1, i), reference.getSample (1, i)) << blockSize;
    }
}

TEST (Processing, CurveIsChosenFromTheParameter)
{
    VeskCompAudioProcessor p;
    p.setParameter (0, 0.5f);
    p.prepareToPlay (48000.0, 512);
    p.setParameter (7, 0.0f);
    EXPECT_EQ (p.getEngine().getCurve(), 0);
    auto linear = testSignal (2, 4800);
    processInBlocks (p, linear, 512);

    VeskCompAudioProcessor q;
    q.setParameter (0, 0.5f);
    q.prepareToPlay (48000.0, 512);
    auto decibel = testSignal (2, 4800);
    processInBlocks (q, decibel, 512);
    EXPECT_NE (linear.getSample (0, 4000), decibel.getSample (0, 4000));
}

TEST (Processing, MidiIsLeftAsItIs)
{
    VeskCompAudioProcessor p;
    p.prepareToPlay (48000.0, 64);
    juce::AudioBuffer<float> buffer (2, 64);
    buffer.clear();
    juce::MidiBuffer midi;
    midi.addEvent (juce::MidiMessage::noteOn (1, 60, 0.5f), 3);
    midi.addEvent (juce::MidiMessage::controllerEvent (2, 7, 100), 10);
    const auto copy = midi;
    p.processBlock (buffer, midi);
    ASSERT_EQ (midi.getNumEvents(), copy.getNumEvents());
    auto a = midi.begin();
    for (const auto event : copy)
    {
        EXPECT_EQ ((*a).samplePosition, event.samplePosition);
        EXPECT_EQ ((*a).getMessage().getDescription(), event.getMessage().getDescription());
        ++a;
    }
}

TEST (Processing, OutputsWithoutAnInputAreCleared)
{
    WideOutputProcessor p;
    ASSERT_TRUE (p.setChannelLayoutOfBus (false, 0, juce::AudioChannelSet::discreteChannels (4)));
    ASSERT_EQ (p.getTotalNumInputChannels(), 2);
    ASSERT_EQ (p.getTotalNumOutputChannels(), 4);
    p.prepareToPlay (48000.0, 256);
    juce::AudioBuffer<float> buffer (4, 256);
    for (int ch = 0; ch < 4; ++ch)
        juce::FloatVectorOperations::fill (buffer.getWritePointer (ch), 0.3f, 256);
    juce::MidiBuffer midi;
    p.processBlock (buffer, midi);
    EXPECT_NE (buffer.getMagnitude (0, 0, 256), 0.0f);
    EXPECT_EQ (buffer.getMagnitude (2, 0, 256), 0.0f);
    EXPECT_EQ (buffer.getMagnitude (3, 0, 256), 0.0f);
}

TEST (Processing, TimerPublishesMeterReadings)
{
    VeskCompAudioProcessor p;
    p.prepareToPlay (48000.0, 512);
    juce::AudioBuffer<float> buffer (2, 4800);
    for (int ch = 0; ch < 2; ++ch)
        juce::FloatVectorOperations::fill (buffer.getWritePointer (ch), 0.5f, 4800);
    juce::MidiBuffer midi;
    p.processBlock (buffer, midi);
    EXPECT_EQ (p.getInputMeterDb(), -20.0f); // nothing published before a tick

    // The first tick comes 41 ms on; a busy machine may delay it, so the loop
    // waits for it (up to 10 s) rather than for a fixed time.
    for (int waited = 0; waited < 10000 && p.getInputMeterDb() == -20.0f; waited += 20)
        juce::MessageManager::getInstance()->runDispatchLoopUntil (20);
    EXPECT_NEAR (p.getInputMeterDb(), -6.0206, 1e-3);
    // -6 dB lies below the default knee: only the level detector's approximation
    // error is left, a few hundredths of a dB.
    EXPECT_LT (p.getGainMeterDb(), 0.0f);
    EXPECT_GT (p.getGainMeterDb(), -0.1f);
}

TEST (Processing, RestoreRefreshesTheEngineInDependencyOrder)
{
    VeskCompAudioProcessor p;
    p.prepareToPlay (48000.0, 512); // engine now has ratio 0.5 and curve 1

    vrc::SettingsValues v {};
    v[(size_t) vrc::ParameterId::threshold] = -10.0f;
    v[(size_t) vrc::ParameterId::ratio] = 1.0f;
    v[(size_t) vrc::ParameterId::gain] = 0.0f;
    v[(size_t) vrc::ParameterId::attack] = 0.01f;
    v[(size_t) vrc::ParameterId::release] = 0.01f;
    v[(size_t) vrc::ParameterId::knee] = 1.0f;
    v[(size_t) vrc::ParameterId::dryWet] = 1.0f;
    v[(size_t) vrc::ParameterId::curve] = 0.0f;
    const auto chunk = vrc::writeSettingsChunk (v);
    p.setStateInformation (chunk.data(), static_cast<int> (chunk.size()));

    // The release must see the restored ratio (55 ms), the knee the restored curve.
    EXPECT_NEAR (p.getEngine().getReleaseCoeff(), std::exp (-1.0 / (0.055 * 48000.0)), 2e-7);
    EXPECT_EQ (p.getEngine().getKneeWidth(), 13.0f);
}

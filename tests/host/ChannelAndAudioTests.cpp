// Channel configurations, pin properties and the audio itself: what the host
// gets back from processReplacing must be exactly what the compressor engine
// makes of the same input with the same settings.
#include "HostTest.h"

#include "EngineHelpers.h"
#include "Signals.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace vsthost
{
namespace
{
using ChannelTest = HostTest;
using AudioTest = HostTest;

SpeakerArrangement arrangement (int32_t type, int32_t channels)
{
    SpeakerArrangement a {};
    a.type = type;
    a.numChannels = channels;
    return a;
}

IntPtr setArrangement (const PluginInstance& plugin, int32_t inType, int32_t inChannels, int32_t outType, int32_t outChannels)
{
    auto in = arrangement (inType, inChannels);
    auto out = arrangement (outType, outChannels);
    return plugin.dispatch (effSetSpeakerArrangement, 0, reinterpret_cast<IntPtr> (&in), &out);
}

struct PinResult
{
    IntPtr result;
    Guarded<sizeof (PinProperties)> raw;
    const PinProperties& pin() const { return *reinterpret_cast<const PinProperties*> (raw.data); }
    bool reservedUntouched() const
    {
        for (auto c : pin().future)
            if (static_cast<unsigned char> (c) != raw.fillByte)
                return false;
        return raw.guardsIntact();
    }
};

PinResult pinProperties (const PluginInstance& plugin, bool input, int32_t index)
{
    PinResult r;
    r.result = plugin.dispatch (input ? effGetInputProperties : effGetOutputProperties, index, 0, r.raw.data);
    return r;
}

TEST_F (ChannelTest, PinsBeforeAnyArrangementAreActiveMonoPinsNamedByNumber)
{
    PluginInstance plugin;
    for (bool input : { true, false })
    {
        for (int32_t index : { 0, 1 })
        {
            const auto r = pinProperties (plugin, input, index);
            EXPECT_EQ (r.result, 1);
            EXPECT_STREQ (r.pin().label, index == 0 ? "1" : "2");
            EXPECT_STREQ (r.pin().shortLabel, index == 0 ? "1" : "2");
            EXPECT_EQ (r.pin().flags, pin::isActive);
            EXPECT_EQ (r.pin().arrangementType, 0);
            EXPECT_TRUE (r.reservedUntouched()) << "pin properties written past their fields";
        }

        for (int32_t index : { 2, 7, -1 })
        {
            const auto r = pinProperties (plugin, input, index);
            EXPECT_EQ (r.result, 0);
            EXPECT_EQ (r.pin().flags, static_cast<int32_t> (0x5A5A5A5A)) << "untouched for a missing pin";
        }
    }
    EXPECT_EQ (plugin.dispatch (effGetInputProperties, 0, 0, nullptr), 0);
}

TEST_F (ChannelTest, AcceptedArrangementsChangePinsAndChannelCount)
{
    PluginInstance plugin;
    EXPECT_EQ (setArrangement (plugin, speakerArr::stereo, 2, speakerArr::stereo, 2), 1);
    auto r = pinProperties (plugin, true, 0);
    EXPECT_EQ (r.pin().flags, pin::useSpeaker);
    EXPECT_EQ (r.pin().arrangementType, speakerArr::stereo);
    EXPECT_STREQ (r.pin().label, "1");

    EXPECT_EQ (setArrangement (plugin, speakerArr::mono, 1, speakerArr::mono, 1), 1);
    r = pinProperties (plugin, false, 0);
    EXPECT_EQ (r.pin().flags, pin::useSpeaker);
    EXPECT_EQ (r.pin().arrangementType, speakerArr::mono);

    // Accepted by channel count: the host's own type for the same count is reported back.
    EXPECT_EQ (setArrangement (plugin, speakerArr::userDefined, 2, speakerArr::stereo, 2), 1);
    EXPECT_EQ (pinProperties (plugin, true, 1).pin().arrangementType, speakerArr::userDefined);
    EXPECT_EQ (pinProperties (plugin, false, 1).pin().arrangementType, speakerArr::stereo);
}

TEST_F (ChannelTest, OtherArrangementsAreRefusedAndChangeNothing)
{
    PluginInstance plugin;
    EXPECT_EQ (setArrangement (plugin, speakerArr::mono, 1, speakerArr::stereo, 2), 0);
    EXPECT_EQ (setArrangement (plugin, speakerArr::stereo, 2, speakerArr::mono, 1), 0);
    EXPECT_EQ (setArrangement (plugin, speakerArr::surround51, 6, speakerArr::surround51, 6), 0);
    EXPECT_EQ (setArrangement (plugin, speakerArr::stereo, 0, speakerArr::stereo, 0), 0);
    EXPECT_EQ (setArrangement (plugin, speakerArr::stereo, -2, speakerArr::stereo, -2), 0);
    EXPECT_EQ (plugin.dispatch (effSetSpeakerArrangement, 0, 0, nullptr), 0);

    EXPECT_EQ (plugin.effect()->numInputs, 2);
    EXPECT_EQ (plugin.effect()->numOutputs, 2);
    EXPECT_EQ (pinProperties (plugin, true, 0).pin().flags, pin::isActive);
}

TEST_F (ChannelTest, SpeakerArrangementIsNotReported)
{
    PluginInstance plugin;
    SpeakerArrangement dummy {};
    SpeakerArrangement* in = &dummy;
    SpeakerArrangement* out = &dummy;
    EXPECT_EQ (plugin.dispatch (effGetSpeakerArrangement, 0, reinterpret_cast<IntPtr> (&in), &out), 0);
    EXPECT_EQ (in, nullptr);
    EXPECT_EQ (out, nullptr);
}

//==============================================================================
/** The engine set up the way the plug-in sets it up at resume: every parameter
    at its default unless the host set it (given here as the host's normalised value). */
struct ReferenceEngine
{
    ReferenceEngine (float sampleRate, std::map<int, float> hostValuesIn) : hostValues (std::move (hostValuesIn))
    {
        prepare (sampleRate);
    }

    /** What a resume does: the rate, then every setting again. */
    void prepare (float sampleRate) { vrc::test::configure (engine, sampleRate, vrc::test::fromNormalised (hostValues)); }

    /** A host's change while playing: that one setting. */
    void set (int index, float normalised)
    {
        hostValues[index] = normalised;
        vrc::applySetting (engine, static_cast<vrc::ParameterId> (index), vrc::test::fromNormalised (hostValues)[(size_t) index]);
    }

    std::map<int, float> hostValues;
    vrc::CompressorEngine engine;
};

/** A few seconds' worth of programme-like material: tones with a changing level. */
std::vector<std::vector<float>> testSignal (int channels, int samples)
{
    return vrc::test::programme (channels, samples);
}

/** How the host lays out its buffers: separate outputs, outputs over the inputs,
    each output over the other channel's input, or only the left output over the
    right input. */
enum class Buffers
{
    separate,
    inPlace,
    crossed,
    leftOverRight
};

/** Runs the signal through the plug-in block by block, as a host does. */
std::vector<std::vector<float>> throughPlugin (const PluginInstance& plugin, const std::vector<std::vector<float>>& input,
                                                 int blockSize, Buffers buffers, int changeAfterBlocks = -1,
                                                 int changeIndex = 0, float changeValue = 0.0f)
{
    const auto channels = input.size();
    const int samples = static_cast<int> (input[0].size());
    std::vector<std::vector<float>> output (channels, std::vector<float> ((size_t) samples));

    int block = 0;
    for (int start = 0; start < samples; start += blockSize, ++block)
    {
        if (block == changeAfterBlocks)
            plugin.setParameter (changeIndex, changeValue);

        const int n = std::min (blockSize, samples - start);
        // Heap tables of exactly the announced size: reading past them is caught by the sanitizer.
        std::vector<std::vector<float>> in (channels), out (channels);
        std::vector<float*> inPtr (channels), outPtr (channels);
        for (size_t ch = 0; ch < channels; ++ch)
        {
            in[ch].assign (input[ch].begin() + start, input[ch].begin() + start + n);
            out[ch].assign ((size_t) n, 7.0f);
        }
        for (size_t ch = 0; ch < channels; ++ch)
        {
            inPtr[ch] = in[ch].data();
            outPtr[ch] = buffers == Buffers::inPlace                                     ? in[ch].data()
                         : buffers == Buffers::crossed                                   ? in[channels - 1 - ch].data()
                         : buffers == Buffers::leftOverRight && ch == 0 && channels == 2 ? in[1].data()
                                                                                         : out[ch].data();
        }
        plugin.effect()->processReplacing (plugin.effect(), inPtr.data(), outPtr.data(), n);
        for (size_t ch = 0; ch < channels; ++ch)
            std::copy (outPtr[ch], outPtr[ch] + n, output[ch].begin() + start);
    }
    return output;
}

std::vector<std::vector<float>> throughEngine (ReferenceEngine& ref, std::vector<std::vector<float>> signal, int blockSize)
{
    vrc::test::processInBlocks (ref.engine, signal, blockSize);
    return signal;
}

TEST_F (AudioTest, StereoOutputEqualsTheEngineIncludingAHostChangeMidStream)
{
    const std::map<int, float> settings { { 0, 0.6f }, { 1, 0.7f }, { 2, 0.55f }, { 3, 0.02f },
                                          { 4, 0.1f }, { 5, 0.3f }, { 6, 0.8f }, { 7, 0.0f } };
    PluginInstance plugin;
    for (const auto& [index, value] : settings)
        plugin.setParameter (index, value);
    plugin.resume (48000.0f, 512);

    const auto input = testSignal (2, 48000);
    const auto output = throughPlugin (plugin, input, 512, Buffers::separate, 40, 1, 0.95f);

    // Before the change: the engine with the first settings. After it: an engine
    // given the new ratio before its first block, which has followed the same
    // envelope (the ratio does not move the detector), so the change must sound
    // exactly as if it had been there from the start.
    ReferenceEngine before (48000.0f, settings), after (48000.0f, settings);
    after.set (1, 0.95f);
    auto expected = throughEngine (before, input, 512);
    const auto changed = throughEngine (after, input, 512);
    for (size_t ch = 0; ch < 2; ++ch)
        std::copy (changed[ch].begin() + 40 * 512, changed[ch].end(), expected[ch].begin() + 40 * 512);
    EXPECT_EQ (output, expected);
    EXPECT_NE (changed, throughEngine (before, input, 512)) << "the change is audible";
    EXPECT_NE (output, input) << "the settings compress audibly";
}

TEST_F (AudioTest, EveryHostWriteReachesTheEngineEvenWhenTheValueIsUnchanged)
{
    // The release coefficient takes the ratio at the time of the release write, so
    // re-sending the same release after a ratio change must recompute it.
    const std::pair<int, float> writes[] = { { 1, 1.0f }, { 4, 0.5f }, { 1, 0.0f }, { 4, 0.5f } };
    PluginInstance plugin;
    plugin.resume (48000.0f, 512);
    ReferenceEngine ref (48000.0f, {});
    RecordingHost::instance().clear();
    for (const auto& [index, value] : writes)
    {
        plugin.setParameter (index, value);
        ref.set (index, value);
    }
    EXPECT_TRUE (RecordingHost::instance().calls().empty()) << "a host's own write is never reported back";

    const auto input = testSignal (2, 96000);
    EXPECT_EQ (throughPlugin (plugin, input, 512, Buffers::separate), throughEngine (ref, input, 512));
}

TEST_F (AudioTest, InPlaceOrCrossedBuffersAndTheDecibelCurveGiveTheEngineOutput)
{
    // Every block, the first (which the framework's wrapper runs) and the later ones.
    for (const auto buffers : { Buffers::inPlace, Buffers::crossed, Buffers::leftOverRight })
    {
        PluginInstance plugin;
        plugin.setParameter (0, 0.5f);
        plugin.resume (44100.0f, 256);

        const auto input = testSignal (2, 20000);
        const auto output = throughPlugin (plugin, input, 256, buffers);

        ReferenceEngine ref (44100.0f, { { 0, 0.5f } });
        EXPECT_EQ (output, throughEngine (ref, input, 256)) << "buffer layout " << static_cast<int> (buffers);
    }
}

TEST_F (AudioTest, MonoArrangementProcessesOneChannel)
{
    PluginInstance plugin;
    ASSERT_EQ (setArrangement (plugin, speakerArr::mono, 1, speakerArr::mono, 1), 1);
    plugin.setParameter (0, 0.7f);
    plugin.resume (44100.0f, 300);

    const auto input = testSignal (1, 9000);
    const auto output = throughPlugin (plugin, input, 300, Buffers::separate);

    ReferenceEngine ref (44100.0f, { { 0, 0.7f } });
    EXPECT_EQ (output, throughEngine (ref, input, 300));

    // Back to stereo: the next blocks carry two channels again.
    ASSERT_EQ (setArrangement (plugin, speakerArr::stereo, 2, speakerArr::stereo, 2), 1);
    plugin.dispatch (effMainsChanged, 0, 0);
    plugin.dispatch (effMainsChanged, 0, 1);
    const auto stereoIn = testSignal (2, 3000);
    const auto stereoOut = throughPlugin (plugin, stereoIn, 300, Buffers::separate);
    EXPECT_NE (stereoOut[1], std::vector<float> (3000, 7.0f)) << "second output channel left unwritten";
}

TEST_F (AudioTest, ANonPositiveOrNonFiniteSampleRateMeansFortyFourPointOneKilohertz)
{
    for (float rate : { 0.0f, -48000.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity() })
    {
        PluginInstance plugin;
        plugin.setParameter (3, 0.01f);
        plugin.setParameter (4, 0.02f);
        plugin.resume (rate, 512);

        const auto input = testSignal (2, 8192);
        ReferenceEngine ref (44100.0f, { { 3, 0.01f }, { 4, 0.02f } });
        EXPECT_EQ (throughPlugin (plugin, input, 512, Buffers::separate), throughEngine (ref, input, 512)) << rate;
    }
}

TEST_F (AudioTest, ARateChangedWhileRunningTakesEffectFromTheNextBlockAsAtAResume)
{
    // Some hosts prepare at one rate, then send the file's rate without suspending.
    const std::map<int, float> settings { { 0, 0.6f }, { 1, 0.8f }, { 3, 0.05f }, { 4, 0.02f } };
    const auto input = testSignal (2, 48000);
    const int blocksBefore = 20, blockSize = 512;
    const auto firstPart = [&] (const std::vector<std::vector<float>>& s, bool head)
    {
        std::vector<std::vector<float>> part;
        for (const auto& ch : s)
            part.emplace_back (head ? ch.begin() : ch.begin() + blocksBefore * blockSize,
                               head ? ch.begin() + blocksBefore * blockSize : ch.end());
        return part;
    };

    PluginInstance plugin;
    for (const auto& [index, value] : settings)
        plugin.setParameter (index, value);
    plugin.resume (44100.0f, blockSize);
    const auto output = throughPlugin (plugin, firstPart (input, true), blockSize, Buffers::separate);
    plugin.dispatch (effSetSampleRate, 0, 0, nullptr, 48000.0f);
    const auto rest = throughPlugin (plugin, firstPart (input, false), blockSize, Buffers::inPlace);

    ReferenceEngine ref (44100.0f, settings), stale (44100.0f, settings);
    EXPECT_EQ (output, throughEngine (ref, firstPart (input, true), blockSize));
    throughEngine (stale, firstPart (input, true), blockSize);
    ref.prepare (48000.0f);
    const auto expectedRest = throughEngine (ref, firstPart (input, false), blockSize);
    EXPECT_EQ (rest, expectedRest) << "the new rate from the next block on, envelope carried over";
    EXPECT_NE (expectedRest, throughEngine (stale, firstPart (input, false), blockSize)) << "the rate is audible";

    // The usual way, suspend, rate, resume, gives the same audio.
    PluginInstance usual;
    for (const auto& [index, value] : settings)
        usual.setParameter (index, value);
    usual.resume (44100.0f, blockSize);
    throughPlugin (usual, firstPart (input, true), blockSize, Buffers::separate);
    usual.dispatch (effMainsChanged, 0, 0);
    usual.resume (48000.0f, blockSize);
    EXPECT_EQ (throughPlugin (usual, firstPart (input, false), blockSize, Buffers::separate), expectedRest);
}

TEST_F (AudioTest, ResumeAsksTheProcessLevelAndNoTransport)
{
    PluginInstance plugin;
    plugin.resume (44100.0f, 128);
    throughPlugin (plugin, testSignal (2, 1024), 128, Buffers::separate);
    EXPECT_FALSE (hostCalls (audioMasterGetCurrentProcessLevel).empty());
    for (const auto& call : hostCalls (audioMasterGetCurrentProcessLevel))
        EXPECT_EQ (call.effect, plugin.effect()) << "host calls must carry the descriptor the host holds";
    // audioMasterGetTime is checked for every test by the fixture.
}
TEST_F (AudioTest, CarelessHostBuffersAndBlockSizesNeitherCrashNorOverrun)
{
    // Blocks longer than announced while the outputs share one buffer (the wrapper's
    // scratch path), a block size the framework cannot allocate from, a missing
    // input: each is answered with finite audio and no write outside the buffers.
    for (const IntPtr announced : { IntPtr (64), IntPtr (-1), IntPtr (0) })
    {
        PluginInstance plugin;
        plugin.dispatch (effSetSampleRate, 0, 0, nullptr, 48000.0f);
        plugin.dispatch (effSetBlockSize, 0, announced);
        plugin.dispatch (effMainsChanged, 0, 1);

        const auto input = testSignal (2, 1000);
        std::vector<float> in0 (input[0]), in1 (input[1]), shared (1000, 7.0f);
        float* inputs[] = { in0.data(), in1.data() };
        float* sharedOutputs[] = { shared.data(), shared.data() };
        for (int block = 0; block < 3; ++block)
            plugin.effect()->processReplacing (plugin.effect(), inputs, sharedOutputs, 1000);
        EXPECT_TRUE (std::all_of (shared.begin(), shared.end(), [] (float x) { return std::isfinite (x); })) << announced;

        std::vector<float> out0 (1000, 7.0f), out1 (1000, 7.0f);
        float* missingInput[] = { in0.data(), nullptr };
        float* outputs[] = { out0.data(), out1.data() };
        plugin.effect()->processReplacing (plugin.effect(), missingInput, outputs, 1000);
        EXPECT_EQ (out1, std::vector<float> (1000, 0.0f)) << "a block without its input comes out silent";
    }
}

} // namespace
} // namespace vsthost

// VR-C.clap as a CLAP host meets it: the factory and its descriptors, the ports,
// the parameters and their texts, audio equal to the engine's bit for bit
// (events at their frames, the key on the side-chain port), and the state, which
// moves between instances and to and from the VST2 build, and refuses hostile
// streams without touching the settings.
#include "ClapTestHost.h"
#include "CompressorEngine.h"
#include "EngineHelpers.h"
#include "Signals.h"
#include "TestHost.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <cstring>
#include <fstream>
#include <iterator>

namespace clapHost
{
namespace
{
constexpr const char* stereoId = "com.veskara.vr-c";
constexpr const char* monoId = "com.veskara.vr-c.mono";
constexpr const char* sidechainId = "com.veskara.vr-c.sidechain";

std::vector<std::string> featuresOf (const PluginDescriptor& d)
{
    std::vector<std::string> f;
    for (auto* p = d.features; p != nullptr && *p != nullptr; ++p)
        f.emplace_back (*p);
    return f;
}

/** A 997 Hz sine at 48 kHz of the given peak. */
Channels tone (int channels, int frames, float peak)
{
    return vrc::test::tone (channels, frames, peak, 997.0, 48000.0);
}

TEST (ClapFactory, OffersTheThreePluginsWithStableIdsAndAudioPorts)
{
    ASSERT_EQ (entry().clapVersion.major, 1u);
    EXPECT_EQ (entry().getFactory ("clap.preset-discovery-factory/2"), nullptr);
    const auto& f = factory();
    ASSERT_EQ (f.getPluginCount (&f), 3u);
    EXPECT_EQ (f.getPluginDescriptor (&f, 3), nullptr);
    struct Expected
    {
        const char* id;
        const char* name;
        std::vector<std::string> features;
        std::uint32_t inputs, outputs, keyChannels;
    };
    const Expected table[] = {
        { stereoId, "VR-C", { "audio-effect", "compressor", "stereo" }, 2, 2, 0 },
        { monoId, "VR-C Mono", { "audio-effect", "compressor", "mono" }, 1, 1, 0 },
        { sidechainId, "VR-C Sidechain", { "audio-effect", "compressor", "stereo" }, 2, 2, 2 },
    };
    for (std::uint32_t i = 0; i < 3; ++i)
    {
        const auto& e = table[i];
        SCOPED_TRACE (e.id);
        const auto* d = f.getPluginDescriptor (&f, i);
        ASSERT_NE (d, nullptr);
        EXPECT_STREQ (d->id, e.id);
        EXPECT_STREQ (d->name, e.name);
        EXPECT_STREQ (d->vendor, "veskara");
        EXPECT_STREQ (d->version, VRC_EXPECTED_VERSION);
        EXPECT_EQ (d->clapVersion.major, 1u);
        EXPECT_EQ (featuresOf (*d), e.features);

        TestHost host (e.id);
        const auto* ports = host.extension<PluginAudioPorts> (extAudioPorts);
        ASSERT_NE (ports, nullptr);
        ASSERT_EQ (ports->count (&host.plugin(), true), e.keyChannels > 0 ? 2u : 1u);
        ASSERT_EQ (ports->count (&host.plugin(), false), 1u);
        AudioPortInfo in {}, out {}, key {};
        ASSERT_TRUE (ports->get (&host.plugin(), 0, true, &in));
        ASSERT_TRUE (ports->get (&host.plugin(), 0, false, &out));
        EXPECT_EQ (in.channelCount, e.inputs);
        EXPECT_EQ (out.channelCount, e.outputs);
        EXPECT_EQ (in.flags & audioPortIsMain, audioPortIsMain);
        EXPECT_STREQ (in.portType, e.inputs == 1 ? "mono" : "stereo");
        EXPECT_FALSE (ports->get (&host.plugin(), 2, true, &key));
        if (e.keyChannels > 0)
        {
            ASSERT_TRUE (ports->get (&host.plugin(), 1, true, &key));
            EXPECT_EQ (key.channelCount, e.keyChannels);
            EXPECT_EQ (key.flags & audioPortIsMain, 0u) << "the key is not a main port";
        }
        const auto* latency = host.extension<PluginLatency> (extLatency);
        const auto* tail = host.extension<PluginTail> (extTail);
        ASSERT_TRUE (latency != nullptr && tail != nullptr);
        EXPECT_EQ (latency->get (&host.plugin()), 0u);
        EXPECT_EQ (tail->get (&host.plugin()), 0u);
    }
    const Host host { version, nullptr, "h", "", "", "1", [] (const Host*, const char*) -> const void* { return nullptr; },
                      nullptr, nullptr, nullptr };
    EXPECT_EQ (f.createPlugin (&f, &host, "com.veskara.vr-c.surround"), nullptr);
}

TEST (ClapParams, DescribeTheEightParametersInDisplayUnits)
{
    TestHost host (stereoId);
    const auto* params = host.extension<PluginParams> (extParams);
    ASSERT_NE (params, nullptr);
    ASSERT_EQ (params->count (&host.plugin()), 8u);
    struct Expected
    {
        const char* name;
        double min, max, def;
        bool enumeration;
    };
    const Expected table[] = {
        { "Threshold", -40, 0, 0, false },   { "Ratio", 0.5, 1, 0.5, false },
        { "Gain", -20, 30, 0, false },       { "Attack", 0, 0.3f, 0.05f, false },
        { "Release", 0.01f, 5, 0.1f, false }, { "Knee", 0, 1, 0.94f, false },
        { "Dry/Wet", 0, 100, 100, false },   { "Transfert Curve", 0, 1, 1, true },
    };
    for (std::uint32_t i = 0; i < 8; ++i)
    {
        SCOPED_TRACE (table[i].name);
        ParamInfo info {};
        ASSERT_TRUE (params->getInfo (&host.plugin(), i, &info));
        EXPECT_EQ (info.id, i);
        EXPECT_STREQ (info.name, table[i].name);
        EXPECT_EQ (info.minValue, table[i].min);
        EXPECT_EQ (info.maxValue, table[i].max);
        EXPECT_EQ (info.defaultValue, table[i].def);
        EXPECT_EQ (host.value (i), table[i].def) << "a new instance is at its defaults";
        EXPECT_EQ ((info.flags & paramIsStepped) != 0, table[i].enumeration);
        EXPECT_EQ ((info.flags & paramIsEnum) != 0, table[i].enumeration);
        EXPECT_NE (info.flags & paramIsAutomatable, 0u);
    }
    ParamInfo info {};
    EXPECT_FALSE (params->getInfo (&host.plugin(), 8, &info));
}

TEST (ClapParams, TextsAreThePluginsOwnAndReadBack)
{
    TestHost host (stereoId);
    const auto* params = host.extension<PluginParams> (extParams);
    const auto text = [&] (Id id, double v)
    {
        char buffer[64];
        std::memset (buffer, 'x', sizeof buffer);
        return params->valueToText (&host.plugin(), id, v, buffer, sizeof buffer) ? std::string (buffer) : "<refused>";
    };
    const auto parse = [&] (Id id, const char* t)
    {
        double v = -999.0;
        return params->textToValue (&host.plugin(), id, t, &v) ? v : -999.0;
    };
    struct Row
    {
        Id id;
        double value;
        const char* text;
    };
    const Row texts[] = { { 0, -20.0, "-20.00" }, { 2, 6.5, "6.50" },     { 4, 0.1, "0.10" },       { 6, 50.0, "50.0%" },
                          { 6, 12.34, "12.3%" },  { 7, 0.0, "linear" }, { 7, 1.0, "exp" },        { 5, 0.25, "0.25" } };
    for (const auto& r : texts)
        EXPECT_EQ (text (r.id, r.value), r.text) << "parameter " << r.id;
    EXPECT_EQ (text (0, std::nan ("")), "<refused>");
    EXPECT_EQ (text (8, 0.0), "<refused>");
    char small[4];
    ASSERT_TRUE (params->valueToText (&host.plugin(), 0, -20.0, small, sizeof small));
    EXPECT_STREQ (small, "-20") << "cut to the host's buffer, terminated";

    const std::pair<Row, bool> reads[] = {
        { { 0, -20.0, "-20.00" }, true }, { { 0, -6.0, "-6 dB" }, true },   { { 6, 50.0, "50.0%" }, true },
        { { 6, 50.0, " 50 %" }, true },   { { 7, 1.0, "exp" }, true },       { { 7, 0.0, "Linear" }, true },
        { { 0, 0.0, "60" }, true },       { { 4, 0.01f, "0" }, true },        { { 0, 0.0, "loud" }, false },
        { { 0, 0.0, "-6 s" }, false },    { { 2, 0.0, "nan" }, false },      { { 2, 0.0, "inf" }, false },
    };
    for (const auto& [r, accepted] : reads)
        EXPECT_EQ (parse (r.id, r.text), accepted ? r.value : -999.0) << '"' << r.text << '"';
    // Every default's text reads back to a value with the same text.
    for (Id id = 0; id < 8; ++id)
    {
        const auto shown = text (id, host.value (id));
        EXPECT_EQ (text (id, parse (id, shown.c_str())), shown) << "parameter " << id;
    }
}

TEST (ClapParams, FlushSetsValuesAndRefusesWhatIsNotFinite)
{
    TestHost host (stereoId);
    host.flush ({ { 0, 0, -12.0 }, { 0, 6, 25.0 }, { 0, 7, 0.0 }, { 0, 4, 1.5 } });
    EXPECT_EQ (host.value (0), -12.0);
    EXPECT_EQ (host.value (6), 25.0);
    EXPECT_EQ (host.value (7), 0.0);
    EXPECT_EQ (host.value (4), static_cast<double> (1.5f));
    // Not finite: nothing changes. Out of range: the nearest end.
    host.flush ({ { 0, 0, std::nan ("") }, { 0, 2, INFINITY }, { 0, 6, -INFINITY }, { 0, 4, 99.0 }, { 0, 3, -1.0 } });
    EXPECT_EQ (host.value (0), -12.0);
    EXPECT_EQ (host.value (2), 0.0);
    EXPECT_EQ (host.value (6), 25.0);
    EXPECT_EQ (host.value (4), 5.0);
    EXPECT_EQ (host.value (3), 0.0);
}

/** What the engine itself makes of the block, with the settings the plug-in
    reports, changed at the given frames as the events say. */
Channels engineReference (const std::vector<double>& values, Channels block, const std::vector<ParamChange>& changes = {},
                          const Channels* key = nullptr)
{
    const auto physical = [] (Id id, double v) { return static_cast<float> (id == 6 ? v / 100.0 : v); };
    vrc::SettingsValues s;
    for (Id id = 0; id < 8; ++id)
        s[id] = physical (id, values[id]);
    vrc::CompressorEngine engine;
    vrc::test::configure (engine, 48000.0f, s);
    std::uint32_t done = 0;
    const auto run = [&] (std::uint32_t end)
    {
        std::vector<float*> channels;
        std::vector<const float*> keys;
        for (auto& c : block)
            channels.push_back (c.data() + done);
        if (key != nullptr)
            for (auto& k : *key)
                keys.push_back (k.data() + done);
        engine.process (channels.data(), static_cast<int> (channels.size()), static_cast<int> (end - done), nullptr,
                        { keys.data(), static_cast<int> (keys.size()) });
        done = end;
    };
    for (const auto& c : changes)
    {
        run (c.frame);
        vrc::applySetting (engine, static_cast<vrc::ParameterId> (c.id), physical (c.id, c.value));
    }
    run (static_cast<std::uint32_t> (block[0].size()));
    return block;
}

TEST (ClapProcess, AudioIsTheEnginesBitForBitWithEventsAtTheirFrames)
{
    for (const char* id : { stereoId, monoId })
    {
        SCOPED_TRACE (id);
        TestHost host (id);
        const int channels = std::strcmp (id, monoId) == 0 ? 1 : 2;
        host.flush ({ { 0, 0, -24.0 }, { 0, 1, 0.75 }, { 0, 2, 3.0 }, { 0, 3, 0.01 }, { 0, 6, 80.0 } });
        ASSERT_TRUE (host.activate());
        const auto values = host.values();
        const auto input = tone (channels, 1000, 0.5f);
        std::int32_t status = -1;
        EXPECT_EQ (host.process (input, {}, nullptr, &status), engineReference (values, input));
        EXPECT_EQ (status, processContinue);

        // Events inside the next block take effect at their frames, not at its start.
        const std::vector<ParamChange> changes = { { 300, 0, -6.0 }, { 700, 7, 0.0 }, { 700, 6, 100.0 } };
        TestHost fresh (id);
        fresh.flush ({ { 0, 0, -24.0 }, { 0, 1, 0.75 }, { 0, 2, 3.0 }, { 0, 3, 0.01 }, { 0, 6, 80.0 } });
        ASSERT_TRUE (fresh.activate());
        EXPECT_EQ (fresh.process (input, changes), engineReference (values, input, changes));
        EXPECT_EQ (fresh.value (0), -6.0);
    }
}

TEST (ClapProcess, TheKeyPortDucksTheInputThroughTheDetectorOnly)
{
    TestHost host (sidechainId);
    host.flush ({ { 0, 0, -30.0 }, { 0, 1, 1.0 }, { 0, 3, 0.001 } });
    ASSERT_TRUE (host.activate());
    const auto values = host.values();
    const auto input = tone (2, 4800, 0.05f);
    auto key = tone (2, 4800, 0.0f);
    for (int i = 2400; i < 4800; ++i)
        key[0][(std::size_t) i] = key[1][(std::size_t) i] = 0.9f;
    const auto output = host.process (input, {}, &key);
    EXPECT_EQ (output, engineReference (values, input, {}, &key));
    const auto rms = [] (const std::vector<float>& c, int from, int to)
    {
        double sum = 0.0;
        for (int i = from; i < to; ++i)
            sum += static_cast<double> (c[(std::size_t) i]) * c[(std::size_t) i];
        return std::sqrt (sum / (to - from));
    };
    // A quiet key leaves the quiet input as it is; the loud key pulls it down.
    EXPECT_NEAR (rms (output[0], 0, 2400), rms (input[0], 0, 2400), 1e-6);
    EXPECT_LT (rms (output[0], 3600, 4800), 0.5 * rms (input[0], 3600, 4800));
}

TEST (ClapProcess, AudioRunsBesideTheMainThreadsQueriesAndStateLoads)
{
    // As a host runs them: blocks with automation on the audio thread, while the
    // main thread reads values and texts, saves and loads. (ThreadSanitizer,
    // scripts/tsan.sh, reports any race between the two.)
    TestHost host (sidechainId);
    ASSERT_TRUE (host.activate());
    const auto saved = host.save();
    ASSERT_TRUE (saved.has_value());
    std::atomic<bool> stop { false };
    std::atomic<int> blocks { 0 }, unfinished { 0 };
    std::thread audio ([&]
    {
        const auto input = tone (2, 256, 0.5f);
        const auto key = tone (2, 256, 0.9f);
        for (int i = 0; ! stop.load() || i < 50; ++i)
        {
            const auto out = host.process (input, { { 100, 0, -30.0 + i % 20 }, { 200, 7, double (i % 2) } }, &key);
            for (const auto& c : out)
                for (const float v : c)
                    unfinished += std::isfinite (v) ? 0 : 1;
            ++blocks;
        }
    });
    const auto* params = host.extension<PluginParams> (extParams);
    for (int i = 0; i < 100; ++i)
    {
        double v = 0.0;
        char text[32];
        params->getValue (&host.plugin(), static_cast<Id> (i % 8), &v);
        params->valueToText (&host.plugin(), static_cast<Id> (i % 8), v, text, sizeof text);
        EXPECT_TRUE (host.save().has_value());
        EXPECT_TRUE (host.load (*saved, 64));
    }
    stop = true;
    audio.join();
    EXPECT_GE (blocks.load(), 50);
    EXPECT_EQ (unfinished.load(), 0);
}

std::vector<std::uint8_t> testFile (const char* name)
{
    std::ifstream file (std::string (VRC_TEST_DATA_DIR) + "/" + name, std::ios::binary);
    return { std::istreambuf_iterator<char> (file), {} };
}

TEST (ClapState, MovesBetweenInstancesAndTheVst2BuildByteForByte)
{
    TestHost a (stereoId);
    a.flush ({ { 0, 0, -18.5 }, { 0, 2, 4.25 }, { 0, 6, 62.0 }, { 0, 7, 0.0 } });
    const auto saved = a.save();
    ASSERT_TRUE (saved.has_value());
    // Short writes and short reads: the host moves one byte per call.
    EXPECT_EQ (a.save (1), saved);
    TestHost b (monoId);
    ASSERT_TRUE (b.load (*saved, 1));
    EXPECT_EQ (b.values(), a.values());
    EXPECT_EQ (b.save(), saved);
    EXPECT_EQ (b.rescans, 1) << "the host is told to read the values again";

    // The VST2 build takes the same bytes, and hands back the same bytes.
    vsthost::PluginInstance vst2;
    vst2.setChunk (*saved);
    EXPECT_EQ (vst2.chunk(), *saved);
    // A chunk saved by the VST2 build loads here and saves unchanged.
    const auto example = testFile ("example.vstchunk");
    ASSERT_FALSE (example.empty());
    vst2.setChunk (example);
    const auto fromVst2 = vst2.chunk();
    TestHost c (sidechainId);
    ASSERT_TRUE (c.load (fromVst2, 7));
    EXPECT_EQ (c.save(), fromVst2);
}

TEST (ClapState, HostileStreamsRestoreNothingInBoundedTime)
{
    struct Script
    {
        std::vector<std::uint8_t> bytes;
        std::int64_t errorAt = -1;  // -1 once this many bytes were handed
        bool overclaim = false;     // reports a terabyte more than asked
        bool endless = false;       // never reaches its end
        std::size_t handed = 0, calls = 0;
    };
    const auto streamOf = [] (Script& script)
    {
        return InputStream { &script, [] (const InputStream* in, void* data, std::uint64_t size) -> std::int64_t
                             {
                                 auto& s = *static_cast<Script*> (in->ctx);
                                 ++s.calls;
                                 if (s.errorAt >= 0 && s.handed >= static_cast<std::size_t> (s.errorAt))
                                     return -1;
                                 if (s.overclaim)
                                     return static_cast<std::int64_t> (size + (1ull << 40));
                                 if (s.endless)
                                 {
                                     std::memset (data, '<', static_cast<std::size_t> (size));
                                     s.handed += static_cast<std::size_t> (size);
                                     return static_cast<std::int64_t> (size);
                                 }
                                 const auto n = static_cast<std::size_t> (std::min<std::uint64_t> ({ size, 3, s.bytes.size() - s.handed }));
                                 if (n > 0)
                                     std::memcpy (data, s.bytes.data() + s.handed, n);
                                 s.handed += n;
                                 return static_cast<std::int64_t> (n);
                             } };
    };
    const auto good = testFile ("example.vstchunk");
    ASSERT_GT (good.size(), 16u);
    auto foreign = good;
    for (auto& byte : foreign) // another plug-in's bytes: no magic, no length
        byte = static_cast<std::uint8_t> (byte ^ 0x5a);
    struct Case
    {
        const char* name;
        Script script;
    };
    Case cases[] = {
        { "empty", { {} } },
        { "foreign magic", { foreign } },
        { "cut in half", { std::vector<std::uint8_t> (good.begin(), good.begin() + (long) good.size() / 2) } },
        { "read error midway", { good, 20 } },
        { "claims more than asked", { good, -1, true } },
        { "never ends", { {}, -1, false, true } },
    };
    TestHost host (stereoId);
    host.flush ({ { 0, 0, -7.0 } });
    const auto before = host.values();
    for (auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto stream = streamOf (c.script);
        EXPECT_FALSE (host.load (stream));
        EXPECT_EQ (host.values(), before);
        EXPECT_LE (c.script.calls, (1u << 20) / 4096 + 2) << "reads stop at the size limit";
    }
    EXPECT_EQ (host.rescans, 0);
    Script whole { good };
    EXPECT_TRUE (host.load (streamOf (whole))) << "the same stream, intact, restores";
}
} // namespace
} // namespace clapHost

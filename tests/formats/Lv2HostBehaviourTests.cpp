// What LV2 hosts legally do that is easy to get wrong: save right after moving
// a control (before the plug-in runs again), restore a session and then set
// ports, save while the audio thread runs, hand a key or an input the buffer of
// an output, and bypass through lv2:enabled. Saved states go through lilv as
// hosts save them (port values beside the plug-in's own state, as Turtle text).
#include "Lv2Host.h"
#include "TestHost.h"

#include <lv2/atom/atom.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

namespace vrc::formats
{
namespace
{
const char* const stereoUri = "urn:veskara:vr-c";

/** VR-C.so's normalised values whose display texts are exact, and the port
    values showing those texts. */
const Settings settings { { 0, 0.55f }, { 1, 0.8f }, { 2, 0.6f }, { 3, 0.5f }, { 4, 0.49f / 4.99f }, { 5, 0.35f }, { 6, 0.9f }, { 7, 0.0f } };

std::array<float, 8> portsFor (const Settings& s)
{
    vsthost::PluginInstance vst2;
    std::array<float, 8> ports {};
    for (const auto& [index, value] : s)
    {
        vst2.setParameter (index, value);
        ports[(size_t) index] = std::strtof (vst2.text<64> (vsthost::effGetParamDisplay, index).c_str(), nullptr);
    }
    return ports;
}

void setPorts (Lv2Host& host, const std::array<float, 8>& ports)
{
    std::copy (ports.begin(), ports.end(), host.controls.begin());
}

uint32_t portIndex (const char* symbol)
{
    auto* node = lilv_new_string (lv2World(), symbol);
    const auto* port = lilv_plugin_get_port_by_symbol (lv2PluginByUri (stereoUri), node);
    lilv_node_free (node);
    return port != nullptr ? lilv_port_get_index (lv2PluginByUri (stereoUri), port) : UINT32_MAX;
}

LV2_URID_Map* hostMap() { return static_cast<LV2_URID_Map*> (lv2HostFeatures()[0]->data); }
LV2_URID_Unmap* hostUnmap() { return static_cast<LV2_URID_Unmap*> (lv2HostFeatures()[1]->data); }

struct StateDeleter
{
    void operator() (LilvState* s) const { lilv_state_free (s); }
};
using State = std::unique_ptr<LilvState, StateDeleter>;

/** A session saved as hosts save it: the port values and the plug-in's state,
    written out as Turtle and read back in. */
State saveSession (Lv2Host& host)
{
    const auto getValue = [] (const char* symbol, void* user, uint32_t* size, uint32_t* type) -> const void*
    {
        const auto index = portIndex (symbol);
        auto& controls = static_cast<Lv2Host*> (user)->controls;
        if (index >= 8)
            return nullptr;
        *size = sizeof (float);
        *type = hostMap()->map (hostMap()->handle, LV2_ATOM__Float);
        return &controls[index];
    };
    State state (lilv_state_new_from_instance (lv2PluginByUri (stereoUri), host.lilvInstance(), hostMap(), nullptr, nullptr,
                                               nullptr, nullptr, getValue, &host, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE,
                                               lv2HostFeatures()));
    if (state == nullptr)
        return nullptr;
    char* text = lilv_state_to_string (lv2World(), hostMap(), hostUnmap(), state.get(), "urn:veskara:test-session", nullptr);
    State reread (lilv_state_new_from_string (lv2World(), hostMap(), text));
    lilv_free (text);
    return reread;
}

/** Restores a session into a host's instance and ports, as hosts do. */
void restoreSession (const LilvState* state, Lv2Host& host)
{
    const auto setValue = [] (const char* symbol, void* user, const void* value, uint32_t size, uint32_t)
    {
        const auto index = portIndex (symbol);
        if (index < 8 && size == sizeof (float))
            std::memcpy (&static_cast<Lv2Host*> (user)->controls[index], value, sizeof (float));
    };
    lilv_state_restore (state, host.lilvInstance(), setValue, &host, 0, lv2HostFeatures());
}

TEST (Lv2Session, ControlsMovedAndSavedBeforeTheNextRunAreWhatTheReopenedSessionPlays)
{
    const auto input = testSignal (2, 24000);
    const auto expected = processVst2 (settings, input, 48000.0f, 480);
    ASSERT_NE (expected, processVst2 ({}, input, 48000.0f, 480)) << "the settings are audible";

    // Played at the defaults, then every control moved and the session saved at
    // once (an engine that is stopped runs nothing in between).
    Lv2Host before (stereoUri);
    ASSERT_TRUE (before.isLoaded());
    before.run (input, 480);
    setPorts (before, portsFor (settings));
    const auto session = saveSession (before);
    ASSERT_NE (session, nullptr);
    vsthost::PluginInstance vst2;
    for (const auto& [index, value] : settings)
        vst2.setParameter (index, value);
    EXPECT_EQ (chunkFromLv2Text (before.save()), vst2.chunk()) << "the state holds what the ports hold";

    Lv2Host reopened (stereoUri);
    restoreSession (session.get(), reopened);
    EXPECT_EQ (reopened.controls[0], portsFor (settings)[0]);
    EXPECT_EQ (reopened.run (input, 480), expected) << "the reopened session plays what its controls show";
}

TEST (Lv2Session, PortsTheHostSetsAfterRestoringASessionOfThisBuildWin)
{
    Lv2Host original (stereoUri);
    setPorts (original, portsFor (settings));
    const auto session = saveSession (original);
    ASSERT_NE (session, nullptr);

    // The host restores the session, then its automation sets THRESHOLD before
    // the first block, as a session opened at a later playhead does.
    Lv2Host reopened (stereoUri);
    restoreSession (session.get(), reopened);
    auto moved = settings;
    moved[0] = 0.2f;
    reopened.controls[0] = portsFor (moved)[0];
    const auto input = testSignal (2, 24000);
    EXPECT_EQ (reopened.run (input, 480), processVst2 (moved, input, 48000.0f, 480));
}

TEST (Lv2Session, ASaveWhileTheAudioThreadRunsHoldsThePortsOfThatMoment)
{
    Lv2Host host (stereoUri);
    const auto target = portsFor (settings);
    std::atomic<bool> stop { false };
    std::thread audio ([&]
    {
        const auto block = testSignal (2, 64);
        while (! stop.load())
            host.run (block, 64);
    });
    vsthost::PluginInstance vst2;
    for (const auto& [index, value] : settings)
        vst2.setParameter (index, value);
    for (int round = 0; round < 50; ++round)
    {
        // Each port written whole, as a host's control thread writes it.
        const auto& ports = round % 2 == 0 ? target : portsFor ({});
        for (size_t i = 0; i < ports.size(); ++i)
            __atomic_store (&host.controls[i], &ports[i], __ATOMIC_RELAXED);
        if (round % 2 == 0)
        {
            EXPECT_EQ (chunkFromLv2Text (host.save()), vst2.chunk()) << "round " << round;
        }
    }
    stop = true;
    audio.join();
}

TEST (Lv2Buffers, AKeyOrAnInputOnAnOutputsBufferIsReadBeforeThatOutputIsWritten)
{
    const auto music = testSignal (2, 9600);
    // A key unlike the music: the music backwards.
    Signal key = music;
    for (auto& ch : key)
        std::reverse (ch.begin(), ch.end());
    const Signal keyed { music[0], music[1], key[0], key[1] };
    const auto ports = portsFor (settings);
    for (int blockSize : { 480, 9600 })
    {
        SCOPED_TRACE (blockSize);
        Lv2Host separate ("urn:veskara:vr-c-sidechain"), keysOnOutputs ("urn:veskara:vr-c-sidechain"),
            musicAsKey ("urn:veskara:vr-c-sidechain");
        for (auto* host : { &separate, &keysOnOutputs, &musicAsKey })
            setPorts (*host, ports);
        const auto expected = separate.run (keyed, blockSize);
        ASSERT_NE (expected, musicAsKey.run ({ music[0], music[1], music[0], music[1] }, blockSize)) << "the key decides";
        EXPECT_EQ (keysOnOutputs.run (keyed, blockSize, Lv2Host::Buffers::keysOnOutputs), expected);

        Lv2Host inPlace (stereoUri), crossed (stereoUri);
        setPorts (inPlace, ports);
        setPorts (crossed, ports);
        EXPECT_EQ (crossed.run (music, blockSize, Lv2Host::Buffers::inputsOnOtherOutputs), inPlace.run (music, blockSize));
    }
}

TEST (Lv2Bypass, WhileDisabledTheInputPassesUntouchedAndTheDetectorWaits)
{
    // Three passages: before, during and after the host's bypass.
    const auto whole = testSignal (2, 3 * 9600);
    const auto part = [&] (int i)
    {
        Signal s;
        for (const auto& ch : whole)
            s.emplace_back (ch.begin() + i * 9600, ch.begin() + (i + 1) * 9600);
        return s;
    };
    const auto ports = portsFor (settings);
    for (auto buffers : { Lv2Host::Buffers::separate, Lv2Host::Buffers::inputsOnOtherOutputs })
    {
        Lv2Host bypassed (stereoUri), never (stereoUri);
        setPorts (bypassed, ports);
        setPorts (never, ports);
        bypassed.run (part (0), 480, buffers);
        never.run (part (0), 480, buffers);

        bypassed.controls[8] = 0.0f;
        EXPECT_EQ (bypassed.run (part (1), 480, buffers), part (1)) << "bit for bit the input";

        // Enabled again, VR-C goes on from where its detector stood when it was
        // bypassed, as if the bypassed passage had never reached it.
        bypassed.controls[8] = 1.0f;
        const auto after = bypassed.run (part (2), 480, buffers);
        EXPECT_EQ (after, never.run (part (2), 480, buffers));
        EXPECT_NE (after, part (2)) << "compressing again";
    }
}
} // namespace
} // namespace vrc::formats

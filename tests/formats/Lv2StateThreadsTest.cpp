// The LV2 build saved by a host's thread while its audio thread runs the
// plug-in (ThreadSanitizer runs this in scripts/tsan.sh): what is saved is what
// the ports hold at that moment, and nothing is shared unsafely.
#include "StateHosts.h"

#include <gtest/gtest.h>

#include <thread>

namespace vrc::statehost
{
namespace
{
TEST (Lv2State, SavedBesideTheAudioThreadHoldsThePortsOfThatMoment)
{
    // Two sets of port values, and what an idle instance saves for each.
    const std::pair<int, float> quiet[] = { { 0, -30.0f }, { 1, 0.9f }, { 4, 0.5f }, { 7, 0.0f } };
    const std::pair<int, float> loud[] = { { 0, -6.0f }, { 1, 0.6f }, { 4, 2.0f }, { 7, 1.0f } };
    std::string expected[2];
    for (int i = 0; i < 2; ++i)
    {
        Lv2Plugin idle;
        ASSERT_TRUE (idle.isLoaded());
        for (const auto& [port, value] : (i == 0 ? quiet : loud))
            idle.setControl (port, value);
        expected[i] = idle.store();
    }
    ASSERT_NE (expected[0], expected[1]);

    Lv2Plugin plugin;
    std::atomic<bool> stop { false };
    std::thread audio ([&] { plugin.runUntil (stop); });
    for (int round = 0; round < 200; ++round)
    {
        const int i = round % 2;
        for (const auto& [port, value] : (i == 0 ? quiet : loud))
            plugin.setControl (port, value);
        EXPECT_EQ (plugin.store(), expected[i]) << "round " << round;
    }
    stop = true;
    audio.join();
}
} // namespace
} // namespace vrc::statehost

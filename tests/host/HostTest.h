#pragma once
// Base fixture of the host tests: every test starts with an empty call record and
// ends by checking that the plug-in never made a call it has no reason to make
// (transport queries, edit gestures, display updates, MIDI requests, window
// resizing for an editor whose size never changes).
#include "TestHost.h"

#include <gtest/gtest.h>

namespace vsthost
{
class HostTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RecordingHost::instance().setVersionAnswer (2400);
        RecordingHost::instance().clear();
    }

    void TearDown() override
    {
        for (const int32_t opcode : { audioMasterGetTime, audioMasterBeginEdit, audioMasterEndEdit,
                                      audioMasterUpdateDisplay, audioMasterWantMidi, audioMasterSizeWindow })
            EXPECT_TRUE (RecordingHost::instance().callsWith (opcode).empty()) << "host callback " << opcode << " was sent";

        for (const auto& call : RecordingHost::instance().callsWith (audioMasterCanDo))
            EXPECT_NE (call.text, "sizeWindow");
    }

    static std::vector<HostCall> hostCalls (int32_t opcode) { return RecordingHost::instance().callsWith (opcode); }
};
} // namespace vsthost

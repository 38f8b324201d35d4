#include "model/NrpnAssembler.h"

#include <gtest/gtest.h>

#include "model/CMfxEvent.h"

namespace {

class NrpnAssemblerTest : public ::testing::Test {
protected:
    void SetUp() override { InitNrpnChannelStates(states); }
    int Feed(LONG time, int controller, int value, CMfxEvent* previous = nullptr, BYTE channel = 0)
    {
        return NrpnControllerToEvent(states, time, channel, controller, value, previous, &out);
    }
    NRPN_CHANNEL_STATE states[16];
    CMfxEvent out;
};

TEST_F(NrpnAssemblerTest, AnRpnSequenceBecomesOneEventAndItsLsbMergesWithin120Ticks)
{
    for (LONG gap : {120, 121}) {
        SCOPED_TRACE(gap);
        InitNrpnChannelStates(states);
        EXPECT_EQ(Feed(0, 101, 0), 0);
        EXPECT_EQ(Feed(0, 100, 0), 0);
        ASSERT_EQ(Feed(10, 6, 2), 1);
        EXPECT_EQ(MfxCopy(out.m_kind), static_cast<DWORD>(MfxRpn));
        EXPECT_EQ(out.GetNumber(), 0);
        EXPECT_EQ(out.GetValue(), 256);
        CMfxEvent first = out;
        if (gap == 120) {
            EXPECT_EQ(Feed(10 + gap, 38, 3, &first), 2);
            EXPECT_EQ(first.GetValue(), 259);
        } else {
            EXPECT_EQ(Feed(10 + gap, 38, 3, &first), 1);
            EXPECT_EQ(first.GetValue(), 256);
            EXPECT_EQ(out.GetValue(), 259);
        }
    }
}

TEST_F(NrpnAssemblerTest, StepsStopAtTheEnds)
{
    Feed(0, 99, 1);
    Feed(0, 98, 2);
    ASSERT_EQ(Feed(0, 6, 127), 1);
    ASSERT_EQ(Feed(0, 38, 126), 1);
    EXPECT_EQ(MfxCopy(out.m_kind), static_cast<DWORD>(MfxNrpn));
    EXPECT_EQ(out.GetNumber(), 130);
    EXPECT_EQ(out.GetValue(), 16382);
    ASSERT_EQ(Feed(0, 96, 0), 1);
    EXPECT_EQ(out.GetValue(), 16383);
    EXPECT_EQ(Feed(0, 96, 0), 0);
    Feed(0, 6, 0);
    EXPECT_EQ(Feed(0, 97, 0), 0);
}

TEST_F(NrpnAssemblerTest, OtherControllersAndUnselectedDataEntryStayControllers)
{
    for (int controller : {6, 7, 38, 96, 1, 120}) {
        SCOPED_TRACE(controller);
        ASSERT_EQ(Feed(5, controller, 33, nullptr, 3), 1);
        EXPECT_EQ(MfxCopy(out.m_kind), static_cast<DWORD>(MfxController));
        EXPECT_EQ(out.GetNumber(), controller);
        EXPECT_EQ(out.GetValue(), 33);
        EXPECT_EQ(out.m_channel, 3);
        EXPECT_EQ(out.m_time, 5);
    }
    // A selection on one channel leaves the others plain.
    Feed(0, 99, 1, nullptr, 0);
    EXPECT_EQ(Feed(0, 6, 1, nullptr, 1), 1);
    EXPECT_EQ(MfxCopy(out.m_kind), static_cast<DWORD>(MfxController));
}

}  // namespace

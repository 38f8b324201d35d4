#include "model/CQuantizer.h"

#include <gtest/gtest.h>

#include "model/CSongTimeServices.h"

namespace {

// A song in 4/4 (3840 ticks a measure) that turns 7/8 (3360) at measure 3,
// tick 7680.
class QuantizerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(S_OK, m_meter.Insert(1, CMeterKey(3, 7, 3))); }

    CTempoMap m_tempo;
    CMeterKeySigMap m_meter;
    CSongTimeServices m_time{m_tempo, m_meter};
    CQuantizer q{&m_time};
};

TEST_F(QuantizerTest, TheGridTableAndItsLengthWithinAMeasure)
{
    EXPECT_EQ(15360, GridIdToTicks(0));
    EXPECT_EQ(240, GridIdToTicks(6));
    EXPECT_EQ(20, GridIdToTicks(23));
    EXPECT_EQ(0, GridIdToTicks(24));
    EXPECT_EQ(0, GridIdToTicks(-1));
    struct Case {
        int id;
        LONG inFourFour;
        LONG inSevenEight;
    } cases[] = {
        {0, 3840, 3360},     // the measure itself
        {12, 5760, 5040},    // one and a half measures
        {13, 2560, 2240},    // two thirds of one
        {1, 1920, 1920},     // a half note fits both
        {14, 2880, 2880},
        {3, 640, 640},
    };
    for (const Case& c : cases) {
        CTimeGrid grid(c.id);
        EXPECT_EQ(c.inFourFour, grid.GetGridLengthAt(100, &m_time)) << c.id;
        EXPECT_EQ(c.inSevenEight, grid.GetGridLengthAt(7680 + 100, &m_time)) << c.id;
    }
}

TEST_F(QuantizerTest, StartsWithTheDefaultsOfItsPage)
{
    EXPECT_EQ(CTimeGrid::kSixteenth, q.GetGrid());
    EXPECT_EQ(0, q.Resolution().GetValue());
    EXPECT_EQ(100, q.Strength().GetValue());
    EXPECT_TRUE(q.StartTimes().GetValue());
    EXPECT_TRUE(q.NoteDurations().GetValue());
    EXPECT_EQ(0, q.Randomize().GetValue());
    EXPECT_TRUE(q.IncludeAutomation().GetValue());
    EXPECT_EQ(50, q.Swing().GetValue());
    EXPECT_EQ(100, q.Window().GetValue());
}

TEST_F(QuantizerTest, TimesMoveToTheNearestGridPointBySettings)
{
    struct Case {
        const char* name;
        LONG resolution, strength, swing, window;
        LONG time;
        HRESULT result;
        LONG moved;
        LONG following;
    } cases[] = {
        {"rounds down", 240, 100, 50, 100, 100, S_OK, 0, 240},
        {"rounds up", 240, 100, 50, 100, 130, S_OK, 240, 480},
        {"a tie goes to the later point", 240, 100, 50, 100, 120, S_OK, 240, 480},
        {"half strength goes half way", 240, 50, 50, 100, 100, S_OK, 50, 240},
        {"outside the window stays", 240, 100, 50, 10, 100, S_FALSE, 100, 240},
        {"inside the window moves", 240, 100, 50, 10, 10, S_OK, 0, 240},
        {"swing moves the middle point", 240, 100, 75, 100, 300, S_OK, 360, 480},
        {"a step past the measure is the measure", 15360, 100, 50, 100, 2000, S_OK, 3840, 7680},
        {"no resolution yet: sixteenths", 0, 100, 50, 100, 130, S_OK, 240, 480},
        {"the grid restarts at the 7/8 measure", 1920, 100, 50, 100, 7680 + 900, S_OK, 7680, 9600},
    };
    for (const Case& c : cases) {
        q.Resolution().SetValue(c.resolution);
        q.Strength().SetValue(c.strength);
        q.Swing().SetValue(c.swing);
        q.Window().SetValue(c.window);
        LONG time = c.time;
        LONG following = -1;
        EXPECT_EQ(c.result, q.QuantizeTime(&time, &following)) << c.name;
        EXPECT_EQ(c.moved, time) << c.name;
        EXPECT_EQ(c.following, following) << c.name;
    }
    EXPECT_EQ(E_INVALIDARG, q.QuantizeTime(nullptr, nullptr));
    EXPECT_EQ(150, CQuantizer::ScaleByStrength(100, 99, 51));
    EXPECT_EQ(50, CQuantizer::ScaleByStrength(100, -99, 51)) << "truncated towards zero";
}

TEST_F(QuantizerTest, NotesMoveTheirStartAndEndAndReachTheNextPoint)
{
    q.Resolution().SetValue(240);
    struct Case {
        const char* name;
        bool startTimes, durations, automation;
        DWORD kind;
        LONG time;
        DWORD duration;
        HRESULT result;
        LONG timeAfter;
        DWORD durationAfter;
    } cases[] = {
        {"start and end", true, true, true, MfxNote, 130, 500, S_OK, 240, 480},
        {"a short note reaches the point after its start's", true, true, true, MfxNote, 130, 50, S_OK, 240, 240},
        {"end only", false, true, true, MfxNote, 130, 500, S_OK, 130, 590},
        {"start only", true, false, true, MfxNote, 130, 500, S_OK, 240, 500},
        {"automation left out", true, true, false, MfxController, 130, 0, S_FALSE, 130, 0},
        {"automation moved", true, true, true, MfxController, 130, 0, S_OK, 240, 0},
    };
    for (const Case& c : cases) {
        q.StartTimes().SetValue(c.startTimes);
        q.NoteDurations().SetValue(c.durations);
        q.IncludeAutomation().SetValue(c.automation);
        CMfxEvent e(c.kind);
        e.m_time = c.time;
        if (c.kind == MfxNote)
            e.m_note.duration = c.duration;
        EXPECT_EQ(c.result, q.QuantizeEvent(e)) << c.name;
        EXPECT_EQ(c.timeAfter, e.m_time) << c.name;
        if (c.kind == MfxNote) {
            EXPECT_EQ(c.durationAfter, MfxCopy(e.m_note.duration)) << c.name;
        }
    }
}

}  // namespace

#include "uikit/core/CPropTime.h"

#include <gtest/gtest.h>

#include <memory>

#include "FakeSeqUI.h"

namespace {

class CPropTimeTest : public ::testing::Test {
protected:
    void TearDown() override { CPropTime::SetSmpteDisplay(false); }
    FakeSeqUI seq;
};

TEST_F(CPropTimeTest, ShowsMeasureBeatTickUnlessTheSmpteDisplayIsOn)
{
    CPropTime p(&seq, 960 * 4 + 5, 0, 960 * 400);
    CString s;
    p.FormatText(s);
    EXPECT_EQ(s, "2: 1:005");
    CPropTime::SetSmpteDisplay(true);
    CPropTime second(&seq, 1920, 0, 960 * 400);
    second.FormatText(s);
    EXPECT_EQ(s, "00:00:01:00");
    EXPECT_TRUE(second.ParseText("00:00:02:00"));
    EXPECT_EQ(second.GetValue(), 3840);
    second.HandleStepKey(']');
    EXPECT_EQ(second.GetValue(), 5760);
}

TEST_F(CPropTimeTest, ParsesAndStepsWithinItsOwnRange)
{
    CPropTime p(&seq, 960, 960, 960 * 8);
    EXPECT_TRUE(p.ParseText("2:1:0"));
    EXPECT_EQ(p.GetValue(), 3840);
    EXPECT_FALSE(p.ParseText("3:1:1"));
    EXPECT_FALSE(p.ParseText("1:1:0"));
    EXPECT_EQ(p.GetValue(), 3840);
    p.HandleStepKey('+');
    EXPECT_EQ(p.GetValue(), 3841);
    p.HandleStepKey(']');
    p.HandleStepKey(']');
    p.HandleStepKey(']');
    p.HandleStepKey(']');
    p.HandleStepKey(']');
    EXPECT_EQ(p.GetValue(), 960 * 8);
    CPropTime none(nullptr, 5);
    EXPECT_FALSE(none.ParseText("1:1:0"));
    CString s("x");
    none.FormatText(s);
    EXPECT_TRUE(s.IsEmpty());
    none.FormatNumber(s);
    EXPECT_EQ(s, "5");
}

TEST_F(CPropTimeTest, CloneDropsTheOffsetFlag)
{
    seq.m_offset = 25;
    CPropTime::SetSmpteDisplay(true);
    CPropTime p(&seq, 1920, 0, 960 * 400, TRUE);
    CString s;
    p.FormatText(s);
    EXPECT_EQ(s, "00:00:00:00");
    std::unique_ptr<CProperty> copy(p.Clone());
    copy->FormatText(s);
    EXPECT_EQ(s, "00:00:01:00");
    CPropTime other(&seq);
    EXPECT_TRUE(other.CopyFrom(&p));
    other.FormatText(s);
    EXPECT_EQ(s, "00:00:00:00");
}

}  // namespace

#include "uikit/core/CPropHMSF.h"

#include <gtest/gtest.h>

#include "FakeSeqUI.h"

namespace {

// At 960 ticks a quarter, 120 BPM and 25 fps a frame is 76.8 ticks.
LONG Ticks(FakeSeqUI& seq, LONG h, LONG m, LONG s, LONG f)
{
    return seq.FramesToTicks(seq.SmpteToFrames(h, m, s, f, 0));
}

TEST(CPropHMSFTest, FormatsHoursMinutesSecondsFrames)
{
    FakeSeqUI seq;
    seq.m_offset = 25;
    struct Case {
        LONG h, m, s, f;
        BOOL offset;
        const char* text;
    };
    const Case cases[] = {
        {0, 0, 0, 0, FALSE, "00:00:00:00"},  {1, 0, 0, 0, FALSE, "01:00:00:00"}, {0, 2, 3, 24, FALSE, "00:02:03:24"},
        {1, 0, 0, 0, TRUE, "00:59:59:00"},   {0, 0, 0, 0, TRUE, "-00:00:01:00"},
    };
    for (const Case& c : cases) {
        CString text;
        CPropHMSF(&seq, Ticks(seq, c.h, c.m, c.s, c.f), 0, 2147483647, c.offset).FormatText(text);
        EXPECT_EQ(text, c.text);
    }
    CString text("x");
    CPropHMSF(nullptr, 100).FormatText(text);
    EXPECT_TRUE(text.IsEmpty());
}

TEST(CPropHMSFTest, ParsesThroughTheTimeServicesWithinTheRange)
{
    FakeSeqUI seq;
    seq.m_offset = 25;
    struct Case {
        const char* text;
        BOOL offset;
        bool ok;
        LONG ticks;
    };
    const Case cases[] = {
        {"00:00:02:05", FALSE, true, Ticks(seq, 0, 0, 2, 5)},
        {"00:00:02:05", TRUE, true, Ticks(seq, 0, 0, 3, 5)},
        {"01:00:00:00", FALSE, false, 7},  // past the range below
        {"2:5", FALSE, false, 7},
        {"", FALSE, false, 7},
    };
    for (const Case& c : cases) {
        CPropHMSF p(&seq, 7, 0, Ticks(seq, 0, 59, 59, 24), c.offset);
        EXPECT_EQ(p.ParseText(c.text), c.ok) << c.text;
        EXPECT_EQ(p.GetValue(), c.ticks) << c.text;
    }
    // Every text went to the time services; none was read here.
    EXPECT_EQ(seq.smpteParses, 5);
    EXPECT_FALSE(CPropHMSF(nullptr).ParseText("00:00:01:00"));
}

TEST(CPropHMSFTest, StepsByFramesAndWholeSeconds)
{
    FakeSeqUI seq;
    struct Case {
        LONG h, m, s, f;
        int key;
        LONG eh, em, es, ef;
    };
    const Case cases[] = {
        {0, 0, 1, 10, '+', 0, 0, 1, 11}, {0, 0, 1, 10, '-', 0, 0, 1, 9},  {0, 0, 1, 10, ']', 0, 0, 2, 0},
        {0, 0, 1, 10, '[', 0, 0, 0, 0},  {0, 1, 0, 5, '[', 0, 0, 59, 0},  {1, 0, 0, 0, '[', 0, 59, 59, 0},
        {0, 0, 59, 3, ']', 0, 1, 0, 0},
    };
    for (const Case& c : cases) {
        CPropHMSF p(&seq, Ticks(seq, c.h, c.m, c.s, c.f), 0, 2147483647);
        p.HandleStepKey(c.key);
        EXPECT_EQ(p.GetValue(), Ticks(seq, c.eh, c.em, c.es, c.ef))
            << c.h << ":" << c.m << ":" << c.s << ":" << c.f << " " << static_cast<char>(c.key);
    }
    CPropHMSF first(&seq, Ticks(seq, 0, 0, 0, 10), 100, 2147483647);
    first.HandleStepKey('[');
    EXPECT_EQ(first.GetValue(), 100);
    CPropHMSF top(&seq, Ticks(seq, 0, 0, 1, 0), 0, Ticks(seq, 0, 0, 1, 12));
    top.HandleStepKey(']');
    EXPECT_EQ(top.GetValue(), Ticks(seq, 0, 0, 1, 12));
    CPropHMSF bottom(&seq, 0, 0, 1000);
    bottom.HandleStepKey('-');
    EXPECT_EQ(bottom.GetValue(), 0);
}

}  // namespace

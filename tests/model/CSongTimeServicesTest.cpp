#include "model/CSongTimeServices.h"

#include <gtest/gtest.h>

#include "uikit/core/CPropHMSF.h"
#include "uikit/core/CPropMBT.h"
#include "uikit/core/CPropTime.h"

namespace {

// A song at 120 BPM (two quarters a second) in 4/4, turning 3/4 at measure 3.
class CSongTimeServicesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(S_OK, m_tempo.Set(0, CTempo(0, 12000)));
        ASSERT_EQ(S_OK, m_meter.Insert(1, CMeterKey(3, 3, 2)));
    }

    CTempoMap m_tempo;
    CMeterKeySigMap m_meter;
    CSongTimeServices m_seq{m_tempo, m_meter};
};

TEST_F(CSongTimeServicesTest, MbtTextIsReadThroughTheMeterMapAndNormalised)
{
    struct Case {
        const char* text;
        LONG measure, beat, tick;
    };
    const Case cases[] = {{"2:1.0", 2, 1, 0},  {"2:5.0", 3, 1, 0},       {"0:0", 1, 1, 0},
                          {"3:4", 4, 1, 0},    {"1234567:2", 1, 2, 0},   {"5:3.240", 5, 3, 240}};
    for (const Case& c : cases) {
        LONG m = 0, b = 0, t = 0;
        ASSERT_EQ(m_seq.ParseMbtText(c.text, &m, &b, &t), S_OK) << c.text;
        EXPECT_EQ(m, c.measure) << c.text;
        EXPECT_EQ(b, c.beat) << c.text;
        EXPECT_EQ(t, c.tick) << c.text;
    }
}

TEST_F(CSongTimeServicesTest, SmpteTextIsReadWithinTheClockOfTheFrameRate)
{
    struct Case {
        int rate;
        const char* text;
        HRESULT hr;
        LONG h, m, s, f;
    };
    const Case cases[] = {
        {CTempoMap::kFps25, "01:02:03:04", S_OK, 1, 2, 3, 4},
        {CTempoMap::kFps25, "1:2", S_OK, 1, 2, 0, 0},
        {CTempoMap::kFps25, " 00.00.59.24 ", S_OK, 0, 0, 59, 24},
        {CTempoMap::kFps25, "00:00:00:25", E_INVALIDARG, 0, 0, 0, 0},
        {CTempoMap::kFps24, "00:00:00:24", E_INVALIDARG, 0, 0, 0, 0},
        {CTempoMap::kFps30, "00:00:00:29", S_OK, 0, 0, 0, 29},
        {CTempoMap::kFps25, "00:60:00:00", E_INVALIDARG, 0, 0, 0, 0},
        {CTempoMap::kFps25, "00:00:60:00", E_INVALIDARG, 0, 0, 0, 0},
        {CTempoMap::kFps25, "24:00:00:00", E_INVALIDARG, 0, 0, 0, 0},
        {CTempoMap::kFps25, "", E_INVALIDARG, 0, 0, 0, 0},
        {CTempoMap::kFps25, " : ", E_INVALIDARG, 0, 0, 0, 0},
        {CTempoMap::kFps25, "1:2:3:4:5", E_INVALIDARG, 0, 0, 0, 0},
        {CTempoMap::kFps25, "1234567", E_INVALIDARG, 0, 0, 0, 0},
        {CTempoMap::kFps25, "-1:00:00:00", E_INVALIDARG, 0, 0, 0, 0},
        {CTempoMap::kFps25, "1h", E_INVALIDARG, 0, 0, 0, 0},
        {CTempoMap::kFps30Drop, "00:01:00:00", E_INVALIDARG, 0, 0, 0, 0},
        {CTempoMap::kFps2997Drop, "00:01:00:01", E_INVALIDARG, 0, 0, 0, 0},
        {CTempoMap::kFps2997Drop, "00:01:00:02", S_OK, 0, 1, 0, 2},
        {CTempoMap::kFps2997Drop, "00:10:00:00", S_OK, 0, 10, 0, 0},
    };
    for (const Case& c : cases) {
        m_tempo.SetFrameRateCode(c.rate);
        LONG h = -1, m = -1, s = -1, f = -1;
        EXPECT_EQ(m_seq.ParseSmpteText(c.text, &h, &m, &s, &f), c.hr) << c.text;
        if (c.hr == S_OK) {
            EXPECT_EQ(h, c.h) << c.text;
            EXPECT_EQ(m, c.m) << c.text;
            EXPECT_EQ(s, c.s) << c.text;
            EXPECT_EQ(f, c.f) << c.text;
        }
    }
}

// The SMPTE property reads and writes through the song's own services:
// every text it writes reads back to the position of the same frame.
TEST_F(CSongTimeServicesTest, SmptePropertyRoundTripsThroughTheSong)
{
    const int rates[] = {CTempoMap::kFps24, CTempoMap::kFps25, CTempoMap::kFps30, CTempoMap::kFps30Drop,
                         CTempoMap::kFps2997, CTempoMap::kFps2997Drop};
    for (int rate : rates) {
        m_tempo.SetFrameRateCode(rate);
        for (LONG ticks = 0; ticks < 960 * 2 * 60 * 12; ticks += 997) {
            CPropHMSF p(&m_seq, ticks, 0, 2147483647);
            CString text;
            p.FormatText(text);
            CPropHMSF back(&m_seq, 0, 0, 2147483647);
            ASSERT_TRUE(back.ParseText(text)) << text.GetString() << " rate " << rate;
            EXPECT_EQ(m_seq.TicksToFrames(back.GetValue()), m_seq.TicksToFrames(ticks)) << text.GetString();
        }
    }
    m_tempo.SetFrameRateCode(CTempoMap::kFps25);
    CPropHMSF hour(&m_seq, 0, 0, 2147483647);
    ASSERT_TRUE(hour.ParseText("01:00:00:00"));
    EXPECT_EQ(hour.GetValue(), 3600 * 2 * 960);
    EXPECT_FALSE(hour.ParseText("01:00:00:25"));
    EXPECT_EQ(hour.GetValue(), 3600 * 2 * 960);

    m_tempo.SetFrameRateCode(CTempoMap::kFps2997Drop);
    CPropHMSF drop(&m_seq, m_seq.FramesToTicks(1800), 0, 2147483647);
    CString text;
    drop.FormatText(text);
    EXPECT_EQ(text, "00:01:00:02");
}

TEST_F(CSongTimeServicesTest, MeasureBeatTickPropertyFollowsTheMeterChange)
{
    const LONG lo = 0, hi = 2147483647;
    const LONG at = 7680 + 2 * 960 + 5;  // measure 3 (3/4), beat 3, tick 5
    CPropMBT p(&m_seq, &at, &lo, &hi);
    CString text;
    p.FormatText(text);
    EXPECT_EQ(text, "3: 3:005");
    p.HandleStepKey(']');
    EXPECT_EQ(p.GetTicks(), 7680 + 2880);  // the next beat is the next measure's first
    p.FormatText(text);
    EXPECT_EQ(text, "4: 1:000");
    p.HandleStepKey('[');
    EXPECT_EQ(p.GetTicks(), 7680 + 1920);
    ASSERT_TRUE(p.ParseText("3:4"));
    EXPECT_EQ(p.GetTicks(), 7680 + 2880);
    CPropTime t(&m_seq, 0, 0, 960 * 400);
    ASSERT_TRUE(t.ParseText("2:2:10"));
    EXPECT_EQ(t.GetValue(), 3840 + 960 + 10);
}

}  // namespace

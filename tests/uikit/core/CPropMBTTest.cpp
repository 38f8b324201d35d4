#include "uikit/core/CPropMBT.h"

#include <gtest/gtest.h>

#include <memory>

#include "FakeSeqUI.h"

namespace {

constexpr LONG kMin = 0;
constexpr LONG kMax = 960 * 4 * 100;  // 100 measures of 4/4

TEST(CPropMBTTest, FormatsMeasureBeatAndTick)
{
    FakeSeqUI seq;
    struct Case {
        LONG ticks;
        const char* text;
    };
    const Case cases[] = {{0, "1: 1:000"}, {960 * 4 * 2 + 960 * 2 + 5, "3: 3:005"}, {960 * 4 * 99 + 960 * 3 + 959, "100: 4:959"}};
    for (const Case& c : cases) {
        CString s;
        CPropMBT(&seq, &c.ticks, &kMin, &kMax).FormatText(s);
        EXPECT_EQ(s, c.text) << c.ticks;
        CPropMBT(&seq, &c.ticks, &kMin, &kMax).FormatNumber(s);
        EXPECT_EQ(s, CString(std::to_string(c.ticks))) << c.ticks;
    }
}

TEST(CPropMBTTest, ParsesThroughTheTimeServicesWithinTheRange)
{
    FakeSeqUI seq;
    struct Case {
        const char* text;
        bool ok;
        LONG ticks;
    };
    const Case cases[] = {
        {"3:3:005", true, 960 * 4 * 2 + 960 * 2 + 5},
        {"3.3.5", true, 960 * 4 * 2 + 960 * 2 + 5},
        {"2", true, 960 * 4},
        {"101:1:001", false, 7},
        {"100:4:959", true, 960 * 4 * 99 + 960 * 3 + 959},
        {"100:4:961", false, 7},
    };
    for (const Case& c : cases) {
        const LONG start = 7;
        CPropMBT p(&seq, &start, &kMin, &kMax);
        EXPECT_EQ(p.ParseText(c.text), c.ok) << c.text;
        EXPECT_EQ(p.GetTicks(), c.ticks) << c.text;
    }
    EXPECT_EQ(seq.mbtParses, 6);
}

TEST(CPropMBTTest, TickCountOfAFixedPointValueRoundsHalfUp)
{
    EXPECT_EQ(CPropMBT::RoundTicks((5LL << 16) + 32768), 6);
    EXPECT_EQ(CPropMBT::RoundTicks((5LL << 16) + 32767), 5);
    EXPECT_EQ(CPropMBT::RoundTicks(-(5LL << 16) - 32768), -5);
    EXPECT_EQ(CPropMBT::RoundTicks(1LL << 60), 2147483647);
}

TEST(CPropMBTTest, PlusAndMinusStepOneDisplayTick)
{
    struct Case {
        LONG perQuarter;
        LONG ticksPerStep;
    };
    const Case cases[] = {{960, 1}, {480, 2}, {240, 4}, {96, 10}};
    for (const Case& c : cases) {
        FakeSeqUI seq(c.perQuarter);
        const LONG start = 100;
        CPropMBT p(&seq, &start, &kMin, &kMax);
        p.HandleStepKey('+');
        EXPECT_EQ(p.GetTicks(), 100 + c.ticksPerStep) << c.perQuarter;
        p.HandleStepKey('-');
        p.HandleStepKey('-');
        EXPECT_EQ(p.GetTicks(), 100 - c.ticksPerStep) << c.perQuarter;
    }
}

TEST(CPropMBTTest, BracketsMoveByBeatsClamped)
{
    FakeSeqUI seq;
    LONG start = 1000;
    CPropMBT p(&seq, &start, &kMin, &kMax);
    p.HandleStepKey(']');
    EXPECT_EQ(p.GetTicks(), 1920);
    p.HandleStepKey('[');
    EXPECT_EQ(p.GetTicks(), 960);
    p.HandleStepKey('[');
    p.HandleStepKey('[');
    EXPECT_EQ(p.GetTicks(), 0);
    start = kMax - 10;
    CPropMBT top(&seq, &start, &kMin, &kMax);
    top.HandleStepKey(']');
    EXPECT_EQ(top.GetTicks(), kMax);
    top.HandleStepKey('+');
    EXPECT_EQ(top.GetTicks(), kMax);
}

TEST(CPropMBTTest, WithoutTimeServicesNothingIsShownReadOrStepped)
{
    const LONG start = 100;
    CPropMBT p(nullptr, &start, &kMin, &kMax);
    CString s("x");
    p.FormatText(s);
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_FALSE(p.ParseText("1:1:0"));
    p.HandleStepKey('+');
    p.HandleStepKey(']');
    EXPECT_EQ(p.GetTicks(), 100);
}

TEST(CPropMBTTest, SongWithoutResolutionDoesNotStep)
{
    FakeSeqUI seq(0);
    const LONG start = 100;
    CPropMBT p(&seq, &start, &kMin, &kMax);
    p.HandleStepKey('+');
    EXPECT_EQ(p.GetTicks(), 100);
}

TEST(CPropMBTTest, VariantCarriesTicks)
{
    FakeSeqUI seq;
    const LONG start = 100;
    CPropMBT p(&seq, &start, &kMin, &kMax);
    EXPECT_TRUE(p.SetVariant(VariantFromI4(kMax)));
    EXPECT_FALSE(p.SetVariant(VariantFromI4(kMax + 1)));
    EXPECT_FALSE(p.SetVariant(VariantFromI4(-1)));
    VARIANT v;
    p.GetVariant(&v);
    EXPECT_EQ(v.vt, VT_I4);
    EXPECT_EQ(v.lVal, kMax);
    EXPECT_TRUE(p.IsTime());
    std::unique_ptr<CProperty> copy(p.Clone());
    EXPECT_EQ(static_cast<CPropMBT*>(copy.get())->GetFixed(), p.GetFixed());
    CProperty* lo = nullptr;
    CProperty* hi = nullptr;
    EXPECT_FALSE(p.GetLimits(&lo, &hi));
    for (char c : std::string("0123456789: |."))
        EXPECT_TRUE(p.IsValidChar(c)) << c;
    EXPECT_FALSE(p.IsValidChar('-'));
}

}  // namespace

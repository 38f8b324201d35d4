#include "uikit/core/CPropDBFine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

namespace {

TEST(CPropDBFineTest, ShowsMinusInfinityAtTheMinimum)
{
    struct Case {
        double value;
        const char* text;
        const char* number;
    };
    const Case cases[] = {{-144.0, "-INF", "-144.0"}, {0.0, "0.0", "0.0"}, {-3.04, "-3.0", "-3.0"},
                          {17.95, "17.9", "17.9"},     {18.0, "18.0", "18.0"}, {-143.99, "-144.0", "-144.0"}};
    for (const Case& c : cases) {
        CPropDBFine p(c.value);
        CString s;
        p.FormatText(s);
        EXPECT_EQ(s, c.text) << c.value;
        p.FormatNumber(s);
        EXPECT_EQ(s, c.number) << c.value;
    }
}

TEST(CPropDBFineTest, ParsesLevelsAndRefusesWhatLeavesTheRange)
{
    struct Case {
        const char* text;
        bool ok;
        double value;
    };
    const Case cases[] = {
        {"-inf", true, -144.0}, {"-INF", true, -144.0}, {"-InF", true, -144.0}, {"-6.5", true, -6.5},
        {"18", true, 18.0},     {"19", false, 1.0},     {"-145", false, 1.0},   {"nan", false, 1.0},
        {"inf", false, 1.0},    {"abc", true, 0.0},     {"", true, 0.0},
    };
    for (const Case& c : cases) {
        CPropDBFine p(1.0);
        EXPECT_EQ(p.ParseText(c.text), c.ok) << c.text;
        EXPECT_EQ(p.GetValue(), c.value) << c.text;
    }
}

TEST(CPropDBFineTest, StepsClampAtTheLimits)
{
    CPropDBFine p(17.5);
    p.HandleStepKey('+');
    EXPECT_EQ(p.GetValue(), 18.0);
    p.HandleStepKey('[');
    EXPECT_EQ(p.GetValue(), 8.0);
    p.HandleStepKey('-');
    EXPECT_EQ(p.GetValue(), 7.0);
    CPropDBFine low(-140.0);
    low.HandleStepKey('[');
    EXPECT_EQ(low.GetValue(), -144.0);
    EXPECT_FALSE(low.IsValidChar('+'));
    for (char c : std::string("-0123456789.iInNfF"))
        EXPECT_TRUE(low.IsValidChar(c)) << c;
}

TEST(CPropDBFineTest, LinearGainSetsDecibelsOrTheNearerLimit)
{
    CPropDBFine p(-3.0);
    EXPECT_TRUE(p.SetFromLinearGain(0.0));
    EXPECT_EQ(p.GetValue(), -144.0);
    EXPECT_TRUE(p.SetFromLinearGain(1.0));
    EXPECT_EQ(p.GetValue(), 0.0);
    EXPECT_FALSE(p.SetFromLinearGain(100.0));
    EXPECT_EQ(p.GetValue(), 18.0);
    EXPECT_FALSE(p.SetFromLinearGain(1e-9));
    EXPECT_EQ(p.GetValue(), -144.0);
    p.SetFromLinearGain(0.5);
    EXPECT_FALSE(p.SetFromLinearGain(-1.0));
    EXPECT_FALSE(p.SetFromLinearGain(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_NEAR(p.GetValue(), -6.0206, 1e-4);
}

TEST(CPropDBFineTest, FaderPositionsShowAsTheMixerReadsThem)
{
    struct Case {
        float position;
        const char* text;
        bool ok;
    };
    const Case cases[] = {{0.0f, "-INF", true}, {0.7952f, "0.0", true}, {101.0f / 127.0f, "0.0", true},
                          {1.0f, "6.0", true},  {-0.5f, "-INF", true}};
    for (const Case& c : cases) {
        CPropDBFine p(-3.0);
        EXPECT_EQ(p.SetFromParamValue(c.position), c.ok) << c.position;
        CString s;
        p.FormatText(s);
        EXPECT_EQ(s, c.text) << c.position;
    }
    CPropDBFine unity;
    unity.SetFromParamValue(0.7952f);
    EXPECT_EQ(unity.GetValue(), 0.0);
}

TEST(CPropDBFineTest, TaperKeepsItsSegmentsAndTheirJumps)
{
    EXPECT_EQ(FaderPositionToGain(0.0f), 0.0);
    EXPECT_EQ(FaderPositionToGain(0.7951756f), 1.0);
    EXPECT_EQ(FaderPositionToGain(0.7953756f), 1.0);
    EXPECT_DOUBLE_EQ(FaderPositionToGain(1.0f), std::exp2(127.0 / 26.0 - 101.0 / 26.0));
    // Each boundary belongs to the segment below it; the next position up
    // is in the next segment, which does not meet it exactly at 35 and 58.
    struct Boundary {
        float p;
        double below;  // exponent of the lower segment at p
        double above;  // exponent of the upper segment at p
    };
    auto lower14 = [](double x) { return 635.0 / 12.0 * x - 12.5; };
    auto seg2 = [](double x) { return 1270.0 / 63.0 * x - 80.0 / 9.0; };
    auto seg3 = [](double x) { return 635.0 / 68.0 * x - 100.0 / 17.0; };
    auto seg4 = [](double x) { return 127.0 / 26.0 * x - 101.0 / 26.0; };
    const float b14 = 14.0f / 127.0f, b35 = 35.0f / 127.0f, b58 = 58.0f / 127.0f;
    EXPECT_DOUBLE_EQ(FaderPositionToGain(b14), std::exp2(lower14(b14)));
    EXPECT_DOUBLE_EQ(FaderPositionToGain(b35), std::exp2(seg2(b35)));
    EXPECT_DOUBLE_EQ(FaderPositionToGain(b58), std::exp2(seg3(b58)));
    const float a35 = std::nextafter(b35, 1.0f), a58 = std::nextafter(b58, 1.0f);
    EXPECT_DOUBLE_EQ(FaderPositionToGain(a35), std::exp2(seg3(a35)));
    EXPECT_DOUBLE_EQ(FaderPositionToGain(a58), std::exp2(seg4(a58)));
    // The jumps: about +0.15 dB at 35/127 and -0.22 dB at 58/127.
    EXPECT_GT(FaderPositionToGain(a35) / FaderPositionToGain(b35), 1.015);
    EXPECT_LT(FaderPositionToGain(a58) / FaderPositionToGain(b58), 0.98);
}

TEST(CPropDBFineTest, VariantAndLimits)
{
    CPropDBFine p(-3.0, -60.0, 6.0);
    EXPECT_TRUE(p.SetVariant(VariantFromR8(6.0)));
    EXPECT_FALSE(p.SetVariant(VariantFromR8(6.01)));
    EXPECT_FALSE(p.SetVariant(VariantFromR8(std::numeric_limits<double>::quiet_NaN())));
    EXPECT_TRUE(p.SetVariant(VariantFromText("-12.5")));
    VARIANT v;
    p.GetVariant(&v);
    EXPECT_EQ(v.vt, VT_R8);
    EXPECT_EQ(v.dblVal, -12.5);
    CProperty* lo = nullptr;
    CProperty* hi = nullptr;
    ASSERT_TRUE(p.GetLimits(&lo, &hi));
    std::unique_ptr<CProperty> a(lo), b(hi);
    CString s;
    lo->FormatText(s);
    EXPECT_EQ(s, "-60.0");  // -60 is not the limit's own minimum of -144
    hi->FormatText(s);
    EXPECT_EQ(s, "6.0");
}

}  // namespace

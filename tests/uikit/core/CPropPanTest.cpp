#include "uikit/core/CPropPan.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(CPropPanTest, ShowsPercentLeftOrRightOfTheCentre)
{
    struct Case {
        double minimum, maximum, value;
        const char* text;
    };
    const Case cases[] = {
        {-1, 1, 0.004, "C"},     {-1, 1, -0.004, "C"},   {-1, 1, 0.01, "1% R"},  {-1, 1, -1, "100% L"},
        {-1, 1, 0.5, "50% R"},   {-1, 1, -0.26, "26% L"}, {-1, 1, 1, "100% R"}, {0, 127, 63.5, "C"},
        {0, 127, 0, "100% L"},   {0, 127, 127, "100% R"}, {5, 5, 5, "C"},
    };
    for (const Case& c : cases) {
        CString s;
        CPropPan(c.value, c.minimum, c.maximum).FormatText(s);
        EXPECT_EQ(s, c.text) << c.value << " in " << c.minimum << ".." << c.maximum;
    }
}

TEST(CPropPanTest, ParsesLettersAndBareControllerValues)
{
    struct Case {
        const char* text;
        bool ok;
        double value;
    };
    const Case cases[] = {
        {"25 L", true, -0.25},  {"25l", true, -0.25},          {"100 R", true, 1.0},  {"40% r", true, 0.4},
        {"C", true, 0.0},       {"17 c", true, 0.0},           {"64", true, -1 + 2 * 64.0 / 127},
        {"0", true, -1.0},      {"127", true, 1.0},            {"128", false, 0.3},   {"101 L", false, 0.3},
        {"-10 R", true, -0.1},  {"25 L ", true, -0.25},        {"", false, 0.3},      {"   ", false, 0.3},
    };
    for (const Case& c : cases) {
        CPropPan p(0.3, -1, 1);
        EXPECT_EQ(p.ParseText(c.text), c.ok) << c.text;
        EXPECT_DOUBLE_EQ(p.GetValue(), c.value) << c.text;
    }
}

TEST(CPropPanTest, StepsMoveFractionsOfTheSpanClamped)
{
    CPropPan p(0.0, -100, 100);
    p.HandleStepKey('+');
    EXPECT_DOUBLE_EQ(p.GetValue(), 1.0);
    p.HandleStepKey(']');
    EXPECT_DOUBLE_EQ(p.GetValue(), 11.0);
    p.HandleStepKey('[');
    p.HandleStepKey('-');
    EXPECT_DOUBLE_EQ(p.GetValue(), 0.0);
    CPropPan edge(99.5, -100, 100);
    edge.HandleStepKey(']');
    EXPECT_EQ(edge.GetValue(), 100.0);
    EXPECT_FALSE(edge.IsValidChar('+'));
    for (char c : std::string("-0123456789lLrRcC"))
        EXPECT_TRUE(edge.IsValidChar(c)) << c;
}

TEST(CPropPanTest, LimitsSpanTheFullPanRange)
{
    CPropPan p(0.0, -1, 1);
    CProperty* lo = nullptr;
    CProperty* hi = nullptr;
    ASSERT_TRUE(p.GetLimits(&lo, &hi));
    std::unique_ptr<CProperty> a(lo), b(hi);
    CString s;
    lo->FormatText(s);
    EXPECT_EQ(s, "1% L");  // -1 within -100..100
    hi->FormatText(s);
    EXPECT_EQ(s, "1% R");
    EXPECT_FALSE(p.SetVariant(VariantFromR8(1.5)));
    EXPECT_TRUE(p.SetVariant(VariantFromR8(-0.5)));
    EXPECT_EQ(p.GetValue(), -0.5);
}

}  // namespace

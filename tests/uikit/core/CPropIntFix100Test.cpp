#include "uikit/core/CPropIntFix100.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(CPropIntFix100Test, FormatsHundredthsWithTheSignOfSmallNegatives)
{
    struct Case {
        LONG value;
        const char* text;
    };
    const Case cases[] = {{-5, "-0.05"},     {-50, "-0.50"}, {0, "0.00"},       {5, "0.05"},
                          {12345, "123.45"}, {-12345, "-123.45"}, {-100, "-1.00"},
                          {-2147483647 - 1, "-21474836.48"}, {2147483647, "21474836.47"}};
    for (const Case& c : cases) {
        CString s;
        CPropIntFix100(c.value).FormatText(s);
        EXPECT_EQ(s, c.text) << c.value;
    }
}

TEST(CPropIntFix100Test, ParsesDecimalsAndRefusesWhatLeavesTheRange)
{
    struct Case {
        const char* text;
        bool ok;
        LONG value;
    };
    const Case cases[] = {
        {"-0.5", true, -50},  {"1.234", true, 123}, {"3.", true, 300},   {"3", true, 300},
        {"1.5", true, 150},   {"-1.05", true, -105}, {".5", true, 50},    {"-.5", true, -50},
        {" -0.25", true, -25}, {"2.5x", true, 250},  {"abc", true, 0},    {"10.01", false, 7},
        {"-10.01", false, 7}, {"21474836.48", false, 7}, {"99999999999", false, 7},
        {"10.00", true, 1000},
    };
    for (const Case& c : cases) {
        CPropIntFix100 p(7, -1000, 1000);
        EXPECT_EQ(p.ParseText(c.text), c.ok) << c.text;
        EXPECT_EQ(p.GetValue(), c.value) << c.text;
    }
    // Only the first 64 characters are read.
    CPropIntFix100 p;
    EXPECT_TRUE(p.ParseText(("1." + std::string(70, '0') + "9").c_str()));
    EXPECT_EQ(p.GetValue(), 100);
}

TEST(CPropIntFix100Test, StepsBySmallAndLargeStepsClamped)
{
    CPropIntFix100 p(0, -30, 30, 5, 25);
    p.HandleStepKey('+');
    EXPECT_EQ(p.GetValue(), 5);
    p.HandleStepKey(']');
    EXPECT_EQ(p.GetValue(), 30);
    p.HandleStepKey('[');
    EXPECT_EQ(p.GetValue(), 5);
    p.HandleStepKey('[');
    p.HandleStepKey('[');
    EXPECT_EQ(p.GetValue(), -30);
    p.HandleStepKey('-');
    EXPECT_EQ(p.GetValue(), -30);
}

TEST(CPropIntFix100Test, TypedCharactersAndLimits)
{
    CPropIntFix100 p(0, -30, 30);
    for (char c : std::string("0123456789-+."))
        EXPECT_TRUE(p.IsValidChar(c)) << c;
    EXPECT_FALSE(p.IsValidChar(','));
    EXPECT_FALSE(p.IsValidChar('e'));
    CProperty* lo = nullptr;
    CProperty* hi = nullptr;
    ASSERT_TRUE(p.GetLimits(&lo, &hi));
    std::unique_ptr<CProperty> a(lo), b(hi);
    CString s;
    lo->FormatText(s);
    EXPECT_EQ(s, "-0.30");
    hi->FormatText(s);
    EXPECT_EQ(s, "0.30");
}

}  // namespace

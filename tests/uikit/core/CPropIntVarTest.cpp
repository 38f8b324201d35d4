#include "uikit/core/CPropIntVar.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(CPropIntVarTest, FormatsWithItsOwnDecimals)
{
    struct Case {
        LONG value;
        LONG decimals;
        const char* text;
    };
    const Case cases[] = {{1500, 3, "1.500"}, {7, 0, "7.0"}, {-7, 0, "-7.0"}, {-5, 1, "-0.5"},
                          {-5, 3, "-0.005"},  {123456789, 9, "0.123456789"}, {5, 12, "0.000000005"}};
    for (const Case& c : cases) {
        CString s;
        CPropIntVar(c.value, -2147483647 - 1, 2147483647, c.decimals).FormatText(s);
        EXPECT_EQ(s, c.text) << c.value << " at " << c.decimals;
    }
}

TEST(CPropIntVarTest, ParsesFractionsAsDecimalsOfItsScale)
{
    struct Case {
        const char* text;
        LONG decimals;
        bool ok;
        LONG value;
    };
    const Case cases[] = {
        {"1.5", 3, true, 1500},   {"1.23456", 3, true, 1234}, {"-0.5", 3, true, -500}, {"2", 3, true, 2000},
        {"7.9", 0, true, 7},      {"-3", 0, true, -3},       {"1.5", 1, true, 15},     {"2147483.648", 3, false, 11},
        {"-2147483.648", 3, true, -2147483647 - 1},
    };
    for (const Case& c : cases) {
        CPropIntVar p(11, -2147483647 - 1, 2147483647, c.decimals);
        EXPECT_EQ(p.ParseText(c.text), c.ok) << c.text;
        EXPECT_EQ(p.GetValue(), c.value) << c.text;
    }
}

TEST(CPropIntVarTest, ConstructorBringsTheValueIntoRange)
{
    EXPECT_EQ(CPropIntVar(500, 0, 100, 2).GetValue(), 100);
    EXPECT_EQ(CPropIntVar(-5, 0, 100, 2).GetValue(), 0);
}

// A range message names the limits as the value is shown: with three
// decimals, 1.500, not 15.00.
TEST(CPropIntVarTest, LimitsShowTheSameDecimals)
{
    CPropIntVar p(1600, 1500, 2500, 3, 1, 100);
    CProperty* lo = nullptr;
    CProperty* hi = nullptr;
    ASSERT_TRUE(p.GetLimits(&lo, &hi));
    std::unique_ptr<CProperty> a(lo), b(hi);
    ASSERT_NE(dynamic_cast<CPropIntVar*>(lo), nullptr);
    CString s;
    lo->FormatText(s);
    EXPECT_EQ(s, "1.500");
    hi->FormatText(s);
    EXPECT_EQ(s, "2.500");
}

TEST(CPropIntVarTest, StepsAndCopies)
{
    CPropIntVar p(1600, 1500, 2500, 3, 1, 1000);
    p.HandleStepKey(']');
    EXPECT_EQ(p.GetValue(), 2500);
    p.HandleStepKey('-');
    EXPECT_EQ(p.GetValue(), 2499);
    std::unique_ptr<CProperty> copy(p.Clone());
    CString s;
    copy->FormatText(s);
    EXPECT_EQ(s, "2.499");
    CPropIntVar other(0, 0, 10, 1);
    EXPECT_TRUE(other.CopyFrom(&p));
    other.FormatText(s);
    EXPECT_EQ(s, "2.499");
}

}  // namespace

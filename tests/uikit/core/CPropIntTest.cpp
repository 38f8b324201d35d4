#include "uikit/core/CPropInt.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(CPropIntTest, ParsesTheLeadingIntegerWithinTheRange)
{
    struct Case {
        const char* text;
        bool ok;
        LONG value;
    };
    const Case cases[] = {
        {"42", true, 42},     {"  7", true, 7},      {"12abc", true, 12},  {"abc", true, 0},
        {"", true, 0},        {"100", true, 100},    {"101", false, 50},   {"-1", false, 50},
        {"+5", true, 5},      {"99999999999", false, 50},
    };
    for (const Case& c : cases) {
        CPropInt p(50, 0, 100);
        EXPECT_EQ(p.ParseText(c.text), c.ok) << c.text;
        EXPECT_EQ(p.GetValue(), c.value) << c.text;
    }
}

TEST(CPropIntTest, FormatsAsDecimal)
{
    CString s;
    CPropInt(-2147483647 - 1).FormatText(s);
    EXPECT_EQ(s, "-2147483648");
    CPropInt(42).FormatText(s);
    EXPECT_EQ(s, "42");
}

TEST(CPropIntTest, MinusIsTypedOnlyWhenTheRangeReachesBelowZero)
{
    EXPECT_FALSE(CPropInt(5, 0, 100).IsValidChar('-'));
    EXPECT_TRUE(CPropInt(5, -1, 100).IsValidChar('-'));
    EXPECT_TRUE(CPropInt(5, 0, 100).IsValidChar('7'));
    EXPECT_FALSE(CPropInt(5, 0, 100).IsValidChar('+'));
    EXPECT_FALSE(CPropInt(5, 0, 100).IsValidChar('.'));
}

TEST(CPropIntTest, StepsClampAtTheLimits)
{
    struct Case {
        LONG start;
        int key;
        LONG value;
    };
    const Case cases[] = {{95, ']', 100}, {5, '[', 0}, {50, '+', 51}, {50, '-', 49}, {50, ']', 60},
                          {50, '[', 40},  {100, '+', 100}, {0, '-', 0}, {50, 'x', 50}};
    for (const Case& c : cases) {
        CPropInt p(c.start, 0, 100);
        p.HandleStepKey(c.key);
        EXPECT_EQ(p.GetValue(), c.value) << c.start << " " << static_cast<char>(c.key);
    }
    CPropInt top(2147483647);
    top.HandleStepKey(']');
    EXPECT_EQ(top.GetValue(), 2147483647);
}

TEST(CPropIntTest, VariantIsRangeCheckedAfterConversion)
{
    CPropInt p(5, 0, 100);
    EXPECT_TRUE(p.SetVariant(VariantFromI4(100)));
    EXPECT_EQ(p.GetValue(), 100);
    EXPECT_TRUE(p.SetVariant(VariantFromR8(2.5)));  // half to even
    EXPECT_EQ(p.GetValue(), 2);
    EXPECT_TRUE(p.SetVariant(VariantFromText("17")));
    EXPECT_EQ(p.GetValue(), 17);
    EXPECT_FALSE(p.SetVariant(VariantFromText("seventeen")));
    EXPECT_FALSE(p.SetVariant(VariantFromI4(101)));
    EXPECT_FALSE(p.SetVariant(VariantFromR8(1e12)));
    EXPECT_EQ(p.GetValue(), 17);
    VARIANT out;
    p.GetVariant(&out);
    EXPECT_EQ(out.vt, VT_I4);
    EXPECT_EQ(out.lVal, 17);
}

TEST(CPropIntTest, SetRangeKeepsTheValueAndSetValueHonoursIt)
{
    CPropInt p(50, 0, 100);
    p.SetRange(0, 10);
    EXPECT_EQ(p.GetValue(), 50);
    p.SetValue(11);
    EXPECT_EQ(p.GetValue(), 50);
    p.SetValue(10);
    EXPECT_EQ(p.GetValue(), 10);
}

TEST(CPropIntTest, LimitsAreIntegersOfTheFullRange)
{
    CPropInt p(5, -3, 9);
    CProperty* lo = nullptr;
    CProperty* hi = nullptr;
    ASSERT_TRUE(p.GetLimits(&lo, &hi));
    std::unique_ptr<CProperty> a(lo), b(hi);
    CString s;
    lo->FormatText(s);
    EXPECT_EQ(s, "-3");
    hi->FormatText(s);
    EXPECT_EQ(s, "9");
    auto* l = dynamic_cast<CPropInt*>(lo);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->GetMinimum(), -2147483647 - 1);
    EXPECT_EQ(l->GetMaximum(), 2147483647);
}

}  // namespace

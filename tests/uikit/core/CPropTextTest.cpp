#include "uikit/core/CPropText.h"

#include <gtest/gtest.h>

namespace {

TEST(CPropTextTest, TakesTextsUpToItsMaximumLength)
{
    CPropText p("abc", 5);
    EXPECT_TRUE(p.ParseText("hello"));
    EXPECT_EQ(p.GetText(), "hello");
    EXPECT_FALSE(p.ParseText("hello!"));
    EXPECT_EQ(p.GetText(), "hello");
    EXPECT_TRUE(p.ParseText(""));
    EXPECT_TRUE(p.SetVariant(VariantFromI4(12345)));
    EXPECT_EQ(p.GetText(), "12345");
    EXPECT_FALSE(p.SetVariant(VariantFromText("too long")));
    EXPECT_EQ(p.GetText(), "12345");
    VARIANT v;
    p.GetVariant(&v);
    EXPECT_EQ(v.vt, VT_BSTR);
    EXPECT_EQ(v.bstrVal, "12345");
}

TEST(CPropTextTest, NeitherStepsNorLimits)
{
    CPropText p("x", 5);
    EXPECT_FALSE(p.CanStep());
    EXPECT_TRUE(p.IsText());
    p.HandleStepKey('+');
    EXPECT_EQ(p.GetText(), "x");
    EXPECT_TRUE(p.IsValidChar('\t'));
    CProperty* lo = reinterpret_cast<CProperty*>(1);
    CProperty* hi = reinterpret_cast<CProperty*>(1);
    EXPECT_FALSE(p.GetLimits(&lo, &hi));
    EXPECT_EQ(lo, nullptr);
    EXPECT_EQ(hi, nullptr);
}

}  // namespace

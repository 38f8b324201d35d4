#include "uikit/core/CPropBool.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(CPropBoolTest, ReadsExactlyOneOrZero)
{
    struct Case {
        const char* text;
        bool ok;
        bool value;
    };
    const Case cases[] = {{"1", true, true}, {"0", true, false}, {" 1", false, true}, {"10", false, true},
                          {"", false, true}, {"true", false, true}, {"01", false, true}};
    for (const Case& c : cases) {
        CPropBool p(true);
        if (c.ok && !c.value)
            p.SetValue(true);
        EXPECT_EQ(p.ParseText(c.text), c.ok) << c.text;
        EXPECT_EQ(p.GetValue(), c.value) << c.text;
    }
    CString s;
    CPropBool(true).FormatText(s);
    EXPECT_EQ(s, "1");
    CPropBool(false).FormatText(s);
    EXPECT_EQ(s, "0");
    EXPECT_TRUE(CPropBool().IsValidChar('1'));
    EXPECT_FALSE(CPropBool().IsValidChar('2'));
}

TEST(CPropBoolTest, StepsSetAndClear)
{
    CPropBool p(false);
    p.HandleStepKey('+');
    EXPECT_TRUE(p.GetValue());
    p.HandleStepKey('[');
    EXPECT_FALSE(p.GetValue());
    p.HandleStepKey(']');
    EXPECT_TRUE(p.GetValue());
    p.HandleStepKey('-');
    EXPECT_FALSE(p.GetValue());
}

TEST(CPropBoolTest, AnyNumberSetsTheVariant)
{
    CPropBool p;
    EXPECT_TRUE(p.SetVariant(VariantFromI4(7)));
    EXPECT_TRUE(p.GetValue());
    EXPECT_TRUE(p.SetVariant(VariantFromR8(0.0)));
    EXPECT_FALSE(p.GetValue());
    EXPECT_FALSE(p.SetVariant(VariantFromText("maybe")));
    VARIANT v;
    CPropBool(true).GetVariant(&v);
    EXPECT_EQ(v.vt, VT_BOOL);
    EXPECT_EQ(v.boolVal, VARIANT_TRUE);

    CProperty* lo = nullptr;
    CProperty* hi = nullptr;
    ASSERT_TRUE(p.GetLimits(&lo, &hi));
    std::unique_ptr<CProperty> a(lo), b(hi);
    EXPECT_FALSE(static_cast<CPropBool*>(lo)->GetValue());
    EXPECT_TRUE(static_cast<CPropBool*>(hi)->GetValue());
}

}  // namespace

#include "platform/com/Variant.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(VariantTest, ChangesTypeAsComCallersExpect)
{
    struct Case {
        const char* name;
        VARIANT in;
        VARTYPE to;
        HRESULT hr;
        LONG i4;
        const char* text;
    };
    const Case cases[] = {
        {"double rounds half to even", VariantFromR8(2.5), VT_I4, S_OK, 2, nullptr},
        {"odd half rounds up", VariantFromR8(3.5), VT_I4, S_OK, 4, nullptr},
        {"negative half", VariantFromR8(-2.5), VT_I4, S_OK, -2, nullptr},
        {"too large", VariantFromR8(3e9), VT_I4, DISP_E_OVERFLOW, 0, nullptr},
        {"not a number", VariantFromR8(std::nan("")), VT_I4, DISP_E_OVERFLOW, 0, nullptr},
        {"text number", VariantFromText(" 42 "), VT_I4, S_OK, 42, nullptr},
        {"text with more", VariantFromText("42x"), VT_I4, DISP_E_TYPEMISMATCH, 0, nullptr},
        {"empty text", VariantFromText(""), VT_I4, DISP_E_TYPEMISMATCH, 0, nullptr},
        {"text infinity", VariantFromText("inf"), VT_R8, DISP_E_TYPEMISMATCH, 0, nullptr},
        {"true is -1", VariantFromBool(true), VT_I4, S_OK, -1, nullptr},
        {"integer as text", VariantFromI4(-7), VT_BSTR, S_OK, 0, "-7"},
        {"double as text", VariantFromR8(0.1), VT_BSTR, S_OK, 0, "0.1"},
        {"bool as text", VariantFromBool(true), VT_BSTR, S_OK, 0, "-1"},
        {"empty as text", VARIANT{}, VT_BSTR, S_OK, 0, ""},
        {"empty as integer", VARIANT{}, VT_I4, S_OK, 0, nullptr},
    };
    for (const Case& c : cases) {
        VARIANT out = VariantFromI4(12345);
        EXPECT_EQ(VariantChangeType(&out, &c.in, 0, c.to), c.hr) << c.name;
        if (FAILED(c.hr)) {
            EXPECT_EQ(out.vt, VT_I4) << c.name;  // left as it was
            EXPECT_EQ(out.lVal, 12345) << c.name;
            continue;
        }
        EXPECT_EQ(out.vt, c.to) << c.name;
        if (c.to == VT_I4) {
            EXPECT_EQ(out.lVal, c.i4) << c.name;
        }
        if (c.text != nullptr) {
            EXPECT_EQ(out.bstrVal, c.text) << c.name;
        }
    }
}

TEST(VariantTest, BooleansAndUnknownTypes)
{
    VARIANT out;
    const VARIANT t = VariantFromText("TRUE");
    ASSERT_EQ(VariantChangeType(&out, &t, 0, VT_BOOL), S_OK);
    EXPECT_EQ(out.boolVal, VARIANT_TRUE);
    const VARIANT b = VariantFromBool(false);
    ASSERT_EQ(VariantChangeType(&out, &b, VARIANT_ALPHABOOL, VT_BSTR), S_OK);
    EXPECT_EQ(out.bstrVal, "False");
    VARIANT null;
    null.vt = VT_NULL;
    EXPECT_EQ(VariantChangeType(&out, &null, 0, VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(VariantChangeType(&out, &b, 0, 99), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantChangeType(nullptr, &b, 0, VT_I4), E_POINTER);
    VARIANT self = VariantFromR8(7.0);
    ASSERT_EQ(VariantChangeType(&self, &self, 0, VT_I4), S_OK);
    EXPECT_EQ(self.lVal, 7);
}

}  // namespace

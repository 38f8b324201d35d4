#include "platform/com/OleRegistry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

#include "platform/com/TaskMemory.h"
#include "platform/registry/Registry.h"
#include "platform/win/WideString.h"
#include "tests/support/TempRegistry.h"

namespace {

MV_DEFINE_GUID(kClass, 0x4A6B2C10, 0x7D3E, 0x4F21, 0x9A, 0x0B, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66);
constexpr const char* kClassKey = "CLSID\\{4A6B2C10-7D3E-4F21-9A0B-112233445566}";

// Creates `path` under HKEY_CLASSES_ROOT; sets its default value when given.
void WriteClassesKey(const std::string& path, const char* value = nullptr, DWORD type = REG_SZ)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (value) {
        ASSERT_EQ(RegSetValueExA(key, nullptr, 0, type, reinterpret_cast<const BYTE*>(value),
                                 static_cast<DWORD>(std::strlen(value) + 1)),
                  ERROR_SUCCESS);
    }
    RegCloseKey(key);
}

struct UserTypeCase {
    const char* name;
    const char* fullName;   // null: no default value
    const char* shortName;  // null: no AuxUserType\2
    bool classKey;
    DWORD form;
    HRESULT expected;
    const char* text;
};

// Cases print by name: their padding bytes carry nothing.
void PrintTo(const UserTypeCase& c, std::ostream* os)
{
    *os << c.name;
}

class OleRegGetUserTypeTest : public ::testing::TestWithParam<UserTypeCase> {
protected:
    mvtest::TempRegistry registry;
};

TEST_P(OleRegGetUserTypeTest, AnswersFromTheClassKey)
{
    const UserTypeCase& c = GetParam();
    if (c.classKey)
        WriteClassesKey(kClassKey, c.fullName);
    if (c.shortName)
        WriteClassesKey(std::string(kClassKey) + "\\AuxUserType\\2", c.shortName);

    LPOLESTR name = reinterpret_cast<LPOLESTR>(1);
    EXPECT_EQ(OleRegGetUserType(kClass, c.form, &name), c.expected);
    if (c.text) {
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(mvwin::Utf16ToUtf8(name), c.text);
    } else {
        EXPECT_EQ(name, nullptr);
    }
    CoTaskMemFree(name);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OleRegGetUserTypeTest,
    ::testing::Values(
        UserTypeCase{"FullName", "Grain Delay Filter", nullptr, true, USERCLASSTYPE_FULL, S_OK, "Grain Delay Filter"},
        UserTypeCase{"NonAsciiName", "Écho \xE2\x80\x93 Süß", nullptr, true, USERCLASSTYPE_FULL, S_OK,
                     "Écho \xE2\x80\x93 Süß"},
        UserTypeCase{"ShortName", "Grain Delay Filter", "Grain", true, USERCLASSTYPE_SHORT, S_OK, "Grain"},
        UserTypeCase{"ShortFallsBackToFull", "Grain Delay Filter", nullptr, true, USERCLASSTYPE_SHORT, S_OK,
                     "Grain Delay Filter"},
        UserTypeCase{"FullIgnoresShort", "Grain Delay Filter", "Grain", true, USERCLASSTYPE_FULL, S_OK,
                     "Grain Delay Filter"},
        UserTypeCase{"ClassNotRegistered", nullptr, nullptr, false, USERCLASSTYPE_FULL, REGDB_E_CLASSNOTREG, nullptr},
        UserTypeCase{"KeyWithoutName", nullptr, nullptr, true, USERCLASSTYPE_FULL, REGDB_E_READREGDB, nullptr},
        UserTypeCase{"EmptyName", "", nullptr, true, USERCLASSTYPE_SHORT, REGDB_E_READREGDB, nullptr},
        UserTypeCase{"UnknownForm", "Grain Delay Filter", nullptr, true, 7, E_INVALIDARG, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OleRegGetUserType, NullOutPointerIsRefused)
{
    EXPECT_EQ(OleRegGetUserType(kClass, USERCLASSTYPE_FULL, nullptr), E_POINTER);
}

TEST(OleRegGetUserType, BinaryDefaultValueIsNoName)
{
    mvtest::TempRegistry registry;
    WriteClassesKey(kClassKey, "Grain", REG_BINARY);
    LPOLESTR name = nullptr;
    EXPECT_EQ(OleRegGetUserType(kClass, USERCLASSTYPE_FULL, &name), REGDB_E_READREGDB);
    EXPECT_EQ(name, nullptr);
}

struct ClsidTextCase {
    const char* name;
    std::u16string text;
    bool valid;
};

TEST(CLSIDFromString, ParsesOnlyTheBracedForm)
{
    const ClsidTextCase cases[] = {
        {"UpperCase", u"{4A6B2C10-7D3E-4F21-9A0B-112233445566}", true},
        {"LowerCase", u"{4a6b2c10-7d3e-4f21-9a0b-112233445566}", true},
        {"NoBraces", u"4A6B2C10-7D3E-4F21-9A0B-112233445566", false},
        {"TrailingText", u"{4A6B2C10-7D3E-4F21-9A0B-112233445566}x", false},
        {"ShortGroup", u"{4A6B2C1-7D3E-4F21-9A0B-112233445566}", false},
        {"WideDigit", u"{4A6B2C10-7D3E-4F21-9A0B-11223344556\uFF16}", false},
        {"Empty", u"", false},
    };
    for (const ClsidTextCase& c : cases) {
        SCOPED_TRACE(c.name);
        CLSID clsid = GUID_NULL;
        const HRESULT hr = CLSIDFromString(c.text.c_str(), &clsid);
        if (c.valid) {
            EXPECT_EQ(hr, S_OK);
            EXPECT_EQ(clsid, kClass);
        } else {
            EXPECT_EQ(hr, CO_E_CLASSSTRING);
            EXPECT_EQ(clsid, GUID_NULL);
        }
    }
}

TEST(StringFromGUID2, WritesTheBracedFormWhenItFits)
{
    OLECHAR text[39];
    EXPECT_EQ(StringFromGUID2(kClass, text, 39), 39);
    EXPECT_EQ(mvwin::Utf16ToUtf8(text), "{4A6B2C10-7D3E-4F21-9A0B-112233445566}");
    EXPECT_EQ(StringFromGUID2(kClass, text, 38), 0);
}

}  // namespace

#include "uikit/core/CRegKeyBase.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <vector>

#include "tests/support/TempRegistry.h"

namespace {

class CRegKeyBaseTest : public ::testing::Test {
protected:
    static void SetRaw(HKEY root, const char* path, const char* name, DWORD type, const void* data, DWORD size)
    {
        HKEY k = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(root, path, &k));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(k, name, 0, type, static_cast<const BYTE*>(data), size));
        RegCloseKey(k);
    }
    static bool Exists(HKEY root, const char* path)
    {
        HKEY k = nullptr;
        if (RegOpenKeyA(root, path, &k) != ERROR_SUCCESS)
            return false;
        RegCloseKey(k);
        return true;
    }

    mvtest::TempRegistry m_registry;
};

TEST_F(CRegKeyBaseTest, UnknownRootCodeGivesNoKeyAndDefaults)
{
    SetRaw(HKEY_CURRENT_USER, "Software\\T", "n", REG_DWORD, "\x05\0\0\0", 4);
    for (int code : {0, 1, -4}) {
        CRegKeyBase key("Software", "T", CRegKeyBase::kOpenOrCreate, code);
        EXPECT_EQ(nullptr, key.GetKey()) << code;
        EXPECT_EQ(77u, key.GetDword("n", 77));
        CString text("unchanged");
        key.GetString("n", "dflt", text);
        EXPECT_EQ("dflt", text);
        EXPECT_FALSE(key.SetString("s", "x"));
        EXPECT_FALSE(key.SetBinary("b", "x", 1));
        EXPECT_EQ(0u, key.GetBinarySize("n"));
    }
}

TEST_F(CRegKeyBaseTest, RootCodesAndModes)
{
    struct Case {
        int code;
        HKEY root;
        const char* seenAt;
    } cases[] = {
        {CRegKeyBase::kLocalMachine, HKEY_LOCAL_MACHINE, "Software\\Base\\Sub"},
        {CRegKeyBase::kCurrentUser, HKEY_CURRENT_USER, "Software\\Base\\Sub"},
        {CRegKeyBase::kClassesRoot, HKEY_LOCAL_MACHINE, "Software\\Classes\\Software\\Base\\Sub"},
    };
    for (auto& c : cases) {
        {
            CRegKeyBase openOnly("Software\\Base", "Sub", CRegKeyBase::kOpenOnly, c.code);
            EXPECT_EQ(nullptr, openOnly.GetKey()) << c.code;
        }
        {
            CRegKeyBase create("Software\\Base", "Sub", CRegKeyBase::kOpenOrCreate, c.code);
            ASSERT_NE(nullptr, create.GetKey()) << c.code;
            EXPECT_TRUE(create.SetString("Where", "here"));
        }
        EXPECT_TRUE(Exists(c.root, c.seenAt)) << c.code;
        CRegKeyBase again("Software\\Base\\Sub", nullptr, CRegKeyBase::kOpenOnly, c.code);
        CString text;
        again.GetString("where", "", text);
        EXPECT_EQ("here", text) << c.code;
        RegDeleteTreeA(c.root, "Software");
    }

    // An empty sub-key adds no separator; a path below an open key.
    CRegKeyBase top("Software\\Top", "", CRegKeyBase::kOpenOrCreate, CRegKeyBase::kCurrentUser);
    ASSERT_NE(nullptr, top.GetKey());
    CRegKeyBase below("Child", CRegKeyBase::kOpenOrCreate, top.GetKey());
    ASSERT_NE(nullptr, below.GetKey());
    EXPECT_TRUE(Exists(HKEY_CURRENT_USER, "Software\\Top\\Child"));
}

TEST_F(CRegKeyBaseTest, TypedValuesRoundTrip)
{
    CRegKeyBase key("Software\\Values", nullptr, CRegKeyBase::kOpenOrCreate, CRegKeyBase::kCurrentUser);
    EXPECT_TRUE(key.SetString("Text", "Primary Sound Driver"));
    const BYTE blob[] = {9, 8, 7, 0, 6};
    EXPECT_TRUE(key.SetBinary("Blob", blob, sizeof blob));
    SetRaw(HKEY_CURRENT_USER, "Software\\Values", "Count", REG_DWORD, "\x2a\0\0\0", 4);

    mvreg::ReloadHives();
    CString text;
    key.GetString("TEXT", "", text);
    EXPECT_EQ("Primary Sound Driver", text);
    char buf[64];
    EXPECT_EQ(20, key.GetStringBuf("Text", "d", buf, sizeof buf));
    EXPECT_STREQ("Primary Sound Driver", buf);
    EXPECT_EQ(42u, key.GetDword("count", 0));
    ASSERT_EQ(sizeof blob, key.GetBinarySize("Blob"));
    BYTE out[sizeof blob] = {};
    EXPECT_EQ(sizeof blob, key.GetBinary("Blob", out, sizeof out));
    EXPECT_EQ(0, std::memcmp(blob, out, sizeof blob));
}

TEST_F(CRegKeyBaseTest, WrongTypesAndSizesReadAsDefaults)
{
    CRegKeyBase key("Software\\Wrong", nullptr, CRegKeyBase::kOpenOrCreate, CRegKeyBase::kCurrentUser);
    key.SetString("Text", "1234");
    SetRaw(HKEY_CURRENT_USER, "Software\\Wrong", "Dword", REG_DWORD, "\x01\0\0\0", 4);
    SetRaw(HKEY_CURRENT_USER, "Software\\Wrong", "Short", REG_DWORD, "\x01\0", 2);
    key.SetBinary("Blob4", "abcd", 4);

    EXPECT_EQ(5u, key.GetDword("Text", 5));
    EXPECT_EQ(5u, key.GetDword("Short", 5));
    EXPECT_EQ(5u, key.GetDword("Blob4", 5));
    EXPECT_EQ(5u, key.GetDword("Missing", 5));
    CString text;
    key.GetString("Dword", "dflt", text);
    EXPECT_EQ("dflt", text);
    EXPECT_EQ(0u, key.GetBinarySize("Text"));
    EXPECT_EQ(0u, key.GetBinarySize("Missing"));

    // A 4-byte value of another type is not binary: 0, and nothing read.
    BYTE out[4] = {0xee, 0xee, 0xee, 0xee};
    EXPECT_EQ(0u, key.GetBinary("Dword", out, 4));
    // A binary of another size is not read; its size tells the caller.
    EXPECT_EQ(4u, key.GetBinary("Blob4", out, 2));
    EXPECT_EQ(std::vector<BYTE>(4, 0xee), std::vector<BYTE>(out, out + 4));
    EXPECT_EQ(0u, key.GetBinary("Missing", out, 4));
}

TEST_F(CRegKeyBaseTest, GetStringBufNeverOverrunsItsBuffer)
{
    CRegKeyBase key("Software\\Buf", nullptr, CRegKeyBase::kOpenOrCreate, CRegKeyBase::kCurrentUser);
    key.SetString("Long", "0123456789");
    char buf[8];
    std::memset(buf, 'x', sizeof buf);
    // Too long for the buffer: the default instead.
    EXPECT_EQ(3, key.GetStringBuf("Long", "abc", buf, sizeof buf));
    EXPECT_STREQ("abc", buf);
    // A default too long for the buffer is cut and terminated.
    char small[5];
    EXPECT_EQ(4, key.GetStringBuf("Missing", "abcdefgh", small, sizeof small));
    EXPECT_STREQ("abcd", small);
    EXPECT_EQ(0, key.GetStringBuf("Missing", nullptr, small, sizeof small));
    EXPECT_STREQ("", small);
    EXPECT_EQ(0, key.GetStringBuf("Long", "abc", small, 0));
}

}  // namespace

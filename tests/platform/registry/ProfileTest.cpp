#include "platform/registry/Profile.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "tests/support/TempProfile.h"

namespace {

class ProfileTest : public ::testing::Test {
protected:
    static bool KeyExists(const char* path)
    {
        HKEY k = nullptr;
        if (RegOpenKeyA(HKEY_CURRENT_USER, path, &k) != ERROR_SUCCESS)
            return false;
        RegCloseKey(k);
        return true;
    }

    mvtest::TempProfile m_profile;
};

TEST_F(ProfileTest, ValuesRoundTripInTheApplicationKey)
{
    EXPECT_EQ("Varnholt Music Software\\Morvane", GetRegistryKey());
    EXPECT_EQ("1.0", GetProfileName());
    EXPECT_TRUE(WriteProfileInt("Options", "BufferMsec", 100));
    EXPECT_TRUE(WriteProfileInt("Options", "Negative", -5));
    EXPECT_TRUE(WriteProfileString("Options", "DSoundOutput", "Primary Sound Driver"));
    const BYTE blob[] = {0, 1, 2, 0xff};
    EXPECT_TRUE(WriteProfileBinary("VhMv.BarState.02-SCBar-0", "sizeHorz", blob, sizeof blob));

    mvreg::ReloadHives();
    EXPECT_EQ(100u, GetProfileIntA("Options", "buffermsec", 7));
    EXPECT_EQ(-5, static_cast<INT>(GetProfileIntA("OPTIONS", "Negative", 7)));
    EXPECT_EQ("Primary Sound Driver", GetProfileStringA("Options", "DSoundOutput"));
    std::vector<BYTE> data;
    EXPECT_TRUE(GetProfileBinary("VhMv.BarState.02-SCBar-0", "sizeHorz", data));
    EXPECT_EQ(std::vector<BYTE>(blob, blob + sizeof blob), data);

    // Where the Windows application class keeps them.
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Varnholt Music Software\\Morvane\\1.0\\Options", &k));
    DWORD type = 0, value = 0, size = sizeof value;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(k, "BufferMsec", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size));
    EXPECT_EQ(REG_DWORD, type);
    EXPECT_EQ(100u, value);
    RegCloseKey(k);
}

TEST_F(ProfileTest, MissingOrWrongTypedValuesReadAsTheDefault)
{
    WriteProfileString("Options", "UndoDepth", "64");
    WriteProfileInt("Options", "Name", 3);
    EXPECT_EQ(16u, GetProfileIntA("Options", "UndoDepth", 16));
    EXPECT_EQ("fallback", GetProfileStringA("Options", "Name", "fallback"));
    EXPECT_EQ("", GetProfileStringA("Options", "Missing"));
    std::vector<BYTE> data{1, 2};
    EXPECT_FALSE(GetProfileBinary("Options", "Name", data));
    EXPECT_TRUE(data.empty());
    EXPECT_EQ(9u, GetProfileIntA("Nowhere", "Entry", 9));
    EXPECT_EQ(9u, GetProfileIntA(nullptr, "Entry", 9));
    EXPECT_FALSE(KeyExists("Software\\Varnholt Music Software\\Morvane\\1.0\\Nowhere"));  // reads create nothing
}

TEST_F(ProfileTest, DeletingEntriesAndSections)
{
    WriteProfileString("Presets", "a", "1");
    WriteProfileString("Presets", "b", "2");
    EXPECT_TRUE(WriteProfileString("Presets", "a", nullptr));
    EXPECT_EQ("gone", GetProfileStringA("Presets", "a", "gone"));
    EXPECT_EQ("2", GetProfileStringA("Presets", "b"));
    EXPECT_TRUE(WriteProfileString("Presets", "a", nullptr));  // already gone
    EXPECT_TRUE(WriteProfileString("Presets", nullptr, nullptr));
    EXPECT_FALSE(KeyExists("Software\\Varnholt Music Software\\Morvane\\1.0\\Presets"));
    EXPECT_TRUE(KeyExists("Software\\Varnholt Music Software\\Morvane\\1.0"));
    EXPECT_FALSE(WriteProfileString("", nullptr, nullptr));  // never the whole profile
}

TEST_F(ProfileTest, WithoutARegistryKeyNothingIsWritten)
{
    SetRegistryKey(nullptr);
    EXPECT_FALSE(WriteProfileInt("Options", "x", 1));
    EXPECT_FALSE(WriteProfileString("Options", "x", "y"));
    EXPECT_FALSE(WriteProfileBinary("Options", "x", nullptr, 0));
    EXPECT_EQ(4u, GetProfileIntA("Options", "x", 4));
    EXPECT_FALSE(KeyExists("Software"));
}

}  // namespace

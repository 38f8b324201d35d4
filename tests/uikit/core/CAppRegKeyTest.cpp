#include "uikit/core/CAppRegKey.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "tests/support/TempRegistry.h"

namespace {

class CAppRegKeyTest : public ::testing::Test {
protected:
    mvtest::TempRegistry m_registry;
};

TEST_F(CAppRegKeyTest, KeyTextsComeFromNameAndVersion)
{
    CAppRegKey::SetAppRegistryRoot("Morvane", "1.0");
    EXPECT_EQ("Software\\Varnholt Music Software\\Morvane\\1.0", CAppRegKey::GetAppFullKey());
    EXPECT_EQ("Software\\Varnholt Music Software\\Morvane", CAppRegKey::GetAppKey());
    EXPECT_EQ("Varnholt Music Software\\Morvane", CAppRegKey::GetAppRegistryKeyName());
    EXPECT_EQ("1.0", CAppRegKey::GetAppProfileName());
}

TEST_F(CAppRegKeyTest, OpensBelowTheFullKey)
{
    CAppRegKey::SetAppRegistryRoot("Morvane", "1.0");
    {
        CAppRegKey machine(nullptr, CRegKeyBase::kOpenOrCreate, CRegKeyBase::kLocalMachine);
        EXPECT_TRUE(machine.SetString("Language", "Japanese"));
        CAppRegKey user("UserPaths", CRegKeyBase::kOpenOrCreate, CRegKeyBase::kCurrentUser);
        EXPECT_TRUE(user.SetString("MidiPatternsFolder", "/tmp"));
    }
    CRegKeyBase machine("Software\\Varnholt Music Software\\Morvane\\1.0", nullptr, CRegKeyBase::kOpenOnly,
                        CRegKeyBase::kLocalMachine);
    CString text;
    machine.GetString("Language", "English", text);
    EXPECT_EQ("Japanese", text);
    CRegKeyBase user("Software\\Varnholt Music Software\\Morvane\\1.0\\UserPaths", nullptr, CRegKeyBase::kOpenOnly,
                     CRegKeyBase::kCurrentUser);
    user.GetString("MidiPatternsFolder", "", text);
    EXPECT_EQ("/tmp", text);

    CAppRegKey missing("NoSuchSection", CRegKeyBase::kOpenOnly, CRegKeyBase::kCurrentUser);
    EXPECT_EQ(nullptr, missing.GetKey());
}

// Before the application key is known nothing is opened or created, so no
// setting lands at the top of a hive. Runs in a fresh process, where the
// class-wide texts are still empty.
TEST_F(CAppRegKeyTest, NoKeyBeforeTheRootIsSet)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            CAppRegKey key("UserPaths", CRegKeyBase::kOpenOrCreate, CRegKeyBase::kCurrentUser);
            HKEY top = nullptr;
            bool topMade = RegOpenKeyA(HKEY_CURRENT_USER, "UserPaths", &top) == ERROR_SUCCESS;
            std::exit(key.GetKey() == nullptr && !topMade ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace

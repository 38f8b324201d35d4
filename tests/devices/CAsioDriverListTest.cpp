#include "devices/CAsioDriverList.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "platform/registry/Registry.h"
#include "tests/platform/audio/FakeAsioDriver.h"
#include "tests/support/TempRegistry.h"

namespace {

using mvtest::FakeAsio;

// One of the class ids a host never lists.
MV_DEFINE_GUID(kRefusedClass, 0xA91EABA1, 0xCF4C, 0x11D3, 0xB9, 0x6A, 0x00, 0xA0, 0xC9, 0xC7, 0xB6, 0x1A);

class CAsioDriverListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FakeAsio::Reset();
    }
    void TearDown() override
    {
        FakeAsio::Reset();
    }

    static std::vector<std::string> Names(const CAsioDriverList& list)
    {
        std::vector<std::string> names;
        for (int i = 0; i < list.GetCount(); ++i) {
            char name[CAsioDriverList::kMaxKeyName];
            EXPECT_EQ(0, list.GetDriverName(i, name, sizeof name));
            names.emplace_back(name);
        }
        return names;
    }

    // A subkey of "software\asio" with the given values, nothing else.
    static void WriteAsioKey(const std::string& subkey, const char* clsid, const char* description = nullptr)
    {
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, ("software\\asio\\" + subkey).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                        &key, nullptr);
        RegSetValueExA(key, "clsid", 0, REG_SZ, reinterpret_cast<const BYTE*>(clsid),
                       static_cast<DWORD>(strlen(clsid) + 1));
        if (description)
            RegSetValueExA(key, "description", 0, REG_SZ, reinterpret_cast<const BYTE*>(description),
                           static_cast<DWORD>(strlen(description) + 1));
        RegCloseKey(key);
    }

    mvtest::TempRegistry m_registry;
};

TEST_F(CAsioDriverListTest, DriversInSubkeyOrderNamedByDescriptionOrKey)
{
    FakeAsio::Install(mvtest::CLSID_FakeAsioA, "Zeta", "Zeta Audio", {});
    FakeAsio::Install(mvtest::CLSID_FakeAsioB, "Alpha", nullptr, {});
    CAsioDriverList list;
    EXPECT_EQ((std::vector<std::string>{"Zeta Audio", "Alpha"}), Names(list));
}

TEST_F(CAsioDriverListTest, OnlyClassesWithAnExistingServerAreListed)
{
    FakeAsio::Install(mvtest::CLSID_FakeAsioA, "Good", nullptr, {});
    // The same class named in lower case still finds its server.
    WriteAsioKey("LowerCase", "{b47ef82a-65e5-4dfc-8d67-c1f25a0e2023}");
    WriteAsioKey("NoClass", "{00000000-1111-2222-3333-444444444444}");
    WriteAsioKey("NotAGuid", "fake");
    FakeAsio::Install(mvtest::CLSID_FakeAsioB, "GoneFile", nullptr, {});
    mvcom::RegisterInprocServer(mvtest::CLSID_FakeAsioB, "gone", (m_registry.Path() + "/gone.so").c_str());
    FakeAsio::Install(kRefusedClass, "Refused", nullptr, {});
    CAsioDriverList list;
    EXPECT_EQ((std::vector<std::string>{"Good", "LowerCase"}), Names(list));
}

TEST_F(CAsioDriverListTest, NoKeyNoDrivers)
{
    CAsioDriverList list;
    EXPECT_EQ(0, list.GetCount());
    char name[8];
    EXPECT_EQ(CAsioDriverList::kNotFound, list.GetDriverName(0, name, sizeof name));
}

TEST_F(CAsioDriverListTest, ANameThatDoesNotFitIsCutWithDots)
{
    const std::string longName(130, 'n');
    FakeAsio::Install(mvtest::CLSID_FakeAsioA, "Long", longName.c_str(), {});
    FakeAsio::Install(mvtest::CLSID_FakeAsioB, "Exact", std::string(127, 'e').c_str(), {});
    CAsioDriverList list;
    ASSERT_EQ(2, list.GetCount());

    char name[CAsioDriverList::kMaxKeyName];
    ASSERT_EQ(0, list.GetDriverName(0, name, sizeof name));
    EXPECT_EQ(std::string(124, 'n') + "...", name);
    ASSERT_EQ(0, list.GetDriverName(1, name, sizeof name));
    EXPECT_EQ(std::string(127, 'e'), name);
    ASSERT_EQ(0, list.GetDriverName(0, name, 2));
    EXPECT_STREQ(".", name);

    EXPECT_EQ(CAsioDriverList::kInvalidParam, list.GetDriverName(0, nullptr, 10));
    EXPECT_EQ(CAsioDriverList::kInvalidParam, list.GetDriverName(0, name, 0));
    EXPECT_EQ(CAsioDriverList::kNotFound, list.GetDriverName(2, name, sizeof name));
    EXPECT_EQ(CAsioDriverList::kNotFound, list.GetDriverName(-1, name, sizeof name));
}

TEST_F(CAsioDriverListTest, ADriverIsOpenOnceUntilClosed)
{
    FakeAsio::Install(mvtest::CLSID_FakeAsioA, "Fake", nullptr, {});
    {
        CAsioDriverList list;
        IAsioDriver* driver = nullptr;
        EXPECT_EQ(CAsioDriverList::kInvalidParam, list.OpenDriver(0, nullptr));
        EXPECT_EQ(CAsioDriverList::kNotFound, list.OpenDriver(1, &driver));
        EXPECT_EQ(nullptr, driver);
        ASSERT_EQ(0, list.OpenDriver(0, &driver));
        ASSERT_NE(nullptr, driver);
        EXPECT_EQ(1, FakeAsio::Log().created);
        IAsioDriver* again = reinterpret_cast<IAsioDriver*>(1);
        EXPECT_EQ(CAsioDriverList::kAlreadyOpen, list.OpenDriver(0, &again));
        EXPECT_EQ(nullptr, again);
        EXPECT_EQ(0, list.CloseDriver(0));
        EXPECT_EQ(1, FakeAsio::Log().destroyed);
        EXPECT_EQ(CAsioDriverList::kNotFound, list.CloseDriver(3));
        ASSERT_EQ(0, list.OpenDriver(0, &driver));
    }
    EXPECT_EQ(2, FakeAsio::Log().destroyed) << "the list releases what it holds";
}

TEST_F(CAsioDriverListTest, ACreationFailureComesBackAsItsResult)
{
    FakeAsio::Install(mvtest::CLSID_FakeAsioA, "Fake", nullptr, {});
    CAsioDriverList list;
    mvcom::UnregisterBuiltinClass(mvtest::CLSID_FakeAsioA);  // the registry still names this program
    IAsioDriver* driver = nullptr;
    EXPECT_LT(list.OpenDriver(0, &driver), 0);
    EXPECT_EQ(nullptr, driver);
}

}  // namespace

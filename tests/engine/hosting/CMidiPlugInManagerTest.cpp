#include "engine/hosting/CMidiPlugInManager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/engine/hosting/MenuText.h"
#include "tests/engine/hosting/PlugInRegistry.h"
#include "tests/support/TempRegistry.h"

namespace {

using mvtest::TestClsid;

constexpr const char* kMidiFilters = "Software\\Varnholt Music Software\\MIDI Filters";
MV_DEFINE_GUID(kTableId, 0xB7441A60, 0x0F5B, 0x11D2, 0x91, 0x34, 0x00, 0x60, 0x08, 0x17, 0xCD, 0xCA);

void ListMidiFilter(const std::string& subkey)
{
    mvtest::WriteKey(HKEY_LOCAL_MACHINE, std::string(kMidiFilters) + "\\" + subkey);
}

void ListMidiFilter(REFCLSID clsid)
{
    ListMidiFilter(mvwin::GuidToString(clsid));
}

class CMidiPlugInManagerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(CPlugInManager::LoadExclusionList()); }
    void TearDown() override { CPlugInManager::LoadExclusionList(); }

    std::vector<std::string> Names(const CPlugInManager& list)
    {
        std::vector<std::string> names;
        for (int i = 0; i < list.GetCount(); ++i)
            names.push_back(list.GetPlugIn(i)->GetName());
        return names;
    }

    mvtest::TempRegistry registry;
};

TEST_F(CMidiPlugInManagerTest, ListsRegisteredFiltersAndSkipsWhatCannotBeListed)
{
    // A name that is no class id, one without braces, a class without a
    // COM name, a class without a key at all, one of the fixed table (well
    // registered), one the user excluded: none of them is listed.
    ListMidiFilter("Arpeggiator");
    ListMidiFilter("6D0F0009-4B1A-4C2E-9D3F-5A6B7C8D9E0F");
    mvtest::RegisterClassName(TestClsid(9), "Unbraced");
    ListMidiFilter(TestClsid(1));
    mvtest::RegisterClassName(TestClsid(1), nullptr);
    ListMidiFilter(TestClsid(2));
    ListMidiFilter(kTableId);
    mvtest::RegisterClassName(kTableId, "Fixed Table Echo");
    ListMidiFilter(TestClsid(3));
    mvtest::RegisterClassName(TestClsid(3), "Excluded Echo");
    mvtest::WriteKey(HKEY_CURRENT_USER,
                     "Software\\Varnholt Music Software\\ExcludedPlugIns\\" + mvwin::GuidToString(TestClsid(3)));
    ASSERT_TRUE(CPlugInManager::LoadExclusionList());
    // Listed: one with help texts, one without a maker entry.
    ListMidiFilter(TestClsid(4));
    mvtest::RegisterClassName(TestClsid(4), "Velocity", "Vel");
    mvtest::WriteMakerEntry(TestClsid(4), "Scales velocities", "velocity.chm", 42);
    ListMidiFilter(TestClsid(5));
    mvtest::RegisterClassName(TestClsid(5), "Arpeggiator");

    CMidiPlugInManager list;
    EXPECT_EQ(list.Enumerate(), 1);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"Arpeggiator", "Velocity"}));

    const CRegPlugIn* arp = list.GetPlugIn(0);
    EXPECT_EQ(arp->GetClassId(), TestClsid(5));
    EXPECT_EQ(arp->GetInterfaceId(), CATID_MidiEffect);
    EXPECT_EQ(arp->GetDescription(), "");
    EXPECT_EQ(arp->GetHelpFilePath(), "");
    EXPECT_EQ(arp->GetExtra(), 0xFFFFFFFFu);
    EXPECT_EQ(arp->GetHidden(), 0u);

    // The full name, not the short one.
    const CRegPlugIn* velocity = list.GetPlugIn(1);
    EXPECT_EQ(velocity->GetDescription(), "Scales velocities");
    EXPECT_EQ(velocity->GetHelpFilePath(), "velocity.chm");
    EXPECT_EQ(velocity->GetExtra(), 42u);
}

TEST_F(CMidiPlugInManagerTest, NamesEqualButForCaseListTheLaterFirst)
{
    ListMidiFilter(TestClsid(1));
    mvtest::RegisterClassName(TestClsid(1), "echo");
    ListMidiFilter(TestClsid(2));
    mvtest::RegisterClassName(TestClsid(2), "Echo");
    CMidiPlugInManager list;
    list.Enumerate();
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_EQ(list.GetPlugIn(0)->GetClassId(), TestClsid(2));
    EXPECT_EQ(list.GetPlugIn(1)->GetClassId(), TestClsid(1));
}

TEST_F(CMidiPlugInManagerTest, BuildsTheMfxMenuGroupedByMaker)
{
    const char* names[] = {"Varnholt Echo", "Varnholt Chord", "Transpose"};
    for (std::uint32_t i = 0; i < 3; ++i) {
        ListMidiFilter(TestClsid(i + 1));
        mvtest::RegisterClassName(TestClsid(i + 1), names[i]);
    }
    CMidiPlugInManager list;
    list.Enumerate();
    CMenuModel menu = mvtest::MenuWithPlaceholder("MIDI PLUGIN");
    list.AddToMenu(menu, 700);
    EXPECT_EQ(mvtest::MenuText(menu),
              "Insert#1|Mfx>[Transpose#700|---|Varnholt>[Chord#701|Echo#702]]|Delete#3");
}

TEST_F(CMidiPlugInManagerTest, NoMidiFiltersKeyGivesAnEmptyList)
{
    CMidiPlugInManager list;
    EXPECT_EQ(list.Enumerate(), 1);
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.GetTitleStringId(), 16570u);
}

}  // namespace

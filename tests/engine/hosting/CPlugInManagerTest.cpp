#include "engine/hosting/CPlugInManager.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/com/TaskMemory.h"
#include "platform/com/Unknown.h"
#include "tests/engine/hosting/MenuText.h"
#include "tests/engine/hosting/PlugInRegistry.h"
#include "tests/support/TempRegistry.h"

namespace {

using mvtest::MenuText;
using mvtest::TestClsid;

constexpr const char* kExcludedKey = "Software\\Varnholt Music Software\\ExcludedPlugIns";

// A list filled by hand, in the order names are given.
class CListManager : public CPlugInManager {
public:
    BOOL Enumerate() override
    {
        GroupNames();
        return 1;
    }
    UINT GetTitleStringId() const override { return 0; }
    void AddToMenu(CMenuModel& menu, UINT firstCommandId) override
    {
        BuildMenu(menu, "Effects", "AUDIO PLUGIN", firstCommandId);
    }

    void Add(const std::string& name, DWORD hidden = 0)
    {
        auto record = std::make_unique<CRegPlugIn>(TestClsid(m_next++), IID_IUnknown, name, "", "", 0xFFFFFFFF);
        record->SetHidden(hidden);
        InsertSorted(std::move(record));
    }
    // Every record as group/item.
    std::vector<std::string> Entries() const
    {
        std::vector<std::string> out;
        for (int i = 0; i < GetCount(); ++i)
            out.push_back(GetPlugIn(i)->GetGroupName() + "/" + GetPlugIn(i)->GetName());
        return out;
    }

private:
    std::uint32_t m_next = 0;
};

struct GroupCase {
    const char* name;
    std::vector<std::string> names;
    std::vector<std::string> entries;  // group/item in list order
};

// Cases print by name: their padding bytes carry nothing.
void PrintTo(const GroupCase& c, std::ostream* os)
{
    *os << c.name;
}

class GroupNamesTest : public ::testing::TestWithParam<GroupCase> {};

TEST_P(GroupNamesTest, GroupsNeighboursByLeadingWords)
{
    CListManager list;
    for (const std::string& n : GetParam().names)
        list.Add(n);
    list.Enumerate();
    EXPECT_EQ(list.Entries(), GetParam().entries);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GroupNamesTest,
    ::testing::Values(
        GroupCase{"MakerWord", {"Varnholt Reverb", "Varnholt Echo"}, {"Varnholt/Echo", "Varnholt/Reverb"}},
        GroupCase{"LoneNameStaysWhole", {"Chorus", "Varnholt Echo"}, {"Chorus/Chorus", "Varnholt Echo/Varnholt Echo"}},
        GroupCase{"PartialWordIsNotATitle", {"Varnholt Echo", "Varnholt Eq"}, {"Varnholt/Echo", "Varnholt/Eq"}},
        GroupCase{"NameInsideLongerNameNeedsASharedBlank", {"Echo", "Echo Delay"}, {"Echo/Echo", "Echo Delay/Echo Delay"}},
        GroupCase{"ShortestSharedTextWins",
                  {"Acme Delay One", "Acme Delay Two", "Acme Reverb"},
                  {"Acme/Delay One", "Acme/Delay Two", "Acme/Reverb"}},
        GroupCase{"LongerSharedWords", {"Acme Delay One", "Acme Delay Two"}, {"Acme Delay/One", "Acme Delay/Two"}},
        GroupCase{"PunctuationLeavesTheTitle",
                  {"Acme - Chorus", "Acme - Flanger"},
                  {"Acme/Chorus", "Acme/Flanger"}},
        GroupCase{"BlankAtTheCutInOneNameOnly", {"A B C", "A BX"}, {"A/B C", "A/BX"}},
        GroupCase{"SameFullNamesStayWhole", {"Acme Echo", "Acme Echo"}, {"Acme Echo/Acme Echo", "Acme Echo/Acme Echo"}},
        GroupCase{"CaseMatters", {"acme Echo", "Acme Reverb"}, {"acme Echo/acme Echo", "Acme Reverb/Acme Reverb"}},
        GroupCase{"RunsAreSeparate",
                  {"Acme Echo", "Acme Reverb", "Bolt Drive", "Bolt Fuzz", "Chorus"},
                  {"Acme/Echo", "Acme/Reverb", "Bolt/Drive", "Bolt/Fuzz", "Chorus/Chorus"}},
        GroupCase{"OwnInstrumentsNeitherJoinNorSplit",
                  {"Morvane Echo", "Morvane Quorlanth Bass", "Morvane Reverb"},
                  {"Morvane/Echo", "Morvane Quorlanth Bass/Morvane Quorlanth Bass", "Morvane/Reverb"}},
        GroupCase{"NonAsciiWordsStayWhole",
                  {"Bj\xC3\xB6" "rk Echo", "Bj\xC3\xB6" "rk \xC3\x89" "cho"},
                  {"Bj\xC3\xB6" "rk/Echo", "Bj\xC3\xB6" "rk/\xC3\x89" "cho"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CPlugInManager, SortsWithoutRegardToCaseAndPutsAnEqualNameFirst)
{
    CListManager list;
    list.Add("beta");
    list.Add("Alpha");
    list.Add("ALPHA");
    list.Add("gamma");
    ASSERT_EQ(list.GetCount(), 4);
    EXPECT_EQ(list.GetPlugIn(0)->GetName(), "ALPHA");
    EXPECT_EQ(list.GetPlugIn(0)->GetClassId(), TestClsid(2));
    EXPECT_EQ(list.GetPlugIn(1)->GetName(), "Alpha");
    EXPECT_EQ(list.GetPlugIn(2)->GetName(), "beta");
    EXPECT_EQ(list.GetPlugIn(3)->GetName(), "gamma");
    EXPECT_TRUE(list.IsValidIndex(3));
    EXPECT_FALSE(list.IsValidIndex(4));
    EXPECT_FALSE(list.IsValidIndex(-1));
    EXPECT_EQ(list.GetPlugIn(4), nullptr);
}

struct MenuCase {
    const char* name;
    std::vector<std::string> names;
    std::vector<DWORD> hidden;  // per name in the order given; missing means 0
    std::string menu;
};

// Cases print by name: their padding bytes carry nothing.
void PrintTo(const MenuCase& c, std::ostream* os)
{
    *os << c.name;
}

class BuildMenuTest : public ::testing::TestWithParam<MenuCase> {};

TEST_P(BuildMenuTest, ReplacesThePlaceholder)
{
    const MenuCase& c = GetParam();
    CListManager list;
    for (std::size_t i = 0; i < c.names.size(); ++i)
        list.Add(c.names[i], i < c.hidden.size() ? c.hidden[i] : 0);
    list.Enumerate();
    CMenuModel menu = mvtest::MenuWithPlaceholder("AUDIO PLUGIN");
    list.AddToMenu(menu, 100);
    EXPECT_EQ(MenuText(menu), c.menu);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BuildMenuTest,
    ::testing::Values(
        MenuCase{"NoPlugInsRemovesThePlaceholder", {}, {}, "Insert#1|Delete#3"},
        MenuCase{"SinglesOnly", {"Flanger", "Chorus"}, {}, "Insert#1|Effects>[Chorus#100|Flanger#101]|Delete#3"},
        MenuCase{"SinglesThenSeparatorThenGroups",
                 {"Varnholt Reverb", "Chorus", "Varnholt Echo", "Zeta"},
                 {},
                 "Insert#1|Effects>[Chorus#100|Zeta#103|---|Varnholt>[Echo#101|Reverb#102]]|Delete#3"},
        MenuCase{"GroupsOnly",
                 {"Acme Echo", "Acme Reverb", "Bolt Drive", "Bolt Fuzz"},
                 {},
                 "Insert#1|Effects>[Acme>[Echo#100|Reverb#101]|Bolt>[Drive#102|Fuzz#103]]|Delete#3"},
        MenuCase{"HiddenRecordsKeepTheirIds", {"Chorus", "Drive", "Echo"}, {0, 1, 0},
                 "Insert#1|Effects>[Chorus#100|Echo#102]|Delete#3"},
        MenuCase{"EqualFullNamesAreTwoEntries", {"Acme Echo", "Acme Echo"}, {},
                 "Insert#1|Effects>[Acme Echo#100|Acme Echo#101]|Delete#3"},
        MenuCase{"OwnInstrumentDoesNotSplitAGroup",
                 {"Morvane Echo", "Morvane Quorlanth Bass", "Morvane Reverb"},
                 {},
                 "Insert#1|Effects>[Morvane Quorlanth Bass#101|---|Morvane>[Echo#100|Reverb#102]]|Delete#3"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CPlugInManager, BuildsTheMenuOnlyOnce)
{
    CListManager list;
    list.Add("Chorus");
    CMenuModel menu = mvtest::MenuWithPlaceholder("AUDIO PLUGIN");
    list.AddToMenu(menu, 100);
    const std::string built = MenuText(menu);
    list.AddToMenu(menu, 200);
    EXPECT_EQ(MenuText(menu), built);

    CMenuModel other;
    other.AppendCommand(1, "Insert");
    list.AddToMenu(other, 100);
    EXPECT_EQ(MenuText(other), "Insert#1");
}

struct ExclusionCase {
    const char* name;
    std::vector<std::string> subkeys;  // empty with noKey: the key is missing
    bool noKey;
    int reset;  // -1: no "Reset" value
    bool result;
    std::vector<GUID> excluded;
    bool keyRemains;
};

// Cases print by name: their padding bytes carry nothing.
void PrintTo(const ExclusionCase& c, std::ostream* os)
{
    *os << c.name;
}

class LoadExclusionListTest : public ::testing::TestWithParam<ExclusionCase> {
protected:
    mvtest::TempRegistry registry;
};

TEST_P(LoadExclusionListTest, ReadsTheUsersList)
{
    const ExclusionCase& c = GetParam();
    // Something left from an earlier load must not survive this one.
    mvtest::WriteKey(HKEY_CURRENT_USER, std::string(kExcludedKey) + "\\" + mvwin::GuidToString(TestClsid(99)));
    ASSERT_TRUE(CPlugInManager::LoadExclusionList());
    RegDeleteTreeA(HKEY_CURRENT_USER, kExcludedKey);

    if (!c.noKey)
        mvtest::WriteKey(HKEY_CURRENT_USER, kExcludedKey);
    for (const std::string& s : c.subkeys)
        mvtest::WriteKey(HKEY_CURRENT_USER, std::string(kExcludedKey) + "\\" + s);
    if (c.reset >= 0)
        mvtest::WriteDword(HKEY_CURRENT_USER, kExcludedKey, "Reset", static_cast<DWORD>(c.reset));

    EXPECT_EQ(CPlugInManager::LoadExclusionList(), c.result);
    EXPECT_EQ(CPlugInManager::GetExclusionList(), c.excluded);
    EXPECT_EQ(mvtest::KeyExists(HKEY_CURRENT_USER, kExcludedKey), c.keyRemains);
    for (const GUID& g : c.excluded)
        EXPECT_TRUE(CPlugInManager::IsExcluded(g));
    EXPECT_FALSE(CPlugInManager::IsExcluded(TestClsid(99)));

    // The next start reads what this one left.
    EXPECT_TRUE(CPlugInManager::LoadExclusionList() || !c.result);
    EXPECT_EQ(CPlugInManager::GetExclusionList(), c.excluded);
}

const std::string kA = mvwin::GuidToString(TestClsid(1));
const std::string kB = mvwin::GuidToString(TestClsid(2));

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadExclusionListTest,
    ::testing::Values(
        ExclusionCase{"NoKey", {}, true, -1, true, {}, false},
        ExclusionCase{"EmptyKey", {}, false, -1, true, {}, true},
        ExclusionCase{"TwoInOrder", {kB, kA}, false, -1, true, {TestClsid(2), TestClsid(1)}, true},
        ExclusionCase{"ResetZeroKeepsTheList", {kA}, false, 0, true, {TestClsid(1)}, true},
        ExclusionCase{"ResetClearsAndRemovesTheKey", {kA, kB}, false, 1, true, {}, false},
        ExclusionCase{"BadNameStopsButKeepsWhatWasRead", {kA, "not-a-class-id", kB}, false, -1, false,
                      {TestClsid(1)}, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CPlugInManager, ReadRegistryStringTakesTextOnlyAndBoundsIt)
{
    mvtest::TempRegistry registry;
    const std::string path = "Software\\Test";
    mvtest::WriteString(HKEY_CURRENT_USER, path, "Short", "Delay for guitars");
    mvtest::WriteString(HKEY_CURRENT_USER, path, "Long", std::string(300, 'x'));
    mvtest::WriteDword(HKEY_CURRENT_USER, path, "Number", 7);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);

    LPSTR text = nullptr;
    ASSERT_EQ(CPlugInManager::ReadRegistryString(key, "Short", &text), S_OK);
    EXPECT_STREQ(text, "Delay for guitars");
    CoTaskMemFree(text);
    ASSERT_EQ(CPlugInManager::ReadRegistryString(key, "Long", &text), S_OK);
    EXPECT_EQ(std::string(text), std::string(259, 'x'));
    CoTaskMemFree(text);
    EXPECT_EQ(CPlugInManager::ReadRegistryString(key, "Number", &text), E_FAIL);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(CPlugInManager::ReadRegistryString(key, "Missing", &text), E_FAIL);
    EXPECT_EQ(text, nullptr);
    RegCloseKey(key);
}

}  // namespace

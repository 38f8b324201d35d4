#include "engine/hosting/CSynthPlugInManager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com/TaskMemory.h"
#include "platform/media/MediaInterfaces.h"
#include "platform/registry/Profile.h"
#include "tests/engine/hosting/MenuText.h"
#include "tests/engine/hosting/PlugInRegistry.h"
#include "tests/support/TempProfile.h"

namespace {

using mvtest::TestClsid;

constexpr const char* kSection = "NonHostedSynthUIs";

std::string SynthKey(REFCLSID clsid)
{
    return "MfxSoftSynths\\" + mvwin::GuidToString(clsid);
}

void InstallSynth(REFCLSID clsid, const char* fullName, const char* shortName = nullptr)
{
    mvtest::WriteKey(HKEY_CLASSES_ROOT, SynthKey(clsid));
    mvtest::RegisterClassName(clsid, fullName, shortName);
}

class CSynthPlugInManagerTest : public ::testing::Test {
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

    mvtest::TempProfile profile;
};

TEST_F(CSynthPlugInManagerTest, ListsSynthsByShortNameWithoutRegardToCase)
{
    InstallSynth(TestClsid(1), "beta synthesizer", "beta");
    InstallSynth(TestClsid(2), "Alpha");
    CSynthPlugInManager list;
    EXPECT_EQ(list.Enumerate(), 1);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"Alpha", "beta"}));
    const CRegPlugIn* beta = list.GetPlugIn(1);
    EXPECT_EQ(beta->GetClassId(), TestClsid(1));
    EXPECT_EQ(beta->GetInterfaceId(), IID_IBaseFilter);
    EXPECT_EQ(beta->GetDescription(), "beta");
    EXPECT_EQ(beta->GetHelpFilePath(), "");
    EXPECT_EQ(beta->GetExtra(), 0xFFFFFFFFu);

    CMenuModel menu = mvtest::MenuWithPlaceholder("SYNTH PLUGIN");
    list.AddToMenu(menu, 900);
    EXPECT_EQ(mvtest::MenuText(menu), "Insert#1|Synths>[Alpha#900|beta#901]|Delete#3");
}

TEST_F(CSynthPlugInManagerTest, SkipsWhatCannotBeListedAndRemovesOnlyKeysOfUninstalledSynths)
{
    InstallSynth(TestClsid(1), "Loop Player");
    // Uninstalled: the class is gone, its synth key stayed behind.
    mvtest::WriteKey(HKEY_CLASSES_ROOT, SynthKey(TestClsid(2)));
    // Registered without a name: not listed, but its key is no leftover.
    InstallSynth(TestClsid(3), nullptr);
    // Excluded by the user.
    InstallSynth(TestClsid(4), "Crashing Organ");
    mvtest::WriteKey(HKEY_CURRENT_USER,
                     "Software\\Varnholt Music Software\\ExcludedPlugIns\\" + mvwin::GuidToString(TestClsid(4)));
    ASSERT_TRUE(CPlugInManager::LoadExclusionList());
    // Not a class id.
    mvtest::WriteKey(HKEY_CLASSES_ROOT, "MfxSoftSynths\\Organ");

    CSynthPlugInManager list;
    list.Enumerate();
    EXPECT_EQ(Names(list), std::vector<std::string>{"Loop Player"});
    EXPECT_FALSE(mvtest::KeyExists(HKEY_CLASSES_ROOT, SynthKey(TestClsid(2))));
    EXPECT_TRUE(mvtest::KeyExists(HKEY_CLASSES_ROOT, SynthKey(TestClsid(1))));
    EXPECT_TRUE(mvtest::KeyExists(HKEY_CLASSES_ROOT, SynthKey(TestClsid(3))));
    EXPECT_TRUE(mvtest::KeyExists(HKEY_CLASSES_ROOT, SynthKey(TestClsid(4))));
    EXPECT_TRUE(mvtest::KeyExists(HKEY_CLASSES_ROOT, "MfxSoftSynths\\Organ"));
}

TEST_F(CSynthPlugInManagerTest, NoSoftSynthsKeyGivesAnEmptyList)
{
    EXPECT_EQ(GetSoftSynthKeyCount(), 0u);
    CLSID clsid{};
    LPSTR description = nullptr;
    LPSTR help = nullptr;
    DWORD topic = 0;
    EXPECT_EQ(EnumSoftSynthKey(0, &clsid, &description, &help, &topic), S_FALSE);
    CSynthPlugInManager list;
    EXPECT_EQ(list.Enumerate(), 1);
    EXPECT_EQ(list.GetCount(), 0);
    CMenuModel menu = mvtest::MenuWithPlaceholder("SYNTH PLUGIN");
    list.AddToMenu(menu, 900);
    EXPECT_EQ(mvtest::MenuText(menu), "Insert#1|Delete#3");
}

TEST_F(CSynthPlugInManagerTest, NonHostedEditorsAreKeptOnceAndRenumbered)
{
    CSynthPlugInManager list;
    list.Enumerate();
    list.SetNonHostedSynthUI(TestClsid(1), true);
    list.SetNonHostedSynthUI(TestClsid(2), true);
    list.SetNonHostedSynthUI(TestClsid(1), true);
    list.SetNonHostedSynthUI(TestClsid(3), true);
    EXPECT_EQ(GetProfileIntA(kSection, "Count", 0), 3u);

    list.SetNonHostedSynthUI(TestClsid(1), false);
    EXPECT_FALSE(list.IsNonHostedSynthUI(TestClsid(1)));
    EXPECT_TRUE(list.IsNonHostedSynthUI(TestClsid(2)));
    EXPECT_EQ(GetProfileIntA(kSection, "Count", 0), 2u);
    EXPECT_EQ(std::string(GetProfileStringA(kSection, "0")), mvwin::GuidToString(TestClsid(2)));
    EXPECT_EQ(std::string(GetProfileStringA(kSection, "1")), mvwin::GuidToString(TestClsid(3)));
    EXPECT_EQ(std::string(GetProfileStringA(kSection, "2")), "");

    // The next start reads the list back.
    CSynthPlugInManager next;
    next.Enumerate();
    EXPECT_FALSE(next.IsNonHostedSynthUI(TestClsid(1)));
    EXPECT_TRUE(next.IsNonHostedSynthUI(TestClsid(2)));
    EXPECT_TRUE(next.IsNonHostedSynthUI(TestClsid(3)));
}

TEST_F(CSynthPlugInManagerTest, BadProfileEntriesAreDroppedAndAHugeCountIsNotBelieved)
{
    WriteProfileInt(kSection, "Count", -1);
    WriteProfileString(kSection, "0", "not a class id");
    WriteProfileString(kSection, "1", "");
    WriteProfileString(kSection, "2", mvwin::GuidToString(TestClsid(7)).c_str());

    CSynthPlugInManager list;
    list.Enumerate();
    EXPECT_TRUE(list.IsNonHostedSynthUI(TestClsid(7)));
    list.SetNonHostedSynthUI(TestClsid(8), true);
    EXPECT_EQ(GetProfileIntA(kSection, "Count", 0), 2u);
    EXPECT_EQ(std::string(GetProfileStringA(kSection, "0")), mvwin::GuidToString(TestClsid(7)));
    EXPECT_EQ(std::string(GetProfileStringA(kSection, "1")), mvwin::GuidToString(TestClsid(8)));
}

TEST_F(CSynthPlugInManagerTest, EnumSoftSynthKeyReadsTheHelpValues)
{
    InstallSynth(TestClsid(1), "Loop Player");
    mvtest::WriteString(HKEY_CLASSES_ROOT, SynthKey(TestClsid(1)), "Description", "Plays loops");
    mvtest::WriteDword(HKEY_CLASSES_ROOT, SynthKey(TestClsid(1)), "HelpFileTopic", 5);
    ASSERT_EQ(GetSoftSynthKeyCount(), 1u);
    CLSID clsid{};
    LPSTR description = nullptr;
    LPSTR help = nullptr;
    DWORD topic = 0;
    ASSERT_EQ(EnumSoftSynthKey(0, &clsid, &description, &help, &topic), S_OK);
    EXPECT_EQ(clsid, TestClsid(1));
    ASSERT_NE(description, nullptr);
    EXPECT_STREQ(description, "Plays loops");
    EXPECT_EQ(help, nullptr);
    EXPECT_EQ(topic, 5u);
    CoTaskMemFree(description);
    EXPECT_EQ(EnumSoftSynthKey(1, &clsid, &description, &help, &topic), E_FAIL);
}

}  // namespace

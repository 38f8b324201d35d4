// The shared pattern library scanning the two pattern folders the settings
// name, on real folders of the test's own.
#include "devices/CSharedPatterns.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "devices/CAppConfig.h"
#include "uikit/core/CAppRegKey.h"
#include "platform/registry/Profile.h"
#include "tests/support/TempDir.h"
#include "tests/support/TempRegistry.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Names(const CSharedPatterns& list, BOOL midi)
{
    std::vector<std::string> names;
    for (int i = 0; i < list.GetCount(midi); ++i) {
        CString name;
        EXPECT_EQ(S_OK, list.GetName(midi, i, &name));
        names.push_back(name.GetString());
    }
    return names;
}

void Touch(const std::string& path) { std::ofstream(path) << "pattern"; }

struct SharedPatterns : ::testing::Test {
    void SetUp() override
    {
        CAppRegKey::SetAppRegistryRoot("Morvane", "1.0");
        SetRegistryKey(CAppRegKey::GetAppRegistryKeyName());
        SetProfileName(CAppRegKey::GetAppProfileName());
        config.emplace();
        ASSERT_EQ(S_OK, CAppConfig::Load());
        fs::create_directories(midi);
        fs::create_directories(audio);
        CAppConfig::SetMidiPatternsFolder(midi.c_str());
        CAppConfig::SetAudioPatternsFolder(audio.c_str());
    }
    void TearDown() override { config.reset(); }

    mvtest::TempRegistry registry;
    mvtest::TempDir folder;
    std::string midi = folder.File("Midi");
    std::string audio = folder.File("Audio");
    std::optional<CAppConfig> config;
    CSharedPatterns list;
};

TEST_F(SharedPatterns, ListsPatternFilesByNameWhateverTheCaseOfTheirExtension)
{
    Touch(midi + "/bass1.ptn");
    Touch(midi + "/Arp.PTN");
    Touch(midi + "/notes.txt");
    Touch(midi + "/.hidden.PTN");
    fs::create_directories(midi + "/x.PTN");
    Touch(audio + "/drums.Ptn");
    ASSERT_EQ(S_OK, list.Refresh());
    EXPECT_EQ((std::vector<std::string>{"Arp", "Bass1"}), Names(list, TRUE));
    EXPECT_EQ(std::vector<std::string>{"Drums"}, Names(list, FALSE));
    CString name;
    EXPECT_EQ(E_INVALIDARG, list.GetName(TRUE, list.GetCount(TRUE), &name));
    EXPECT_EQ(E_INVALIDARG, list.GetName(TRUE, -1, &name));
}

TEST_F(SharedPatterns, OneFolderForBothKindsFillsTheMidiListOnly)
{
    Touch(midi + "/Lead.ptn");
    CAppConfig::SetAudioPatternsFolder(midi.c_str());
    ASSERT_EQ(S_OK, list.Refresh());
    EXPECT_TRUE(list.IsSameFolder());
    EXPECT_EQ(std::vector<std::string>{"Lead"}, Names(list, TRUE));
    EXPECT_EQ(0, list.GetCount(FALSE));
}

TEST_F(SharedPatterns, UnreadableFilesAreLeftOutAndReported)
{
    // A link to a file that is gone: no one, root included, can read it.
    Touch(midi + "/Open.ptn");
    fs::create_symlink(folder.File("gone.ptn"), midi + "/Locked.ptn");
    ASSERT_EQ(S_OK, list.Refresh());
    EXPECT_EQ(std::vector<std::string>{"Open"}, Names(list, TRUE));
    ASSERT_EQ(1u, list.GetUnreadable().size());
    EXPECT_NE(std::string::npos, list.GetUnreadable()[0].find("Locked.ptn"));
}

TEST_F(SharedPatterns, AFolderThatCannotBeSearchedGivesAnEmptyList)
{
    Touch(midi + "/Kept.ptn");
    ASSERT_EQ(S_OK, list.Refresh());
    ASSERT_EQ(1, list.GetCount(TRUE));
    CAppConfig::SetMidiPatternsFolder(folder.File("missing").c_str());
    ASSERT_EQ(S_OK, list.Refresh());
    EXPECT_EQ(0, list.GetCount(TRUE));
}

}  // namespace

#include "uikit/core/CUserPath.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/ProgramPath.h"
#include "tests/support/TempDir.h"
#include "tests/support/TempRegistry.h"
#include "uikit/core/CAppRegKey.h"

namespace {

namespace fs = std::filesystem;

class CUserPathTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CAppRegKey::SetAppRegistryRoot("Morvane", "1.0");
    }

    static CString Stored(const char* valueName)
    {
        CAppRegKey key("UserPaths", CRegKeyBase::kOpenOnly, CRegKeyBase::kCurrentUser);
        CString text;
        key.GetString(valueName, "<none>", text);
        return text;
    }

    mvtest::TempRegistry m_registry;
    mvtest::TempDir m_folders;
};

TEST_F(CUserPathTest, DefaultsToTheProgramDirectory)
{
    CUserPath plain("MetronomeWaveFilesFolder", nullptr, nullptr);
    EXPECT_EQ(mvtest::ProgramDir(), plain.GetPath().Str());
    EXPECT_EQ(plain.GetPath(), plain.GetStoredPath());
    // A default sub-folder that does not exist yet falls back as well.
    CUserPath sub("MidiPatternsFolder", nullptr, "/No Such Patterns Folder");
    EXPECT_EQ(mvtest::ProgramDir(), sub.GetPath().Str());
    EXPECT_EQ("<none>", Stored("MidiPatternsFolder"));  // reading stores nothing
}

TEST_F(CUserPathTest, StoredFolderIsReadBackAndAVanishedOneFallsBack)
{
    std::string folder = m_folders.File("Patterns");
    fs::create_directory(folder);
    {
        CUserPath path("MidiPatternsFolder", nullptr, nullptr);
        path.SetPath((folder + "/").c_str(), true);
        EXPECT_EQ(folder, path.GetPath().Str());
    }
    EXPECT_EQ(folder, Stored("MidiPatternsFolder").Str());

    mvreg::ReloadHives();
    CUserPath again("MidiPatternsFolder", nullptr, nullptr);
    EXPECT_EQ(folder, again.GetPath().Str());
    CUserPath other("AudioPatternsFolder", &again, nullptr);  // another path's folder as the default
    EXPECT_EQ(folder, other.GetPath().Str());

    fs::remove(folder);
    CUserPath vanished("MidiPatternsFolder", nullptr, "/Patterns");
    EXPECT_EQ(mvtest::ProgramDir(), vanished.GetPath().Str());
}

TEST_F(CUserPathTest, SetPathNormalisesAndStoresOnlyWhenAsked)
{
    std::string file = m_folders.File("song.mvp");
    std::ofstream(file) << "x";
    CUserPath path("AudioPatternsFolder", nullptr, nullptr);
    path.SetPath(("  " + file + "  ").c_str(), false);  // a file: its folder
    EXPECT_EQ(m_folders.Path(), path.GetPath().Str());
    EXPECT_EQ(path.GetPath(), path.GetStoredPath());
    EXPECT_EQ("<none>", Stored("AudioPatternsFolder"));

    path.SetPath("/no/such/folder/at/all", true);
    EXPECT_EQ(mvtest::ProgramDir(), path.GetPath().Str());
    EXPECT_EQ(mvtest::ProgramDir(), Stored("AudioPatternsFolder").Str());
}

TEST_F(CUserPathTest, DirectoryTextHelpers)
{
    std::string tmp = m_folders.Path();
    std::string file = m_folders.File("f.txt");
    std::ofstream(file) << "x";
    struct Case {
        std::string in;
        bool normalized;
        std::string normalizedText;
    } cases[] = {
        {"/", true, "/"},
        {tmp + "/", true, tmp},
        {"  " + tmp + "  ", true, tmp},
        {file, true, tmp},
        {tmp + "/missing/name", false, tmp + "/missing"},
        {"plain-name", false, ""},
        {"", false, ""},
    };
    for (auto& c : cases) {
        CString path(c.in);
        EXPECT_EQ(c.normalized, CUserPath::NormalizeDirPath(path)) << c.in;
        EXPECT_EQ(c.normalizedText, path.Str()) << c.in;
    }

    CString root("/");
    EXPECT_TRUE(CUserPath::IsExistingDir(root));
    EXPECT_EQ("/", root);
    CString notDir(file.c_str());
    EXPECT_FALSE(CUserPath::IsExistingDir(notDir));

    CString missing("/no/such/folder");
    EXPECT_FALSE(CUserPath::EnsureDir(missing, false));
    EXPECT_EQ("/no/such/folder", missing);
    EXPECT_TRUE(CUserPath::EnsureDir(missing, true));
    EXPECT_EQ(mvtest::ProgramDir(), missing.Str());
    CString empty;
    EXPECT_FALSE(CUserPath::EnsureDir(empty, false));
    CString spaced((" " + tmp + "/ ").c_str());
    EXPECT_TRUE(CUserPath::EnsureDir(spaced, false));
    EXPECT_EQ(tmp, spaced.Str());
}

}  // namespace

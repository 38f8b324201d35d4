#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/res/Resources.h"
#include "tests/platform/res/TestModule.h"
#include "uikit/core/ModulePath.h"

namespace {

std::string ProgramFile()
{
    char name[4096];
    GetModuleFileNameA(nullptr, name, sizeof name);
    return name;
}

std::string Folder(const std::string& file)
{
    return file.substr(0, file.rfind('/'));
}

TEST(EditModulePath, Cases)
{
    const struct {
        const char* path;
        const char* fileName;
        const char* result;
    } cases[] = {
        {"/opt/morvane/morvane", nullptr, "/opt/morvane"},
        {"/morvane", nullptr, "/"},  // the root keeps its '/'
        {"morvane", nullptr, ""},
        {"/opt/morvane/morvane", "TEMPLATE.MVT", "/opt/morvane/TEMPLATE.MVT"},
        {"/morvane", "AUTORUN.MVP", "/AUTORUN.MVP"},
        {"morvane", "Readme.RTF", "Readme.RTF"},
    };
    for (const auto& c : cases) {
        char buffer[64];
        std::strcpy(buffer, c.path);
        EXPECT_TRUE(EditModulePath(buffer, sizeof buffer, c.fileName)) << c.path;
        EXPECT_STREQ(buffer, c.result) << c.path << " + " << (c.fileName ? c.fileName : "(none)");
    }
}

TEST(EditModulePath, RefusesWhenPathNameAndOneExceedTheBuffer)
{
    // 10 + 4 + 1 = 15: fits a 15-byte buffer, not a 14-byte one.
    char buffer[16];
    std::strcpy(buffer, "/a/morvane");
    EXPECT_FALSE(EditModulePath(buffer, 14, "x.mv"));
    EXPECT_STREQ(buffer, "/a/morvane");
    EXPECT_TRUE(EditModulePath(buffer, 15, "x.mv"));
    EXPECT_STREQ(buffer, "/a/x.mv");
}

TEST(BuildModulePath, ProgramFolderAndAFileInIt)
{
    std::string program = ProgramFile();
    ASSERT_FALSE(program.empty());
    char buffer[4096];
    ASSERT_TRUE(BuildModulePath(AfxGetInstanceHandle(), buffer, sizeof buffer, nullptr));
    EXPECT_EQ(buffer, Folder(program));
    ASSERT_TRUE(BuildModulePath(nullptr, buffer, sizeof buffer, "TEMPLATE.MVT"));
    EXPECT_EQ(buffer, Folder(program) + "/TEMPLATE.MVT");
}

TEST(BuildModulePath, APlugInsFolder)
{
    mvtest::TestModule module;
    ASSERT_TRUE(module.Handle()) << "cannot open " << mvtest::TestModule::Path();
    char buffer[4096];
    ASSERT_TRUE(BuildModulePath(module.Handle(), buffer, sizeof buffer, "Sorvic.chm"));
    EXPECT_EQ(buffer, Folder(mvtest::TestModule::Path()) + "/Sorvic.chm");
}

TEST(BuildModulePath, AModuleNameCutByTheBufferIsNoFolder)
{
    std::string program = ProgramFile();
    std::vector<char> buffer(program.size());  // one short of the terminator
    EXPECT_FALSE(BuildModulePath(nullptr, buffer.data(), static_cast<int>(buffer.size()), nullptr));
    EXPECT_STREQ(buffer.data(), "");
}

}  // namespace

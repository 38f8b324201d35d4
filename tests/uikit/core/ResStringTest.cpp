#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "resources/ResTestStrings.h"
#include "tests/platform/res/TestModule.h"
#include "uikit/core/ResString.h"

namespace {

class ResString : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_module.Handle()) << "cannot open " << mvtest::TestModule::Path(); }
    void TearDown() override { AfxSetResourceHandle(nullptr); }
    mvtest::TestModule m_module;
};

TEST_F(ResString, LoadsFromTheModuleGiven)
{
    EXPECT_STREQ(LoadResStringFrom(m_module.Handle(), IDS_TEST_HELLO), "Hello");
    EXPECT_STREQ(LoadResStringFrom(AfxGetInstanceHandle(), IDS_TEST_HELLO), "");
}

TEST_F(ResString, LoadResStringReadsTheCurrentResourceModule)
{
    EXPECT_STREQ(LoadResString(IDS_TEST_HELLO), "");
    AfxSetResourceHandle(m_module.Handle());
    EXPECT_STREQ(LoadResString(IDS_TEST_HELLO), "Hello");
}

TEST_F(ResString, MissingIdGivesEmptyText)
{
    EXPECT_STREQ(LoadResStringFrom(m_module.Handle(), 3), "");
    EXPECT_STREQ(LoadResString(65535), "");
}

TEST_F(ResString, LongTextsStopAt255Bytes)
{
    const char* text = LoadResStringFrom(m_module.Handle(), IDS_TEST_LONG);
    ASSERT_EQ(std::strlen(text), 255u);
    EXPECT_EQ(std::string(text, 10), "0123456789");
    EXPECT_EQ(text[254], '4');
}

TEST_F(ResString, TheThirtyThirdLoadReusesTheFirstBuffer)
{
    AfxSetResourceHandle(m_module.Handle());
    const char* first = LoadResString(IDS_TEST_HELLO);
    std::vector<const char*> seen{first};
    for (int i = 1; i < 32; ++i)
        seen.push_back(LoadResString(IDS_TEST_ESCAPES));
    // 32 loads, 32 different buffers: the first text is still there.
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end());
    EXPECT_STREQ(first, "Hello");

    const char* thirtyThird = LoadResString(99);
    EXPECT_EQ(thirtyThird, first);
    EXPECT_STREQ(first, "");
}

TEST(ModuleVersion, ReadsTheVersionBlockByKey)
{
    CString out("stale");
    EXPECT_TRUE(GetModuleVersionString(AfxGetInstanceHandle(), "ProductVersion", out));
    EXPECT_EQ(out, "1.0");
    EXPECT_TRUE(GetModuleVersionString(nullptr, "ProductName", out));
    EXPECT_EQ(out, "Morvane");
    EXPECT_TRUE(GetModuleVersionString(nullptr, "FileVersion", out));
    EXPECT_EQ(out, "1.0.0.1");
}

TEST(ModuleVersion, MissingValueOrBlockEmptiesTheOutput)
{
    CString out("stale");
    EXPECT_FALSE(GetModuleVersionString(nullptr, "Comments", out));
    EXPECT_TRUE(out.IsEmpty());

    int unknownModule = 0;
    out = "stale";
    EXPECT_FALSE(GetModuleVersionString(reinterpret_cast<HINSTANCE>(&unknownModule), "ProductVersion", out));
    EXPECT_TRUE(out.IsEmpty());
}

}  // namespace

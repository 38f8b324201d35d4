// The application base: language from the machine's settings, the single
// instance, the first run of a new version, profile with a default section,
// help with its fallback, the shared fonts.
#include "uikit/CBaseApp.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include "platform/ui/HtmlHelp.h"
#include "tests/platform/ui/UiTestSupport.h"
#include "tests/support/TempProfile.h"
#include "uikit/core/CAppRegKey.h"

namespace {

class CBaseAppTest : public mvtest::UiTest {
protected:
    void TearDown() override
    {
        mvui::SetHelpViewer(nullptr);
        UiTest::TearDown();
    }
    void SetLanguage(const char* name)
    {
        CAppRegKey::SetAppRegistryRoot("Morvane", "1.0");
        CAppRegKey key("", CRegKeyBase::kOpenOrCreate, CRegKeyBase::kLocalMachine);
        ASSERT_TRUE(key.SetString("Language", name));
    }
    mvtest::TempProfile profile;
};

TEST_F(CBaseAppTest, LanguageComesFromTheMachineKeyWithoutRegardToCase)
{
    struct Case {
        const char* stored;
        std::uint32_t language;
        std::uint8_t charSet;
    };
    const Case cases[] = {{"JAPANESE", 1, 128}, {"german", 2, 0}, {"Klingon", 0, 0}, {"Italian", 6, 0}};
    for (const Case& c : cases) {
        SetLanguage(c.stored);
        CBaseApp app("Morvane", "1.0");
        EXPECT_EQ(app.m_language, c.language) << c.stored;
        EXPECT_EQ(app.m_charSet, c.charSet) << c.stored;
        EXPECT_EQ(app.m_doubleByte, c.language == 1 ? 1u : 0u) << c.stored;
        EXPECT_EQ(CBaseApp::s_shiftJis, c.language == 1) << c.stored;
    }
}

TEST_F(CBaseAppTest, NoLanguageKeyMeansEnglish)
{
    CBaseApp app("Morvane", "1.0");
    EXPECT_EQ(app.m_language, 0u);
    EXPECT_GE(CBaseApp::s_spinCtrlDropped, 0xC000u);
}

TEST_F(CBaseAppTest, SecondInstanceStartsOnlyWhenMultipleInstancesAreAllowed)
{
    const std::string name = "MorvaneTest" + std::to_string(::getpid());
    CBaseApp first("Morvane", "1.0"), second("Morvane", "1.0");
    second.SetProfileSection("Options");
    EXPECT_TRUE(first.CheckSingleInstance(name.c_str()));
    EXPECT_FALSE(second.CheckSingleInstance(name.c_str()));
    second.WriteProfileInt("MultipleInstance", 1);
    EXPECT_TRUE(second.CheckSingleInstance(name.c_str()));
}

TEST_F(CBaseAppTest, NewVersionIsReportedOnceAndRecordedAtExit)
{
    {
        CBaseApp app("Morvane", "1.0");
        app.CheckFirstRunOfVersion();
        EXPECT_TRUE(app.IsFirstRunOfVersion());
        EXPECT_TRUE(app.TakeNewVersionFlag());
        EXPECT_FALSE(app.TakeNewVersionFlag());
        EXPECT_TRUE(app.IsFirstRunOfVersion());  // stays set for the run
        app.ExitInstance();
    }
    CBaseApp again("Morvane", "1.0");
    again.CheckFirstRunOfVersion();
    EXPECT_FALSE(again.IsFirstRunOfVersion());
    EXPECT_FALSE(again.TakeNewVersionFlag());
    EXPECT_STREQ(again.CWinApp::GetProfileString("Options", "LastVerExecuted"), "1.0");
}

TEST_F(CBaseAppTest, ProfileCallsUseTheDefaultSection)
{
    CBaseApp app("Morvane", "1.0");
    app.SetProfileSection("Options");
    EXPECT_TRUE(app.WriteProfileInt("UndoDepth", 42));
    EXPECT_EQ(app.GetProfileInt("UndoDepth", 7), 42u);
    EXPECT_EQ(app.GetProfileInt("UndoDepth", 7, "Other"), 7u);
    app.WriteProfileString("Name", "x", "Other");
    CString s;
    app.GetProfileString(s, "Name", nullptr, "Other");
    EXPECT_STREQ(s, "x");
    app.GetProfileString(s, "Name");
    EXPECT_STREQ(s, "");
}

TEST_F(CBaseAppTest, HelpFallsBackToTheDefaultTopic)
{
    std::vector<std::pair<std::string, UINT>> shown;
    bool fail = true;
    mvui::SetHelpViewer([&](const char* file, UINT command, DWORD_PTR) {
        shown.emplace_back(file, command);
        return !(fail && command != HH_DISPLAY_TOPIC);
    });
    CBaseApp app("Morvane", "1.0");
    app.SetHelpFile("/opt/morvane/Morvane.chm");
    EXPECT_STREQ(app.m_strHelpFilePath, "/opt/morvane/Morvane.chm");
    app.WinHelp(1234, HELP_CONTEXT);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].second, HH_HELP_CONTEXT);
    EXPECT_EQ(shown[1].second, HH_DISPLAY_TOPIC);
    fail = false;
    shown.clear();
    app.WinHelp(0, HELP_INDEX);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].second, HH_DISPLAY_INDEX);
}

TEST_F(CBaseAppTest, HelpFilePathAndCommands)
{
    CHelpFile help;
    EXPECT_EQ(help.Call(HELP_CONTEXT, 1), E_INVALIDARG);  // no cookie yet
    ASSERT_TRUE(help.Init(nullptr, nullptr, "Morvane.chm"));
    EXPECT_TRUE(help.m_path.GetLength() > 12 && help.m_path.Right(12) == CString("/Morvane.chm"));
    mvui::SetHelpViewer([](const char*, UINT, DWORD_PTR) { return false; });
    EXPECT_EQ(help.Call(HELP_CONTEXT, 1), E_FAIL);
    CHelpFile empty;
    empty.Init(nullptr, nullptr, "");
    EXPECT_EQ(empty.Call(HELP_CONTEXT, 1), E_INVALIDARG);

    const std::pair<UINT, UINT> map[] = {{HELP_CONTEXT, 15}, {HELP_QUIT, 18}, {HELP_INDEX, 2},
                                         {HELP_CONTEXTPOPUP, 14}, {HELP_CONTEXTMENU, 16},
                                         {HELP_WM_HELP, 17}, {5, 0}, {HELP_FINDER, 0}};
    for (auto [from, to] : map)
        EXPECT_EQ(CHelpFile::MapHelpCommand(from), to) << from;
}

TEST_F(CBaseAppTest, AppFontsAreTahomaAtThePointSize)
{
    CBaseApp::CreateAppFonts(8, 0, FW_BOLD);
    LOGFONT lf{};
    ASSERT_TRUE(CBaseApp::s_font.GetLogFont(&lf));
    EXPECT_STREQ(lf.lfFaceName, "Tahoma");
    EXPECT_EQ(lf.lfHeight, -11);  // 8 points at 96 dots per inch, rounded
    EXPECT_EQ(lf.lfQuality, ANTIALIASED_QUALITY);
    ASSERT_TRUE(CBaseApp::s_fontBold.GetLogFont(&lf));
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    ASSERT_TRUE(CBaseApp::s_fontSmall.GetLogFont(&lf));
    EXPECT_EQ(lf.lfHeight, -9);  // 90 %: 7 points
    EXPECT_EQ(lf.lfWeight, 0);
    EXPECT_GE(CBaseApp::s_lineHeight, 8);
    EXPECT_GT(CBaseApp::s_avgCharWidth, 0);
    CBaseApp::DestroyAppObjects();
}

}  // namespace

// The splash: status texts while it is up, Ctrl held closes it at the next
// update, the progress bar follows the progress interface, on top for its
// time and then at the bottom.
#include "uikit/CSplashCtrl.h"

#include <gtest/gtest.h>

#include "platform/ui/CProgressCtrl.h"
#include "platform/ui/DialogTemplateText.h"
#include "tests/platform/ui/UiTestSupport.h"

namespace {

constexpr UINT IDD_SPLASH = 237, IDD_SPLASH_PLAIN = 239;
constexpr UINT IDC_STATUS = 1073, IDC_SECOND = 1084, IDC_PROGRESS = 1090;

class CSplashCtrlTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        CString error;
        ASSERT_TRUE(mvui::LoadDialogTemplates(R"(
dialog 237 0 0 200 90 "" style WS_POPUP|WS_BORDER
  control Static 1084 8 8 184 24 "Morvane"
  control Static 1073 8 52 184 10 ""
  control msctls_progress32 1090 8 68 184 10 ""
end
dialog 239 0 0 200 60 "" style WS_POPUP|WS_BORDER
  control Static 1084 8 8 184 24 "Morvane"
  control Static 1073 8 40 184 10 ""
end
)", error)) << error.GetString();
    }
};

TEST_F(CSplashCtrlTest, StatusTextsShowUntilCtrlClosesTheSplash)
{
    CSplashCtrl splash;
    ASSERT_TRUE(splash.ShowSplash(IDD_SPLASH, IDC_STATUS, IDC_PROGRESS, IDC_SECOND));
    EXPECT_TRUE(splash.GetExStyle() & WS_EX_TOPMOST);
    splash.SetStatusText(CString("Creating timer"));
    splash.SetStatusText(CString("Opening MIDI inputs"));
    EXPECT_EQ(splash.GetDlgItem(IDC_STATUS)->GetWindowText(), CString("Opening MIDI inputs"));
    IProgress* progress = splash.GetProgressInterface();
    ASSERT_EQ(progress, static_cast<IProgress*>(&splash));
    progress->SetRange(0, 10);
    progress->SetPos(4);
    EXPECT_EQ(progress->GetPos(), 4);
    EXPECT_EQ(splash.GetDlgItem(IDC_PROGRESS)->SendMessage(PBM_GETPOS), 4);
    progress->SetPos(7);
    EXPECT_EQ(splash.GetDlgItem(IDC_PROGRESS)->SendMessage(PBM_GETPOS), 7);
    mvtest::Shot(splash, "splash-progress");

    mvui::SetKeyDown(VK_CONTROL, true);
    splash.SetStatusText(CString("Creating audio devices"));
    EXPECT_FALSE(IsWindow(splash.m_hWnd));
    mvui::SetKeyDown(VK_CONTROL, false);
    splash.SetStatusText(CString("later"));  // does nothing
    EXPECT_EQ(splash.GetProgressInterface(), nullptr);
}

TEST_F(CSplashCtrlTest, WithoutAProgressBarThereIsNoProgressInterface)
{
    CSplashCtrl splash;
    ASSERT_TRUE(splash.ShowSplash(IDD_SPLASH_PLAIN, IDC_STATUS, 0, IDC_SECOND));
    EXPECT_EQ(splash.GetProgressInterface(), nullptr);
    static_cast<IProgress&>(splash).SetStatusText("ignored");
    splash.SetRange(0, 5);
    splash.SetPos(3);
    EXPECT_EQ(splash.GetPos(), 0);
    EXPECT_EQ(splash.GetDlgItem(IDC_STATUS)->GetWindowText(), CString(""));
    splash.SetSecondText(CString("Version 1.0"));
    EXPECT_EQ(splash.GetDlgItem(IDC_SECOND)->GetWindowText(), CString("Version 1.0"));
}

TEST_F(CSplashCtrlTest, TimerPutsTheSplashAtTheBottomOnceAndEscapeClosesIt)
{
    CSplashCtrl splash;
    ASSERT_TRUE(splash.ShowSplash(IDD_SPLASH, IDC_STATUS, IDC_PROGRESS, IDC_SECOND));
    splash.SendMessage(WM_TIMER, CSplashCtrl::kTimerId);
    EXPECT_FALSE(splash.GetExStyle() & WS_EX_TOPMOST);
    splash.SendMessage(WM_COMMAND, IDCANCEL);
    EXPECT_FALSE(IsWindow(splash.m_hWnd));
}

TEST_F(CSplashCtrlTest, NoTemplateShowsNothing)
{
    CSplashCtrl splash;
    EXPECT_FALSE(splash.ShowSplash(0, IDC_STATUS, 0, IDC_SECOND));
    EXPECT_FALSE(IsWindow(splash.m_hWnd));
    splash.SetStatusText(CString("nothing"));
    splash.Close();
}

}  // namespace

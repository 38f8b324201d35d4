// Scroll-bar state, pixel scrolling, placement, owners, the update lock and
// monitors, by what a window shows and answers.
#include <gtest/gtest.h>

#include "platform/ui/CDC.h"
#include "platform/ui/CScrollBar.h"
#include "platform/ui/Monitor.h"
#include "tests/platform/ui/MessageLog.h"
#include "tests/platform/ui/UiTestSupport.h"

namespace {

class ScrollAndPlacementTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(wnd.CreateEx(0, nullptr, "w", WS_POPUP | WS_VISIBLE, CRect(0, 0, 100, 60), nullptr, 0));
        mvui::PumpMessages();
    }
    void TearDown() override
    {
        mvui::SetMonitors({});
        UiTest::TearDown();
    }
    mvtest::LogWnd wnd;
};

TEST_F(ScrollAndPlacementTest, AWindowsOwnBarKeepsItsStateWithThePositionInRange)
{
    SCROLLINFO si{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 100, 20, 95, 0};
    EXPECT_EQ(81, wnd.SetScrollInfo(SB_VERT, &si));  // at most nMax - nPage + 1
    SCROLLINFO out{sizeof(SCROLLINFO), 0, 0, 0, 0, 0, 0};
    ASSERT_TRUE(wnd.GetScrollInfo(SB_VERT, &out, SIF_RANGE | SIF_PAGE));
    EXPECT_EQ(100, out.nMax);
    EXPECT_EQ(20u, out.nPage);
    EXPECT_EQ(0, out.nPos);  // not asked for
    EXPECT_EQ(81, wnd.GetScrollPos(SB_VERT));
    EXPECT_EQ(0, wnd.GetScrollPos(SB_HORZ));
}

TEST_F(ScrollAndPlacementTest, AScrollBarControlAnswersItsMessagesAndPagesItsParent)
{
    CScrollBar bar;
    ASSERT_TRUE(bar.Create(WS_CHILD | WS_VISIBLE | SBS_HORZ, CRect(0, 40, 100, 56), &wnd, 9));
    bar.SetScrollRange(0, 50);
    EXPECT_EQ(0, bar.SetScrollPos(30));
    EXPECT_EQ(30, bar.GetScrollPos());
    SCROLLINFO si{sizeof(SCROLLINFO), SIF_PAGE, 0, 0, 10, 0, 0};
    bar.SetScrollInfo(&si);
    EXPECT_EQ(30, bar.GetScrollPos());
    bar.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 8));  // before the thumb
    const mvtest::LoggedMessage* m = wnd.Last(WM_HSCROLL);
    ASSERT_NE(nullptr, m);
    EXPECT_EQ(SB_PAGEUP, LOWORD(m->wParam));
    EXPECT_EQ(reinterpret_cast<LPARAM>(bar.m_hWnd), m->lParam);
}

TEST_F(ScrollAndPlacementTest, ScrollWindowMovesThePixelsAndRepaintsWhatItUncovers)
{
    {
        CClientDC dc(&wnd);
        dc.FillSolidRect(0, 0, 100, 60, RGB(255, 255, 255));
        dc.FillSolidRect(0, 0, 10, 10, RGB(255, 0, 0));
    }
    wnd.ValidateRect(nullptr);
    wnd.ScrollWindow(20, 5);
    const QImage image = mvui::WindowSurface(wnd.m_hWnd);
    EXPECT_EQ(QColor(255, 0, 0).rgb(), image.pixel(25, 10));
    CRect update;
    EXPECT_TRUE(wnd.GetUpdateRect(&update));
    EXPECT_EQ(CRect(0, 0, 100, 60), update);  // the L of the left and top strips
    wnd.ValidateRect(nullptr);
    wnd.ScrollWindow(0, 0);
    EXPECT_FALSE(wnd.GetUpdateRect(&update));
}

TEST_F(ScrollAndPlacementTest, PlacementOwnerAndTheUpdateLock)
{
    WINDOWPLACEMENT wp{};
    ASSERT_TRUE(wnd.GetWindowPlacement(&wp));
    EXPECT_EQ(static_cast<UINT>(SW_SHOWNORMAL), wp.showCmd);
    EXPECT_EQ(CRect(0, 0, 100, 60), CRect(wp.rcNormalPosition));
    wnd.ShowWindow(SW_HIDE);
    wnd.GetWindowPlacement(&wp);
    EXPECT_EQ(static_cast<UINT>(SW_HIDE), wp.showCmd);
    wnd.ShowWindow(SW_SHOW);

    EXPECT_EQ(nullptr, wnd.GetOwner());
    {
        CWnd owner;
        ASSERT_TRUE(owner.CreateEx(0, nullptr, "o", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
        wnd.SetOwner(&owner);
        EXPECT_EQ(&owner, wnd.GetOwner());
        owner.DestroyWindow();
        EXPECT_EQ(nullptr, wnd.GetOwner());  // a gone owner is no owner
    }

    mvui::PumpMessages();
    wnd.log.clear();
    EXPECT_TRUE(wnd.LockWindowUpdate());
    EXPECT_FALSE(wnd.LockWindowUpdate());
    wnd.Invalidate();
    wnd.UpdateWindow();
    EXPECT_TRUE(wnd.Only({WM_PAINT}).empty());
    wnd.UnlockWindowUpdate();
    wnd.UpdateWindow();
    EXPECT_EQ(1u, wnd.Only({WM_PAINT}).size());
}

TEST_F(ScrollAndPlacementTest, MonitorsAnswerForPointsInsideOrNearest)
{
    mvui::SetMonitors({RECT{0, 0, 800, 600}, RECT{800, 0, 1600, 600}});
    MONITORINFO info{sizeof(MONITORINFO), {}, {}, 0};
    ASSERT_TRUE(GetMonitorInfoA(MonitorFromPoint(POINT{900, 10}, MONITOR_DEFAULTTONULL), &info));
    EXPECT_EQ(CRect(800, 0, 1600, 600), CRect(info.rcMonitor));
    EXPECT_EQ(nullptr, MonitorFromPoint(POINT{2000, 10}, MONITOR_DEFAULTTONULL));
    GetMonitorInfoA(MonitorFromPoint(POINT{2000, 10}, MONITOR_DEFAULTTONEAREST), &info);
    EXPECT_EQ(800, info.rcMonitor.left);
    GetMonitorInfoA(MonitorFromPoint(POINT{2000, 10}, MONITOR_DEFAULTTOPRIMARY), &info);
    EXPECT_EQ(0, info.rcMonitor.left);
    EXPECT_FALSE(GetMonitorInfoA(nullptr, &info));
}

}  // namespace

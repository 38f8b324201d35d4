// The zoom scroll bar, driven as a user drives it: presses on the track,
// the buttons, the thumb and the zoom handle, held presses through the
// repeat timers, and drags that zoom or scroll the manager it targets.
#include <gtest/gtest.h>

#include "platform/ui/CRecordingDC.h"
#include "tests/platform/ui/MessageLog.h"
#include "tests/platform/ui/UiTestSupport.h"
#include "tests/uikit/ShotTree.h"
#include "uikit/CHScrollZoomMgr.h"
#include "uikit/COurFlatScrollBar.h"

namespace {

// A time view whose horizontal bar is the zoom bar, as the frames wire it.
class BarView : public CWnd {
public:
    CScrollBar* bar = nullptr;
    CScrollBar* GetScrollBarCtrl(int which) const override { return which == SB_HORZ ? bar : nullptr; }
};

class OurScrollBarTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(parent.CreateEx(0, nullptr, "frame", WS_POPUP | WS_VISIBLE, CRect(100, 100, 420, 220), nullptr, 0));
        bar = std::make_unique<COurFlatScrollBar>(&parent, 0, 77);
        bar->MoveWindow(10, 90, 300, 16);
        SetInfo(0, 9999, 1000, 0);
        mvui::PumpMessages();
        parent.log.clear();
    }
    void TearDown() override
    {
        bar.reset();
        UiTest::TearDown();
    }
    void SetInfo(int nMin, int nMax, UINT page, int pos)
    {
        SCROLLINFO si{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE | SIF_POS, nMin, nMax, page, pos, 0};
        bar->SetScrollInfo(&si, TRUE);
    }
    // Puts the pointer over a point of the bar, as input would.
    void PointerAt(int x, int y)
    {
        CPoint p(x, y);
        bar->ClientToScreen(&p);
        SetCursorPos(p.x, p.y);
    }
    void Press(int x, int y)
    {
        PointerAt(x, y);
        bar->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    }
    void Move(int x, int y)
    {
        PointerAt(x, y);
        bar->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y));
    }
    void Release(int x, int y) { bar->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }
    std::vector<UINT> ScrollCodes() const
    {
        std::vector<UINT> codes;
        for (const auto& m : parent.log)
            if (m.message == WM_HSCROLL) {
                codes.push_back(LOWORD(m.wParam));
                EXPECT_EQ(reinterpret_cast<LPARAM>(bar->m_hWnd), m.lParam);
            }
        return codes;
    }
    int Count(UINT message) const
    {
        int n = 0;
        for (const auto& m : parent.log)
            n += m.message == message;
        return n;
    }

    mvtest::LogWnd parent;
    std::unique_ptr<COurFlatScrollBar> bar;
};

TEST_F(OurScrollBarTest, GeometryFollowsTheRangeAndThePage)
{
    CRect track, thumb, first, second;
    bar->GetTrackRect(&track);
    bar->GetThumbRect(&thumb);
    bar->GetFirstButtonRect(&first);
    bar->GetSecondButtonRect(&second);
    EXPECT_EQ(CRect(16, 1, 284, 15), track);
    EXPECT_EQ(CRect(16, 1, 43, 15), thumb);  // a tenth of the track
    EXPECT_EQ(CRect(1, 1, 15, 15), first);
    EXPECT_EQ(CRect(285, 1, 299, 15), second);
    SetInfo(0, 9999, 1000, 9000);
    bar->GetThumbRect(&thumb);
    EXPECT_EQ(284, thumb.right);
    SetInfo(0, 9999, 10, 0);  // shorter than the grip: lengthened to it
    bar->GetThumbRect(&thumb);
    EXPECT_EQ(12, thumb.Width());
    SetInfo(0, 0, 0, 0);  // no range: the whole track
    bar->GetThumbRect(&thumb);
    EXPECT_EQ(track.Width(), thumb.Width());
}

TEST_F(OurScrollBarTest, AHeldPressOnTheTrackPagesAtOnceAfter500MsAndThenEvery100Ms)
{
    Press(200, 8);
    EXPECT_EQ((std::vector<UINT>{SB_PAGEDOWN}), ScrollCodes());
    EXPECT_EQ(COurScrollBar::kRepeating, bar->GetState());
    EXPECT_EQ(500, mvui::TimerInterval(bar->m_hWnd, COurScrollBar::kPageTimer));
    bar->SendMessage(WM_TIMER, COurScrollBar::kPageTimer, 0);
    EXPECT_EQ((std::vector<UINT>{SB_PAGEDOWN, SB_PAGEDOWN}), ScrollCodes());
    EXPECT_EQ(100, mvui::TimerInterval(bar->m_hWnd, COurScrollBar::kPageTimer));
    // Once the thumb reaches the pointer the steps stop.
    SetInfo(0, 9999, 1000, 7000);
    PointerAt(210, 8);
    bar->SendMessage(WM_TIMER, COurScrollBar::kPageTimer, 0);
    EXPECT_EQ(2u, ScrollCodes().size());
    EXPECT_EQ(0, mvui::TimerInterval(bar->m_hWnd, COurScrollBar::kPageTimer));
    Release(210, 8);
    EXPECT_EQ(COurScrollBar::kIdle, bar->GetState());
    EXPECT_EQ(nullptr, CWnd::GetCapture());
}

TEST_F(OurScrollBarTest, ButtonsStepLinesAndDoNothingWhenThePageExceedsTheRange)
{
    SetInfo(0, 9999, 1000, 5000);
    Press(5, 8);
    EXPECT_EQ(500, mvui::TimerInterval(bar->m_hWnd, COurScrollBar::kLineTimer));
    bar->SendMessage(WM_TIMER, COurScrollBar::kLineTimer, 0);
    Release(5, 8);
    Press(292, 8);
    Release(292, 8);
    EXPECT_EQ((std::vector<UINT>{SB_LINEUP, SB_LINEUP, SB_LINEDOWN}), ScrollCodes());
    EXPECT_EQ(0, mvui::TimerInterval(bar->m_hWnd, COurScrollBar::kLineTimer));

    parent.log.clear();
    SetInfo(0, 100, 500, 0);
    Press(5, 8);
    Release(5, 8);
    Press(292, 8);
    Release(292, 8);
    EXPECT_TRUE(ScrollCodes().empty());
}

TEST_F(OurScrollBarTest, DraggingTheThumbTracksPositionsAcrossTheRange)
{
    Press(20, 8);  // 4 pixels into the thumb
    EXPECT_EQ(COurScrollBar::kThumbDrag, bar->GetState());
    Move(20 + 120, 8);
    Move(400, 8);  // past the end: the last position
    Move(-50, 8);
    Release(-50, 8);
    std::vector<WPARAM> tracks;
    for (const auto& m : parent.log)
        if (m.message == WM_HSCROLL && LOWORD(m.wParam) == SB_THUMBTRACK)
            tracks.push_back(HIWORD(m.wParam));
    // 120 of 241 pixels of travel over 9000 positions.
    EXPECT_EQ((std::vector<WPARAM>{4481, 9000, 0}), tracks);
}

TEST_F(OurScrollBarTest, AZoomDragZoomsAroundItsAnchorAndSendsItsModeMessagesInPairs)
{
    BarView view;
    ASSERT_TRUE(view.CreateEx(0, nullptr, "view", WS_POPUP | WS_VISIBLE, CRect(0, 300, 400, 400), nullptr, 0));
    view.bar = bar.get();
    CHScrollZoomMgr<long> mgr(0.1f, 0, 2400);  // a beat is a tenth of the width: ten beats a page
    mgr.Attach(&view);
    mgr.HandleScroll(nullptr, 0, 400, 96000);  // a hundred beats
    bar->SetTarget(&mgr);
    bar->EnableZoomHandles(TRUE);
    const UINT on = RegisterWindowMessageA("OurScrollBar_ZoomModeOn");
    const UINT off = RegisterWindowMessageA("OurScrollBar_ZoomModeOff");

    CRect thumb, handle;
    bar->GetThumbRect(&thumb);
    bar->GetCentreHandleRect(&handle, &thumb);
    const CPoint centre = handle.CenterPoint();
    Press(centre.x, centre.y);
    EXPECT_EQ(COurScrollBar::kHorizontalZoom, bar->GetState());
    EXPECT_EQ(1, mgr.GetKeepInRange());
    const mvtest::LoggedMessage* start = parent.Last(on);
    ASSERT_NE(nullptr, start);
    EXPECT_EQ(reinterpret_cast<WPARAM>(static_cast<IZoomTime*>(bar.get())), start->wParam);
    EXPECT_LT(ShowCursor(TRUE), 1);  // hidden while zooming
    ShowCursor(FALSE);

    // Across the bar: the thumb grows to the whole track and the whole song shows.
    Move(centre.x, centre.y + 400);
    EXPECT_NEAR(960.0 / 96000, mgr.GetZoom(), 2e-4);
    // Shrunk to nothing: one per cent in per move.
    const double before = mgr.GetZoom();
    Move(centre.x, centre.y - 2000);
    EXPECT_NEAR(before * 1.01, mgr.GetZoom(), 1e-6);
    EXPECT_EQ(0, Count(off));

    Release(900, 900);  // outside the bar
    EXPECT_EQ(1, Count(on));
    EXPECT_EQ(1, Count(off));
    EXPECT_EQ(0, ShowCursor(FALSE) + 1);
    ShowCursor(TRUE);
    EXPECT_EQ(0, mgr.GetKeepInRange());
    mgr.Detach(&view);
}

TEST_F(OurScrollBarTest, LosingTheCaptureDuringAZoomDragStillEndsTheZoomModeOnce)
{
    BarView view;
    ASSERT_TRUE(view.CreateEx(0, nullptr, "view", WS_POPUP | WS_VISIBLE, CRect(0, 300, 400, 400), nullptr, 0));
    view.bar = bar.get();
    CHScrollZoomMgr<long> mgr(0.1f, 0, 2400);
    mgr.Attach(&view);
    mgr.HandleScroll(nullptr, 0, 400, 96000);
    bar->SetTarget(&mgr);
    bar->EnableZoomHandles(TRUE);
    const UINT off = RegisterWindowMessageA("OurScrollBar_ZoomModeOff");
    CRect thumb, handle;
    bar->GetThumbRect(&thumb);
    bar->GetCentreHandleRect(&handle, &thumb);
    Press(handle.CenterPoint().x, handle.CenterPoint().y);
    view.SetCapture();
    EXPECT_EQ(1, Count(off));
    EXPECT_EQ(COurScrollBar::kIdle, bar->GetState());
    EXPECT_EQ(0, ShowCursor(FALSE) + 1);
    ShowCursor(TRUE);
    ReleaseCapture();
    Release(0, 0);
    EXPECT_EQ(1, Count(off));
    mgr.Detach(&view);
}

TEST_F(OurScrollBarTest, WithoutATargetPressesAndZoomDragsChangeNothing)
{
    bar->EnableZoomHandles(TRUE);
    CRect thumb, handle;
    bar->GetThumbRect(&thumb);
    bar->GetCentreHandleRect(&handle, &thumb);
    Press(handle.CenterPoint().x, handle.CenterPoint().y);
    Move(handle.CenterPoint().x, 60);
    Release(handle.CenterPoint().x, 60);
    EXPECT_EQ(COurScrollBar::kIdle, bar->GetState());
}

TEST_F(OurScrollBarTest, TheFlatBarDrawsBackgroundThumbGripAndButtons)
{
    bar->EnableZoomHandles(TRUE);
    bar->SetColors(0x008000, RGB(40, 40, 40), RGB(90, 90, 90));
    SetInfo(0, 9999, 2500, 3000);
    CDcRecorder recorder(bar->m_hWnd);
    bar->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    std::vector<COLORREF> fills;
    for (const DcCall& c : recorder.Calls())
        if (c.op == "FillSolidRect")
            fills.push_back(c.colour);
    EXPECT_EQ((std::vector<COLORREF>{RGB(40, 40, 40), 0x008000, 0xFF0000, 0x008000, 0x008000}), fills);
    mvtest::ShotTree(parent, "zoom-scroll-bar-flat");
}

}  // namespace

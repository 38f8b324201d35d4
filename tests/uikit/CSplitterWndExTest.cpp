// The frames' splitter: layout through its hooks, bars that drag live or
// stay locked, panes of a row or column that scroll together, bar colours
// and marked cells, and the DC attributes a drawing routine gets back.
#include "uikit/CSplitterWndEx.h"

#include <gtest/gtest.h>


#include "platform/ui/CRecordingDC.h"
#include "platform/ui/CView.h"
#include "tests/platform/ui/UiTestSupport.h"
#include "tests/uikit/ShotTree.h"
#include "uikit/CAutoDCRestorer.h"

namespace {

// A pane that scrolls by its shared bars: a line is 10, a page 40.
class PaneView : public CView {
public:
    explicit PaneView(COLORREF c = RGB(255, 255, 255)) : colour(c) {}
    COLORREF colour;
    int scrolls = 0;
    void OnDraw(CDC* dc) override
    {
        CRect r;
        GetClientRect(&r);
        dc->FillSolidRect(&r, colour);
    }
    int Pos(int bar) { return GetScrollPos(bar); }

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        if (message != WM_HSCROLL && message != WM_VSCROLL)
            return CView::OnWndMsg(message, wParam, lParam, result);
        const int bar = message == WM_HSCROLL ? SB_HORZ : SB_VERT;
        SCROLLINFO si{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, 0, 0};
        GetScrollInfo(bar, &si, SIF_POS);
        const UINT code = LOWORD(wParam);
        si.nPos += code == SB_LINEDOWN ? 10 : code == SB_LINEUP ? -10 : code == SB_PAGEDOWN ? 40 : code == SB_PAGEUP ? -40 : 0;
        si.fMask = SIF_POS;
        SetScrollInfo(bar, &si, TRUE);
        ++scrolls;
        *result = 0;
        return TRUE;
    }
};

class Hooks : public CSplitterWndEx::IRecalcLayoutHook, public CSplitterWndEx::IDoubleClickHook {
public:
    int barSize = 18;
    int layouts = 0;
    std::vector<int> doubleClicks;
    bool shrinkFirstPane = false;
    void OnRecalcLayout(CSplitterWndEx* splitter) override
    {
        ++layouts;
        if (!shrinkFirstPane)
            return;
        CWnd* pane = splitter->GetPane(0, 0);
        if (!pane)
            return;
        CRect r;
        pane->GetWindowRect(&r);
        splitter->ScreenToClient(&r);
        pane->MoveWindow(r.left + 12, r.top + 12, r.Width() - 24, r.Height() / 2);
    }
    int GetHScrollBarHeight() override { return barSize; }
    int GetVScrollBarWidth() override { return barSize; }
    void OnSplitterDoubleClick(int hit) override { doubleClicks.push_back(hit); }
};

class SplitterTest : public mvtest::UiTest {
protected:
    void Build(CSplitterWndEx& splitter, DWORD extra = WS_HSCROLL | WS_VSCROLL)
    {
        ASSERT_TRUE(frame.CreateEx(0, nullptr, "frame", WS_POPUP | WS_VISIBLE, CRect(50, 50, 450, 350), nullptr, 0));
        ASSERT_TRUE(splitter.CreateStatic(&frame, 2, 2, WS_CHILD | WS_VISIBLE | extra));
        const COLORREF colours[4] = {RGB(250, 240, 220), RGB(220, 240, 250), RGB(230, 250, 230), RGB(245, 225, 245)};
        for (int i = 0; i < 4; ++i) {
            panes[i].colour = colours[i];
            ASSERT_TRUE(splitter.CreateView(i / 2, i % 2, &panes[i], CSize(150, 120)));
        }
        splitter.RecalcLayout();
        for (int bar : {0, 1})
            for (int i : {0, 1}) {
                SCROLLINFO si{sizeof(SCROLLINFO), SIF_RANGE | SIF_PAGE, 0, 200, 20, 0, 0};
                if (CScrollBar* b = splitter.GetPaneScrollBar(&panes[bar == SB_HORZ ? i : i * 2], bar))
                    b->SetScrollInfo(&si, FALSE);
            }
        mvui::PumpMessages();
    }
    CRect PaneRect(CSplitterWndEx& splitter, int i)
    {
        CRect r;
        panes[i].GetWindowRect(&r);
        splitter.ScreenToClient(&r);
        return r;
    }
    void PointerAt(CWnd& w, CPoint p)
    {
        w.ClientToScreen(&p);
        SetCursorPos(p.x, p.y);
    }

    CWnd frame;
    PaneView panes[4];
    Hooks hooks;
};

TEST_F(SplitterTest, TheBarColourFollowsTheSystemFaceUntilOneIsSet)
{
    CSplitterWndEx splitter(nullptr, nullptr, FALSE, FALSE);
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), splitter.GetBarColor());
    mvui::SetSysColor(COLOR_BTNFACE, RGB(10, 20, 30));
    EXPECT_EQ(RGB(10, 20, 30), splitter.GetBarColor());
    splitter.SetBarColor(RGB(1, 2, 3));
    EXPECT_EQ(RGB(1, 2, 3), splitter.GetBarColor());
}

TEST_F(SplitterTest, TheHookSizesTheScrollBarsButNeverBelowTheSystemSize)
{
    CSplitterWndEx splitter(&hooks, &hooks, FALSE, FALSE);
    mvui::SetSystemMetric(SM_CXVSCROLL, 16);
    mvui::SetSystemMetric(SM_CYHSCROLL, 16);
    Build(splitter);
    EXPECT_EQ(18, splitter.GetVScrollWidth());
    EXPECT_EQ(18, splitter.GetHScrollHeight());
    CWnd* vbar = splitter.GetDlgItem(AFX_IDW_VSCROLL_FIRST);
    ASSERT_NE(nullptr, vbar);
    CRect r;
    vbar->GetWindowRect(&r);
    EXPECT_EQ(18, r.Width());
    mvui::SetSystemMetric(SM_CXVSCROLL, 21);
    EXPECT_EQ(21, splitter.GetVScrollWidth());
    CSplitterWndEx plain(nullptr, nullptr, FALSE, FALSE);
    EXPECT_EQ(16, plain.GetHScrollHeight());
}

TEST_F(SplitterTest, RecalcLayoutLetsTheHookPlaceThePanesAndShowsTheBarsAgain)
{
    CSplitterWndEx splitter(&hooks, &hooks, FALSE, FALSE);
    Build(splitter);
    hooks.layouts = 0;
    hooks.shrinkFirstPane = true;
    splitter.RecalcLayout();
    EXPECT_EQ(1, hooks.layouts);
    EXPECT_EQ(12, PaneRect(splitter, 0).left - PaneRect(splitter, 2).left);
    for (UINT id : {AFX_IDW_HSCROLL_FIRST + 1, AFX_IDW_VSCROLL_FIRST + 1}) {
        CWnd* bar = splitter.GetDlgItem(static_cast<int>(id));
        ASSERT_NE(nullptr, bar);
        EXPECT_TRUE(bar->IsWindowVisible());
    }
}

TEST_F(SplitterTest, HitCodesNameRowBarsColumnBarsAndCrossings)
{
    CSplitterWndEx splitter(nullptr, nullptr, FALSE, FALSE);
    Build(splitter, 0);
    const CRect a = PaneRect(splitter, 0);  // top left
    struct Case {
        CPoint p;
        int hit;
    } cases[] = {
        {CPoint(a.left + 5, a.top + 5), CSplitterWnd::noHit},
        {CPoint(a.left + 5, a.bottom + 2), CSplitterWnd::vSplitterBar1},
        {CPoint(a.right + 2, a.top + 5), CSplitterWnd::hSplitterBar1},
        {CPoint(a.right + 2, a.bottom + 2), CSplitterWnd::splitterIntersection1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.hit, splitter.HitTest(c.p)) << c.p.x << "," << c.p.y;
}

TEST_F(SplitterTest, DraggingARowBarResizesThePanesAtOnce)
{
    CSplitterWndEx splitter(nullptr, nullptr, FALSE, FALSE);
    Build(splitter, 0);
    const int before = PaneRect(splitter, 0).Height();
    const CPoint bar(100, PaneRect(splitter, 0).bottom + 2);
    PointerAt(splitter, bar);
    splitter.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(bar.x, bar.y));
    EXPECT_EQ(&splitter, CWnd::GetCapture());
    PointerAt(splitter, CPoint(bar.x, bar.y + 30));
    splitter.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(bar.x, bar.y + 30));
    EXPECT_EQ(before + 30, PaneRect(splitter, 0).Height());  // before the release
    EXPECT_EQ(before + 30, PaneRect(splitter, 1).Height());
    // Far past the next row: limited so that the lower row can close but not pass the end.
    splitter.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(bar.x, 2000));
    splitter.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(bar.x, 2000));
    EXPECT_EQ(nullptr, CWnd::GetCapture());
    CRect inside;
    splitter.GetInsideRect(inside);
    EXPECT_LE(PaneRect(splitter, 0).bottom, inside.bottom);
    int current = 0, minimum = 0;
    splitter.GetRowInfo(1, current, minimum);
    EXPECT_EQ(0, current);
}

TEST_F(SplitterTest, ALockedSplitterNeitherDragsNorShowsTheSizingCursor)
{
    CSplitterWndEx splitter(nullptr, nullptr, FALSE, TRUE);
    Build(splitter, 0);
    const int before = PaneRect(splitter, 0).Height();
    const CPoint bar(100, PaneRect(splitter, 0).bottom + 2);
    PointerAt(splitter, bar);
    ::SetCursor(LoadCursor(nullptr, IDC_ARROW));
    splitter.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(splitter.m_hWnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    splitter.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(bar.x, bar.y));
    splitter.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(bar.x, bar.y + 30));
    splitter.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(bar.x, bar.y + 30));
    EXPECT_EQ(IDC_ARROW, mvui::CursorId(GetCursor()));
    EXPECT_EQ(before, PaneRect(splitter, 0).Height());
    EXPECT_EQ(nullptr, CWnd::GetCapture());

    splitter.SetLocked(FALSE);
    splitter.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(splitter.m_hWnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(IDC_SIZENS, mvui::CursorId(GetCursor()));
}

TEST_F(SplitterTest, LosingTheCaptureEndsATrackedDrag)
{
    CSplitterWndEx splitter(nullptr, nullptr, FALSE, FALSE);
    Build(splitter, 0);
    const CPoint bar(PaneRect(splitter, 0).right + 2, 50);
    PointerAt(splitter, bar);
    splitter.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(bar.x, bar.y));
    frame.SetCapture();
    const int width = PaneRect(splitter, 0).Width();
    splitter.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(bar.x + 40, bar.y));
    EXPECT_EQ(width, PaneRect(splitter, 0).Width());
    ReleaseCapture();
}

TEST_F(SplitterTest, ScrollingOnePaneMovesItsRowVerticallyAndItsColumnHorizontally)
{
    CSplitterWndEx splitter(&hooks, &hooks, FALSE, FALSE);
    Build(splitter);
    SCROLLINFO si{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, 30, 0};
    panes[1].SetScrollInfo(SB_HORZ, &si, FALSE);  // the right column stands at 30
    EXPECT_TRUE(splitter.DoScroll(&panes[0], 0xFF | (SB_LINEDOWN << 8), TRUE));
    EXPECT_EQ(10, panes[0].Pos(SB_VERT));
    EXPECT_EQ(10, panes[1].Pos(SB_VERT));  // same row
    EXPECT_EQ(30, panes[1].Pos(SB_HORZ));  // its column left alone
    EXPECT_EQ(0, panes[2].Pos(SB_VERT));   // the other row
    EXPECT_EQ(1, panes[1].scrolls);
    EXPECT_EQ(0, panes[2].scrolls + panes[3].scrolls);

    // The wheel: one step per message; Ctrl scrolls sideways, Shift by pages.
    CRect r;
    panes[3].GetWindowRect(&r);
    const CPoint inside = r.CenterPoint();
    splitter.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-360)), MAKELPARAM(inside.x, inside.y));
    EXPECT_EQ(10, panes[3].Pos(SB_VERT));
    EXPECT_EQ(10, panes[2].Pos(SB_VERT));
    splitter.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL | MK_SHIFT, static_cast<WORD>(-120)),
                         MAKELPARAM(inside.x, inside.y));
    EXPECT_EQ(70, panes[3].Pos(SB_HORZ));
    EXPECT_EQ(70, panes[1].Pos(SB_HORZ));
    EXPECT_EQ(10, panes[3].Pos(SB_VERT));
}

TEST_F(SplitterTest, DoubleClicksReachTheHookWithTheirHitCode)
{
    CSplitterWndEx splitter(&hooks, &hooks, FALSE, FALSE);
    Build(splitter);
    const CPoint bar(PaneRect(splitter, 0).right + 2, 50);
    splitter.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(bar.x, bar.y));
    splitter.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(bar.x, bar.y));
    EXPECT_EQ((std::vector<int>{CSplitterWnd::hSplitterBar1}), hooks.doubleClicks);
}

TEST_F(SplitterTest, AMarkedCellIsPaintedAsASolidBlockRoundItsPane)
{
    CSplitterWndEx splitter(&hooks, &hooks, TRUE, FALSE);
    splitter.SetThinBars();
    splitter.SetBarColor(RGB(60, 80, 120));
    splitter.SetBarMarked(0, 0, TRUE);
    EXPECT_TRUE(splitter.IsBarMarked(0, 0));
    EXPECT_FALSE(splitter.IsBarMarked(0, 1));
    hooks.shrinkFirstPane = true;
    Build(splitter);
    EXPECT_EQ(1, PaneRect(splitter, 1).left - PaneRect(splitter, 3).left + 1);  // one-pixel bars
    splitter.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    const QImage image = mvui::WindowSurface(splitter.m_hWnd);
    const CRect pane = PaneRect(splitter, 0);
    EXPECT_EQ(QColor(60, 80, 120).rgb(), image.pixel(pane.left - 5, pane.top + 3));
    EXPECT_EQ(QColor(60, 80, 120).rgb(), image.pixel(pane.left + 5, pane.bottom + 5));
    mvtest::ShotTree(frame, "splitter-2x2-marked-cell");
}

TEST(CAutoDCRestorerTest, PutsBackWhatItsFlagsNameAndNothingElse)
{
    mvui::EnsureApplication();
    CRecordingDC dc;
    CPen pen(PS_SOLID, 1, RGB(1, 2, 3)), other(PS_SOLID, 1, RGB(9, 9, 9));
    dc.SelectObject(&pen);
    dc.SetTextColor(RGB(10, 10, 10));
    dc.SetBkColor(RGB(20, 20, 20));
    dc.SetROP2(R2_COPYPEN);
    {
        CAutoDCRestorer keep(&dc, CAutoDCRestorer::kTextColor | CAutoDCRestorer::kPen | CAutoDCRestorer::kRop2);
        dc.SetTextColor(RGB(200, 0, 0));
        dc.SetBkColor(RGB(0, 200, 0));
        dc.SelectObject(&other);
        dc.SetROP2(R2_XORPEN);
    }
    EXPECT_EQ(RGB(10, 10, 10), dc.GetTextColor());
    EXPECT_EQ(&pen, dc.GetCurrentPen());
    EXPECT_EQ(R2_COPYPEN, dc.GetROP2());
    EXPECT_EQ(RGB(0, 200, 0), dc.GetBkColor());  // not asked for
}

}  // namespace

// Sizing bars in a frame: they dock along each side in rows at their sizes,
// never below their minimums; a row's length is shared out among its bars;
// an edge drag resizes within its bounds; the layout settles; sizes are
// saved in the profile and read back raised to the minimums.
#include "uikit/CSizingControlBar.h"

#include <gtest/gtest.h>

#include "platform/registry/Profile.h"
#include "tests/support/TempProfile.h"
#include "tests/uikit/DockingFixture.h"
#include "uikit/CSizingControlBarG.h"

namespace {

using mvtest::DockingTest;

TEST_F(DockingTest, BarsDockAlongEachSideAtTheirThicknessAndShareTheRow)
{
    struct Case {
        const char* name;
        UINT side;
        bool horizontal;
    } cases[] = {{"top", AFX_IDW_DOCKBAR_TOP, true},
                 {"bottom", AFX_IDW_DOCKBAR_BOTTOM, true},
                 {"left", AFX_IDW_DOCKBAR_LEFT, false},
                 {"right", AFX_IDW_DOCKBAR_RIGHT, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CSizingControlBarG a, b;
        Dock(a, kFirstBar, c.side, CSize(150, 90));
        Dock(b, kFirstBar + 1, c.side, CSize(150, 90));
        CDockBar* dock = frame.GetDockBar(c.side);
        ASSERT_NE(nullptr, dock);
        EXPECT_EQ(c.side, a.dockBarId);
        // One row: [null, a, b, null].
        ASSERT_EQ(4u, dock->m_arrBars.size());
        EXPECT_EQ(&a, dock->GetDockedControlBar(1));
        EXPECT_EQ(&b, dock->GetDockedControlBar(2));
        const CRect ra = InFrame(a), rb = InFrame(b);
        const CRect rd = InFrame(*dock);
        // The bars keep their thickness and together fill the side's length.
        if (c.horizontal) {
            EXPECT_EQ(90, ra.Height());
            EXPECT_EQ(90, rb.Height());
            EXPECT_EQ(ra.top, rb.top);
            EXPECT_EQ(ra.right - 2, rb.left);
            EXPECT_EQ(640 + 4, ra.Width() + rb.Width() - 2);
            EXPECT_EQ(86, rd.Height());
        } else {
            // Upright, the size's first value is the thickness; the row
            // ends two pixels short of the side's end.
            EXPECT_EQ(150, ra.Width());
            EXPECT_EQ(ra.left, rb.left);
            EXPECT_EQ(ra.bottom - 2, rb.top);
            EXPECT_EQ(rd.Height() - 2, ra.Height() + rb.Height() - 4);
            EXPECT_EQ(146, rd.Width());
        }
        // The view gets what the side leaves.
        const CRect rv = InFrame(view);
        if (c.side == AFX_IDW_DOCKBAR_TOP) {
            EXPECT_EQ(rd.bottom, rv.top);
        }
        if (c.side == AFX_IDW_DOCKBAR_LEFT) {
            EXPECT_EQ(rd.right, rv.left);
        }
        a.DestroyWindow();
        b.DestroyWindow();
        Settle();
    }
}

TEST_F(DockingTest, SizesNeverGoBelowTheMinimums)
{
    CSizingControlBarG bar;
    Dock(bar, kFirstBar, AFX_IDW_DOCKBAR_TOP, CSize(10, 5));
    EXPECT_EQ(CSize(32767, 5), bar.CalcFixedLayout(TRUE, TRUE));
    const CSize fixed = bar.CalcFixedLayout(FALSE, TRUE);
    EXPECT_GE(fixed.cy, bar.minHorz.cy);
    // Floating sizes are raised to the floating minimum.
    EXPECT_EQ(bar.minFloat, bar.CalcDynamicLayout(3, LM_HORZ | LM_COMMIT));
    // A bar outside any dock bar answers its plain sizes.
    CSizingControlBarG loose;
    ASSERT_TRUE(loose.Create("Loose", &frame, CSize(90, 70), TRUE, kFirstBar + 1, WS_CHILD | CBRS_TOP));
    EXPECT_EQ(CSize(90, 70), loose.CalcFixedLayout(FALSE, TRUE));
    EXPECT_EQ(CSize(90, 70), loose.CalcFixedLayout(FALSE, FALSE));
}

TEST_F(DockingTest, ARowThatCannotHoldItsBarsAtTheirMinimumsBreaksBeforeTheBarThatDoesNotFit)
{
    frame.MoveWindow(100, 100, 80, 480);
    Settle();
    CSizingControlBarG a, b, c;
    Dock(a, kFirstBar, AFX_IDW_DOCKBAR_TOP);
    Dock(b, kFirstBar + 1, AFX_IDW_DOCKBAR_TOP);
    Dock(c, kFirstBar + 2, AFX_IDW_DOCKBAR_TOP);
    Settle();
    // 80 + 2 pixels hold two bars of 33 (31 each after the overlap) but not three.
    CDockBar* dock = frame.GetDockBar(AFX_IDW_DOCKBAR_TOP);
    const std::vector<void*> expected = {nullptr, &a, &b, nullptr, &c, nullptr};
    EXPECT_EQ(expected, dock->m_arrBars);
    EXPECT_EQ(InFrame(a).top, InFrame(b).top);
    EXPECT_GT(InFrame(c).top, InFrame(a).top);
}

TEST_F(DockingTest, ALoneBarInARowTakesTheWholeLength)
{
    CSizingControlBarG bar;
    Dock(bar, kFirstBar, AFX_IDW_DOCKBAR_BOTTOM, CSize(120, 80));
    EXPECT_EQ(640 + 4, bar.sizeHorz.cx);
    frame.MoveWindow(100, 100, 500, 480);
    Settle();
    EXPECT_EQ(500 + 4, bar.sizeHorz.cx);
    EXPECT_EQ(80, bar.sizeHorz.cy);
}

// The layout of a vertical row used to compare each bar against a place
// two pixels off the one it gave it, so every layout asked for another.
TEST_F(DockingTest, AVerticalRowSettlesAfterOneLayout)
{
    CSizingControlBarG a, b;
    Dock(a, kFirstBar, AFX_IDW_DOCKBAR_LEFT, CSize(120, 150));
    Dock(b, kFirstBar + 1, AFX_IDW_DOCKBAR_LEFT, CSize(120, 150));
    Settle();
    frame.layouts = 0;
    frame.RecalcLayout();
    for (int i = 0; i < 20; ++i)
        mvui::PumpMessages();
    EXPECT_LE(frame.layouts, 2);
    const CRect ra = InFrame(a), rb = InFrame(b);
    EXPECT_EQ(ra.bottom - 2, rb.top);
    // RealignRow on a row in place moves nothing and asks for nothing.
    frame.layouts = 0;
    a.RealignRow();
    mvui::PumpMessages();
    EXPECT_EQ(0, frame.layouts);
    EXPECT_EQ(ra, InFrame(a));
}

TEST_F(DockingTest, DraggingAnEdgeBetweenTwoBarsMovesLengthFromOneToTheOtherWithinTheirMinimums)
{
    CSizingControlBarG a, b;
    Dock(a, kFirstBar, AFX_IDW_DOCKBAR_TOP, CSize(200, 100));
    Dock(b, kFirstBar + 1, AFX_IDW_DOCKBAR_TOP, CSize(200, 100));
    const int total = a.sizeHorz.cx + b.sizeHorz.cx;
    // b's left edge: its strip lies inside b's left side.
    const CRect wb = WindowRect(b);
    const CPoint edge(wb.left + 4, wb.CenterPoint().y);
    ASSERT_EQ(HTLEFT, b.SendMessage(WM_NCHITTEST, 0, MAKELPARAM(edge.x, edge.y)));
    const int aBefore = a.sizeHorz.cx;
    Press(b, edge);
    MoveTo(b, CPoint(edge.x + 50, edge.y));
    Release(b, CPoint(edge.x + 50, edge.y));
    Settle();
    EXPECT_EQ(aBefore + 50, a.sizeHorz.cx);
    EXPECT_EQ(total, a.sizeHorz.cx + b.sizeHorz.cx);
    // Far to the right b stops at its minimum.
    const CRect wb2 = WindowRect(b);
    const CPoint edge2(wb2.left + 4, wb2.CenterPoint().y);
    Press(b, edge2);
    MoveTo(b, CPoint(edge2.x + 2000, edge2.y));
    Release(b, CPoint(edge2.x + 2000, edge2.y));
    Settle();
    EXPECT_EQ(b.minHorz.cx, b.sizeHorz.cx);
    EXPECT_EQ(total, a.sizeHorz.cx + b.sizeHorz.cx);
    EXPECT_FALSE(b.tracking);
}

TEST_F(DockingTest, DraggingTheInnerEdgeChangesTheRowThicknessWithinTheViewMargin)
{
    CSizingControlBar::SetMaximizeMargins(100, 100);
    CSizingControlBarG a, b;
    Dock(a, kFirstBar, AFX_IDW_DOCKBAR_TOP, CSize(200, 100));
    Dock(b, kFirstBar + 1, AFX_IDW_DOCKBAR_TOP, CSize(200, 100));
    const CRect wa = WindowRect(a);
    const CPoint edge(wa.CenterPoint().x, wa.bottom - 4);
    ASSERT_EQ(HTBOTTOM, a.SendMessage(WM_NCHITTEST, 0, MAKELPARAM(edge.x, edge.y)));
    Press(a, edge);
    MoveTo(a, CPoint(edge.x, edge.y + 40));
    Release(a, CPoint(edge.x, edge.y + 40));
    Settle();
    EXPECT_EQ(140, a.sizeHorz.cy);
    EXPECT_EQ(140, b.sizeHorz.cy);
    // Down to the end: the view keeps its last 100 pixels.
    const CRect wa2 = WindowRect(a);
    const CPoint edge2(wa2.CenterPoint().x, wa2.bottom - 4);
    Press(a, edge2);
    MoveTo(a, CPoint(edge2.x, edge2.y + 2000));
    Release(a, CPoint(edge2.x, edge2.y + 2000));
    Settle();
    EXPECT_EQ(100, InFrame(view).Height());
    // Up past the minimum thickness: the minimum.
    const CRect wa3 = WindowRect(a);
    const CPoint edge3(wa3.CenterPoint().x, wa3.bottom - 4);
    Press(a, edge3);
    MoveTo(a, CPoint(edge3.x, edge3.y - 2000));
    Release(a, CPoint(edge3.x, edge3.y - 2000));
    Settle();
    EXPECT_EQ(a.minHorz.cy, a.sizeHorz.cy);
    CSizingControlBar::SetMaximizeMargins(0, 0);
}

TEST_F(DockingTest, LosingTheCaptureEndsAnEdgeDrag)
{
    CSizingControlBarG a, b;
    Dock(a, kFirstBar, AFX_IDW_DOCKBAR_TOP);
    Dock(b, kFirstBar + 1, AFX_IDW_DOCKBAR_TOP);
    const CRect wb = WindowRect(b);
    Press(b, CPoint(wb.left + 4, wb.CenterPoint().y));
    ASSERT_TRUE(b.tracking);
    view.SetCapture();
    EXPECT_FALSE(b.tracking);
    ReleaseCapture();
}

TEST_F(DockingTest, SizesAreSavedPerBarAndReadBackRaisedToTheMinimums)
{
    mvtest::TempProfile profile;
    CSizingControlBarG a, b;
    Dock(a, kFirstBar, AFX_IDW_DOCKBAR_TOP, CSize(210, 110));
    Dock(b, kFirstBar + 1, AFX_IDW_DOCKBAR_LEFT, CSize(130, 160));
    a.sizeFloat = CSize(321, 123);
    CSizingControlBar::SaveAllBarStates(&frame, "VhMv.BarState.02");
    const std::string section = "VhMv.BarState.02-SCBar-" + std::to_string(kFirstBar);
    EXPECT_EQ(321u, GetProfileIntA(section.c_str(), "sizeFloatCX", 0));
    EXPECT_EQ(123u, GetProfileIntA(section.c_str(), "sizeFloatCY", 0));
    WriteProfileInt(section.c_str(), "sizeVertCX", 10);
    a.sizeFloat = CSize(1, 1);
    CSizingControlBar::LoadAllBarStates(&frame, "VhMv.BarState.02");
    EXPECT_EQ(CSize(321, 123), a.sizeFloat);
    EXPECT_EQ(33, a.sizeVert.cx);
    EXPECT_EQ(130, b.sizeVert.cx);
}

}  // namespace

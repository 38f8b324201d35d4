// Dragging bars as the user does: a press in the gripper and a drag out of
// the frame floats the bar in a mini frame; a drag of the mini frame's
// caption onto a side docks it there; Control held keeps it floating;
// Escape and the right button cancel; a drop into an empty side never makes
// the bar thicker than the view allows.
#include "uikit/CDockContextEx.h"

#include <gtest/gtest.h>

#include "tests/uikit/DockingFixture.h"
#include "tests/uikit/ShotTree.h"
#include "uikit/CSizingControlBarG.h"

namespace {

using mvtest::DockingTest;

class DragTest : public DockingTest {
protected:
    // A point in the bar's gripper strip (counted as client area).
    static CPoint Gripper(CSizingControlBarG& bar)
    {
        const CRect w = WindowRect(bar);
        return bar.IsHorzDocked() ? CPoint(w.left + 9, w.CenterPoint().y) : CPoint(w.CenterPoint().x, w.top + 9);
    }
    CMiniDockFrameWnd* MiniFrameOf(CControlBar& bar)
    {
        return bar.m_pDockBar ? dynamic_cast<CMiniDockFrameWnd*>(bar.m_pDockBar->GetParent()) : nullptr;
    }
    // Floats the bar at `at` and gives its mini frame.
    CMiniDockFrameWnd* FloatAt(CControlBar& bar, CPoint at)
    {
        frame.FloatControlBar(&bar, at, CBRS_ALIGN_TOP);
        Settle();
        return MiniFrameOf(bar);
    }
    static CPoint Caption(CMiniDockFrameWnd& mini)
    {
        const CRect w = WindowRect(mini);
        return CPoint(w.left + 30, w.top + 10);
    }
};

TEST_F(DragTest, DraggingABarOutOfTheFrameFloatsItWhereItWasDropped)
{
    CSizingControlBarG bar;
    Dock(bar, kFirstBar, AFX_IDW_DOCKBAR_TOP);
    const CPoint from = Gripper(bar);
    // Below the frame: the drag rectangles, shrunk by 20 pixels, reach no side.
    const CPoint to(from.x + 300, from.y + 600);
    Drag(bar, from, {CPoint(from.x + 100, from.y + 200), to});
    Settle();
    ASSERT_TRUE(bar.IsFloating());
    CMiniDockFrameWnd* mini = MiniFrameOf(bar);
    ASSERT_NE(nullptr, mini);
    EXPECT_TRUE(mini->IsWindowVisible());
    // The frame keeps the cursor where it held the bar.
    EXPECT_TRUE(WindowRect(*mini).PtInRect(to));
    EXPECT_EQ(bar.sizeFloat, WindowRect(bar).Size());
    EXPECT_EQ(0, frame.GetDockBar(AFX_IDW_DOCKBAR_TOP)->GetDockedCount());
    // The view takes the room the bar left.
    EXPECT_EQ(0, InFrame(view).top);
}

TEST_F(DragTest, DraggingTheMiniFrameCaptionOntoASideDocksTheBarThere)
{
    CSizingControlBarG bar;
    Dock(bar, kFirstBar, AFX_IDW_DOCKBAR_TOP, CSize(220, 120));
    CMiniDockFrameWnd* mini = FloatAt(bar, CPoint(900, 200));
    ASSERT_NE(nullptr, mini);
    const CPoint from = Caption(*mini);
    // Onto the frame's left edge, half way down.
    const CRect client = WindowRect(frame);
    const CPoint to(client.left + 5, client.top + 240);
    Drag(*mini, from, {CPoint(600, 300), to});
    Settle();
    EXPECT_EQ(AFX_IDW_DOCKBAR_LEFT, bar.dockBarId);
    EXPECT_FALSE(bar.IsFloating());
    EXPECT_EQ(frame.GetDockBar(AFX_IDW_DOCKBAR_LEFT), bar.m_pDockBar);
    // The emptied mini frame is gone once the queue has run.
    EXPECT_EQ(nullptr, MiniFrameOf(bar));
    EXPECT_GT(InFrame(view).left, 0);
    // The context remembers the side for the next toggle.
    EXPECT_EQ(AFX_IDW_DOCKBAR_LEFT, bar.m_pDockContext->m_uMRUDockID);
}

TEST_F(DragTest, HoldingControlKeepsTheBarFromDocking)
{
    CSizingControlBarG bar;
    Dock(bar, kFirstBar, AFX_IDW_DOCKBAR_TOP);
    const CPoint from = Gripper(bar);
    // A small move within the top side would dock it again; with Control
    // pressed during the drag it floats.
    Drag(bar, from, {CPoint(from.x + 40, from.y + 4), CPoint(from.x + 60, from.y + 6)}, [&](int step) {
        if (step == 1)
            mvtest::KeyDown(bar, mvtest::Key::Control);
    });
    mvtest::KeyUp(frame, mvtest::Key::Control);
    Settle();
    EXPECT_TRUE(bar.IsFloating());
    // Without it the same drag docks the bar back in the top side.
    CSizingControlBarG other;
    Dock(other, kFirstBar + 1, AFX_IDW_DOCKBAR_TOP);
    const CPoint start = Gripper(other);
    Drag(other, start, {CPoint(start.x + 40, start.y + 4), CPoint(start.x + 60, start.y + 6)});
    Settle();
    EXPECT_EQ(AFX_IDW_DOCKBAR_TOP, other.dockBarId);
}

TEST_F(DragTest, EscapeAndTheRightButtonCancelADrag)
{
    CSizingControlBarG bar;
    Dock(bar, kFirstBar, AFX_IDW_DOCKBAR_TOP);
    const CRect before = InFrame(bar);
    const CPoint from = Gripper(bar);
    mvtest::RunLater([&] {
        MoveTo(bar, CPoint(from.x + 200, from.y + 300));
        mvtest::KeyDown(bar, mvtest::Key::Escape);
        mvtest::KeyUp(bar, mvtest::Key::Escape);
    });
    Press(bar, from);
    Release(bar, CPoint(from.x + 200, from.y + 300));
    Settle();
    EXPECT_EQ(AFX_IDW_DOCKBAR_TOP, bar.dockBarId);
    EXPECT_EQ(before, InFrame(bar));
    EXPECT_EQ(nullptr, CWnd::GetCapture());

    mvtest::RunLater([&] {
        MoveTo(bar, CPoint(from.x + 200, from.y + 300));
        mvtest::PressAt(bar, CPoint(from.x + 200, from.y + 300), true);
    });
    Press(bar, from);
    Settle();
    EXPECT_EQ(AFX_IDW_DOCKBAR_TOP, bar.dockBarId);
    EXPECT_EQ(before, InFrame(bar));
}

TEST_F(DragTest, ADropIntoAnEmptySideNeverMakesTheBarThickerThanTheViewAllows)
{
    // A view 200 pixels high: the frame is 200 high with no bar docked.
    frame.MoveWindow(100, 100, 640, 200);
    Settle();
    ASSERT_EQ(200, InFrame(view).Height());
    CSizingControlBarG bar;
    ASSERT_TRUE(bar.Create("Tall", &frame, CSize(300, 400), TRUE, kFirstBar,
                           WS_CHILD | WS_VISIBLE | CBRS_TOP | CBRS_SIZE_DYNAMIC));
    bar.EnableDocking(CBRS_ALIGN_ANY);
    CMiniDockFrameWnd* mini = FloatAt(bar, CPoint(900, 100));
    ASSERT_NE(nullptr, mini);
    const CRect f = WindowRect(frame);
    Drag(*mini, Caption(*mini), {CPoint(f.left + 200, f.bottom + 40), CPoint(f.left + 320, f.bottom - 2)});
    Settle();
    ASSERT_EQ(AFX_IDW_DOCKBAR_BOTTOM, bar.dockBarId);
    EXPECT_LE(bar.sizeHorz.cy, 170);
    EXPECT_LE(WindowRect(bar).Height(), 170);
}

TEST_F(DragTest, ADragThatReachesNoSideFloatsTheBar)
{
    CSizingControlBarG bar;
    Dock(bar, kFirstBar, AFX_IDW_DOCKBAR_LEFT, CSize(120, 200));
    const CPoint from = Gripper(bar);
    // Into the middle of the view: the rectangles shrunk by 20 pixels reach no side.
    const CRect v = WindowRect(view);
    Drag(bar, from, {v.CenterPoint()});
    Settle();
    EXPECT_TRUE(bar.IsFloating());
}

TEST_F(DragTest, TheMiniFrameBorderResizesTheFloatingBar)
{
    CSizingControlBarG bar;
    Dock(bar, kFirstBar, AFX_IDW_DOCKBAR_TOP, CSize(200, 100));
    CMiniDockFrameWnd* mini = FloatAt(bar, CPoint(900, 200));
    ASSERT_NE(nullptr, mini);
    const CRect w = WindowRect(*mini);
    const CPoint edge(w.right - 2, w.CenterPoint().y);
    Drag(*mini, edge, {CPoint(edge.x + 30, edge.y), CPoint(edge.x + 60, edge.y)});
    Settle();
    EXPECT_EQ(260, bar.sizeFloat.cx);
    EXPECT_EQ(w.Width() + 60, WindowRect(*MiniFrameOf(bar)).Width());
    // Narrower than the minimum is not taken.
    const CRect w2 = WindowRect(*MiniFrameOf(bar));
    const CPoint edge2(w2.right - 2, w2.CenterPoint().y);
    Drag(*MiniFrameOf(bar), edge2, {CPoint(edge2.x - 600, edge2.y)});
    Settle();
    EXPECT_EQ(bar.minFloat.cx, bar.sizeFloat.cx);
}

}  // namespace

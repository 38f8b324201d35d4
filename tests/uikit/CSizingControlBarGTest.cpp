// The gripper and caption bars: the close square of a docked gripper bar
// hides it, while on a caption bar the same press drags the bar; a floating
// bar shows neither gripper nor close square; the caption band follows the
// focus and the system's gradient setting.
#include "uikit/CSizingControlBarG.h"

#include <gtest/gtest.h>

#include "platform/ui/ButtonMessages.h"
#include "tests/uikit/DockingFixture.h"
#include "tests/uikit/ShotTree.h"
#include "uikit/CSizingControlBarCF.h"

namespace {

using mvtest::DockingTest;

CPoint CloseCentre(CSizingControlBarG& bar)
{
    CRect w;
    bar.GetWindowRect(&w);
    return CPoint(w.left + bar.closePos.x + 5, w.top + bar.closePos.y + 5);
}

TEST_F(DockingTest, APressAndReleaseOnTheCloseSquareHidesAGripperBar)
{
    CSizingControlBarG bar;
    Dock(bar, kFirstBar, AFX_IDW_DOCKBAR_TOP);
    const CPoint close = CloseCentre(bar);
    EXPECT_EQ(HTCLOSE, bar.SendMessage(WM_NCHITTEST, 0, MAKELPARAM(close.x, close.y)));
    Press(bar, close);
    Release(bar, close);
    Settle();
    EXPECT_FALSE(bar.IsWindowVisible());
    EXPECT_EQ(0, frame.GetDockBar(AFX_IDW_DOCKBAR_TOP)->GetDockedVisibleCount());
    EXPECT_EQ(0, InFrame(view).top);
    // Shown again, it is back in its row.
    frame.ShowControlBar(&bar, TRUE, FALSE);
    Settle();
    EXPECT_TRUE(bar.IsWindowVisible());
    EXPECT_GT(InFrame(view).top, 0);
}

TEST_F(DockingTest, TheCloseSquareShowsHotAndPushedAtTheCommandUpdatePass)
{
    CSizingControlBarG bar;
    Dock(bar, kFirstBar, AFX_IDW_DOCKBAR_TOP);
    const CPoint close = CloseCentre(bar);
    SetCursorPos(close.x, close.y);
    bar.SendMessage(WM_IDLEUPDATECMDUI, TRUE);
    EXPECT_TRUE(bar.closeHot);
    EXPECT_FALSE(bar.closePushed);
    mvui::SetKeyDown(VK_LBUTTON, true);
    bar.SendMessage(WM_IDLEUPDATECMDUI, TRUE);
    EXPECT_TRUE(bar.closePushed);
    EXPECT_FALSE(bar.closeHot);
    mvui::SetKeyDown(VK_LBUTTON, false);
    SetCursorPos(close.x + 200, close.y + 200);
    bar.SendMessage(WM_IDLEUPDATECMDUI, TRUE);
    EXPECT_FALSE(bar.closeHot);
    EXPECT_FALSE(bar.closePushed);
}

TEST_F(DockingTest, APressOnACaptionBarsCloseSquareDragsTheBar)
{
    CSizingControlBarCF bar;
    Dock(bar, kFirstBar, AFX_IDW_DOCKBAR_TOP);
    const CPoint close = CloseCentre(bar);
    EXPECT_EQ(HTCLIENT, bar.SendMessage(WM_NCHITTEST, 0, MAKELPARAM(close.x, close.y)));
    Drag(bar, close, {CPoint(close.x + 200, close.y + 300)});
    Settle();
    EXPECT_TRUE(bar.IsFloating());
    EXPECT_TRUE(bar.IsWindowVisible());
}

TEST_F(DockingTest, AFloatingBarShowsNeitherGripperNorCloseSquare)
{
    CSizingControlBarG g;
    CSizingControlBarCF cf;
    Dock(g, kFirstBar, AFX_IDW_DOCKBAR_TOP);
    Dock(cf, kFirstBar + 1, AFX_IDW_DOCKBAR_LEFT);
    for (CSizingControlBarG* bar : {static_cast<CSizingControlBarG*>(&g), static_cast<CSizingControlBarG*>(&cf)}) {
        frame.FloatControlBar(bar, CPoint(900, 100 + 300 * (bar == &cf)), CBRS_ALIGN_TOP);
        Settle();
        ASSERT_TRUE(bar->IsFloating());
        EXPECT_FALSE(bar->ShowsGripper());
        // The whole bar is client area: no strip is reserved.
        const CRect w = WindowRect(*bar);
        CRect c;
        bar->GetClientRect(&c);
        EXPECT_EQ(w.Width() - 6, c.Width());
        const CPoint corner(w.left + 6, w.top + 6);
        EXPECT_EQ(HTCLIENT, bar->SendMessage(WM_NCHITTEST, 0, MAKELPARAM(corner.x, corner.y)));
        // Nothing but the face is painted around the client area.
        bar->RedrawWindow(nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
        const QImage image = mvui::WindowSurface(bar->m_hWnd);
        for (int x = 0; x < 3; ++x)
            for (int y = 0; y < image.height(); y += 7)
                EXPECT_EQ(QColor(212, 208, 200).rgb(), image.pixel(x, y) | 0xFF000000) << x << "," << y;
    }
}

TEST_F(DockingTest, TheCaptionBandIsAGradientOnlyWhenTheSystemDrawsThem)
{
    CSizingControlBarCF top, left;
    Dock(top, kFirstBar, AFX_IDW_DOCKBAR_TOP, CSize(300, 120), "Pattern Bin");
    Dock(left, kFirstBar + 1, AFX_IDW_DOCKBAR_LEFT, CSize(160, 200), "Inspector");
    for (BOOL gradient : {TRUE, FALSE}) {
        mvui::SetSystemParameter(SPI_GETGRADIENTCAPTIONS, gradient);
        for (CSizingControlBarCF* bar : {&top, &left}) {
            // The band alone, without its title.
            const CString title = bar->GetWindowText();
            bar->SetWindowText("");
            bar->RedrawWindow(nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
            const QImage image = mvui::WindowSurface(bar->m_hWnd);
            const CPoint c = bar->GetClientOffset();
            // Two points of the band, far apart along it, clear of the title.
            QPoint near, far;
            if (bar == &top) {
                const int x = c.x - bar->gripperWidth + 1;
                CRect client;
                bar->GetClientRect(&client);
                near = QPoint(x, c.y + client.Height() - 2);
                far = QPoint(x, bar->closePos.y + 16);
            } else {
                const int y = c.y - bar->gripperWidth + 1;
                near = QPoint(c.x + 1, y);
                far = QPoint(bar->closePos.x - 5, y);
            }
            if (gradient)
                EXPECT_NE(image.pixel(near), image.pixel(far));
            else
                EXPECT_EQ(image.pixel(near), image.pixel(far));
            bar->SetWindowText(title);
        }
        frame.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
        mvtest::ShotTree(frame, gradient ? "dock-captions-gradient" : "dock-captions-solid");
    }
    // The focus inside the bar makes the caption active.
    CWnd inner;
    ASSERT_TRUE(inner.CreateEx(0, nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(0, 0, 20, 20), &top, 1));
    inner.SetFocus();
    top.SendMessage(WM_IDLEUPDATECMDUI, TRUE);
    EXPECT_TRUE(top.captionActive);
    view.SetFocus();
    top.SendMessage(WM_IDLEUPDATECMDUI, TRUE);
    EXPECT_FALSE(top.captionActive);
}

}  // namespace

// View bars host a frame with a view; the view's registered messages drag
// the bar or toggle its docking; the frame's dock state saves and restores
// the same layout, and a state that does not fit the frame is ignored.
#include "uikit/CViewBar.h"

#include <gtest/gtest.h>

#include "platform/registry/Profile.h"
#include "platform/ui/CDockContext.h"
#include "tests/support/TempProfile.h"
#include "tests/uikit/DockingFixture.h"
#include "tests/uikit/ShotTree.h"
#include "uikit/COurDockState.h"
#include "uikit/CSplitBarFrame.h"

namespace {

using mvtest::DockingTest;

// A panel's view: a soft colour and a few lines, as a list would show.
class PanelView : public CView {
public:
    explicit PanelView(COLORREF c) : colour(c) {}
    COLORREF colour;
    int initialUpdates = 0;
    void OnInitialUpdate() override { ++initialUpdates; }
    void OnDraw(CDC* dc) override
    {
        CRect r;
        GetClientRect(&r);
        dc->FillSolidRect(&r, colour);
        for (int y = 8; y < r.bottom; y += 16)
            dc->FillSolidRect(8, y, std::max(0, r.Width() / 2 - 8), 6, RGB(200, 204, 212));
    }
};

template <class Bar>
void MakeViewBar(Bar& bar, CFrameWnd& frame, UINT id, const char* title, COLORREF colour, CSize size)
{
    bar.sizeHorz = bar.sizeVert = bar.sizeFloat = size;
    ASSERT_TRUE(bar.CreateViewBar(&frame, [colour] { return new PanelView(colour); }, nullptr, title,
                                  WS_CHILD | WS_VISIBLE | CBRS_TOP | CBRS_SIZE_DYNAMIC, id));
    bar.EnableDocking(CBRS_ALIGN_ANY);
}

TEST_F(DockingTest, AViewBarHostsItsViewOverTheClientArea)
{
    CViewBar bar;
    MakeViewBar(bar, frame, kFirstBar, "Inspector", RGB(236, 240, 246), CSize(220, 150));
    frame.DockControlBar(&bar, AFX_IDW_DOCKBAR_LEFT);
    Settle();
    ASSERT_NE(nullptr, bar.hostedFrame->GetSafeHwnd());
    CView* view = bar.hostedFrame->GetActiveView();
    ASSERT_NE(nullptr, view);
    CRect client, hosted;
    bar.GetClientRect(&client);
    bar.hostedFrame->GetClientRect(&hosted);
    EXPECT_EQ(client.Size(), hosted.Size());
    // The view is made with the main window's document and the frame given.
    EXPECT_EQ(&frame, bar.createContext.m_pCurrentFrame);
    // A first update reaches the hosted frame only while the bar floats.
    bar.InitialUpdateFrame(nullptr, TRUE);
    EXPECT_EQ(0, static_cast<PanelView*>(view)->initialUpdates);
    frame.FloatControlBar(&bar, CPoint(900, 200), CBRS_ALIGN_TOP);
    bar.InitialUpdateFrame(nullptr, TRUE);
    EXPECT_EQ(1, static_cast<PanelView*>(view)->initialUpdates);
}

TEST_F(DockingTest, AHostedFrameThatMakesNoViewLeavesTheBarEmpty)
{
    CViewBar bar;
    bar.hostedFrame = std::make_unique<CSplitBarFrame>();
    MakeViewBar(bar, frame, kFirstBar, "Split", RGB(240, 240, 240), CSize(200, 100));
    ASSERT_NE(nullptr, bar.hostedFrame->GetSafeHwnd());
    EXPECT_EQ(nullptr, bar.hostedFrame->GetActiveView());
    EXPECT_EQ(nullptr, bar.hostedFrame->GetDlgItem(AFX_IDW_PANE_FIRST));
}

TEST_F(DockingTest, TheRegisteredMessagesToggleDockingAndStartADragOnlyInADockBar)
{
    EXPECT_EQ(RegisterWindowMessageA("vb_toggledocking"), CViewBar::ToggleDockingMessage());
    EXPECT_EQ(RegisterWindowMessageA("VB_StartDragging"), CViewBar::StartDraggingMessage());
    CViewBar loose;
    MakeViewBar(loose, frame, kFirstBar, "Loose", RGB(240, 240, 240), CSize(200, 100));
    EXPECT_EQ(0, loose.SendMessage(CViewBar::ToggleDockingMessage(), MK_LBUTTON, MAKELPARAM(5, 5)));
    EXPECT_EQ(nullptr, loose.m_pDockBar);
    EXPECT_EQ(0, loose.SendMessage(CViewBar::StartDraggingMessage(), MK_LBUTTON, MAKELPARAM(5, 5)));
    EXPECT_EQ(nullptr, CWnd::GetCapture());

    CViewBar bar;
    MakeViewBar(bar, frame, kFirstBar + 1, "Bin", RGB(240, 240, 240), CSize(200, 100));
    frame.DockControlBar(&bar, AFX_IDW_DOCKBAR_TOP);
    Settle();
    // The view's double click floats the bar and a second one docks it back.
    CView* view = bar.hostedFrame->GetActiveView();
    ASSERT_NE(nullptr, view);
    EXPECT_EQ(0, view->GetParent()->GetParent()->SendMessage(CViewBar::ToggleDockingMessage(), MK_LBUTTON,
                                                             MAKELPARAM(10, 10)));
    Settle();
    EXPECT_TRUE(bar.IsFloating());
    bar.SendMessage(CViewBar::ToggleDockingMessage(), MK_LBUTTON, MAKELPARAM(10, 10));
    Settle();
    EXPECT_EQ(AFX_IDW_DOCKBAR_TOP, bar.dockBarId);
    // A press the view does not take drags the bar, from the point it gives.
    mvtest::RunLater([&] {
        const CRect f = WindowRect(frame);
        MoveTo(bar, CPoint(f.CenterPoint().x, f.CenterPoint().y + 50));
        Release(bar, CPoint(f.CenterPoint().x, f.CenterPoint().y + 50));
    });
    bar.SendMessage(CViewBar::StartDraggingMessage(), MK_LBUTTON, MAKELPARAM(10, 10));
    Settle();
    EXPECT_TRUE(bar.IsFloating());
}

class DockStateTest : public DockingTest {
protected:
    void Build()
    {
        MakeViewBar(top, frame, kFirstBar, "Pattern Bin", RGB(244, 240, 228), CSize(260, 110));
        MakeViewBar(left, frame, kFirstBar + 1, "Inspector", RGB(232, 240, 248), CSize(170, 200));
        MakeViewBar(other, frame, kFirstBar + 2, "Transport", RGB(236, 246, 236), CSize(240, 140));
        frame.DockControlBar(&top, AFX_IDW_DOCKBAR_TOP);
        frame.DockControlBar(&left, AFX_IDW_DOCKBAR_LEFT);
        frame.DockControlBar(&other, AFX_IDW_DOCKBAR_TOP);
        Settle();
    }
    struct Layout {
        UINT side[3];
        bool floating[3];
        bool visible[3];
        CRect place[3];
    };
    Layout Take()
    {
        Layout l{};
        CViewBar* bars[3] = {&top, &left, &other};
        for (int i = 0; i < 3; ++i) {
            l.side[i] = bars[i]->dockBarId;
            l.floating[i] = bars[i]->IsFloating();
            l.visible[i] = bars[i]->IsWindowVisible();
            l.place[i] = l.floating[i] ? WindowRect(*bars[i]->m_pDockBar->GetParent()) : InFrame(*bars[i]);
        }
        return l;
    }
    static void ExpectSame(const Layout& a, const Layout& b)
    {
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(a.side[i], b.side[i]);
            EXPECT_EQ(a.floating[i], b.floating[i]);
            EXPECT_EQ(a.visible[i], b.visible[i]);
            EXPECT_EQ(a.place[i], b.place[i]);
        }
    }
    CViewBar top, left, other;
};

TEST_F(DockStateTest, TheDockStateSavesAndRestoresTheSameLayout)
{
    mvtest::TempProfile profile;
    Build();
    // The user's layout: "Transport" floats, "Inspector" moved to the right.
    frame.FloatControlBar(&other, CPoint(860, 420), CBRS_ALIGN_TOP);
    frame.DockControlBar(&left, AFX_IDW_DOCKBAR_RIGHT);
    Settle();
    mvtest::ShotTree(frame, "dock-frame-before-save");
    const Layout saved = Take();
    {
        COurDockState state;
        frame.GetDockState(state);
        state.SaveState("VhMv.BarState.02");
        CSizingControlBar::SaveAllBarStates(&frame, "VhMv.BarState.02");
    }
    // Back to the default layout, then restored as the frame does at start.
    frame.DockControlBar(&other, AFX_IDW_DOCKBAR_TOP);
    frame.DockControlBar(&left, AFX_IDW_DOCKBAR_LEFT);
    Settle();
    CSizingControlBar::LoadAllBarStates(&frame, "VhMv.BarState.02");
    COurDockState state;
    ASSERT_TRUE(state.LoadState("VhMv.BarState.02"));
    ASSERT_TRUE(frame.SetDockState(state));
    Settle();
    ExpectSame(saved, Take());
}

TEST_F(DockStateTest, AHiddenBarStaysHiddenAfterARestore)
{
    mvtest::TempProfile profile;
    Build();
    frame.ShowControlBar(&top, FALSE, FALSE);
    Settle();
    const Layout saved = Take();
    COurDockState state;
    frame.GetDockState(state);
    frame.ShowControlBar(&top, TRUE, FALSE);
    Settle();
    ASSERT_TRUE(frame.SetDockState(state));
    Settle();
    ExpectSame(saved, Take());
}

TEST_F(DockStateTest, AStateThatNamesABarNoLongerThereOrIsDamagedLeavesTheDefaultLayout)
{
    mvtest::TempProfile profile;
    Build();
    const Layout defaults = Take();
    COurDockState state;
    frame.GetDockState(state);
    // A bar of an older version of the program.
    CControlBarInfo gone = state.m_arrBarInfo.front();
    gone.m_nBarID = 0xE8FF;
    gone.m_bFloating = TRUE;
    state.m_arrBarInfo.push_back(gone);
    state.SaveState("VhMv.BarState.02");
    COurDockState read;
    ASSERT_TRUE(read.LoadState("VhMv.BarState.02"));
    EXPECT_FALSE(frame.SetDockState(read));
    Settle();
    ExpectSame(defaults, Take());
    // Damaged bytes load as no state at all.
    std::vector<BYTE> bytes = state.Save();
    bytes.resize(bytes.size() / 2);
    WriteProfileBinary("VhMv.BarState.02-Summary", "DockState", bytes.data(), static_cast<UINT>(bytes.size()));
    EXPECT_FALSE(read.LoadState("VhMv.BarState.02"));
    Settle();
    ExpectSame(defaults, Take());
}

TEST(OurDockStateTest, FloatingBarsStayWithinTheWholeDesktop)
{
    mvui::EnsureApplication();
    mvui::SetSystemMetric(SM_CXVIRTUALSCREEN, 3840);
    mvui::SetSystemMetric(SM_CYVIRTUALSCREEN, 1200);
    COurDockState state;
    EXPECT_EQ(CRect(0, 0, 3840, 1200), state.m_rectDevice);
    EXPECT_EQ(CRect(0, 0, 3840 - 32, 1200 - 32), state.m_rectClip);
    EXPECT_EQ(CPoint(3000, 500), state.ScalePoint(CPoint(3000, 500)));
    mvui::ResetSystemTables();
}

// What the user sees: a top bar, a left bar and a bar floating in its mini
// frame beside the frame.
TEST_F(DockStateTest, Shot)
{
    Build();
    frame.FloatControlBar(&other, CPoint(760, 180), CBRS_ALIGN_TOP);
    Settle();
    CMiniDockFrameWnd* mini = dynamic_cast<CMiniDockFrameWnd*>(other.m_pDockBar->GetParent());
    ASSERT_NE(nullptr, mini);
    EXPECT_STREQ("Transport", mini->GetWindowText());
    frame.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    mini->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    mvtest::ShotDesktop({&frame, mini}, "dock-frame-top-left-floating");
}

}  // namespace

// The control site and the control base, against a host that records what
// its controls report: ids, paint and hit order, focus cycling, key
// actions, edit gestures (also cut short), the hidden pointer, hover, the
// appearance record and the other names the views use.
#include "uikit/CNWControlSite.h"

#include <gtest/gtest.h>

#include "platform/ui/CMenu.h"
#include "platform/ui/CRecordingDC.h"
#include "tests/uikit/NWTestHost.h"

using mvtest::CFillControl;
using mvtest::CNWTestHost;
using mvtest::Place;
using Log = std::vector<std::string>;

namespace {

class CNWControlSiteTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(host.Make(200, 100));
    }
    CFillControl* Add(int x, int y, int w, int h, bool tab = true, COLORREF c = RGB(200, 0, 0))
    {
        return Place(host, new CFillControl(&host, c), x, y, tab, CSize(w, h));
    }
    CNWTestHost host;
};

TEST_F(CNWControlSiteTest, ControlsTakeIdsFromTenUpward)
{
    CFillControl* a = Add(0, 0, 10, 10);
    CFillControl* b = Add(20, 0, 10, 10);
    EXPECT_EQ(a->GetId(), 10);
    EXPECT_EQ(b->GetId(), 11);
    EXPECT_EQ(host.FindControl(11), b);
    EXPECT_EQ(host.FindControl(12), nullptr);
}

TEST_F(CNWControlSiteTest, PaintIsInListOrderAndTheFirstAddedWinsTheHitTest)
{
    CFillControl* under = Add(10, 10, 40, 40, true, RGB(255, 0, 0));
    CFillControl* over = Add(30, 30, 40, 40, true, RGB(0, 0, 255));
    const auto calls = host.Record();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].colour, RGB(255, 0, 0));
    EXPECT_EQ(calls[1].colour, RGB(0, 0, 255));
    // Where both lie the last added is drawn on top, yet the first is hit.
    EXPECT_EQ(host.CNWControlSite::HitTest(CPoint(35, 35)), under);
    EXPECT_EQ(host.CNWControlSite::HitTest(CPoint(60, 60)), over);
    under->Enable(false);
    EXPECT_EQ(host.CNWControlSite::HitTest(CPoint(35, 35)), over);
    CRect all;
    host.GetControlsRect(&all);
    EXPECT_EQ(all, CRect(10, 10, 70, 70));
}

TEST_F(CNWControlSiteTest, PaintingSkipsControlsOutsideTheClip)
{
    Add(0, 0, 20, 20, true, RGB(255, 0, 0));
    Add(100, 0, 20, 20, true, RGB(0, 255, 0));
    CDcRecorder recorder(host.m_hWnd);
    {
        CClientDC dc(&host);
        dc.IntersectClipRect(90, 0, 200, 100);
        host.PaintControls(&dc);
    }
    std::vector<COLORREF> filled;
    for (const DcCall& call : recorder.Calls())
        if (call.op == CString("FillSolidRect"))
            filled.push_back(call.colour);
    EXPECT_EQ(filled, std::vector<COLORREF>{RGB(0, 255, 0)});
}

TEST_F(CNWControlSiteTest, FocusCyclesOverEnabledTabControlsAndWraps)
{
    CFillControl* a = Add(0, 0, 10, 10);
    CFillControl* b = Add(20, 0, 10, 10);
    Add(40, 0, 10, 10, false);  // not in the tab order
    CFillControl* d = Add(60, 0, 10, 10);
    EXPECT_EQ(host.GetFocusIndex(), -1);
    host.FocusNext();  // no focus: the first, then the one after it
    EXPECT_EQ(host.GetFocusControl(), b);
    b->Enable(false);
    host.FocusNext();  // from b, skipping nothing but itself
    EXPECT_EQ(host.GetFocusControl(), d);
    host.FocusNext();  // wraps
    EXPECT_EQ(host.GetFocusControl(), a);
    host.FocusPrev();  // wraps backwards, past the disabled one
    EXPECT_EQ(host.GetFocusControl(), d);
    host.FocusPrev();
    EXPECT_EQ(host.GetFocusControl(), a);
    EXPECT_TRUE(a->IsFocused());
    EXPECT_FALSE(d->IsFocused());

    host.FocusAt(99);  // clamped to the last
    EXPECT_EQ(host.GetFocusIndex(), 2);
    host.FocusAt(1);  // b is disabled: the next eligible one
    EXPECT_EQ(host.GetFocusControl(), d);

    // Tab and Shift+Tab through the host.
    host.Key(VK_TAB);
    EXPECT_EQ(host.GetFocusControl(), a);
    mvui::SetKeyDown(VK_SHIFT, true);
    host.Key(VK_TAB);
    mvui::SetKeyDown(VK_SHIFT, false);
    EXPECT_EQ(host.GetFocusControl(), d);
}

TEST_F(CNWControlSiteTest, FocusPrevWithNothingEnabledLandsOnTheFirstTabControl)
{
    CFillControl* a = Add(0, 0, 10, 10);
    CFillControl* b = Add(20, 0, 10, 10);
    a->Enable(false);
    b->Enable(false);
    host.SetFocusControl(b);
    host.FocusPrev();
    EXPECT_EQ(host.GetFocusControl(), a);
    host.FocusNext();
    EXPECT_EQ(host.GetFocusControl(), a);  // stays within the tab list
}

TEST_F(CNWControlSiteTest, KeyActionsMoveTheValueByTheirCodes)
{
    CFillControl* c = Add(0, 0, 10, 10);
    c->SetRange(-10.0, 10.0);
    struct Case {
        int code;
        double from;
        double to;
    };
    const Case cases[] = {{0, 3, -10}, {1, 3, 10}, {2, 3, 2}, {3, 3, 4}, {4, 3, -1}, {5, 3, 7},
                          {2, -9.5, -10}, {5, 8, 10}};
    host.SetFocusControl(c);
    for (const Case& k : cases) {
        c->SetValue(k.from, false);
        EXPECT_EQ(host.OnKeyAction(k.code), 1) << k.code;
        EXPECT_DOUBLE_EQ(c->GetValue(), k.to) << k.code << " from " << k.from;
    }
    EXPECT_EQ(host.OnKeyAction(6), 0);
    EXPECT_EQ(host.OnKeyAction(-1), 0);
    host.SetFocusControl(nullptr);
    EXPECT_EQ(host.OnKeyAction(1), 0);
}

TEST_F(CNWControlSiteTest, KeysAndWheelReachTheFocusControlAsOneGestureEach)
{
    CFillControl* c = Add(0, 0, 10, 10);
    c->SetValue(0.5, false);
    host.SetFocusControl(c);
    host.Key(VK_UP);
    host.Wheel(-1);
    host.Key(VK_END);
    host.Key(VK_UP);  // at the maximum: no change reported
    EXPECT_EQ(host.TakeLog(), (Log{"begin 10", "changed 10 0.55", "end 10", "begin 10", "changed 10 0.5",
                                   "end 10", "begin 10", "changed 10 1", "end 10", "begin 10", "end 10"}));
    EXPECT_EQ(c->GetEditDepth(), 0);
}

TEST_F(CNWControlSiteTest, NonEditableControlIgnoresTheUserButNotTheProgram)
{
    CFillControl* c = Add(0, 0, 10, 10);
    c->SetValue(0.25, false);
    c->SetEditable(false);
    host.SetFocusControl(c);
    EXPECT_EQ(host.OnKeyAction(1), 0);
    c->SetValue(0.75, true);
    EXPECT_DOUBLE_EQ(c->GetValue(), 0.25);
    c->SetValue(0.75, false);
    EXPECT_DOUBLE_EQ(c->GetValue(), 0.75);
    host.Click(5, 5);
    EXPECT_TRUE(host.TakeLog().empty());
}

TEST_F(CNWControlSiteTest, PressAndReleaseMakeOneGestureAndADoubleClickResetsToTheDefault)
{
    CFillControl* c = Add(10, 10, 20, 20);
    c->SetValue(0.9, false);
    c->SetDefaultValue(0.25);
    host.Press(15, 15);
    EXPECT_TRUE(c->IsTracking());
    EXPECT_EQ(host.GetFocusControl(), c);
    host.Release(15, 15);
    host.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(15, 15));
    host.Release(15, 15);
    EXPECT_EQ(host.TakeLog(), (Log{"begin 10", "end 10", "begin 10", "changed 10 0.25", "end 10"}));
    EXPECT_DOUBLE_EQ(c->GetValue(), 0.25);
    EXPECT_FALSE(c->IsTracking());
    // A release with no press before it ends nothing.
    host.Release(15, 15);
    EXPECT_TRUE(host.TakeLog().empty());
    EXPECT_EQ(c->GetEditDepth(), 0);
}

TEST_F(CNWControlSiteTest, ACancelledGestureEndsTheEdit)
{
    CFillControl* c = Add(10, 10, 20, 20);
    mvui::SetKeyDown(VK_LBUTTON, true);
    host.Press(15, 15);
    ASSERT_EQ(GetCapture(), host.GetSafeHwnd());
    ReleaseCapture();  // the capture is taken away mid-gesture
    EXPECT_FALSE(c->IsTracking());
    EXPECT_EQ(c->GetEditDepth(), 0);
    EXPECT_EQ(host.TakeLog(), (Log{"begin 10", "end 10"}));
    // The release that follows ends nothing more.
    mvui::SetKeyDown(VK_LBUTTON, false);
    host.Release(15, 15);
    EXPECT_TRUE(host.TakeLog().empty());
    // WM_CANCELMODE ends it the same way.
    mvui::SetKeyDown(VK_LBUTTON, true);
    host.Press(15, 15);
    host.SendMessage(WM_CANCELMODE);
    EXPECT_EQ(host.TakeLog(), (Log{"begin 10", "end 10"}));
    EXPECT_EQ(c->GetEditDepth(), 0);
    // A gesture whose release never reached the control ends before the next.
    mvui::SetKeyDown(VK_LBUTTON, false);
    host.Press(15, 15);
    host.Press(15, 15);
    host.Release(15, 15);
    EXPECT_EQ(host.TakeLog(), (Log{"begin 10", "end 10", "begin 10", "end 10"}));
    EXPECT_EQ(c->GetEditDepth(), 0);
}

TEST_F(CNWControlSiteTest, TheHiddenPointerShowsAgainWhenTheCaptureIsLost)
{
    host.SetCapture();
    host.ShowControlCursor(false);
    host.ShowControlCursor(false);
    host.ShowControlCursor(false);
    EXPECT_EQ(host.GetCursorShowCount(), -3);
    ReleaseCapture();
    EXPECT_EQ(host.GetCursorShowCount(), 0);
    EXPECT_EQ(ShowCursor(FALSE), -1);  // the layer's counter is back at 0
    ShowCursor(TRUE);
    // Showing what this site did not hide changes nothing.
    host.ShowControlCursor(true);
    EXPECT_EQ(ShowCursor(FALSE), -1);
    ShowCursor(TRUE);
}

TEST_F(CNWControlSiteTest, HoverFollowsTheMouseButADragKeepsIt)
{
    CFillControl* a = Add(0, 0, 20, 20);
    CFillControl* b = Add(40, 0, 20, 20);
    host.Move(5, 5, 0);
    EXPECT_EQ(host.GetHoverControl(), a);
    EXPECT_TRUE(a->IsHovered());
    host.Move(45, 5, 0);
    EXPECT_FALSE(a->IsHovered());
    EXPECT_TRUE(b->IsHovered());
    host.Press(45, 5);
    host.Move(5, 5);
    EXPECT_EQ(host.GetHoverControl(), b);
    host.Release(5, 5);
    host.SendMessage(WM_MOUSELEAVE);
    EXPECT_EQ(host.GetHoverControl(), nullptr);
    EXPECT_FALSE(b->IsHovered());
}

TEST_F(CNWControlSiteTest, RemovingUnlinksAndRemovingAllDeletes)
{
    static int deleted = 0;
    struct Counted : CFillControl {
        using CFillControl::CFillControl;
        ~Counted() override { ++deleted; }
    };
    auto* kept = Place(host, new Counted(&host, 0), 0, 0, true, CSize(10, 10));
    Place(host, new Counted(&host, 0), 20, 0, true, CSize(10, 10));
    host.SetFocusControl(kept);
    host.RemoveControl(kept);
    EXPECT_EQ(host.GetFocusControl(), nullptr);
    EXPECT_EQ(host.GetControls().size(), 1u);
    host.RemoveControl(kept);  // not there: nothing changes
    EXPECT_EQ(host.GetControls().size(), 1u);
    host.RemoveAllControls();
    EXPECT_EQ(deleted, 1);
    EXPECT_TRUE(host.GetControls().empty());
    delete kept;
    EXPECT_EQ(deleted, 2);
}

TEST_F(CNWControlSiteTest, AppearanceTakesOnlyTheMaskedFields)
{
    CFillControl* c = Add(0, 0, 10, 10);
    NWAPPEARANCE a{};
    a.clickInput = FALSE;
    a.alignment = NWA_ALIGN_RIGHT;
    a.text1 = RGB(1, 2, 3);
    a.mask = NWA_CLICKINPUT | NWA_ALIGNMENT;
    c->SetAppearance(a);
    NWAPPEARANCE got{};
    c->GetAppearance(&got);
    EXPECT_FALSE(got.clickInput);
    EXPECT_EQ(got.alignment, NWA_ALIGN_RIGHT);
    EXPECT_EQ(got.text1, GetSysColor(COLOR_BTNTEXT));
    EXPECT_EQ(got.mask, NWA_ALL);
    c->GetAppearance(nullptr);
    // Without click input a click or double click leaves the value.
    c->SetValue(0.9, false);
    host.DoubleClick(5, 5);
    EXPECT_DOUBLE_EQ(c->GetValue(), 0.9);
}

TEST_F(CNWControlSiteTest, QualifiedNameCarriesTheHostOrdinalFromOne)
{
    CFillControl* c = Add(0, 0, 10, 10);
    c->SetText("Pan");
    host.siteIndex = 2;
    CString name;
    c->GetQualifiedName(&name);
    EXPECT_STREQ(name, "Pan@3");
    EXPECT_DOUBLE_EQ(c->GetFineStep(), 1.0 / 127);
    EXPECT_DOUBLE_EQ(c->GetCoarseStep(), 1.0 / 32);
}

// A host written against the other names of the site's slots.
class CNamedHost : public CNWTestHost {
public:
    void OnControlValueChanged(CNWControl* c) override { CNWControlSite::OnControlValueChanged(c); }
    void OnBeginEdit(CNWControl* c) override { CNWControlSite::OnBeginEdit(c); }
    void OnEndEdit(CNWControl* c) override { CNWControlSite::OnEndEdit(c); }
    void OnControlClicked(CNWControl* c, UINT f) override { CNWControlSite::OnControlClicked(c, f); }
    void OnControlUpdateRequest(CNWControl* c) override { CNWControlSite::OnControlUpdateRequest(c); }
    void OnControlContextMenu(CNWControl* c, POINT p, CMenu* m) override { CNWControlSite::OnControlContextMenu(c, p, m); }

    void LayoutControls() override { log.push_back("layout"); }
    void OnControlStep(CNWControl* c) override { log.push_back("step " + std::to_string(c->GetParamIndex())); }
    void OnControlBeginEdit(CNWControl*) override { log.push_back("begin"); }
    void EndEdit(CNWControl*) override { log.push_back("end"); }
    void OnControlActivated(CNWControl*) override { log.push_back("activated"); }
    void UpdateControl(CNWControl*) override { log.push_back("update"); }
    void OnControlMenu(CNWControl*, POINT, CMenu*) override { log.push_back("menu"); }
};

TEST_F(CNWControlSiteTest, HostsMayOverrideTheOtherNames)
{
    CNamedHost named;
    ASSERT_TRUE(named.Make(100, 50));
    auto* c = Place(named, new CFillControl(&named, 0), 0, 0, true, CSize(10, 10));
    c->SetParamIndex(7);
    EXPECT_EQ(c->GetTag(), 7);
    named.RecalcLayout();
    named.UpdateAllControls();
    named.SetFocusControl(c);
    named.OnKeyAction(1);
    named.OnControlClicked(c, 0);
    named.OnControlContextMenu(c, CPoint(1, 1), nullptr);
    BOOL accepted = TRUE;
    named.EditControlInPlace(nullptr, nullptr, &accepted);
    EXPECT_FALSE(accepted);
    EXPECT_EQ(named.TakeLog(), (Log{"layout", "update", "begin", "step 7", "end", "activated", "menu"}));
    c->SetRecentlyChanged(true);
    EXPECT_TRUE(c->IsSelected());
    c->SetVisible(false);
    EXPECT_EQ(named.CNWControlSite::HitTest(CPoint(5, 5)), nullptr);
    EXPECT_LT(c->GetElapsedSinceChange(), 10000u);
}

TEST_F(CNWControlSiteTest, PopUpMenuBelowAControlOpensAtItsBottomLeftCorner)
{
    CFillControl* c = Add(30, 20, 40, 16);
    POINT shownAt{};
    mvui::SetMenuChooser([&](const CMenu&, POINT at) {
        shownAt = at;
        return 42u;
    });
    CMenu menu;
    menu.CreatePopupMenu();
    menu.AppendMenu(MF_STRING, 42, "Item");
    EXPECT_EQ(TrackPopupMenuBelowControl(&host, c, &menu), 42u);
    mvui::SetMenuChooser(nullptr);
    CPoint expected(30, 36);
    host.CWnd::ClientToScreen(&expected);
    EXPECT_EQ(CPoint(shownAt), expected);
}

}  // namespace

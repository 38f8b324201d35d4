// The spin control, pressed as a user presses it: zones, the steps its
// buddy receives (at once, then repeating after the first delay), page
// steps with the right button, one step per middle-zone movement, and one
// "spinctrl_dropped" to the parent for every press.
#include "uikit/CSpinCtrl.h"

#include <gtest/gtest.h>

#include "platform/sync/Time.h"
#include "tests/uikit/NWTestHost.h"

namespace {

// Receives the steps, and lets go of the buttons when its timer fires.
class CBuddy : public CWnd {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_VSCROLL) {
            codes.push_back(LOWORD(wParam));
            times.push_back(GetTickCount());
            return 0;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
    void OnTimer(UINT_PTR id) override
    {
        KillTimer(id);
        mvui::SetKeyDown(VK_LBUTTON, false);
        mvui::SetKeyDown(VK_RBUTTON, false);
    }
    std::vector<UINT> codes;
    std::vector<DWORD> times;
};

class CParent : public CWnd {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == RegisterWindowMessageA("spinctrl_dropped"))
            dropped.push_back(static_cast<int>(wParam));
        return CWnd::WindowProc(message, wParam, lParam);
    }
    std::vector<int> dropped;
};

class CSpinCtrlTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(parent.CreateEx(0, nullptr, "dialog", WS_POPUP | WS_VISIBLE, CRect(100, 100, 300, 200), nullptr, 0));
        ASSERT_TRUE(buddy.CreateEx(0, nullptr, "", WS_CHILD | WS_VISIBLE, CRect(10, 10, 70, 30), &parent, 1234));
        ASSERT_TRUE(spin.Create(CRect(70, 10, 84, 37), &parent, 1235));
        // Let the new windows' own events (shown, entered) pass before a
        // button is held, so none of them reads the buttons as up.
        mvtest::PumpUntil([] { return false; }, 50);
    }
    // Holds a button on a client point of the spin (the pointer there unless
    // told otherwise) for about `ms`; returns when the press has ended.
    void Hold(POINT at, int ms, bool right = false, POINT pointer = {-1, -1})
    {
        POINT screen = pointer.x < 0 ? at : pointer;
        spin.CWnd::ClientToScreen(&screen);
        SetCursorPos(screen.x, screen.y);
        // Moving the real pointer gives a mouse event with no button held:
        // let it pass before the button goes down.
        mvtest::PumpUntil([] { return false; }, 30);
        mvui::SetKeyDown(right ? VK_RBUTTON : VK_LBUTTON, true);
        buddy.SetTimer(1, static_cast<UINT>(ms));
        pressedAt = GetTickCount();
        spin.SendMessage(right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON,
                         MAKELPARAM(at.x, at.y));
        mvui::PumpMessages();
    }
    CParent parent;
    CBuddy buddy;
    CSpinCtrl spin{&buddy};
    DWORD pressedAt = 0;
};

TEST_F(CSpinCtrlTest, ZonesAreTwoFifthsAtTopAndBottom)
{
    CRect c;
    spin.GetClientRect(&c);
    ASSERT_EQ(c.Height(), 25);
    EXPECT_EQ(spin.ZoneRect(CSpinCtrl::Top).Height(), 10);
    EXPECT_EQ(spin.ZoneRect(CSpinCtrl::Middle).Height(), 5);
    EXPECT_EQ(spin.ZoneRect(CSpinCtrl::Bottom).Height(), 10);
    EXPECT_EQ(spin.ZoneAt(CPoint(5, 12)), CSpinCtrl::Middle);
    EXPECT_EQ(spin.SendMessage(WM_GETDLGCODE), DLGC_STATIC);
    mvtest::Shot(spin, "spinctrl");
}

TEST_F(CSpinCtrlTest, AHeldTopZoneStepsAtOnceThenRepeats)
{
    Hold(CPoint(5, 3), 700);
    ASSERT_GE(buddy.codes.size(), 3u);
    for (UINT code : buddy.codes)
        EXPECT_EQ(code, SB_LINEUP);
    EXPECT_LT(buddy.times[0] - pressedAt, 100u);  // the first at once
    EXPECT_GE(buddy.times[1] - buddy.times[0], 500u);
    // The repeats keep to the 50 ms timer: counted from the first repeat, no
    // step comes early by more than the millisecond clock's own step (a late
    // tick followed by one on time reads as 49 ms between the two).
    for (std::size_t i = 2; i < buddy.times.size(); ++i)
        EXPECT_GE(buddy.times[i] - buddy.times[1] + 1, 50u * (i - 1)) << "step " << i;
    EXPECT_EQ(parent.dropped, std::vector<int>{1234});
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(CSpinCtrlTest, TheRightButtonGivesPageSteps)
{
    Hold(CPoint(5, 22), 60, true);
    ASSERT_FALSE(buddy.codes.empty());
    for (UINT code : buddy.codes)
        EXPECT_EQ(code, SB_PAGEDOWN);
    EXPECT_EQ(parent.dropped.size(), 1u);
}

TEST_F(CSpinCtrlTest, AMiddleDragStepsOncePerMoveAndPutsThePointerBack)
{
    Hold(CPoint(5, 12), 60, false, CPoint(5, 8));
    EXPECT_EQ(buddy.codes, std::vector<UINT>{SB_LINEUP});
    POINT now{};
    GetCursorPos(&now);
    spin.CWnd::ScreenToClient(&now);
    EXPECT_EQ(now.y, 12);
    EXPECT_EQ(parent.dropped.size(), 1u);
}

TEST_F(CSpinCtrlTest, StepsPauseOutsideTheZoneAndADisabledBuddyIgnoresThePress)
{
    Hold(CPoint(5, 3), 60, false, CPoint(5, 22));  // the pointer rests on the other zone
    EXPECT_TRUE(buddy.codes.empty());
    EXPECT_EQ(parent.dropped.size(), 1u);
    buddy.EnableWindow(FALSE);
    Hold(CPoint(5, 3), 1);
    EXPECT_TRUE(buddy.codes.empty());
    EXPECT_EQ(parent.dropped.size(), 1u);
    mvtest::PumpUntil([] { return false; }, 10);
}

}  // namespace

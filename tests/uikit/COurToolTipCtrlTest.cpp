// Tool tips: a control site's tip shows the text of the control under the
// resting pointer, cut to 79 characters, just below the pointer; tools from
// command strings take the part after the first line break.
#include "uikit/COurToolTipCtrl.h"

#include <gtest/gtest.h>

#include "tests/uikit/NWTestHost.h"

using mvtest::CFillControl;
using mvtest::CNWTestHost;
using mvtest::Place;

namespace {

class COurToolTipCtrlTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(host.Make(200, 80, 100, 100));
    }
    // The pointer rests over a point of the host (long enough for a tip
    // when `expectTip`).
    void RestAt(int x, int y, bool expectTip = true)
    {
        POINT screen{x, y};
        host.CWnd::ClientToScreen(&screen);
        SetCursorPos(screen.x, screen.y);
        host.PostMessage(WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
        mvui::PumpMessages();
        mvtest::PumpUntil([this] { return host.GetToolTip()->IsWindowVisible() != FALSE; }, expectTip ? 1000 : 50);
    }
    CNWTestHost host;
};

TEST_F(COurToolTipCtrlTest, SiteTipShowsTheControlsTextCutTo79BelowThePointer)
{
    CFillControl* a = Place(host, new CFillControl(&host, RGB(90, 90, 90)), 10, 10, true, CSize(40, 20));
    CFillControl* b = Place(host, new CFillControl(&host, RGB(90, 90, 90)), 80, 10, true, CSize(40, 20));
    a->SetText("Volume");
    b->SetText(CString('x', 100));
    host.toolTipMade = true;
    COurToolTipCtrl* tip = host.GetToolTip();
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(tip->GetToolCount(), 2);
    tip->SetDelayTime(TTDT_INITIAL, 0);

    RestAt(20, 15);
    ASSERT_TRUE(tip->IsWindowVisible());
    EXPECT_STREQ(tip->GetWindowText(), "Volume");
    CRect at;
    tip->GetWindowRect(&at);
    EXPECT_EQ(at.left, 100 + 20);
    EXPECT_EQ(at.top, 100 + 15 + GetSystemMetrics(SM_CYCURSOR));
    mvtest::Shot(*tip, "tooltip-volume");

    RestAt(90, 15);
    ASSERT_TRUE(tip->IsWindowVisible());
    EXPECT_STREQ(tip->GetWindowText(), CString('x', 79));

    // A press hides it; off every control nothing shows.
    host.PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(90, 15));
    host.PostMessage(WM_LBUTTONUP, 0, MAKELPARAM(90, 15));
    mvui::PumpMessages();
    EXPECT_FALSE(tip->IsWindowVisible());
    RestAt(60, 60, false);
    EXPECT_FALSE(tip->IsWindowVisible());

    // A disabled control's tool covers nothing.
    a->Enable(false);
    RestAt(20, 15, false);
    EXPECT_FALSE(tip->IsWindowVisible());
}

TEST_F(COurToolTipCtrlTest, NoToolTipBeforeTheHostWindowExists)
{
    CNWTestHost unborn;
    EXPECT_EQ(unborn.GetToolTip(), nullptr);
}

TEST_F(COurToolTipCtrlTest, CommandStringsGiveThePartAfterTheFirstLineBreak)
{
    struct Case {
        UINT id;
        const char* tip;
    };
    // 108 holds a line break; 34481 none.
    const Case cases[] = {{108, "or you may need to adjust a setting on the sound card's panel."},
                          {34481, "Tahoma"}};
    COurToolTipCtrl tip;
    ASSERT_TRUE(tip.Create(&host, TTS_ALWAYSTIP));
    tip.SetDelayTime(TTDT_INITIAL, 0);
    CWnd child;
    ASSERT_TRUE(child.CreateEx(0, nullptr, "", WS_CHILD | WS_VISIBLE, CRect(0, 0, 30, 20), &host, 5));
    for (const Case& c : cases) {
        tip.Pop();
        ASSERT_TRUE(tip.AddToolFromString(&child, c.id));
        EXPECT_EQ(tip.GetToolCount(), 1);  // the child's tool, replaced
        MSG msg{child.GetSafeHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5), 0, 0, 0};
        tip.RelayEvent(&msg);
        mvtest::PumpUntil([&tip] { return tip.IsWindowVisible() != FALSE; });
        EXPECT_STREQ(tip.GetWindowText(), c.tip) << c.id;
    }
}

}  // namespace

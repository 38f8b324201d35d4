// The bitmap check box, driven as a user drives it: clicks inside and
// dragged out, held auto-repeat presses on a test clock, right clicks,
// double clicks, blinking; checked by its check and what its owner hears.
#include "uikit/CChkBit.h"

#include <gtest/gtest.h>

#include "platform/ui/BitmapResources.h"
#include "platform/ui/CRecordingDC.h"
#include "uikit/CBitmapToggleCtrl.h"
#include "tests/platform/ui/MessageLog.h"
#include "tests/platform/ui/UiTestSupport.h"
#include "tests/uikit/ShotTree.h"
#include "tests/uikit/HeldLoopClock.h"
#include "uikit/CHeldLoop.h"

namespace {

class ChkBitTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(owner.CreateEx(0, nullptr, "owner", WS_POPUP | WS_VISIBLE, CRect(200, 200, 400, 300), nullptr, 0));
    }
    void TearDown() override
    {
        CHeldLoop::SetClock(nullptr);
        button.reset();
        UiTest::TearDown();
    }
    void Make(DWORD style, UINT commandId = 0)
    {
        button = std::make_unique<CChkBit>(1, commandId);
        ASSERT_TRUE(button->Create("Loop", WS_CHILD | WS_VISIBLE | style, CRect(10, 10, 70, 30), &owner, 52, 0));
        mvui::PumpMessages();
        owner.log.clear();
    }
    std::vector<WORD> Codes()
    {
        mvui::PumpMessages();
        std::vector<WORD> codes;
        for (const auto& m : owner.log)
            if (m.message == WM_COMMAND && m.lParam == reinterpret_cast<LPARAM>(button->m_hWnd)) {
                EXPECT_EQ(52, LOWORD(m.wParam));
                codes.push_back(HIWORD(m.wParam));
            }
        owner.log.clear();
        return codes;
    }
    void Click(CPoint down, CPoint up)
    {
        button->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(down.x, down.y));
        button->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(up.x, up.y));
        button->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(up.x, up.y));
    }

    mvtest::LogWnd owner;
    std::unique_ptr<CChkBit> button;
};

TEST_F(ChkBitTest, ACheckBoxDraggedOutSendsNothingAndAClickInsideTogglesOnce)
{
    Make(BS_AUTOCHECKBOX);
    button->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    button->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_TRUE(button->IsPressed());
    button->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, 5));
    EXPECT_FALSE(button->IsPressed());  // drawn as it was outside
    button->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(200, 5));
    EXPECT_FALSE(button->GetCheck());
    EXPECT_TRUE(Codes().empty());
    EXPECT_EQ(nullptr, CWnd::GetCapture());

    Click(CPoint(5, 5), CPoint(6, 6));
    EXPECT_TRUE(button->GetCheck());
    EXPECT_EQ((std::vector<WORD>{BN_CLICKED}), Codes());
    Click(CPoint(5, 5), CPoint(6, 6));
    EXPECT_FALSE(button->GetCheck());
}

TEST_F(ChkBitTest, OnlyCheckStylesToggleADefaultPushButtonDoesNot)
{
    struct Case {
        DWORD style;
        BOOL toggles;
    } cases[] = {{BS_PUSHBUTTON, FALSE}, {BS_DEFPUSHBUTTON, FALSE}, {BS_CHECKBOX, TRUE},
                 {BS_AUTOCHECKBOX, TRUE}, {BS_RADIOBUTTON, TRUE},     {BS_AUTORADIOBUTTON, TRUE}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        Make(c.style);
        Click(CPoint(5, 5), CPoint(5, 5));
        EXPECT_EQ(c.toggles, button->GetCheck());
        EXPECT_FALSE(!c.toggles && button->IsPressed());
        EXPECT_EQ((std::vector<WORD>{BN_CLICKED}), Codes());
    }
}

TEST_F(ChkBitTest, AnAutoRepeatButtonClicksAtThePressAfter500MsAndEvery50Ms)
{
    Make(BS_PUSHBUTTON);
    button->SetRepeat(TRUE);
    mvtest::HeldLoopClock::Start(620);
    CPoint inside(5, 5);
    button->ClientToScreen(&inside);
    SetCursorPos(inside.x, inside.y);
    mvui::PumpMessages();
    mvui::SetKeyDown(VK_LBUTTON, true);
    button->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    button->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));  // ends the repeat only
    EXPECT_EQ((std::vector<WORD>{BN_CLICKED, BN_CLICKED, BN_CLICKED, BN_CLICKED}), Codes());
    EXPECT_FALSE(button->IsPressed());
    EXPECT_EQ(nullptr, CWnd::GetCapture());
}

TEST_F(ChkBitTest, ButtonMessagesSetAndReadTheCheck)
{
    Make(BS_AUTOCHECKBOX);
    button->SendMessage(BM_SETSTATE, 1);
    EXPECT_EQ(BST_CHECKED, button->SendMessage(BM_GETCHECK));
    button->SendMessage(BM_SETSTATE, 2);  // neither 0 nor 1: no change
    EXPECT_EQ(BST_CHECKED, button->SendMessage(BM_GETSTATE));
    button->SendMessage(BM_SETCHECK, BST_UNCHECKED);
    EXPECT_FALSE(button->GetCheck());
    CFont font;
    button->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(&font), TRUE);
    EXPECT_EQ(reinterpret_cast<LRESULT>(&font), button->SendMessage(WM_GETFONT));
    EXPECT_TRUE(Codes().empty());
}

TEST_F(ChkBitTest, RightClicksAndDoubleClicksSendTheirCodes)
{
    Make(BS_PUSHBUTTON);
    button->SendMessage(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    button->SendMessage(WM_RBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ((std::vector<WORD>{CChkBit::kRightClick}), Codes());
    Click(CPoint(5, 5), CPoint(5, 5));
    button->SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
    button->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));  // ignored after the double click
    EXPECT_EQ((std::vector<WORD>{BN_CLICKED, BN_DOUBLECLICKED}), Codes());
    EXPECT_TRUE(button->GetCheck());
}

TEST_F(ChkBitTest, ACheckedBlinkingButtonIsBlankOnePhaseInFourAndStopsWhenUnchecked)
{
    Make(BS_AUTOCHECKBOX);
    button->SetBlink(TRUE);
    button->SetCheck(TRUE);
    EXPECT_EQ(250, mvui::TimerInterval(button->m_hWnd, CChkBit::kBlinkTimer));
    std::vector<int> texts;
    for (int tick = 0; tick < 4; ++tick) {
        CDcRecorder recorder(button->m_hWnd);
        button->SendMessage(WM_TIMER, CChkBit::kBlinkTimer);
        int drawn = 0;
        for (const DcCall& c : recorder.Calls())
            drawn += c.op == "DrawText";
        texts.push_back(drawn);
    }
    EXPECT_EQ((std::vector<int>{1, 1, 0, 1}), texts);  // phases 2, 3, 0, 1
    button->SetCheck(FALSE);
    EXPECT_EQ(0, mvui::TimerInterval(button->m_hWnd, CChkBit::kBlinkTimer));
}

TEST_F(ChkBitTest, TheCommandUpdateDrivesEnableCheckAndText)
{
    Make(BS_AUTOCHECKBOX);
    CChkBitCmdUI state(button.get());
    state.SetCheck(1);
    state.SetText("Rec");
    state.Enable(FALSE);
    EXPECT_TRUE(button->GetCheck());
    EXPECT_EQ(CString("Rec"), button->GetWindowText());
    EXPECT_FALSE(button->IsWindowEnabled());
}

TEST_F(ChkBitTest, ShotOfTextButtons)
{
    Make(BS_AUTOCHECKBOX | WS_BORDER);
    button->SetCheck(TRUE);
    CChkBit off(1, 0);
    ASSERT_TRUE(off.Create("Off", WS_CHILD | WS_VISIBLE | WS_BORDER | BS_AUTOCHECKBOX, CRect(80, 10, 140, 30), &owner, 53, 0));
    mvtest::ShotTree(owner, "check-box-text");
}

}  // namespace

namespace {

constexpr UINT kUpBitmap = 9401, kDownBitmap = 9402;

CBitmap Solid(COLORREF colour)
{
    CBitmap b;
    b.CreateBitmap(24, 16, 1, 32, nullptr);
    CDC mem;
    mem.CreateCompatibleDC(nullptr);
    mem.SelectObject(&b);
    mem.FillSolidRect(0, 0, 24, 16, colour);
    return b;
}

class BitmapToggleTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        mvui::RegisterBitmapResource(nullptr, kUpBitmap, Solid(RGB(200, 200, 200)));
        mvui::RegisterBitmapResource(nullptr, kDownBitmap, Solid(RGB(40, 120, 40)));
        ASSERT_TRUE(owner.CreateEx(0, nullptr, "owner", WS_POPUP | WS_VISIBLE, CRect(200, 200, 300, 260), nullptr, 0));
        ASSERT_TRUE(toggle.Create("", WS_CHILD | WS_VISIBLE, CRect(10, 10, 20, 20), &owner, 61));
        ASSERT_TRUE(toggle.LoadBitmaps(kUpBitmap, kDownBitmap));
        mvui::PumpMessages();
        owner.log.clear();
    }
    void TearDown() override
    {
        toggle.DestroyWindow();
        mvui::RegisterBitmapResource(nullptr, kUpBitmap, CBitmap());
        mvui::RegisterBitmapResource(nullptr, kDownBitmap, CBitmap());
        UiTest::TearDown();
    }
    int Clicks()
    {
        mvui::PumpMessages();
        int n = 0;
        for (const auto& m : owner.log)
            n += m.message == WM_COMMAND && HIWORD(m.wParam) == BN_CLICKED && LOWORD(m.wParam) == 61;
        owner.log.clear();
        return n;
    }
    mvtest::LogWnd owner;
    CBitmapToggleCtrl toggle;
};

TEST_F(BitmapToggleTest, AClickAndTheSpaceBarFlipItAlikeAndClickOnce)
{
    CRect r;
    toggle.GetClientRect(&r);
    EXPECT_EQ(CSize(24, 16), r.Size());  // sized to its bitmap
    toggle.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    toggle.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(toggle.IsOn());
    EXPECT_EQ(1, Clicks());
    toggle.SendMessage(WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_FALSE(toggle.IsOn());
    EXPECT_EQ(1, Clicks());
    toggle.SendMessage(WM_KEYDOWN, VK_SPACE, 0);
    toggle.UpdateWindow();
    EXPECT_EQ(QColor(40, 120, 40).rgb(), mvui::WindowSurface(toggle.m_hWnd).pixel(12, 12));
}

}  // namespace

// The common controls, driven as a user drives them (clicks, typed keys,
// drags) and checked by their state and what they tell their parent.
#include <gtest/gtest.h>

#include "platform/ui/CButton.h"
#include "platform/ui/CEdit.h"
#include "platform/ui/CProgressCtrl.h"
#include "platform/ui/CSliderCtrl.h"
#include "platform/ui/CStatic.h"
#include "platform/ui/CTabCtrl.h"
#include "tests/platform/ui/MessageLog.h"
#include "tests/platform/ui/UiTestSupport.h"

namespace {

class CommonControlsTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(parent.CreateEx(0, nullptr, "parent", WS_POPUP | WS_VISIBLE, CRect(0, 0, 300, 200), nullptr, 0));
    }
    static void Click(CWnd& w, CPoint at = CPoint(3, 3))
    {
        w.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
        w.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    }
    static void Type(CWnd& w, const char* text)
    {
        for (const char* c = text; *c; ++c)
            w.SendMessage(WM_CHAR, static_cast<unsigned char>(*c), 1);
    }
    // The WM_COMMAND codes the parent got from control `id`.
    std::vector<WORD> Codes(UINT id) const { return parent.CommandCodes(id); }
    mvtest::LogWnd parent;
};

TEST_F(CommonControlsTest, AutomaticRadioButtonsCheckOneOfTheirGroupOnly)
{
    CButton r[4];
    const DWORD style = WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON;
    ASSERT_TRUE(r[0].Create("a", style | WS_GROUP, CRect(0, 0, 80, 16), &parent, 10));
    ASSERT_TRUE(r[1].Create("b", style, CRect(0, 20, 80, 36), &parent, 11));
    ASSERT_TRUE(r[2].Create("c", style, CRect(0, 40, 80, 56), &parent, 12));
    ASSERT_TRUE(r[3].Create("next group", style | WS_GROUP, CRect(0, 60, 80, 76), &parent, 13));
    r[3].SetCheck(BST_CHECKED);
    Click(r[0]);
    Click(r[2]);
    EXPECT_EQ(r[0].GetCheck(), BST_UNCHECKED);
    EXPECT_EQ(r[2].GetCheck(), BST_CHECKED);
    EXPECT_EQ(r[3].GetCheck(), BST_CHECKED);
    EXPECT_EQ(Codes(12), std::vector<WORD>{BN_CLICKED});
    r[1].SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(3, 3));
    EXPECT_EQ(Codes(11), std::vector<WORD>{BN_DOUBLECLICKED});
    EXPECT_EQ(r[1].SendMessage(WM_GETDLGCODE) & DLGC_RADIOBUTTON, DLGC_RADIOBUTTON);
}

TEST_F(CommonControlsTest, CheckBoxFlipsOnAClickReleasedOnItOnly)
{
    CButton box;
    ASSERT_TRUE(box.Create("Loop", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, CRect(0, 0, 80, 16), &parent, 20));
    Click(box);
    EXPECT_EQ(box.SendMessage(BM_GETCHECK), BST_CHECKED);
    box.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    box.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(200, 3));  // released off the box
    EXPECT_EQ(box.GetCheck(), BST_CHECKED);
    EXPECT_EQ(Codes(20), std::vector<WORD>{BN_CLICKED});
}

TEST_F(CommonControlsTest, EditTakesTypedTextReplacingTheSelectionAndReportsChanges)
{
    CEdit edit;
    ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 100, 20), &parent, 30));
    edit.SetWindowText("120");
    edit.SetFocus();  // selects everything
    Type(edit, "9x");
    EXPECT_EQ(CString("9x"), edit.GetWindowText());
    edit.SendMessage(WM_CHAR, VK_BACK, 1);
    edit.SendMessage(WM_KEYDOWN, VK_HOME, 1);
    Type(edit, "1");
    EXPECT_EQ(CString("19"), edit.GetWindowText());
    EXPECT_EQ(Codes(30).size(), 4u + 1u);  // four changes, and the focus
}

TEST_F(CommonControlsTest, SliderFollowsTheDragAndReportsTrackThenEnd)
{
    CSliderCtrl slider;
    ASSERT_TRUE(slider.Create(WS_CHILD | WS_VISIBLE | TBS_VERT, CRect(0, 0, 30, 110), &parent, 40));
    slider.SetRange(0, 100);
    slider.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(15, 0));
    EXPECT_EQ(slider.GetPos(), 0);  // a vertical bar's minimum is at the top
    slider.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(15, 200));
    slider.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(15, 200));
    EXPECT_EQ(slider.GetPos(), 100);
    std::vector<WORD> codes;
    for (const auto& m : parent.log)
        if (m.message == WM_VSCROLL)
            codes.push_back(LOWORD(m.wParam));
    EXPECT_EQ(codes, (std::vector<WORD>{TB_THUMBTRACK, TB_THUMBTRACK, TB_THUMBPOSITION, TB_ENDTRACK}));
    slider.SendMessage(TBM_SETPOS, TRUE, 250);
    EXPECT_EQ(slider.SendMessage(TBM_GETPOS), 100);
}

TEST_F(CommonControlsTest, ProgressBarClampsAndFillsToItsPosition)
{
    CProgressCtrl bar;
    ASSERT_TRUE(bar.Create(WS_CHILD | WS_VISIBLE, CRect(10, 10, 210, 30), &parent, 50));
    bar.SendMessage(PBM_SETRANGE32, 0, 4);
    bar.SendMessage(PBM_SETPOS, 2);
    EXPECT_EQ(bar.SendMessage(PBM_GETPOS), 2);
    EXPECT_EQ(bar.SendMessage(PBM_SETPOS, 9), 2);
    EXPECT_EQ(bar.GetPos(), 4);
    bar.SendMessage(PBM_SETPOS, 2);
    bar.UpdateWindow();
    const QImage image = mvui::WindowSurface(bar.m_hWnd);
    const QColor highlight(GetRValue(GetSysColor(COLOR_HIGHLIGHT)), GetGValue(GetSysColor(COLOR_HIGHLIGHT)),
                           GetBValue(GetSysColor(COLOR_HIGHLIGHT)));
    EXPECT_EQ(image.pixelColor(10, 10), highlight);
    EXPECT_NE(image.pixelColor(190, 10), highlight);
}

TEST_F(CommonControlsTest, TabClickSelectsAndNotifiesTheParent)
{
    CTabCtrl tabs;
    ASSERT_TRUE(tabs.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 250, 150), &parent, 60));
    tabs.InsertItem(0, "General");
    tabs.InsertItem(1, "MIDI");
    CRect second;
    ASSERT_TRUE(tabs.GetItemRect(1, &second));
    Click(tabs, second.CenterPoint());
    EXPECT_EQ(tabs.GetCurSel(), 1);
    ASSERT_NE(parent.Last(WM_NOTIFY), nullptr);
    EXPECT_EQ(parent.Last(WM_NOTIFY)->wParam, 60u);
}

TEST_F(CommonControlsTest, StaticAsksItsParentForColours)
{
    CStatic label;
    ASSERT_TRUE(label.Create("Tempo", WS_CHILD | WS_VISIBLE, CRect(0, 0, 80, 16), &parent));
    label.UpdateWindow();
    ASSERT_NE(parent.Last(WM_CTLCOLORSTATIC), nullptr);
    EXPECT_EQ(reinterpret_cast<HWND>(parent.Last(WM_CTLCOLORSTATIC)->lParam), label.m_hWnd);
    EXPECT_EQ(label.GetClassName(), CString("Static"));
}

}  // namespace

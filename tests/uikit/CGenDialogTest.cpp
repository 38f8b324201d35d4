// The generic dialog: controls bound to typed properties by their class,
// validated on OK with the range message, restored on Cancel, and a double
// click on a radio button acting as the OK button.
#include "uikit/CGenDialog.h"

#include <gtest/gtest.h>

#include "platform/res/CScriptedAnswerer.h"
#include "platform/ui/CButton.h"
#include "platform/ui/CSliderCtrl.h"
#include "tests/platform/ui/UiTestSupport.h"
#include "tests/uikit/DialogToolkitSupport.h"
#include "uikit/core/CPropBool.h"
#include "uikit/core/CPropInt.h"
#include "uikit/core/CPropText.h"

namespace {

using mvtest::IDC_HSLIDER;
using mvtest::IDC_LOOP;
using mvtest::IDC_MODE;
using mvtest::IDC_NAME;
using mvtest::IDC_NOLIMITS;
using mvtest::IDC_VALUE;
using mvtest::IDC_VSLIDER;
using mvtest::IDD_GEN;

class ChannelDialog : public CGenDialog {
public:
    explicit ChannelDialog(bool painter = true) : CGenDialog(IDD_GEN, nullptr, painter)
    {
        AddItem(IDC_VALUE, &channel);
        AddItem(IDC_LOOP, &loop);
        AddItem(IDC_MODE, &mode);
        AddItem(IDC_VSLIDER, &level);
        AddItem(IDC_HSLIDER, &pan);
        AddItem(IDC_NOLIMITS, &unlimited);
        AddItem(IDC_NAME, &name);
    }
    CPropInt channel{5, 1, 16};
    CPropBool loop{true};
    CPropInt mode{2, -1, 2};
    CPropInt level{30, 0, 100};
    CPropInt pan{30, 0, 100};
    CPropText unlimited{"x"};
    CPropText name{"Bass"};

    CButton& Radio(int i) { return *static_cast<CButton*>(GetDlgItem(IDC_MODE + i)); }
    CSliderCtrl& Slider(int id) { return *static_cast<CSliderCtrl*>(GetDlgItem(id)); }
    void Command(UINT id) { SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(id)->m_hWnd)); }
};

LONG ValueOf(const CProperty& p)
{
    VARIANT v;
    p.GetVariant(&v);
    return v.lVal;
}

class CGenDialogTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        mvtest::LoadToolkitTemplates();
    }
    std::shared_ptr<CScriptedAnswerer> answerer = std::make_shared<CScriptedAnswerer>();
    CPromptAnswererScope scope{answerer};
};

TEST_F(CGenDialogTest, ControlsShowTheirPropertiesByClass)
{
    ChannelDialog d;
    mvtest::RunModal<ChannelDialog>(d, [](ChannelDialog& d) {
        EXPECT_EQ(d.GetDlgItem(IDC_VALUE)->GetWindowText(), CString("5"));
        EXPECT_EQ(d.GetDlgItem(IDC_LOOP)->SendMessage(BM_GETCHECK), BST_CHECKED);
        EXPECT_EQ(d.Radio(0).GetCheck(), BST_UNCHECKED);
        EXPECT_EQ(d.Radio(2).GetCheck(), BST_CHECKED);  // value 2: the third button
        EXPECT_EQ(d.Slider(IDC_VSLIDER).GetPos(), 70);  // a vertical bar's top is its maximum
        EXPECT_EQ(d.Slider(IDC_HSLIDER).GetPos(), 30);
        EXPECT_EQ(d.Slider(IDC_HSLIDER).GetPageSize(), 10);
        EXPECT_EQ(d.Slider(IDC_HSLIDER).GetTicFreq(), 10);
        EXPECT_FALSE(d.Slider(IDC_NOLIMITS).IsWindowEnabled());  // no limits, no slider
        EXPECT_EQ(d.GetDlgItem(IDC_NAME)->GetWindowText(), CString("Bass"));
        mvtest::Shot(d, "gen-dialog-painted");
        d.Command(IDCANCEL);
    });
}

TEST_F(CGenDialogTest, OkSavesEveryControlIntoItsProperty)
{
    ChannelDialog d;
    const INT_PTR result = mvtest::RunModal<ChannelDialog>(d, [](ChannelDialog& d) {
        d.GetDlgItem(IDC_VALUE)->SetWindowText("12");
        d.GetDlgItem(IDC_LOOP)->SendMessage(BM_SETCHECK, BST_UNCHECKED);
        d.Radio(0).SendMessage(BM_CLICK);
        d.Slider(IDC_VSLIDER).SetPos(20);
        d.Slider(IDC_HSLIDER).SetPos(20);
        d.Command(IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(ValueOf(d.channel), 12);
    EXPECT_EQ(ValueOf(d.loop) != 0, false);
    EXPECT_EQ(ValueOf(d.mode), 0);
    EXPECT_EQ(ValueOf(d.level), 80);
    EXPECT_EQ(ValueOf(d.pan), 20);
}

TEST_F(CGenDialogTest, NoRadioButtonCheckedSavesMinusOne)
{
    ChannelDialog d;
    mvtest::RunModal<ChannelDialog>(d, [](ChannelDialog& d) {
        for (int i = 0; i < 3; ++i)
            d.Radio(i).SetCheck(BST_UNCHECKED);
        d.Command(IDOK);
    });
    EXPECT_EQ(ValueOf(d.mode), -1);
}

TEST_F(CGenDialogTest, LettersGiveTheRangeMessageAndKeepTheFocusOnTheEdit)
{
    ChannelDialog d;
    const INT_PTR result = mvtest::RunModal<ChannelDialog>(d, [this](ChannelDialog& d) {
        CWnd* edit = d.GetDlgItem(IDC_VALUE);
        edit->SetFocus();
        for (char c : {'a', 'b'})  // the edit's hook keeps letters out of a number
            edit->SendMessage(WM_CHAR, static_cast<WPARAM>(c), 1);
        EXPECT_EQ(edit->GetWindowText(), CString("5"));
        edit->SetWindowText("ab");  // pasted, as it were
        d.Command(IDOK);
        ASSERT_EQ(answerer->Prompts().size(), 1u);
        EXPECT_EQ(answerer->Prompts()[0].text, "Please enter a value from 1 through 16");
        EXPECT_EQ(answerer->Prompts()[0].flags & MB_ICONEXCLAMATION, MB_ICONEXCLAMATION);
        EXPECT_TRUE(IsWindow(d.m_hWnd));
        EXPECT_EQ(CWnd::GetFocus(), edit);
        EXPECT_EQ(ValueOf(d.channel), 5);
        edit->SetWindowText("16");
        d.Command(IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(ValueOf(d.channel), 16);
}

TEST_F(CGenDialogTest, CancelAfterAnUpdateRestoresTheValuesFromTheStart)
{
    ChannelDialog d;
    const INT_PTR result = mvtest::RunModal<ChannelDialog>(d, [](ChannelDialog& d) {
        d.GetDlgItem(IDC_VALUE)->SetWindowText("9");
        d.Radio(1).SendMessage(BM_CLICK);
        ASSERT_TRUE(d.UpdateData(TRUE));  // what Apply does
        EXPECT_EQ(ValueOf(d.channel), 9);
        d.Command(IDCANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(ValueOf(d.channel), 5);
    EXPECT_EQ(ValueOf(d.mode), 2);
    // Run again: new snapshots, same controls.
    d.channel.SetVariant(VariantFromI4(3));
    mvtest::RunModal<ChannelDialog>(d, [](ChannelDialog& d) {
        EXPECT_EQ(d.GetDlgItem(IDC_VALUE)->GetWindowText(), CString("3"));
        d.Command(IDCANCEL);
    });
    EXPECT_EQ(ValueOf(d.channel), 3);
}

TEST_F(CGenDialogTest, DoubleClickOnARadioButtonActsAsTheOkButton)
{
    ChannelDialog d;
    const INT_PTR result = mvtest::RunModal<ChannelDialog>(d, [](ChannelDialog& d) {
        d.Radio(1).SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        d.Radio(1).SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        d.Radio(1).SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(2, 2));
        // Posted: the dialog is still open until the queue runs.
        EXPECT_TRUE(d.IsWindowVisible());
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(ValueOf(d.mode), 1);
}

TEST_F(CGenDialogTest, DoubleClickDoesNothingWhileOkIsDisabled)
{
    ChannelDialog d;
    const INT_PTR result = mvtest::RunModal<ChannelDialog>(d, [](ChannelDialog& d) {
        d.GetDlgItem(IDOK)->EnableWindow(FALSE);
        d.Radio(1).SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(2, 2));
        mvtest::RunLater([&d] {
            EXPECT_TRUE(IsWindow(d.m_hWnd));
            d.Command(IDCANCEL);
        });
    });
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(CGenDialogTest, BindingAnIdTwiceKeepsTheFirst)
{
    ChannelDialog d;
    CPropInt other(1);
    EXPECT_FALSE(d.AddItem(IDC_VALUE, &other));
    mvtest::RunModal<ChannelDialog>(d, [](ChannelDialog& d) {
        EXPECT_EQ(d.GetDlgItem(IDC_VALUE)->GetWindowText(), CString("5"));
        d.Command(IDCANCEL);
    });
}

}  // namespace

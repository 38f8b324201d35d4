// Dialog templates from their text: controls made in order with their
// classes, ids, texts and styles; a faulty text loads nothing and names the
// dialog and the line.
#include "platform/ui/DialogTemplateText.h"

#include <gtest/gtest.h>

#include "platform/ui/CButton.h"
#include "platform/ui/CEdit.h"
#include "tests/platform/ui/UiTestSupport.h"

namespace {

class DialogTemplateTextTest : public mvtest::UiTest {};

TEST_F(DialogTemplateTextTest, DialogIsBuiltWithItsControlsInOrder)
{
    const char* text = R"(# a test dialog
define IDC_VALUE 1001
dialog 731 0 0 160 60 "Value \"x\"" style WS_POPUP | WS_CAPTION exstyle WS_EX_TOOLWINDOW font 8 "MS Shell Dlg"
  control Static IDC_STATIC 4 4 40 10 "Value:"
  control Edit IDC_VALUE 48 4 60 12 "" style WS_TABSTOP|ES_AUTOHSCROLL
  control Button IDOK 100 40 50 14 "OK" style BS_DEFPUSHBUTTON | 0x10000
end
)";
    CString error;
    ASSERT_TRUE(mvui::LoadDialogTemplates(text, error)) << error.GetString();
    const DialogTemplate* t = FindDialogTemplate(731);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->caption, CString("Value \"x\""));
    EXPECT_EQ(t->exStyle, WS_EX_TOOLWINDOW);
    ASSERT_EQ(t->controls.size(), 3u);
    EXPECT_EQ(t->controls[1].id, 1001);
    EXPECT_EQ(t->controls[2].style, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_VISIBLE);
    EXPECT_EQ(t->controls[2].rect, CRect(100, 40, 150, 54));

    CDialog dialog;
    ASSERT_TRUE(dialog.Create(731));
    CWnd* first = dialog.GetWindow(GW_CHILD);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetClassName(), CString("Static"));
    CWnd* edit = first->GetWindow(GW_HWNDNEXT);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->GetDlgCtrlID(), 1001u);
    EXPECT_NE(dynamic_cast<CEdit*>(edit), nullptr);
    EXPECT_EQ(dialog.GetDlgItem(IDOK)->GetWindowText(), CString("OK"));
    dialog.DestroyWindow();  // the controls' objects go with their windows
}

TEST_F(DialogTemplateTextTest, FaultyTextLoadsNothingAndNamesTheDialog)
{
    const struct {
        const char* name;
        const char* text;
        const char* message;
    } cases[] = {
        {"unknown class", "dialog 741 0 0 10 10 \"\"\ncontrol Fancy 5 0 0 1 1 \"\"\nend\n",
         "dialog 741, line 2: unknown control class \"Fancy\""},
        {"unknown control id", "dialog 742 0 0 10 10 \"\"\ncontrol Edit IDC_MISSING 0 0 1 1 \"\"\nend\n",
         "dialog 742, line 2: unknown control id IDC_MISSING"},
        {"unknown dialog id", "dialog IDD_NOWHERE 0 0 10 10 \"\"\nend\n",
         "dialog IDD_NOWHERE, line 1: unknown dialog id IDD_NOWHERE"},
        {"unknown style", "dialog 743 0 0 10 10 \"\" style WS_SHINY\nend\n",
         "dialog 743, line 1: unknown style WS_SHINY"},
        {"open text", "dialog 744 0 0 10 10 \"open\nend\n", "line 1: a text is not closed or holds an unknown escape"},
        {"no end", "dialog 745 0 0 10 10 \"\"\n", "dialog 745, line 1: the dialog has no end"},
        {"short rectangle", "dialog 746 0 0 10 \"\"\nend\n", "dialog 746, line 1: expected x y width height"},
    };
    for (const auto& c : cases) {
        CString error;
        const std::string good = "dialog 740 0 0 10 10 \"good\"\nend\n";
        EXPECT_FALSE(mvui::LoadDialogTemplates((good + c.text).c_str(), error)) << c.name;
        // The lines of the good dialog come first.
        std::string expected = c.message;
        const auto at = expected.find("line ");
        const int line = std::stoi(expected.substr(at + 5)) + 2;
        expected = expected.substr(0, at + 5) + std::to_string(line) + expected.substr(expected.find(':', at));
        EXPECT_EQ(std::string(error.GetString()), expected) << c.name;
        EXPECT_EQ(FindDialogTemplate(740), nullptr) << c.name;
    }
}

}  // namespace

// The edit box: typing replaces the selection, the caret keys move (Shift
// extends), Backspace and Delete remove, the length limit holds, one undo
// brings the text back, the clipboard messages work, and a shown or hidden
// window hears WM_SHOWWINDOW.
#include "platform/ui/CEdit.h"

#include <gtest/gtest.h>

#include "platform/ui/InputState.h"
#include "tests/platform/ui/MessageLog.h"
#include "tests/platform/ui/UiTestSupport.h"

namespace {

class CEditTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(parent.CreateEx(0, nullptr, "form", WS_POPUP | WS_VISIBLE, CRect(100, 100, 300, 200), nullptr, 0));
        ASSERT_TRUE(edit.Create(WS_CHILD | WS_VISIBLE | WS_BORDER, CRect(10, 10, 150, 32), &parent, 7));
    }
    void TearDown() override
    {
        mvui::SetKeyDown(VK_SHIFT, false);
        UiTest::TearDown();
    }
    void Type(const char* text)
    {
        for (const char* p = text; *p; ++p)
            edit.SendMessage(WM_CHAR, static_cast<unsigned char>(*p), 0);
    }
    void Key(UINT vk) { edit.SendMessage(WM_KEYDOWN, vk, 0); }
    std::pair<int, int> Sel()
    {
        int s, e;
        edit.GetSel(s, e);
        return {s, e};
    }
    CWnd parent;
    CEdit edit;
};

TEST_F(CEditTest, TypingAndTheCaretKeysEditTheText)
{
    Type("tempo");
    EXPECT_STREQ("tempo", edit.GetWindowText());
    Key(VK_HOME);
    Key(VK_DELETE);
    Type("T");
    EXPECT_STREQ("Tempo", edit.GetWindowText());
    Key(VK_END);
    edit.SendMessage(WM_CHAR, VK_BACK, 0);
    EXPECT_STREQ("Temp", edit.GetWindowText());
    mvui::SetKeyDown(VK_SHIFT, true);
    Key(VK_LEFT);
    Key(VK_LEFT);
    mvui::SetKeyDown(VK_SHIFT, false);
    EXPECT_EQ(Sel(), std::make_pair(2, 4));
    Type("x");
    EXPECT_STREQ("Tex", edit.GetWindowText());
    edit.Undo();
    EXPECT_STREQ("Temp", edit.GetWindowText());
    // Control characters are not text.
    Type("\x01\t");
    EXPECT_STREQ("Temp", edit.GetWindowText());
}

TEST_F(CEditTest, TheLimitCutsWhatIsTypedOrPasted)
{
    edit.LimitText(4);
    Type("120.5");
    EXPECT_STREQ("120.", edit.GetWindowText());
    edit.SetSel(0, 1);
    edit.SendMessage(WM_COPY, 0, 0);
    edit.SetSel(0, -1);
    edit.SendMessage(WM_CUT, 0, 0);
    EXPECT_STREQ("", edit.GetWindowText());
    edit.SendMessage(WM_PASTE, 0, 0);
    edit.SendMessage(WM_PASTE, 0, 0);
    EXPECT_STREQ("120.", edit.GetWindowText());  // the cut took the whole text to the clipboard
    EXPECT_EQ(Sel(), std::make_pair(4, 4));
    mvtest::Shot(edit, "edit");
}

TEST_F(CEditTest, ShowingAndHidingSendWmShowWindowOnlyOnAChange)
{
    mvtest::LogWnd child;
    ASSERT_TRUE(child.CreateEx(0, nullptr, "c", WS_CHILD, CRect(0, 0, 10, 10), &parent, 8));
    child.log.clear();
    child.ShowWindow(SW_SHOW);
    child.ShowWindow(SW_SHOW);
    child.ShowWindow(SW_HIDE);
    std::vector<WPARAM> shows;
    for (const auto& m : child.log)
        if (m.message == WM_SHOWWINDOW)
            shows.push_back(m.wParam);
    EXPECT_EQ(shows, (std::vector<WPARAM>{TRUE, FALSE}));
}

}  // namespace

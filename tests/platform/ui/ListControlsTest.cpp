// The list box and the drop-down list, driven as a user drives them (clicks,
// double clicks, keys) and checked by their items, their selection and what
// they tell their parent: a change the user makes is announced, one the
// program makes is not; the dropped list chooses and closes.
#include <gtest/gtest.h>

#include "platform/ui/CComboBox.h"
#include "platform/ui/CListBox.h"
#include "tests/platform/ui/MessageLog.h"
#include "tests/platform/ui/UiTestSupport.h"

namespace {

class ListControlsTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(parent.CreateEx(0, nullptr, "parent", WS_POPUP | WS_VISIBLE, CRect(0, 0, 300, 200), nullptr, 0));
    }
    std::vector<WORD> Codes(UINT id) const { return parent.CommandCodes(id); }
    static LPARAM ItemPoint(CListBox& list, int index)
    {
        return MAKELPARAM(5, 2 + (index - list.GetTopIndex()) * list.GetItemHeight() + 3);
    }
    static void Key(CWnd& w, UINT vk) { w.SendMessage(WM_KEYDOWN, vk, 0); }
    mvtest::LogWnd parent;
};

TEST_F(ListControlsTest, ListBoxKeepsItemsWithValuesAndTheSelectionInPlace)
{
    CListBox list;
    ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 120, 80), &parent, 20));
    EXPECT_EQ(list.AddString("b"), 0);
    EXPECT_EQ(list.AddString("d"), 1);
    EXPECT_EQ(list.InsertString(0, "a"), 0);
    EXPECT_EQ(list.InsertString(7, "x"), LB_ERR);
    list.SetItemData(2, 42);
    EXPECT_EQ(list.SetCurSel(1), 1);  // "b"
    EXPECT_EQ(list.InsertString(0, "first"), 0);
    EXPECT_EQ(list.GetCurSel(), 2);  // still "b"
    EXPECT_EQ(list.GetText(list.GetCurSel()), CString("b"));
    EXPECT_EQ(list.GetItemData(3), 42u);
    EXPECT_EQ(list.FindStringExact(-1, "D"), 3);
    EXPECT_EQ(list.DeleteString(2), 3);
    EXPECT_EQ(list.GetCurSel(), LB_ERR);  // the selected item went
    EXPECT_EQ(list.DeleteString(9), LB_ERR);
    EXPECT_TRUE(Codes(20).empty());  // nothing the program did is announced

    CListBox sorted;
    ASSERT_TRUE(sorted.Create(WS_CHILD | WS_VISIBLE | LBS_SORT, CRect(0, 90, 120, 150), &parent, 21));
    for (const char* t : {"Pads", "drums", "Keys"})
        sorted.AddString(t);
    EXPECT_EQ(sorted.GetText(0), CString("drums"));
    EXPECT_EQ(sorted.GetText(2), CString("Pads"));
}

TEST_F(ListControlsTest, ListBoxSelectsByClickAndKeysAndTellsTheParent)
{
    CListBox list;
    ASSERT_TRUE(list.Create(WS_CHILD | WS_VISIBLE, CRect(0, 0, 120, 60), &parent, 20));
    for (int i = 0; i < 10; ++i)
        list.AddString(("item " + std::to_string(i)).c_str());
    list.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, ItemPoint(list, 1));
    EXPECT_EQ(list.GetCurSel(), 1);
    EXPECT_EQ(CWnd::GetFocus(), &list);
    list.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, ItemPoint(list, 1));
    EXPECT_EQ(Codes(20), (std::vector<WORD>{LBN_SETFOCUS, LBN_SELCHANGE, LBN_DBLCLK}));
    parent.log.clear();
    Key(list, VK_DOWN);
    EXPECT_EQ(list.GetCurSel(), 2);
    Key(list, VK_END);
    EXPECT_EQ(list.GetCurSel(), 9);
    EXPECT_GT(list.GetTopIndex(), 0);  // scrolled to show it
    Key(list, VK_END);                 // no change, no news
    Key(list, VK_HOME);
    EXPECT_EQ(list.GetCurSel(), 0);
    EXPECT_EQ(list.GetTopIndex(), 0);
    EXPECT_EQ(Codes(20), (std::vector<WORD>{LBN_SELCHANGE, LBN_SELCHANGE, LBN_SELCHANGE}));
    // A click below the last item selects nothing.
    list.ResetContent();
    list.AddString("only");
    list.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 50));
    EXPECT_EQ(list.GetCurSel(), LB_ERR);
}

TEST_F(ListControlsTest, DropDownListDropsChoosesAndCloses)
{
    CComboBox combo;
    ASSERT_TRUE(combo.Create(WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, CRect(10, 10, 110, 30), &parent, 30));
    for (const char* t : {"1", "2", "4", "8"})
        combo.AddString(t);
    combo.SetCurSel(2);
    combo.SetFocus();
    parent.log.clear();
    Key(combo, VK_DOWN);
    EXPECT_EQ(combo.GetCurSel(), 3);
    Key(combo, VK_DOWN);  // at the end already
    EXPECT_EQ(Codes(30), std::vector<WORD>{CBN_SELCHANGE});

    parent.log.clear();
    combo.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ASSERT_TRUE(combo.GetDroppedState());
    CListBox* dropped = combo.GetDroppedList();
    ASSERT_NE(dropped, nullptr);
    EXPECT_EQ(dropped->GetCount(), 4);
    EXPECT_EQ(dropped->GetCurSel(), 3);
    CRect face, list;
    combo.GetWindowRect(&face);
    dropped->GetWindowRect(&list);
    EXPECT_EQ(list.top, face.bottom);
    EXPECT_EQ(list.Width(), face.Width());
    EXPECT_EQ(CWnd::GetFocus(), &combo);  // the list never takes the focus
    dropped->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, ItemPoint(*dropped, 1));
    EXPECT_FALSE(combo.GetDroppedState());
    EXPECT_EQ(combo.GetCurSel(), 1);
    EXPECT_EQ(Codes(30), (std::vector<WORD>{CBN_DROPDOWN, CBN_SELCHANGE, CBN_CLOSEUP}));

    // A wider dropped width widens the list; Escape closes it, choosing nothing.
    combo.SetDroppedWidth(300);
    Key(combo, VK_F4);
    ASSERT_TRUE(combo.GetDroppedState());
    combo.GetDroppedList()->GetWindowRect(&list);
    EXPECT_EQ(list.Width(), 300);
    Key(combo, VK_ESCAPE);
    EXPECT_FALSE(combo.GetDroppedState());
    EXPECT_EQ(combo.GetCurSel(), 1);
}

}  // namespace

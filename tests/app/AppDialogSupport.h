// What the shell's dialog tests share: the user's hands (clicks, keys and
// typing through the window layer's messages) and shots of a dialog with
// everything on it.
#pragma once

#include "platform/ui/CListBox.h"
#include "tests/uikit/DialogToolkitSupport.h"
#include "tests/uikit/ShotTree.h"

namespace mvtest {

// A left click in the middle of a control (or at `at`, client coordinates).
inline void Click(CWnd* control, CPoint at = CPoint(-1, -1))
{
    ASSERT_NE(control, nullptr);
    if (at.x < 0) {
        CRect r;
        control->GetClientRect(&r);
        at = r.CenterPoint();
    }
    control->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    control->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
}

// A double click on item `index` of a list box.
inline void DoubleClickItem(CListBox* list, int index)
{
    ASSERT_NE(list, nullptr);
    const int y = 2 + (index - list->GetTopIndex()) * list->GetItemHeight() + list->GetItemHeight() / 2;
    const LPARAM at = MAKELPARAM(10, y);
    list->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at);
    list->SendMessage(WM_LBUTTONUP, 0, at);
    list->SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    list->SendMessage(WM_LBUTTONUP, 0, at);
}

// A click on item `index` of a list box.
inline void ClickItem(CListBox* list, int index)
{
    ASSERT_NE(list, nullptr);
    const int y = 2 + (index - list->GetTopIndex()) * list->GetItemHeight() + list->GetItemHeight() / 2;
    Click(list, CPoint(10, y));
}

inline void Key(CWnd* control, UINT vk)
{
    control->SendMessage(WM_KEYDOWN, vk, 0);
    control->SendMessage(WM_KEYUP, vk, 0);
}

// Focuses the edit (which selects its text) and types over it.
inline void TypeInto(CWnd* edit, const char* text)
{
    edit->SetFocus();
    for (const char* p = text; *p; ++p)
        edit->SendMessage(WM_CHAR, static_cast<unsigned char>(*p), 0);
}

}  // namespace mvtest

// The "ListBox" control: a list of texts, each with a 32-bit item value, of
// which at most one is selected. A click selects the item under the mouse,
// a double click also tells the parent LBN_DBLCLK; Up, Down, Home, End,
// Page Up and Page Down move the selection, the wheel scrolls. A change the
// user makes tells the parent LBN_SELCHANGE (a change made by the program
// does not); gaining and losing the focus tell it LBN_SETFOCUS and
// LBN_KILLFOCUS. The list scrolls so that the selection stays in view.
// UI thread only.
#pragma once

#include "platform/ui/CListControl.h"

constexpr int LB_ERR = -1;
constexpr WORD LBN_SELCHANGE = 1, LBN_DBLCLK = 2, LBN_SETFOCUS = 4, LBN_KILLFOCUS = 5;
constexpr DWORD LBS_NOTIFY = 0x0001, LBS_SORT = 0x0002;

class CListBox : public CListControl {
public:
    static constexpr const char* kClassName = "ListBox";

    CListBox() : CListControl(LBS_SORT) {}

    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    using CWnd::Create;

    int GetText(int index, CString& text) const { return m_items.GetText(index, text); }
    CString GetText(int index) const { return m_items.Text(index); }
    // The first item shown.
    int GetTopIndex() const { return m_top; }
    // The index of the item whose text is `text` exactly (case ignored), from after `after`; LB_ERR when none.
    int FindStringExact(int after, LPCSTR text) const { return m_items.FindTextExact(after, text); }
    // Height of one item in pixels.
    int GetItemHeight() const;

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonDblClk(UINT flags, CPoint point) override;
    void OnKeyDown(UINT vk, UINT repeat, UINT flags) override;
    BOOL OnMouseWheel(UINT flags, short delta, CPoint screen) override;
    void OnSetFocus(CWnd* oldWnd) override;
    void OnKillFocus(CWnd* newWnd) override;

    void OnItemsChanged(bool selected) override;
    // Whether the selection shows as when the list has the focus.
    virtual bool HighlightsSelection() const;

private:
    int ItemAt(CPoint point) const;
    int VisibleCount() const;
    void EnsureVisible(int index);
    // A selection the user made: selects, scrolls and tells the parent.
    void SelectByUser(int index);

    int m_top = 0;
};

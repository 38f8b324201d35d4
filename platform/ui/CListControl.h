// What the list box and the drop-down list share: their items, each a text
// with a 32-bit value, kept in order under the control's sort style, and
// the one selection. Changes the program makes through these calls are not
// announced to the parent. UI thread only.
#pragma once

#include "platform/ui/CControlWnd.h"
#include "platform/ui/CListItems.h"

class CListControl : public CControlWnd {
public:
    // The new item's index (in order under the sort style).
    int AddString(LPCSTR text);
    // At `index` (-1: at the end); -1 when `index` is past the end.
    int InsertString(int index, LPCSTR text);
    // The number of items left, or -1 for a bad index.
    int DeleteString(UINT index);
    void ResetContent();
    int GetCount() const { return m_items.Count(); }
    // -1 when none is selected.
    int GetCurSel() const { return m_items.Selected(); }
    // -1 clears the selection; -1 (and no selection) for a bad index.
    int SetCurSel(int index);
    DWORD_PTR GetItemData(int index) const { return m_items.Data(index); }
    int SetItemData(int index, DWORD_PTR data) { return m_items.SetData(index, data); }

protected:
    explicit CListControl(DWORD sortStyle) : m_sortStyle(sortStyle) {}
    // After the items or the selection changed; `selected` when the
    // selection was set (the list scrolls to it).
    virtual void OnItemsChanged(bool selected) {}

    CListItems m_items;

private:
    DWORD m_sortStyle;
};

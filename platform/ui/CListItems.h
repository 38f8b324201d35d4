// The items of a list control (list box, drop-down list): texts with a
// 32-bit value each, at most one of them selected, kept in order or in
// insertion order. Indices out of range give -1 (LB_ERR, CB_ERR) and
// change nothing. UI thread only.
#pragma once

#include <vector>

#include "platform/win/CString.h"
#include "platform/win/WinTypes.h"

class CListItems {
public:
    // Where the text goes: in case-blind order when `sorted`, else at the end.
    int Add(LPCSTR text, bool sorted);
    // At `index` (-1: at the end).
    int Insert(int index, LPCSTR text);
    // The number of items left.
    int Delete(int index);
    void Reset();
    int Count() const { return static_cast<int>(m_items.size()); }
    bool IsValid(int index) const { return index >= 0 && index < Count(); }

    int Selected() const { return m_selected; }
    // -1, or an index out of range, clears the selection; returns it.
    int Select(int index);

    int GetText(int index, CString& text) const;
    CString Text(int index) const;
    DWORD_PTR Data(int index) const;
    int SetData(int index, DWORD_PTR data);
    int FindData(DWORD_PTR data) const;
    // From after `after` round to it, case ignored.
    int FindTextExact(int after, LPCSTR text) const;

private:
    struct Item {
        CString text;
        DWORD_PTR data = 0;
    };
    std::vector<Item> m_items;
    int m_selected = -1;
};

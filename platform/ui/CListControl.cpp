#include "platform/ui/CListControl.h"

int CListControl::AddString(LPCSTR text)
{
    const int at = m_items.Add(text, (GetStyle() & m_sortStyle) != 0);
    OnItemsChanged(false);
    Invalidate(FALSE);
    return at;
}

int CListControl::InsertString(int index, LPCSTR text)
{
    const int at = m_items.Insert(index, text);
    OnItemsChanged(false);
    Invalidate(FALSE);
    return at;
}

int CListControl::DeleteString(UINT index)
{
    const int left = m_items.Delete(static_cast<int>(index));
    OnItemsChanged(false);
    Invalidate(FALSE);
    return left;
}

void CListControl::ResetContent()
{
    m_items.Reset();
    OnItemsChanged(false);
    Invalidate(FALSE);
}

int CListControl::SetCurSel(int index)
{
    const int selected = m_items.Select(index);
    OnItemsChanged(true);
    Invalidate(FALSE);
    return index == -1 ? -1 : selected;
}

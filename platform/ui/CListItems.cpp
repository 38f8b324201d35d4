#include "platform/ui/CListItems.h"

#include <algorithm>

int CListItems::Add(LPCSTR text, bool sorted)
{
    int at = Count();
    if (sorted) {
        const CString t(text ? text : "");
        at = static_cast<int>(std::upper_bound(m_items.begin(), m_items.end(), t,
                                               [](const CString& a, const Item& b) {
                                                   return a.CompareNoCase(b.text) < 0;
                                               }) -
                              m_items.begin());
    }
    return Insert(at, text);
}

int CListItems::Insert(int index, LPCSTR text)
{
    if (index < 0)
        index = Count();
    if (index > Count())
        return -1;
    m_items.insert(m_items.begin() + index, Item{CString(text ? text : ""), 0});
    if (m_selected >= index)
        ++m_selected;
    return index;
}

int CListItems::Delete(int index)
{
    if (!IsValid(index))
        return -1;
    m_items.erase(m_items.begin() + index);
    if (m_selected == index)
        m_selected = -1;
    else if (m_selected > index)
        --m_selected;
    return Count();
}

void CListItems::Reset()
{
    m_items.clear();
    m_selected = -1;
}

int CListItems::Select(int index)
{
    m_selected = IsValid(index) ? index : -1;
    return m_selected;
}

int CListItems::GetText(int index, CString& text) const
{
    if (!IsValid(index))
        return -1;
    text = m_items[index].text;
    return text.GetLength();
}

CString CListItems::Text(int index) const
{
    return IsValid(index) ? m_items[index].text : CString();
}

DWORD_PTR CListItems::Data(int index) const
{
    return IsValid(index) ? m_items[index].data : static_cast<DWORD_PTR>(-1);
}

int CListItems::SetData(int index, DWORD_PTR data)
{
    if (!IsValid(index))
        return -1;
    m_items[index].data = data;
    return 0;
}

int CListItems::FindData(DWORD_PTR data) const
{
    for (int i = 0; i < Count(); ++i)
        if (m_items[i].data == data)
            return i;
    return -1;
}

int CListItems::FindTextExact(int after, LPCSTR text) const
{
    const int n = Count();
    const int start = after >= -1 && after < n ? after + 1 : 0;
    for (int k = 0; k < n; ++k) {
        const int i = (start + k) % n;
        if (m_items[i].text.CompareNoCase(text ? text : "") == 0)
            return i;
    }
    return -1;
}

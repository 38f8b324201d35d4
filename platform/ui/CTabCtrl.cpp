#include "platform/ui/CTabCtrl.h"

#include "platform/ui/CDC.h"
#include "platform/ui/SystemMetrics.h"

namespace {
constexpr int kTabPadding = 6;
}

BOOL CTabCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateControl("SysTabControl32", "", style, rect, parent, id);
}

int CTabCtrl::InsertItem(int index, LPCSTR text)
{
    if (index < 0 || index > GetItemCount())
        index = GetItemCount();
    m_items.insert(m_items.begin() + index, CString(text));
    if (m_current < 0)
        m_current = 0;
    else if (index <= m_current && GetItemCount() > 1)
        ++m_current;
    Invalidate();
    return index;
}

int CTabCtrl::SetCurSel(int index)
{
    const int old = m_current;
    if (index < 0 || index >= GetItemCount())
        return -1;
    m_current = index;
    Invalidate();
    return old;
}

int CTabCtrl::TabHeight() const
{
    CDC dc;
    dc.CreateDC("DISPLAY");
    dc.SelectObject(ControlFont());
    return dc.GetTextExtent("Ag").cy + 2 * kTabPadding - 2;
}

void CTabCtrl::AdjustRect(BOOL larger, LPRECT rect) const
{
    if (!rect)
        return;
    const int top = TabHeight();
    if (larger) {
        rect->left -= 2;
        rect->right += 2;
        rect->top -= top + 2;
        rect->bottom += 2;
    } else {
        rect->left += 2;
        rect->right -= 2;
        rect->top += top + 2;
        rect->bottom -= 2;
    }
}

BOOL CTabCtrl::GetItemRect(int index, LPRECT rect) const
{
    if (index < 0 || index >= GetItemCount() || !rect)
        return FALSE;
    CDC dc;
    dc.CreateDC("DISPLAY");
    dc.SelectObject(ControlFont());
    int x = 2;
    for (int i = 0; i < index; ++i)
        x += dc.GetTextExtent(m_items[static_cast<std::size_t>(i)]).cx + 2 * kTabPadding;
    const int width = dc.GetTextExtent(m_items[static_cast<std::size_t>(index)]).cx + 2 * kTabPadding;
    *rect = CRect(x, 2, x + width, TabHeight());
    return TRUE;
}

void CTabCtrl::OnLButtonDown(UINT, CPoint point)
{
    for (int i = 0; i < GetItemCount(); ++i) {
        CRect r;
        GetItemRect(i, &r);
        if (!r.PtInRect(point) || i == m_current)
            continue;
        SetCurSel(i);
        NMHDR header{m_hWnd, GetDlgCtrlID(), TCN_SELCHANGE};
        if (CWnd* parent = GetParent())
            parent->SendMessage(WM_NOTIFY, GetDlgCtrlID(), reinterpret_cast<LPARAM>(&header));
        return;
    }
}

BOOL CTabCtrl::OnEraseBkgnd(CDC*)
{
    return TRUE;
}

void CTabCtrl::OnPaint()
{
    CPaintDC dc(this);
    CRect r;
    GetClientRect(&r);
    dc.FillSolidRect(&r, GetSysColor(COLOR_BTNFACE));
    CRect body(r.left, TabHeight(), r.right, r.bottom);
    dc.DrawEdge(&body, EDGE_RAISED, BF_RECT | BF_SOFT);
    dc.SelectObject(ControlFont());
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(GetSysColor(COLOR_BTNTEXT));
    for (int i = 0; i < GetItemCount(); ++i) {
        CRect tab;
        GetItemRect(i, &tab);
        if (i == m_current) {
            tab.InflateRect(2, 2, 2, 1);
            dc.FillSolidRect(&tab, GetSysColor(COLOR_BTNFACE));
        }
        dc.DrawEdge(&tab, EDGE_RAISED, BF_LEFT | BF_TOP | BF_RIGHT | BF_SOFT);
        dc.DrawText(m_items[static_cast<std::size_t>(i)], &tab, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
}

#include "platform/ui/CListBox.h"

#include <algorithm>

#include "platform/ui/CDC.h"
#include "platform/ui/SystemMetrics.h"

namespace {
constexpr int kBorder = 2;
}

BOOL CListBox::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateControl(kClassName, "", style, rect, parent, id);
}

void CListBox::OnItemsChanged(bool selected)
{
    m_top = std::clamp(m_top, 0, std::max(0, GetCount() - 1));
    if (selected)
        EnsureVisible(GetCurSel());
}

int CListBox::GetItemHeight() const
{
    CClientDC dc(const_cast<CListBox*>(this));
    dc.SelectObject(ControlFont());
    TEXTMETRIC tm{};
    dc.GetTextMetrics(&tm);
    return tm.tmHeight + 2;
}

int CListBox::VisibleCount() const
{
    CRect r;
    GetClientRect(&r);
    return std::max(1, (r.Height() - 2 * kBorder) / GetItemHeight());
}

void CListBox::EnsureVisible(int index)
{
    if (index < 0)
        return;
    if (index < m_top)
        m_top = index;
    else if (index >= m_top + VisibleCount())
        m_top = index - VisibleCount() + 1;
}

int CListBox::ItemAt(CPoint point) const
{
    const int i = m_top + (point.y - kBorder) / GetItemHeight();
    return point.y >= kBorder && i < GetCount() ? i : LB_ERR;
}

void CListBox::SelectByUser(int index)
{
    if (index < 0 || index >= GetCount())
        return;
    const bool changed = index != GetCurSel();
    SetCurSel(index);
    if (changed)
        NotifyParent(LBN_SELCHANGE);
}

BOOL CListBox::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_GETDLGCODE) {
        *result = DLGC_WANTARROWS;
        return TRUE;
    }
    return CControlWnd::OnWndMsg(message, wParam, lParam, result);
}

void CListBox::OnLButtonDown(UINT, CPoint point)
{
    SetFocus();
    SelectByUser(ItemAt(point));
}

void CListBox::OnLButtonDblClk(UINT, CPoint point)
{
    const int i = ItemAt(point);
    SelectByUser(i);
    if (i != LB_ERR)
        NotifyParent(LBN_DBLCLK);
}

void CListBox::OnKeyDown(UINT vk, UINT, UINT)
{
    if (GetCount() == 0)
        return;
    const int last = GetCount() - 1, page = VisibleCount();
    const int now = GetCurSel();
    switch (vk) {
    case VK_UP: SelectByUser(now < 0 ? 0 : std::max(0, now - 1)); break;
    case VK_DOWN: SelectByUser(now < 0 ? 0 : std::min(last, now + 1)); break;
    case VK_HOME: SelectByUser(0); break;
    case VK_END: SelectByUser(last); break;
    case VK_PRIOR: SelectByUser(std::max(0, (now < 0 ? 0 : now) - page + 1)); break;
    case VK_NEXT: SelectByUser(std::min(last, (now < 0 ? 0 : now) + page - 1)); break;
    default: break;
    }
}

BOOL CListBox::OnMouseWheel(UINT, short delta, CPoint)
{
    const int steps = -delta / 120 * 3;
    m_top = std::clamp(m_top + steps, 0, std::max(0, GetCount() - VisibleCount()));
    Invalidate(FALSE);
    return TRUE;
}

void CListBox::OnSetFocus(CWnd*)
{
    Invalidate(FALSE);
    NotifyParent(LBN_SETFOCUS);
}

void CListBox::OnKillFocus(CWnd*)
{
    Invalidate(FALSE);
    NotifyParent(LBN_KILLFOCUS);
}

bool CListBox::HighlightsSelection() const
{
    return GetFocus() == this;
}

BOOL CListBox::OnEraseBkgnd(CDC*)
{
    return TRUE;
}

void CListBox::OnPaint()
{
    CPaintDC dc(this);
    CRect r;
    GetClientRect(&r);
    const bool enabled = IsWindowEnabled() != 0;
    dc.FillSolidRect(&r, GetSysColor(enabled ? COLOR_WINDOW : COLOR_BTNFACE));
    dc.DrawEdge(&r, EDGE_SUNKEN, BF_RECT);
    dc.SelectObject(ControlFont());
    dc.SetBkMode(TRANSPARENT);
    const int height = GetItemHeight();
    const bool focused = HighlightsSelection();
    for (int i = m_top, y = kBorder; i < GetCount() && y + height <= r.bottom - kBorder + height / 2;
         ++i, y += height) {
        CRect item(kBorder, y, r.right - kBorder, std::min<LONG>(y + height, r.bottom - kBorder));
        const bool selected = i == GetCurSel();
        if (selected)
            dc.FillSolidRect(&item, GetSysColor(focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
        dc.SetTextColor(GetSysColor(!enabled                ? COLOR_GRAYTEXT
                                    : selected && focused ? COLOR_HIGHLIGHTTEXT
                                                          : COLOR_WINDOWTEXT));
        CRect text = item;
        text.DeflateRect(2, 0);
        dc.DrawText(m_items.Text(i), &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
}

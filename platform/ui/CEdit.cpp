#include "platform/ui/CEdit.h"

#include <algorithm>

#include "platform/ui/CDC.h"
#include "platform/ui/SystemMetrics.h"

BOOL CEdit::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateControl("Edit", "", style, rect, parent, id);
}

void CEdit::SetSel(int start, int end)
{
    const int length = GetWindowText().GetLength();
    if (end < 0 || end > length)
        end = length;
    start = std::clamp(start, 0, length);
    m_selStart = std::min(start, end);
    m_selEnd = std::max(start, end);
    Invalidate();
}

void CEdit::GetSel(int& start, int& end) const
{
    start = m_selStart;
    end = m_selEnd;
}

void CEdit::ReplaceSel(LPCSTR text)
{
    const CString old = GetWindowText();
    const int start = std::min(m_selStart, old.GetLength());
    const int end = std::min(m_selEnd, old.GetLength());
    const CString insert(text ? text : "");
    SetWindowText(old.Left(start) + insert + old.Mid(end));
    m_selStart = m_selEnd = start + insert.GetLength();
    Changed();
}

void CEdit::Changed()
{
    Invalidate();
    NotifyParent(EN_CHANGE);
}

LRESULT CEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_GETDLGCODE: return DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_HASSETSEL;
    case EM_SETSEL: SetSel(static_cast<int>(wParam), static_cast<int>(lParam)); return 0;
    case EM_GETSEL: return MAKELPARAM(m_selStart, m_selEnd);
    default: return CControlWnd::WindowProc(message, wParam, lParam);
    }
}

void CEdit::OnChar(UINT ch, UINT, UINT)
{
    if (GetStyle() & ES_READONLY)
        return;
    if (ch == VK_BACK) {
        if (m_selStart == m_selEnd && m_selStart > 0)
            --m_selStart;
        if (m_selStart != m_selEnd)
            ReplaceSel("");
        return;
    }
    if (ch < 0x20 || ch > 0xFF)
        return;
    if ((GetStyle() & ES_NUMBER) && (ch < '0' || ch > '9'))
        return;
    const char text[2] = {static_cast<char>(ch), '\0'};
    ReplaceSel(text);
}

void CEdit::OnKeyDown(UINT vk, UINT, UINT)
{
    const int length = GetWindowText().GetLength();
    int caret = -1;
    switch (vk) {
    case VK_LEFT: caret = m_selStart == m_selEnd ? std::max(0, m_selStart - 1) : m_selStart; break;
    case VK_RIGHT: caret = m_selStart == m_selEnd ? std::min(length, m_selEnd + 1) : m_selEnd; break;
    case VK_HOME: caret = 0; break;
    case VK_END: caret = length; break;
    case VK_DELETE:
        if (GetStyle() & ES_READONLY)
            return;
        if (m_selStart == m_selEnd && m_selEnd < length)
            ++m_selEnd;
        if (m_selStart != m_selEnd)
            ReplaceSel("");
        return;
    default: return;
    }
    m_selStart = m_selEnd = caret;
    Invalidate();
}

void CEdit::OnLButtonDown(UINT, CPoint)
{
    SetFocus();
}

void CEdit::OnSetFocus(CWnd*)
{
    SetSel(0, -1);
    NotifyParent(EN_SETFOCUS);
}

void CEdit::OnKillFocus(CWnd*)
{
    Invalidate();
    NotifyParent(EN_KILLFOCUS);
}

BOOL CEdit::OnEraseBkgnd(CDC*)
{
    return TRUE;
}

void CEdit::OnPaint()
{
    CPaintDC dc(this);
    CRect r;
    GetClientRect(&r);
    const bool enabled = IsWindowEnabled() != 0;
    dc.FillSolidRect(&r, GetSysColor(enabled && !(GetStyle() & ES_READONLY) ? COLOR_WINDOW : COLOR_BTNFACE));
    dc.DrawEdge(&r, EDGE_SUNKEN, BF_RECT);
    CRect inside = r;
    inside.DeflateRect(4, 2);
    dc.SelectObject(ControlFont());
    dc.SetBkMode(TRANSPARENT);
    const CString text = GetWindowText();
    const bool focused = GetFocus() == this;
    const int x0 = inside.left;
    const int width = m_selStart > 0 ? dc.GetTextExtent(text, m_selStart).cx : 0;
    const int widthEnd = m_selEnd > 0 ? dc.GetTextExtent(text, m_selEnd).cx : 0;
    if (focused && m_selStart != m_selEnd)
        dc.FillSolidRect(x0 + width, inside.top, widthEnd - width, inside.Height(), GetSysColor(COLOR_HIGHLIGHT));
    dc.SetTextColor(GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    dc.DrawText(text, &inside, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (focused && m_selStart != m_selEnd) {
        CRect selected(x0 + width, inside.top, x0 + widthEnd, inside.bottom);
        dc.SetTextColor(GetSysColor(COLOR_HIGHLIGHTTEXT));
        const CString part = text.Mid(m_selStart, m_selEnd - m_selStart);
        dc.DrawText(part, &selected, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    } else if (focused) {
        dc.FillSolidRect(x0 + width, inside.top + 1, 1, inside.Height() - 2, GetSysColor(COLOR_WINDOWTEXT));
    }
}

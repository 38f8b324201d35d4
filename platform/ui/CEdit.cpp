#include "platform/ui/CEdit.h"

#include <algorithm>

#include <QClipboard>
#include <QGuiApplication>

#include "platform/ui/CDC.h"
#include "platform/ui/CFont.h"
#include "platform/ui/SystemMetrics.h"

BOOL CEdit::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateControl(kClassName, "", style, rect, parent, id);
}

void CEdit::SetSel(int start, int end)
{
    const int length = GetLength();
    if (start < 0) {  // Windows' "no selection": the caret stays where it is
        m_anchor = m_caret = std::clamp(m_caret, 0, length);
    } else {
        m_anchor = std::clamp(start, 0, length);
        m_caret = end < 0 ? length : std::clamp(end, 0, length);
    }
    Invalidate(FALSE);
}

void CEdit::GetSel(int& start, int& end) const
{
    start = std::min(m_anchor, m_caret);
    end = std::max(m_anchor, m_caret);
}

void CEdit::SetText(const CString& text, int caret)
{
    m_undoText = GetWindowText();
    SetWindowText(text);
    m_anchor = m_caret = std::clamp(caret, 0, text.GetLength());
    Invalidate(FALSE);
    NotifyParent(EN_CHANGE);
}

void CEdit::ReplaceSel(LPCSTR text)
{
    int start, end;
    GetSel(start, end);
    CString now = GetWindowText();
    start = std::min(start, now.GetLength());
    end = std::min(end, now.GetLength());
    CString inserted(text ? text : "");
    if (m_limit >= 0) {
        const int room = m_limit - (now.GetLength() - (end - start));
        if (room <= 0)
            return;
        inserted = inserted.Left(room);
    }
    now.Delete(start, end - start);
    now.Insert(start, inserted);
    SetText(now, start + inserted.GetLength());
}

void CEdit::Undo()
{
    const CString before = m_undoText;
    SetText(before, before.GetLength());
}

void CEdit::Copy()
{
    int start, end;
    GetSel(start, end);
    if (start < end && QGuiApplication::clipboard())
        QGuiApplication::clipboard()->setText(QString::fromUtf8(GetWindowText().Mid(start, end - start).GetString()));
}

void CEdit::Cut()
{
    if (GetStyle() & ES_READONLY) {
        Copy();
        return;
    }
    Copy();
    ReplaceSel("");
}

void CEdit::Paste()
{
    if ((GetStyle() & ES_READONLY) || !QGuiApplication::clipboard())
        return;
    QString text = QGuiApplication::clipboard()->text();
    if (!(GetStyle() & ES_MULTILINE))
        text = text.section(QLatin1Char('\n'), 0, 0);  // a one-line edit takes the first line
    ReplaceSel(text.toUtf8().constData());
}

BOOL CEdit::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    int start, end;
    switch (message) {
    case WM_GETDLGCODE: *result = DLGC_WANTCHARS | DLGC_WANTARROWS | DLGC_HASSETSEL; return TRUE;
    case EM_SETSEL: SetSel(static_cast<int>(wParam), static_cast<int>(lParam)); break;
    case EM_GETSEL:
        GetSel(start, end);
        *result = MAKELPARAM(start, end);
        return TRUE;
    case WM_CUT: Cut(); break;
    case WM_COPY: Copy(); break;
    case WM_PASTE: Paste(); break;
    case WM_CLEAR:
        if (!(GetStyle() & ES_READONLY))
            ReplaceSel("");
        break;
    case WM_UNDO:
        if (!(GetStyle() & ES_READONLY))
            Undo();
        break;
    default: return CControlWnd::OnWndMsg(message, wParam, lParam, result);
    }
    *result = 0;
    return TRUE;
}

void CEdit::OnChar(UINT ch, UINT, UINT)
{
    if (GetStyle() & ES_READONLY)
        return;
    if (ch == VK_BACK) {
        int start, end;
        GetSel(start, end);
        if (start == end && start > 0)
            m_anchor = start - 1, m_caret = end;
        if (m_anchor != m_caret)
            ReplaceSel("");
        return;
    }
    if (ch > 0xFF || (ch < 0x20 && !(ch == '\r' && (GetStyle() & ES_MULTILINE))))
        return;
    if ((GetStyle() & ES_NUMBER) && (ch < '0' || ch > '9'))
        return;
    const char text[2] = {static_cast<char>(ch == '\r' ? '\n' : ch), '\0'};
    ReplaceSel(text);
}

void CEdit::OnKeyDown(UINT vk, UINT, UINT)
{
    const bool extend = GetKeyState(VK_SHIFT) < 0;
    const int length = GetLength();
    int start, end;
    GetSel(start, end);
    int caret = m_caret;
    switch (vk) {
    case VK_LEFT: caret = !extend && start != end ? start : std::max(0, caret - 1); break;
    case VK_RIGHT: caret = !extend && start != end ? end : std::min(length, caret + 1); break;
    case VK_HOME: caret = 0; break;
    case VK_END: caret = length; break;
    case VK_DELETE:
        if (GetStyle() & ES_READONLY)
            return;
        if (start == end && end < length)
            m_anchor = start, m_caret = end + 1;
        if (m_anchor != m_caret)
            ReplaceSel("");
        return;
    default: return;
    }
    // A plain caret key collapses a selection onto the caret's new place.
    m_caret = caret;
    if (!extend)
        m_anchor = caret;
    Invalidate(FALSE);
}

void CEdit::OnLButtonDown(UINT, CPoint point)
{
    const bool hadFocus = GetFocus() == this;
    SetFocus();
    // A click that brings the focus keeps the selection the focus made.
    if (!hadFocus && m_selectAllOnFocus)
        return;
    // The caret goes before the first character whose middle is right of the point.
    CClientDC dc(this);
    dc.SelectObject(TextFont());
    const CString text = GetWindowText();
    const int x0 = 4;
    int at = text.GetLength();
    for (int i = 0; i < text.GetLength(); ++i) {
        const int left = dc.GetTextExtent(text, i).cx, right = dc.GetTextExtent(text, i + 1).cx;
        if (x0 + (left + right) / 2 > point.x) {
            at = i;
            break;
        }
    }
    m_anchor = m_caret = at;
    Invalidate(FALSE);
}

void CEdit::OnSetFocus(CWnd*)
{
    if (m_selectAllOnFocus)
        SetSel(0, -1);
    Invalidate(FALSE);
    NotifyParent(EN_SETFOCUS);
}

void CEdit::OnKillFocus(CWnd*)
{
    Invalidate(FALSE);
    NotifyParent(EN_KILLFOCUS);
}

BOOL CEdit::OnEraseBkgnd(CDC*)
{
    return TRUE;
}

CFont* CEdit::TextFont() const
{
    return m_font ? m_font : ControlFont();
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
    dc.SelectObject(TextFont());
    dc.SetBkMode(TRANSPARENT);
    const CString text = GetWindowText();
    int start, end;
    GetSel(start, end);
    start = std::min(start, text.GetLength());
    end = std::min(end, text.GetLength());
    const bool focused = GetFocus() == this;
    const int x0 = inside.left;
    const int width = start > 0 ? dc.GetTextExtent(text, start).cx : 0;
    const int widthEnd = end > 0 ? dc.GetTextExtent(text, end).cx : 0;
    if (focused && start != end)
        dc.FillSolidRect(x0 + width, inside.top, widthEnd - width, inside.Height(), GetSysColor(COLOR_HIGHLIGHT));
    dc.SetTextColor(GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    dc.DrawText(text, &inside, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (focused && start != end) {
        CRect selected(x0 + width, inside.top, x0 + widthEnd, inside.bottom);
        dc.SetTextColor(GetSysColor(COLOR_HIGHLIGHTTEXT));
        const CString part = text.Mid(start, end - start);
        dc.DrawText(part, &selected, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    } else if (focused) {
        const int caret = std::min(m_caret, text.GetLength());
        const int x = x0 + (caret > 0 ? dc.GetTextExtent(text, caret).cx : 0);
        dc.FillSolidRect(x, inside.top + 1, 1, inside.Height() - 2, GetSysColor(COLOR_WINDOWTEXT));
    }
}

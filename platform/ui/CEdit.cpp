#include "platform/ui/CEdit.h"

#include <algorithm>

#include <QClipboard>
#include <QGuiApplication>

#include "platform/ui/CDC.h"
#include "platform/ui/CFont.h"
#include "platform/ui/SystemMetrics.h"

BOOL CEdit::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CWnd::Create(nullptr, "", style, rect, parent, id);
}

void CEdit::SetSel(int start, int end)
{
    const int length = GetLength();
    if (start < 0) {  // Windows' "no selection": the caret stays where it is
        m_anchor = m_caret;
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
}

void CEdit::ReplaceSel(LPCSTR text)
{
    int start, end;
    GetSel(start, end);
    CString now = GetWindowText();
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
    Copy();
    ReplaceSel("");
}

void CEdit::Paste()
{
    if (!QGuiApplication::clipboard())
        return;
    QString text = QGuiApplication::clipboard()->text();
    if (!(GetStyle() & ES_MULTILINE))
        text = text.section(QLatin1Char('\n'), 0, 0);  // a one-line edit takes the first line
    ReplaceSel(text.toUtf8().constData());
}

BOOL CEdit::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    switch (message) {
    case WM_CUT: Cut(); break;
    case WM_COPY: Copy(); break;
    case WM_PASTE: Paste(); break;
    case WM_CLEAR: ReplaceSel(""); break;
    case WM_UNDO: Undo(); break;
    default: return CWnd::OnWndMsg(message, wParam, lParam, result);
    }
    *result = 0;
    return TRUE;
}

void CEdit::OnChar(UINT ch, UINT, UINT)
{
    if (ch == VK_BACK) {
        int start, end;
        GetSel(start, end);
        if (start == end && start > 0)
            m_anchor = start - 1;
        ReplaceSel("");
        return;
    }
    if (ch < 0x20 && !(ch == '\r' && (GetStyle() & ES_MULTILINE)))
        return;
    const char text[2] = {static_cast<char>(ch == '\r' ? '\n' : ch), 0};
    ReplaceSel(text);
}

void CEdit::OnKeyDown(UINT vk, UINT, UINT)
{
    const bool extend = GetKeyState(VK_SHIFT) < 0;
    const int length = GetLength();
    int caret = m_caret;
    switch (vk) {
    case VK_LEFT: caret = std::max(0, caret - 1); break;
    case VK_RIGHT: caret = std::min(length, caret + 1); break;
    case VK_HOME: caret = 0; break;
    case VK_END: caret = length; break;
    case VK_DELETE: {
        int start, end;
        GetSel(start, end);
        if (start == end && end < length)
            m_caret = end + 1, m_anchor = start;
        ReplaceSel("");
        return;
    }
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
    SetFocus();
    // The caret goes before the first character whose middle is right of the point.
    CClientDC dc(this);
    CFont* old = m_font ? dc.SelectObject(m_font) : static_cast<CFont*>(dc.SelectStockObject(DEFAULT_GUI_FONT));
    const CString text = GetWindowText();
    int at = text.GetLength();
    for (int i = 0; i < text.GetLength(); ++i) {
        const int left = dc.GetTextExtent(text, i).cx, right = dc.GetTextExtent(text, i + 1).cx;
        if (2 + (left + right) / 2 > point.x) {
            at = i;
            break;
        }
    }
    if (old)
        dc.SelectObject(old);
    m_anchor = m_caret = at;
    Invalidate(FALSE);
}

void CEdit::OnPaint()
{
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    dc.FillSolidRect(&client, GetSysColor(COLOR_WINDOW));
    CFont* old = m_font ? dc.SelectObject(m_font) : static_cast<CFont*>(dc.SelectStockObject(DEFAULT_GUI_FONT));
    const CString text = GetWindowText();
    int start, end;
    GetSel(start, end);
    const int x0 = 2;
    const int height = dc.GetTextExtent("Ag", 2).cy;
    const int top = std::max(0, (client.Height() - height) / 2);
    dc.SetBkMode(TRANSPARENT);
    if (start < end) {
        CRect sel(x0 + dc.GetTextExtent(text, start).cx, top, x0 + dc.GetTextExtent(text, end).cx, top + height);
        dc.FillSolidRect(&sel, GetSysColor(COLOR_HIGHLIGHT));
    }
    dc.SetTextColor(GetSysColor(COLOR_WINDOWTEXT));
    dc.TextOut(x0, top, text.Left(start));
    dc.SetTextColor(GetSysColor(COLOR_HIGHLIGHTTEXT));
    dc.TextOut(x0 + dc.GetTextExtent(text, start).cx, top, text.Mid(start, end - start));
    dc.SetTextColor(GetSysColor(COLOR_WINDOWTEXT));
    dc.TextOut(x0 + dc.GetTextExtent(text, end).cx, top, text.Mid(end));
    if (GetFocus() == this) {
        const int x = x0 + dc.GetTextExtent(text, m_caret).cx;
        CRect caret(x, top, x + 1, top + height);
        dc.FillSolidRect(&caret, GetSysColor(COLOR_WINDOWTEXT));
    }
    if (old)
        dc.SelectObject(old);
}

#include "platform/ui/CStatic.h"

#include "platform/ui/CBrush.h"
#include "platform/ui/CDC.h"
#include "platform/ui/SystemMetrics.h"

BOOL CStatic::Create(LPCSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateControl("Static", text, style, rect, parent, id);
}

LRESULT CStatic::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_GETDLGCODE)
        return DLGC_STATIC;
    return CControlWnd::WindowProc(message, wParam, lParam);
}

BOOL CStatic::OnEraseBkgnd(CDC*)
{
    return TRUE;  // the paint decides the background with the parent
}

void CStatic::OnPaint()
{
    CPaintDC dc(this);
    CRect r;
    GetClientRect(&r);
    const DWORD type = GetStyle() & SS_TYPEMASK;
    if (type == SS_ETCHEDHORZ) {
        dc.FillSolidRect(&r, GetSysColor(COLOR_BTNFACE));
        CRect line(r.left, r.top, r.right, r.top + 2);
        dc.DrawEdge(&line, EDGE_ETCHED, BF_TOP);
        return;
    }
    dc.SelectObject(ControlFont());
    dc.SetTextColor(GetSysColor(IsWindowEnabled() ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    dc.SetBkMode(TRANSPARENT);
    LRESULT answer = 0;
    if (CWnd* parent = GetParent())
        answer = parent->SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(&dc),
                                     reinterpret_cast<LPARAM>(m_hWnd));
    auto* brush = reinterpret_cast<CBrush*>(answer);
    if (!brush)
        dc.FillSolidRect(&r, GetSysColor(COLOR_BTNFACE));
    else if (brush->Style() != BS_NULL)
        dc.FillRect(&r, brush);
    else if (CWnd* parent = GetParent()) {
        // No background of its own: what the parent shows beneath it.
        CRect under;
        GetWindowRect(&under);
        parent->ScreenToClient(&under);
        CClientDC parentDc(parent);
        dc.BitBlt(0, 0, r.Width(), r.Height(), &parentDc, under.left, under.top, SRCCOPY);
    }
    const UINT align = type == SS_CENTER ? DT_CENTER : type == SS_RIGHT ? DT_RIGHT : DT_LEFT;
    const UINT prefix = (GetStyle() & SS_NOPREFIX) ? DT_NOPREFIX : 0;
    dc.DrawText(GetWindowText(), &r, align | DT_WORDBREAK | prefix);
}

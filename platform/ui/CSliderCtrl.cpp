#include "platform/ui/CSliderCtrl.h"

#include <algorithm>

#include "platform/ui/CDC.h"
#include "platform/ui/SystemMetrics.h"

namespace {
constexpr int kThumbLength = 10;  // along the bar
constexpr int kThumbBreadth = 18;
}

BOOL CSliderCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateControl("msctls_trackbar32", "", style, rect, parent, id);
}

void CSliderCtrl::SetRange(int minimum, int maximum, BOOL)
{
    m_min = minimum;
    m_max = std::max(minimum, maximum);
    m_pos = std::clamp(m_pos, m_min, m_max);
    Invalidate();
}

void CSliderCtrl::SetPos(int pos)
{
    m_pos = std::clamp(pos, m_min, m_max);
    Invalidate();
}

void CSliderCtrl::SetTicFreq(int frequency)
{
    m_ticFreq = frequency;
    Invalidate();
}

LRESULT CSliderCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case TBM_GETPOS: return m_pos;
    case TBM_GETRANGEMIN: return m_min;
    case TBM_GETRANGEMAX: return m_max;
    case TBM_SETPOS: SetPos(static_cast<int>(lParam)); return 0;
    case TBM_SETRANGE: SetRange(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))); return 0;
    case TBM_SETRANGEMIN: SetRange(static_cast<int>(lParam), m_max); return 0;
    case TBM_SETRANGEMAX: SetRange(m_min, static_cast<int>(lParam)); return 0;
    case TBM_SETTICFREQ: SetTicFreq(static_cast<int>(wParam)); return 0;
    case TBM_SETPAGESIZE: { const int old = m_page; m_page = static_cast<int>(lParam); return old; }
    case TBM_GETPAGESIZE: return m_page;
    case TBM_SETLINESIZE: { const int old = m_line; m_line = static_cast<int>(lParam); return old; }
    case TBM_GETLINESIZE: return m_line;
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    default: return CControlWnd::WindowProc(message, wParam, lParam);
    }
}

void CSliderCtrl::Span(int& first, int& last) const
{
    CRect r;
    GetClientRect(&r);
    const int length = Vertical() ? r.Height() : r.Width();
    first = kThumbLength / 2 + 2;
    last = std::max(first, length - kThumbLength / 2 - 2);
}

int CSliderCtrl::PosAt(CPoint point) const
{
    int first = 0, last = 0;
    Span(first, last);
    const int at = Vertical() ? point.y : point.x;
    if (last == first || m_max == m_min)
        return m_min;
    const long long offset = std::clamp(at, first, last) - first;
    return m_min + static_cast<int>((offset * (m_max - m_min) + (last - first) / 2) / (last - first));
}

void CSliderCtrl::Notify(WORD code)
{
    if (CWnd* parent = GetParent())
        parent->SendMessage(Vertical() ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, static_cast<WORD>(m_pos)),
                            reinterpret_cast<LPARAM>(m_hWnd));
}

void CSliderCtrl::OnLButtonDown(UINT, CPoint point)
{
    if (!IsWindowEnabled())
        return;
    SetFocus();
    SetCapture();
    m_dragging = true;
    SetPos(PosAt(point));
    Notify(TB_THUMBTRACK);
}

void CSliderCtrl::OnMouseMove(UINT, CPoint point)
{
    if (!m_dragging)
        return;
    const int next = PosAt(point);
    if (next == m_pos)
        return;
    SetPos(next);
    Notify(TB_THUMBTRACK);
}

void CSliderCtrl::OnLButtonUp(UINT, CPoint)
{
    if (!m_dragging)
        return;
    m_dragging = false;
    ReleaseCapture();
    Notify(TB_THUMBPOSITION);
    Notify(TB_ENDTRACK);
}

void CSliderCtrl::OnCaptureChanged(CWnd*)
{
    if (!m_dragging)
        return;
    m_dragging = false;
    Notify(TB_ENDTRACK);
}

void CSliderCtrl::OnKeyDown(UINT vk, UINT, UINT)
{
    int next = m_pos;
    WORD code = TB_ENDTRACK;
    switch (vk) {
    case VK_LEFT: case VK_UP: next -= m_line; code = TB_LINEUP; break;
    case VK_RIGHT: case VK_DOWN: next += m_line; code = TB_LINEDOWN; break;
    case VK_PRIOR: next -= m_page; code = TB_PAGEUP; break;
    case VK_NEXT: next += m_page; code = TB_PAGEDOWN; break;
    case VK_HOME: next = m_min; code = TB_TOP; break;
    case VK_END: next = m_max; code = TB_BOTTOM; break;
    default: return;
    }
    SetPos(next);
    Notify(code);
    Notify(TB_ENDTRACK);
}

BOOL CSliderCtrl::OnEraseBkgnd(CDC*)
{
    return TRUE;
}

void CSliderCtrl::OnPaint()
{
    CPaintDC dc(this);
    CRect r;
    GetClientRect(&r);
    dc.FillSolidRect(&r, GetSysColor(COLOR_BTNFACE));
    int first = 0, last = 0;
    Span(first, last);
    const bool vertical = Vertical();
    const int middle = vertical ? r.Width() / 2 : r.Height() / 2;
    CRect channel = vertical ? CRect(middle - 2, first, middle + 2, last) : CRect(first, middle - 2, last, middle + 2);
    dc.DrawEdge(&channel, EDGE_SUNKEN, BF_RECT);
    const auto at = [&](int pos) {
        return m_max == m_min ? first : first + static_cast<int>(static_cast<long long>(pos - m_min) * (last - first) / (m_max - m_min));
    };
    const COLORREF tick = GetSysColor(IsWindowEnabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
    if (!(GetStyle() & TBS_NOTICKS) && m_ticFreq > 0) {
        for (long long pos = m_min; pos <= m_max; pos += m_ticFreq) {
            const int p = at(static_cast<int>(pos));
            if (vertical)
                dc.FillSolidRect(r.right - 4, p, 3, 1, tick);
            else
                dc.FillSolidRect(p, r.bottom - 4, 1, 3, tick);
        }
    }
    const int p = at(m_pos);
    CRect thumb = vertical ? CRect(middle - kThumbBreadth / 2, p - kThumbLength / 2, middle + kThumbBreadth / 2, p + kThumbLength / 2)
                           : CRect(p - kThumbLength / 2, middle - kThumbBreadth / 2, p + kThumbLength / 2, middle + kThumbBreadth / 2);
    dc.FillSolidRect(&thumb, GetSysColor(COLOR_BTNFACE));
    dc.DrawEdge(&thumb, EDGE_RAISED, BF_RECT);
}

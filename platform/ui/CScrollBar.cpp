#include "platform/ui/CScrollBar.h"

#include <algorithm>

#include "platform/ui/CDC.h"
#include "platform/ui/SystemMetrics.h"

namespace mvui {

int ApplyScrollInfo(SCROLLINFO& bar, const SCROLLINFO& given)
{
    if (given.fMask & SIF_RANGE) {
        bar.nMin = given.nMin;
        bar.nMax = std::max(given.nMin, given.nMax);
    }
    if (given.fMask & SIF_PAGE)
        bar.nPage = std::min<UINT>(given.nPage, static_cast<UINT>(bar.nMax - bar.nMin + 1));
    if (given.fMask & SIF_POS)
        bar.nPos = given.nPos;
    if (given.fMask & SIF_TRACKPOS)
        bar.nTrackPos = given.nTrackPos;
    const int top = std::max(bar.nMin, bar.nMax - std::max(static_cast<int>(bar.nPage) - 1, 0));
    bar.nPos = std::clamp(bar.nPos, bar.nMin, top);
    return bar.nPos;
}

void ReadScrollInfo(const SCROLLINFO& bar, SCROLLINFO& out, UINT mask)
{
    out.fMask = mask;
    if (mask & SIF_RANGE) {
        out.nMin = bar.nMin;
        out.nMax = bar.nMax;
    }
    if (mask & SIF_PAGE)
        out.nPage = bar.nPage;
    if (mask & SIF_POS)
        out.nPos = bar.nPos;
    if (mask & SIF_TRACKPOS)
        out.nTrackPos = bar.nTrackPos;
}

}  // namespace mvui

BOOL CScrollBar::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CWnd::Create(nullptr, "", style, rect, parent, id);
}

BOOL CScrollBar::SetScrollInfo(LPSCROLLINFO info, BOOL redraw)
{
    if (!info || !m_hWnd)
        return FALSE;
    SendMessage(SBM_SETSCROLLINFO, redraw, reinterpret_cast<LPARAM>(info));
    return TRUE;
}

BOOL CScrollBar::GetScrollInfo(LPSCROLLINFO info, UINT mask)
{
    if (!info || !m_hWnd)
        return FALSE;
    info->fMask = mask;
    return SendMessage(SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(info)) != 0;
}

int CScrollBar::GetScrollPos()
{
    return static_cast<int>(SendMessage(SBM_GETPOS));
}

int CScrollBar::SetScrollPos(int pos, BOOL redraw)
{
    return static_cast<int>(SendMessage(SBM_SETPOS, static_cast<WPARAM>(pos), redraw));
}

void CScrollBar::SetScrollRange(int minPos, int maxPos, BOOL redraw)
{
    SendMessage(redraw ? SBM_SETRANGEREDRAW : SBM_SETRANGE, static_cast<WPARAM>(minPos), maxPos);
}

LRESULT CScrollBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case SBM_SETPOS: {
        const int old = m_info.nPos;
        SCROLLINFO si{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, static_cast<int>(wParam), 0};
        mvui::ApplyScrollInfo(m_info, si);
        if (lParam)
            Invalidate();
        return old;
    }
    case SBM_GETPOS:
        return m_info.nPos;
    case SBM_SETRANGE:
    case SBM_SETRANGEREDRAW: {
        const int old = m_info.nPos;
        SCROLLINFO si{sizeof(SCROLLINFO), SIF_RANGE, static_cast<int>(wParam), static_cast<int>(lParam), 0, 0, 0};
        mvui::ApplyScrollInfo(m_info, si);
        if (message == SBM_SETRANGEREDRAW)
            Invalidate();
        return old;
    }
    case SBM_GETRANGE:
        if (wParam)
            *reinterpret_cast<int*>(wParam) = m_info.nMin;
        if (lParam)
            *reinterpret_cast<int*>(lParam) = m_info.nMax;
        return 0;
    case SBM_SETSCROLLINFO:
        if (!lParam)
            return 0;
        mvui::ApplyScrollInfo(m_info, *reinterpret_cast<const SCROLLINFO*>(lParam));
        if (wParam)
            Invalidate();
        return m_info.nPos;
    case SBM_GETSCROLLINFO: {
        if (!lParam)
            return FALSE;
        auto* out = reinterpret_cast<SCROLLINFO*>(lParam);
        mvui::ReadScrollInfo(m_info, *out, out->fMask);
        return TRUE;
    }
    default:
        return CWnd::WindowProc(message, wParam, lParam);
    }
}

CRect CScrollBar::ThumbRect() const
{
    CRect c;
    GetClientRect(&c);
    const int length = IsVertical() ? c.Height() : c.Width();
    const int span = m_info.nMax - m_info.nMin + 1;
    int thumb = length;
    int offset = 0;
    if (span > 0 && static_cast<int>(m_info.nPage) < span) {
        thumb = std::max(8, static_cast<int>(static_cast<long long>(length) * std::max<UINT>(m_info.nPage, 1) / span));
        thumb = std::min(thumb, length);
        const int travel = span - static_cast<int>(std::max<UINT>(m_info.nPage, 1));
        if (travel > 0)
            offset = static_cast<int>(static_cast<long long>(length - thumb) * (m_info.nPos - m_info.nMin) / travel);
    }
    return IsVertical() ? CRect(0, offset, c.right, offset + thumb) : CRect(offset, 0, offset + thumb, c.bottom);
}

void CScrollBar::OnPaint()
{
    CPaintDC dc(this);
    CRect c;
    GetClientRect(&c);
    dc.FillSolidRect(&c, GetSysColor(COLOR_SCROLLBAR));
    if (!IsWindowEnabled())
        return;
    CRect t = ThumbRect();
    dc.FillSolidRect(&t, GetSysColor(COLOR_BTNFACE));
    dc.DrawEdge(&t, EDGE_RAISED, BF_RECT);
}

void CScrollBar::OnLButtonDown(UINT, CPoint point)
{
    CWnd* parent = GetParent();
    if (!parent)
        return;
    const CRect t = ThumbRect();
    const bool before = IsVertical() ? point.y < t.top : point.x < t.left;
    const bool after = IsVertical() ? point.y >= t.bottom : point.x >= t.right;
    if (!before && !after)
        return;
    const UINT code = before ? SB_PAGEUP : SB_PAGEDOWN;
    parent->SendMessage(IsVertical() ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(static_cast<WORD>(code), 0),
                        reinterpret_cast<LPARAM>(m_hWnd));
}

#include "uikit/CSplitterWndEx.h"

#include <algorithm>

#include "platform/ui/CDC.h"
#include "platform/ui/CView.h"
#include "platform/ui/SystemMetrics.h"

CSplitterWndEx::CSplitterWndEx(IRecalcLayoutHook* layoutHook, IDoubleClickHook* doubleClickHook,
                               BOOL paintMarkedBorder, BOOL locked)
    : m_layoutHook(layoutHook), m_doubleClickHook(doubleClickHook), m_paintMarkedBorder(paintMarkedBorder),
      m_locked(locked)
{
}

void CSplitterWndEx::SetThinBars()
{
    m_cxSplitter = m_cySplitter = 1;
    m_cxSplitterGap = m_cySplitterGap = 1;
    m_cxBorder = m_cyBorder = 0;
}

COLORREF CSplitterWndEx::GetBarColor() const
{
    return m_barColor == kSystemFace ? GetSysColor(COLOR_BTNFACE) : m_barColor;
}

BOOL CSplitterWndEx::IsBarMarked(int row, int column) const
{
    return m_markedCells.count({row, column}) != 0;
}

void CSplitterWndEx::SetBarMarked(int row, int column, BOOL marked)
{
    if (marked)
        m_markedCells.insert({row, column});
    else
        m_markedCells.erase({row, column});
}

int CSplitterWndEx::GetVScrollWidth() const
{
    return std::max(GetSystemMetrics(SM_CXVSCROLL), m_layoutHook ? m_layoutHook->GetVScrollBarWidth() : 0);
}

int CSplitterWndEx::GetHScrollHeight() const
{
    return std::max(GetSystemMetrics(SM_CYHSCROLL), m_layoutHook ? m_layoutHook->GetHScrollBarHeight() : 0);
}

void CSplitterWndEx::ShowScrollBars(BOOL show)
{
    for (int c = 1; c < GetColumnCount(); ++c)
        if (CWnd* bar = GetDlgItem(static_cast<int>(AFX_IDW_HSCROLL_FIRST) + c))
            bar->ShowWindow(show ? SW_SHOW : SW_HIDE);
    for (int r = 1; r < GetRowCount(); ++r)
        if (CWnd* bar = GetDlgItem(static_cast<int>(AFX_IDW_VSCROLL_FIRST) + r))
            bar->ShowWindow(show ? SW_SHOW : SW_HIDE);
}

BOOL CSplitterWndEx::PreCreateWindow(CREATESTRUCT& cs)
{
    if (!CSplitterWnd::PreCreateWindow(cs))
        return FALSE;
    cs.style |= WS_CLIPCHILDREN;
    return TRUE;
}

void CSplitterWndEx::RecalcLayout()
{
    const BOOL locked = LockWindowUpdate();
    if (m_layoutHook)
        ShowScrollBars(FALSE);
    CSplitterWnd::RecalcLayout();
    if (m_layoutHook) {
        m_layoutHook->OnRecalcLayout(this);
        ShowScrollBars(TRUE);
    }
    if (locked)
        UnlockWindowUpdate();
}

void CSplitterWndEx::GetInsideRect(CRect& rect) const
{
    GetClientRect(&rect);
    rect.DeflateRect(m_cxBorder, m_cyBorder);
    // The bars take the width the hook asks for.
    if (m_bHasVScroll)
        rect.right += m_cxBorder - GetVScrollWidth();
    if (m_bHasHScroll)
        rect.bottom += m_cyBorder - GetHScrollHeight();
}

void CSplitterWndEx::DrawColumnBars(CDC* dc, int limit)
{
    for (int c = 0; c + 1 < GetColumnCount(); ++c) {
        CRect bar = BarRect(hSplitterBar1 + c);
        if (bar.left > limit)
            break;
        bar.DeflateRect((m_cxSplitterGap - m_cxSplitter) / 2, 0);
        OnDrawSplitter(dc, splitBar, bar);
    }
}

void CSplitterWndEx::DrawRowBars(CDC* dc, int limit)
{
    for (int r = 0; r + 1 < GetRowCount(); ++r) {
        CRect bar = BarRect(vSplitterBar1 + r);
        if (bar.top > limit)
            break;
        bar.DeflateRect(0, (m_cySplitterGap - m_cySplitter) / 2);
        OnDrawSplitter(dc, splitBar, bar);
    }
}

void CSplitterWndEx::DrawAllSplitBars(CDC* dc, int cxInside, int cyInside)
{
    DrawColumnBars(dc, cxInside);
    DrawRowBars(dc, cyInside);
    CRect inside;
    GetInsideRect(inside);
    int x = inside.left;
    for (int c = 0; c < GetColumnCount(); ++c) {
        int cx = m_columns[static_cast<std::size_t>(c)].nCurSize;
        if (c + 1 == GetColumnCount() && m_bHasVScroll)
            cx += GetVScrollWidth();
        int y = inside.top;
        for (int r = 0; r < GetRowCount(); ++r) {
            int cy = m_rows[static_cast<std::size_t>(r)].nCurSize;
            if (r + 1 == GetRowCount() && m_bHasHScroll)
                cy += GetHScrollHeight();
            CRect cell(x, y, x + cx, y + cy);
            cell.InflateRect(m_cxBorder, m_cyBorder);
            if (IsBarMarked(r, c)) {
                // A solid block round whatever the pane leaves of its cell.
                if (dc) {
                    const int saved = dc->SaveDC();
                    if (CWnd* pane = GetPane(r, c)) {
                        CRect paneRect;
                        pane->GetWindowRect(&paneRect);
                        ScreenToClient(&paneRect);
                        dc->ExcludeClipRect(&paneRect);
                    }
                    dc->FillSolidRect(&cell, GetBarColor());
                    dc->RestoreDC(saved);
                } else {
                    InvalidateRect(&cell);
                }
            } else if (m_rows[static_cast<std::size_t>(r)].nCurSize != 0) {
                if (m_cxBorder > 0 || m_cyBorder > 0)
                    OnDrawSplitter(dc, splitBorder, cell);
            } else {
                OnDrawSplitter(dc, splitBox, CRect(cell.left, y - m_cySplitterGap, cell.right, y));
            }
            y += m_rows[static_cast<std::size_t>(r)].nCurSize + m_cySplitterGap;
        }
        x += m_columns[static_cast<std::size_t>(c)].nCurSize + m_cxSplitterGap;
    }
    const CRect corner(inside.right, inside.bottom, inside.right + GetVScrollWidth() + 1,
                       inside.bottom + GetHScrollHeight() + 1);
    if (!(m_bHasHScroll && m_bHasVScroll))
        return;
    if (dc)
        dc->FillSolidRect(&corner, GetBarColor());
    else
        InvalidateRect(&corner);
}

void CSplitterWndEx::OnDrawSplitter(CDC* dc, ESplitType type, const CRect& rect)
{
    if (type == splitBorder) {
        CSplitterWnd::OnDrawSplitter(dc, type, rect);
        return;
    }
    if (!dc) {
        InvalidateRect(&rect);
        return;
    }
    dc->FillSolidRect(&rect, GetBarColor());
}

void CSplitterWndEx::OnPaint()
{
    CSplitterWnd::OnPaint();
    CClientDC dc(this);
    CRect client, inside;
    GetClientRect(&client);
    GetInsideRect(inside);
    CWnd* frame = GetParent();
    if (frame && (frame->GetStyle() & WS_BORDER)) {
        CRect top(client.left, client.top, client.right, client.top + 2);
        dc.DrawEdge(&top, BDR_SUNKENOUTER, BF_TOP);
    }
    // The strips of the shared bars, under and beside the panes.
    if (m_bHasHScroll) {
        CRect strip(client.left, inside.bottom - (m_paintMarkedBorder ? 2 : 0), client.right, client.bottom);
        dc.FillSolidRect(&strip, GetBarColor());
    }
    if (m_bHasVScroll) {
        CRect strip(inside.right, client.top, client.right, client.bottom);
        dc.FillSolidRect(&strip, GetBarColor());
    }
}

BOOL CSplitterWndEx::OnMouseWheel(UINT flags, short delta, CPoint screen)
{
    for (int r = 0; r < GetRowCount(); ++r)
        for (int c = 0; c < GetColumnCount(); ++c) {
            auto* view = dynamic_cast<CView*>(GetPane(r, c));
            CRect rect;
            if (!view)
                continue;
            view->GetWindowRect(&rect);
            if (!rect.PtInRect(screen))
                continue;
            // One step per message, whatever the size of the delta.
            const bool forward = delta > 0;
            const bool pages = (flags & MK_SHIFT) != 0;
            const UINT step = forward ? (pages ? SB_PAGEUP : SB_LINEUP) : (pages ? SB_PAGEDOWN : SB_LINEDOWN);
            const UINT code = (flags & MK_CONTROL) ? (0xFF00 | step) : ((step << 8) | 0xFF);
            return DoScroll(view, code, TRUE);
        }
    return FALSE;
}

void CSplitterWndEx::OnLButtonDblClk(UINT flags, CPoint point)
{
    CSplitterWnd::OnLButtonDblClk(flags, point);
    if (m_doubleClickHook)
        m_doubleClickHook->OnSplitterDoubleClick(HitTest(point));
}

void CSplitterWndEx::OnLButtonDown(UINT flags, CPoint point)
{
    if (m_locked) {
        CWnd::OnLButtonDown(flags, point);
        return;
    }
    m_lastDragPoint = CPoint(-1, -1);
    CSplitterWnd::OnLButtonDown(flags, point);
}

BOOL CSplitterWndEx::OnSetCursor(CWnd* wnd, UINT hitCode, UINT message)
{
    if (m_locked)
        return CWnd::OnSetCursor(wnd, hitCode, message);
    return CSplitterWnd::OnSetCursor(wnd, hitCode, message);
}

void CSplitterWndEx::OnMouseMove(UINT flags, CPoint point)
{
    if (m_locked) {
        CWnd::OnMouseMove(flags, point);
        return;
    }
    if (m_bTracking && GetCapture() != this)
        StopTracking(FALSE);
    if (!m_bTracking) {
        SetSplitCursor(HitTest(point));
        return;
    }
    CPoint p = point + m_ptTrackOffset;
    p.x = std::clamp<LONG>(p.x, m_rectLimit.left, std::max(m_rectLimit.left, m_rectLimit.right));
    p.y = std::clamp<LONG>(p.y, m_rectLimit.top, std::max(m_rectLimit.top, m_rectLimit.bottom));
    const bool rowBar = m_htTrack >= vSplitterBar1 && m_htTrack <= vSplitterBar15;
    const bool columnBar = m_htTrack >= hSplitterBar1 && m_htTrack <= hSplitterBar15;
    const bool both = m_htTrack >= splitterIntersection1 && m_htTrack <= splitterIntersection225;
    if (rowBar || both)
        m_rectTracker.OffsetRect(0, p.y - m_rectTracker.top);
    CRect& horizontal = both ? m_rectTracker2 : m_rectTracker;
    if (columnBar || both)
        horizontal.OffsetRect(p.x - horizontal.left, 0);
    if (p == m_lastDragPoint)
        return;
    m_lastDragPoint = p;
    if (rowBar)
        TrackRowSize(m_rectTracker.top, m_htTrack - vSplitterBar1);
    else if (columnBar)
        TrackColumnSize(m_rectTracker.left, m_htTrack - hSplitterBar1);
    else if (both) {
        TrackRowSize(m_rectTracker.top, (m_htTrack - splitterIntersection1) / 15);
        TrackColumnSize(m_rectTracker2.left, (m_htTrack - splitterIntersection1) % 15);
    } else {
        return;
    }
    RecalcLayout();
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

#include "platform/ui/CSplitterWnd.h"

#include <algorithm>

#include "platform/ui/CDC.h"
#include "platform/ui/SystemMetrics.h"

namespace {

constexpr int kMaxRowsOrColumns = 16;

// Sizes along one axis: every row (column) but the last gets its ideal
// size, none when that is below its minimum, as far as room remains; the
// last takes the rest.
void LayoutAxis(std::vector<int>& ideal, std::vector<int>& minimum,
                std::vector<int>& current, int size, int gap)
{
    int left = std::max(size, 0);
    const std::size_t n = ideal.size();
    for (std::size_t i = 0; i + 1 < n; ++i) {
        int cur = ideal[i] < minimum[i] ? 0 : ideal[i];
        cur = std::min(cur, left);
        current[i] = cur;
        left = std::max(left - cur - gap, 0);
    }
    if (n > 0)
        current[n - 1] = left;
}

}  // namespace

CSplitterWnd::CSplitterWnd() = default;
CSplitterWnd::~CSplitterWnd() = default;

BOOL CSplitterWnd::PreCreateWindow(CREATESTRUCT&)
{
    return TRUE;
}

BOOL CSplitterWnd::CreateStatic(CWnd* parent, int rows, int columns, DWORD style, UINT id)
{
    if (!parent || rows < 1 || columns < 1 || rows > kMaxRowsOrColumns || columns > kMaxRowsOrColumns)
        return FALSE;
    m_rows.assign(static_cast<std::size_t>(rows), CRowColInfo{});
    m_columns.assign(static_cast<std::size_t>(columns), CRowColInfo{});
    m_bHasHScroll = (style & WS_HSCROLL) != 0;
    m_bHasVScroll = (style & WS_VSCROLL) != 0;
    CREATESTRUCT cs{nullptr, parent->m_hWnd, id, 0, 0, 0, 0, style & ~(WS_HSCROLL | WS_VSCROLL),
                    "", nullptr};
    if (!PreCreateWindow(cs))
        return FALSE;
    CRect rect;
    parent->GetClientRect(&rect);
    if (!Create(nullptr, "", cs.style, rect, parent, id))
        return FALSE;
    if (m_bHasHScroll)
        for (int c = 0; c < columns; ++c) {
            auto bar = std::make_unique<CScrollBar>();
            bar->Create(WS_CHILD | WS_VISIBLE | SBS_HORZ, CRect(), this, AFX_IDW_HSCROLL_FIRST + static_cast<UINT>(c));
            m_hBars.push_back(std::move(bar));
        }
    if (m_bHasVScroll)
        for (int r = 0; r < rows; ++r) {
            auto bar = std::make_unique<CScrollBar>();
            bar->Create(WS_CHILD | WS_VISIBLE | SBS_VERT, CRect(), this, AFX_IDW_VSCROLL_FIRST + static_cast<UINT>(r));
            m_vBars.push_back(std::move(bar));
        }
    return TRUE;
}

BOOL CSplitterWnd::CreateView(int row, int column, CWnd* pane, SIZE size)
{
    if (!pane || row < 0 || column < 0 || row >= GetRowCount() || column >= GetColumnCount() ||
        GetPane(row, column))
        return FALSE;
    m_rows[static_cast<std::size_t>(row)].nIdealSize = size.cy;
    m_columns[static_cast<std::size_t>(column)].nIdealSize = size.cx;
    return pane->Create(nullptr, "", WS_CHILD | WS_VISIBLE, CRect(0, 0, size.cx, size.cy), this,
                        static_cast<UINT>(IdFromRowCol(row, column)));
}

CWnd* CSplitterWnd::GetPane(int row, int column) const
{
    if (row < 0 || column < 0 || row >= GetRowCount() || column >= GetColumnCount())
        return nullptr;
    return GetDlgItem(IdFromRowCol(row, column));
}

BOOL CSplitterWnd::IsChildPane(const CWnd* wnd, int* row, int* column) const
{
    if (!wnd || wnd->GetParent() != this)
        return FALSE;
    const int id = static_cast<int>(wnd->GetDlgCtrlID()) - static_cast<int>(AFX_IDW_PANE_FIRST);
    const int r = id / 16, c = id % 16;
    if (id < 0 || r >= GetRowCount() || c >= GetColumnCount())
        return FALSE;
    if (row)
        *row = r;
    if (column)
        *column = c;
    return TRUE;
}

void CSplitterWnd::SetRowInfo(int row, int ideal, int minimum)
{
    if (row < 0 || row >= GetRowCount())
        return;
    m_rows[static_cast<std::size_t>(row)].nIdealSize = ideal;
    m_rows[static_cast<std::size_t>(row)].nMinSize = minimum;
}

void CSplitterWnd::GetRowInfo(int row, int& current, int& minimum) const
{
    current = minimum = 0;
    if (row < 0 || row >= GetRowCount())
        return;
    current = m_rows[static_cast<std::size_t>(row)].nCurSize;
    minimum = m_rows[static_cast<std::size_t>(row)].nMinSize;
}

void CSplitterWnd::SetColumnInfo(int column, int ideal, int minimum)
{
    if (column < 0 || column >= GetColumnCount())
        return;
    m_columns[static_cast<std::size_t>(column)].nIdealSize = ideal;
    m_columns[static_cast<std::size_t>(column)].nMinSize = minimum;
}

void CSplitterWnd::GetColumnInfo(int column, int& current, int& minimum) const
{
    current = minimum = 0;
    if (column < 0 || column >= GetColumnCount())
        return;
    current = m_columns[static_cast<std::size_t>(column)].nCurSize;
    minimum = m_columns[static_cast<std::size_t>(column)].nMinSize;
}

CScrollBar* CSplitterWnd::SharedBar(int bar, int index) const
{
    const auto& bars = bar == SB_HORZ ? m_hBars : m_vBars;
    if (index < 0 || index >= static_cast<int>(bars.size()) || !IsWindow(bars[static_cast<std::size_t>(index)]->m_hWnd))
        return nullptr;
    return bars[static_cast<std::size_t>(index)].get();
}

CScrollBar* CSplitterWnd::GetPaneScrollBar(const CWnd* pane, int bar) const
{
    int row = 0, column = 0;
    if (!IsChildPane(pane, &row, &column))
        return nullptr;
    return SharedBar(bar, bar == SB_HORZ ? column : row);
}

void CSplitterWnd::GetInsideRect(CRect& rect) const
{
    GetClientRect(&rect);
    rect.DeflateRect(m_cxBorder, m_cyBorder);
    if (m_bHasVScroll)
        rect.right -= GetSystemMetrics(SM_CXVSCROLL) - 1;
    if (m_bHasHScroll)
        rect.bottom -= GetSystemMetrics(SM_CYHSCROLL) - 1;
}

void CSplitterWnd::RecalcLayout()
{
    if (!IsWindow(m_hWnd) || m_rows.empty())
        return;
    CRect client, inside;
    GetClientRect(&client);
    GetInsideRect(inside);
    auto layout = [](std::vector<CRowColInfo>& infos, int size, int gap) {
        std::vector<int> ideal, minimum, current(infos.size());
        for (const CRowColInfo& i : infos) {
            ideal.push_back(i.nIdealSize);
            minimum.push_back(i.nMinSize);
        }
        LayoutAxis(ideal, minimum, current, size, gap);
        for (std::size_t i = 0; i < infos.size(); ++i)
            infos[i].nCurSize = current[i];
    };
    layout(m_columns, inside.Width(), m_cxSplitterGap);
    layout(m_rows, inside.Height(), m_cySplitterGap);

    int x = inside.left;
    for (int c = 0; c < GetColumnCount(); ++c) {
        const int cx = m_columns[static_cast<std::size_t>(c)].nCurSize;
        int y = inside.top;
        for (int r = 0; r < GetRowCount(); ++r) {
            const int cy = m_rows[static_cast<std::size_t>(r)].nCurSize;
            if (CWnd* pane = GetPane(r, c))
                pane->MoveWindow(x, y, cx, cy, FALSE);
            if (c == 0)
                if (CScrollBar* bar = SharedBar(SB_VERT, r))
                    bar->MoveWindow(inside.right, y, std::max(client.right - inside.right, 0), cy, FALSE);
            y += cy + m_cySplitterGap;
        }
        if (CScrollBar* bar = SharedBar(SB_HORZ, c))
            bar->MoveWindow(x, inside.bottom, cx, std::max(client.bottom - inside.bottom, 0), FALSE);
        x += cx + m_cxSplitterGap;
    }
    Invalidate();
}

CRect CSplitterWnd::BarRect(int hit) const
{
    CRect inside;
    GetInsideRect(inside);
    if (hit >= vSplitterBar1 && hit <= vSplitterBar15) {
        const int row = hit - vSplitterBar1;
        int y = inside.top;
        for (int r = 0; r < row && r < GetRowCount(); ++r)
            y += m_rows[static_cast<std::size_t>(r)].nCurSize + m_cySplitterGap;
        if (row < GetRowCount())
            y += m_rows[static_cast<std::size_t>(row)].nCurSize;
        return CRect(inside.left, y, inside.right, y + m_cySplitterGap);
    }
    if (hit >= hSplitterBar1 && hit <= hSplitterBar15) {
        const int column = hit - hSplitterBar1;
        int x = inside.left;
        for (int c = 0; c < column && c < GetColumnCount(); ++c)
            x += m_columns[static_cast<std::size_t>(c)].nCurSize + m_cxSplitterGap;
        if (column < GetColumnCount())
            x += m_columns[static_cast<std::size_t>(column)].nCurSize;
        return CRect(x, inside.top, x + m_cxSplitterGap, inside.bottom);
    }
    return CRect();
}

int CSplitterWnd::HitTest(CPoint point) const
{
    CRect inside;
    GetInsideRect(inside);
    int row = -1, column = -1;
    for (int r = 0; r + 1 < GetRowCount() && row < 0; ++r) {
        const CRect bar = BarRect(vSplitterBar1 + r);
        if (point.y >= bar.top && point.y < bar.bottom)
            row = r;
    }
    for (int c = 0; c + 1 < GetColumnCount() && column < 0; ++c) {
        const CRect bar = BarRect(hSplitterBar1 + c);
        if (point.x >= bar.left && point.x < bar.right)
            column = c;
    }
    CRect client;
    GetClientRect(&client);
    if (!client.PtInRect(point))
        return noHit;
    if (row >= 0 && column >= 0)
        return splitterIntersection1 + row * 15 + column;
    if (column >= 0 && point.y >= inside.top && point.y < inside.bottom)
        return hSplitterBar1 + column;
    if (row >= 0 && point.x >= inside.left && point.x < inside.right)
        return vSplitterBar1 + row;
    return noHit;
}

void CSplitterWnd::TrackerLimits(int hit, CRect& limit) const
{
    GetInsideRect(limit);
    if (hit >= vSplitterBar1 && hit <= vSplitterBar15) {
        // From the top of the row above the bar to the bottom of the row below it.
        const CRect above = BarRect(hit);
        const int row = hit - vSplitterBar1;
        limit.top = above.top - m_rows[static_cast<std::size_t>(row)].nCurSize;
        if (row + 1 < GetRowCount())
            limit.bottom = above.bottom + m_rows[static_cast<std::size_t>(row + 1)].nCurSize - m_cySplitterGap;
    } else if (hit >= hSplitterBar1 && hit <= hSplitterBar15) {
        const CRect left = BarRect(hit);
        const int column = hit - hSplitterBar1;
        limit.left = left.left - m_columns[static_cast<std::size_t>(column)].nCurSize;
        if (column + 1 < GetColumnCount())
            limit.right = left.right + m_columns[static_cast<std::size_t>(column + 1)].nCurSize - m_cxSplitterGap;
    }
}

void CSplitterWnd::StartTracking(int hit)
{
    if (hit == noHit || (hit >= vSplitterBox && hit <= bothSplitterBox))
        return;
    m_bTracking2 = FALSE;
    if (hit >= splitterIntersection1 && hit <= splitterIntersection225) {
        const int row = (hit - splitterIntersection1) / 15, column = (hit - splitterIntersection1) % 15;
        CRect rowLimit, columnLimit;
        TrackerLimits(vSplitterBar1 + row, rowLimit);
        TrackerLimits(hSplitterBar1 + column, columnLimit);
        m_rectLimit.SetRect(columnLimit.left, rowLimit.top, columnLimit.right, rowLimit.bottom);
        m_rectTracker = BarRect(vSplitterBar1 + row);
        m_rectTracker2 = BarRect(hSplitterBar1 + column);
        m_bTracking2 = TRUE;
    } else {
        TrackerLimits(hit, m_rectLimit);
        m_rectTracker = BarRect(hit);
    }
    POINT cursor{};
    GetCursorPos(&cursor);
    ScreenToClient(&cursor);
    m_ptTrackOffset = CPoint(m_bTracking2 ? m_rectTracker2.left - cursor.x : m_rectTracker.left - cursor.x,
                             m_rectTracker.top - cursor.y);
    m_htTrack = hit;
    m_bTracking = TRUE;
    SetCapture();
    OnInvertTracker(m_rectTracker);
    if (m_bTracking2)
        OnInvertTracker(m_rectTracker2);
    SetSplitCursor(hit);
}

void CSplitterWnd::StopTracking(BOOL accept)
{
    if (!m_bTracking)
        return;
    // Cleared first: releasing the capture comes back here through WM_CAPTURECHANGED.
    m_bTracking = FALSE;
    OnInvertTracker(m_rectTracker);
    if (m_bTracking2)
        OnInvertTracker(m_rectTracker2);
    if (GetCapture() == this)
        ReleaseCapture();
    const int hit = m_htTrack;
    m_htTrack = noHit;
    if (!accept)
        return;
    if (hit >= vSplitterBar1 && hit <= vSplitterBar15) {
        TrackRowSize(m_rectTracker.top, hit - vSplitterBar1);
    } else if (hit >= hSplitterBar1 && hit <= hSplitterBar15) {
        TrackColumnSize(m_rectTracker.left, hit - hSplitterBar1);
    } else if (hit >= splitterIntersection1 && hit <= splitterIntersection225) {
        TrackRowSize(m_rectTracker.top, (hit - splitterIntersection1) / 15);
        TrackColumnSize(m_rectTracker2.left, (hit - splitterIntersection1) % 15);
    } else {
        return;
    }
    RecalcLayout();
}

void CSplitterWnd::TrackRowSize(int y, int row)
{
    if (row < 0 || row + 1 >= GetRowCount())
        return;
    CPoint point(0, y);
    ClientToScreen(&point);
    if (CWnd* pane = GetPane(row, 0))
        pane->ScreenToClient(&point);
    CRowColInfo& info = m_rows[static_cast<std::size_t>(row)];
    // Smaller than its minimum, the row goes away.
    info.nIdealSize = point.y < info.nMinSize ? 0 : static_cast<int>(point.y);
}

void CSplitterWnd::TrackColumnSize(int x, int column)
{
    if (column < 0 || column + 1 >= GetColumnCount())
        return;
    CPoint point(x, 0);
    ClientToScreen(&point);
    if (CWnd* pane = GetPane(0, column))
        pane->ScreenToClient(&point);
    CRowColInfo& info = m_columns[static_cast<std::size_t>(column)];
    info.nIdealSize = point.x < info.nMinSize ? 0 : static_cast<int>(point.x);
}

void CSplitterWnd::SetSplitCursor(int hit)
{
    UINT_PTR id = IDC_ARROW;
    if (hit >= vSplitterBar1 && hit <= vSplitterBar15)
        id = IDC_SIZENS;
    else if (hit >= hSplitterBar1 && hit <= hSplitterBar15)
        id = IDC_SIZEWE;
    else if (hit >= splitterIntersection1 && hit <= splitterIntersection225)
        id = IDC_SIZEALL;
    ::SetCursor(LoadCursor(nullptr, id));
}

void CSplitterWnd::OnInvertTracker(const CRect& rect)
{
    if (rect.IsRectEmpty())
        return;
    CClientDC dc(this);
    CBrush halftone(RGB(128, 128, 128));
    CBrush* old = dc.SelectObject(&halftone);
    dc.PatBlt(rect.left, rect.top, rect.Width(), rect.Height(), PATINVERT);
    dc.SelectObject(old);
}

void CSplitterWnd::OnDrawSplitter(CDC* dc, ESplitType type, const CRect& rect)
{
    if (!dc) {
        InvalidateRect(&rect);
        return;
    }
    if (type == splitBorder) {
        CRect r = rect;
        dc->Draw3dRect(&r, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
        r.DeflateRect(1, 1);
        dc->Draw3dRect(&r, GetSysColor(COLOR_3DDKSHADOW), GetSysColor(COLOR_3DLIGHT));
        return;
    }
    dc->FillSolidRect(&rect, GetSysColor(COLOR_BTNFACE));
}

void CSplitterWnd::DrawAllSplitBars(CDC* dc, int cxInside, int cyInside)
{
    CRect inside;
    GetInsideRect(inside);
    for (int c = 0; c + 1 < GetColumnCount(); ++c) {
        CRect bar = BarRect(hSplitterBar1 + c);
        if (bar.left > cxInside)
            break;
        bar.DeflateRect((m_cxSplitterGap - m_cxSplitter) / 2, 0);
        bar.top = 0;
        bar.bottom = cyInside + m_cyBorder;
        OnDrawSplitter(dc, splitBar, bar);
    }
    for (int r = 0; r + 1 < GetRowCount(); ++r) {
        CRect bar = BarRect(vSplitterBar1 + r);
        if (bar.top > cyInside)
            break;
        bar.DeflateRect(0, (m_cySplitterGap - m_cySplitter) / 2);
        bar.left = 0;
        bar.right = cxInside + m_cxBorder;
        OnDrawSplitter(dc, splitBar, bar);
    }
    for (int c = 0; c < GetColumnCount(); ++c)
        for (int r = 0; r < GetRowCount(); ++r)
            if (CWnd* pane = GetPane(r, c)) {
                CRect border;
                pane->GetWindowRect(&border);
                ScreenToClient(&border);
                border.InflateRect(m_cxBorder, m_cyBorder);
                if (m_cxBorder > 0 || m_cyBorder > 0)
                    OnDrawSplitter(dc, splitBorder, border);
            }
}

void CSplitterWnd::OnPaint()
{
    CPaintDC dc(this);
    CRect client, inside;
    GetClientRect(&client);
    GetInsideRect(inside);
    dc.FillSolidRect(&client, GetSysColor(COLOR_BTNFACE));
    DrawAllSplitBars(&dc, inside.right, inside.bottom);
}

void CSplitterWnd::OnSize(UINT type, int cx, int cy)
{
    CWnd::OnSize(type, cx, cy);
    RecalcLayout();
}

BOOL CSplitterWnd::OnSetCursor(CWnd* wnd, UINT hitCode, UINT message)
{
    if (wnd == this && hitCode == HTCLIENT && !m_bTracking) {
        POINT cursor{};
        GetCursorPos(&cursor);
        ScreenToClient(&cursor);
        SetSplitCursor(HitTest(cursor));
        return TRUE;
    }
    return CWnd::OnSetCursor(wnd, hitCode, message);
}

void CSplitterWnd::OnLButtonDown(UINT, CPoint point)
{
    if (m_bTracking)
        return;
    StartTracking(HitTest(point));
}

void CSplitterWnd::OnLButtonUp(UINT, CPoint)
{
    StopTracking(TRUE);
}

void CSplitterWnd::OnMouseMove(UINT, CPoint point)
{
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
    if ((rowBar || m_bTracking2) && m_rectTracker.top != p.y) {
        OnInvertTracker(m_rectTracker);
        m_rectTracker.OffsetRect(0, p.y - m_rectTracker.top);
        OnInvertTracker(m_rectTracker);
    }
    CRect& horizontal = m_bTracking2 ? m_rectTracker2 : m_rectTracker;
    if ((columnBar || m_bTracking2) && horizontal.left != p.x) {
        OnInvertTracker(horizontal);
        horizontal.OffsetRect(p.x - horizontal.left, 0);
        OnInvertTracker(horizontal);
    }
}

void CSplitterWnd::OnCancelMode()
{
    StopTracking(FALSE);
    CWnd::OnCancelMode();
}

void CSplitterWnd::OnCaptureChanged(CWnd* newCapture)
{
    if (newCapture != this)
        StopTracking(FALSE);
    CWnd::OnCaptureChanged(newCapture);
}

BOOL CSplitterWnd::ScrollPane(CWnd* pane, UINT scrollCode, BOOL)
{
    BOOL sent = FALSE;
    const UINT horizontal = scrollCode & 0xFF, vertical = (scrollCode >> 8) & 0xFF;
    if (horizontal != 0xFF) {
        CScrollBar* bar = GetPaneScrollBar(pane, SB_HORZ);
        pane->SendMessage(WM_HSCROLL, MAKEWPARAM(static_cast<WORD>(horizontal), 0),
                          reinterpret_cast<LPARAM>(bar ? bar->m_hWnd : nullptr));
        sent = TRUE;
    }
    if (vertical != 0xFF && IsWindow(pane->m_hWnd)) {
        CScrollBar* bar = GetPaneScrollBar(pane, SB_VERT);
        pane->SendMessage(WM_VSCROLL, MAKEWPARAM(static_cast<WORD>(vertical), 0),
                          reinterpret_cast<LPARAM>(bar ? bar->m_hWnd : nullptr));
        sent = TRUE;
    }
    return sent;
}

BOOL CSplitterWnd::DoScroll(CWnd* paneFrom, UINT scrollCode, BOOL doScroll)
{
    int rowFrom = 0, columnFrom = 0;
    if (!IsChildPane(paneFrom, &rowFrom, &columnFrom))
        return FALSE;
    CScrollBar* vertical = GetPaneScrollBar(paneFrom, SB_VERT);
    CScrollBar* horizontal = GetPaneScrollBar(paneFrom, SB_HORZ);
    const int oldVertical = vertical ? vertical->GetScrollPos() : 0;
    const int oldHorizontal = horizontal ? horizontal->GetScrollPos() : 0;
    BOOL result = ScrollPane(paneFrom, scrollCode, doScroll);
    // The other panes of the row (column) take the same step from the same place.
    if (vertical && ((scrollCode >> 8) & 0xFF) != 0xFF)
        for (int c = 0; c < GetColumnCount(); ++c) {
            CWnd* pane = GetPane(rowFrom, c);
            if (c == columnFrom || !pane)
                continue;
            SCROLLINFO si{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, oldVertical, 0};
            vertical->SetScrollInfo(&si, FALSE);
            if (ScrollPane(pane, (scrollCode & 0xFF00) | 0xFF, doScroll))
                result = TRUE;
        }
    if (horizontal && (scrollCode & 0xFF) != 0xFF)
        for (int r = 0; r < GetRowCount(); ++r) {
            CWnd* pane = GetPane(r, columnFrom);
            if (r == rowFrom || !pane)
                continue;
            SCROLLINFO si{sizeof(SCROLLINFO), SIF_POS, 0, 0, 0, oldHorizontal, 0};
            horizontal->SetScrollInfo(&si, FALSE);
            if (ScrollPane(pane, 0xFF00 | (scrollCode & 0xFF), doScroll))
                result = TRUE;
        }
    return result;
}

BOOL CSplitterWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_HSCROLL || message == WM_VSCROLL) {
        // A shared bar moved: every pane of its column (row) follows.
        CWnd* bar = FromHandle(reinterpret_cast<HWND>(lParam));
        if (!bar)
            return FALSE;
        const bool horizontal = message == WM_HSCROLL;
        const int index = static_cast<int>(bar->GetDlgCtrlID()) -
                          static_cast<int>(horizontal ? AFX_IDW_HSCROLL_FIRST : AFX_IDW_VSCROLL_FIRST);
        const int count = horizontal ? GetRowCount() : GetColumnCount();
        for (int i = 0; i < count; ++i)
            if (CWnd* pane = horizontal ? GetPane(i, index) : GetPane(index, i))
                pane->SendMessage(message, wParam, lParam);
        *result = 0;
        return TRUE;
    }
    return CWnd::OnWndMsg(message, wParam, lParam, result);
}

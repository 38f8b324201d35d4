#include "uikit/COurScrollBar.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/ui/BitmapResources.h"
#include "platform/ui/CDC.h"
#include "platform/ui/Monitor.h"
#include "platform/ui/SystemMetrics.h"
#include "uikit/CHScrollMgr.h"
#include "uikit/CVScrollMgr.h"

namespace {

// The display count the last ShowCursor call returned, for the whole process.
int g_displayCount = 0;

void LoadInto(CBitmap& bitmap, UINT id)
{
    bitmap.DeleteObject();
    if (HBITMAP handle = LoadBitmapA(nullptr, id))
        bitmap.Attach(handle);
}

}  // namespace

UINT COurScrollBar::ZoomModeOnMessage()
{
    static const UINT message = RegisterWindowMessageA("OurScrollBar_ZoomModeOn");
    return message;
}

UINT COurScrollBar::ZoomModeOffMessage()
{
    static const UINT message = RegisterWindowMessageA("OurScrollBar_ZoomModeOff");
    return message;
}

COurScrollBar::COurScrollBar(CWnd* parent, int orientation, UINT id) : m_parent(parent), m_orientation(orientation)
{
    ZoomModeOnMessage();
    ZoomModeOffMessage();
    CWnd::Create(nullptr, "", WS_CHILD | WS_VISIBLE | (orientation ? SBS_VERT : SBS_HORZ), CRect(), parent, id);
}

COurScrollBar::~COurScrollBar()
{
    if (m_pointerHidden)
        EndZoomMode();
    DestroyWindow();
}

void COurScrollBar::SetZoomBitmaps(UINT firstButtonId, UINT secondButtonId)
{
    LoadInto(m_firstButton, firstButtonId);
    LoadInto(m_secondButton, secondButtonId);
}

void COurScrollBar::SetGripBitmap(UINT id)
{
    LoadInto(m_grip, id);
}

void COurScrollBar::EnableZoomHandles(BOOL on)
{
    m_zoomHandles = on;
    Invalidate();
}

void COurScrollBar::SetColors(COLORREF thumb, COLORREF background, COLORREF frame)
{
    m_thumbColor = thumb;
    m_backgroundColor = background;
    m_frameColor = frame;
    Invalidate();
}

// ---------------------------------------------------------------------------
// Geometry.
int COurScrollBar::GripLength() const
{
    if (!m_grip.IsCreated())
        return 12;
    const CSize size = m_grip.GetSize();
    return m_orientation ? size.cy : size.cx;
}

void COurScrollBar::GetFirstButtonRect(RECT* rect)
{
    CRect inner = m_client;
    inner.DeflateRect(1, 1);
    CRect r = inner;
    if (m_orientation)
        r.bottom = r.top + inner.Width();
    else
        r.right = r.left + inner.Height();
    *rect = inner.IsRectEmpty() ? CRect() : r;
}

void COurScrollBar::GetSecondButtonRect(RECT* rect)
{
    CRect inner = m_client;
    inner.DeflateRect(1, 1);
    CRect r = inner;
    if (m_orientation)
        r.top = r.bottom - inner.Width();
    else
        r.left = r.right - inner.Height();
    *rect = inner.IsRectEmpty() ? CRect() : r;
}

void COurScrollBar::GetTrackRect(RECT* rect)
{
    CRect r = m_client;
    r.DeflateRect(1, 1);
    if (m_orientation) {
        r.top = m_client.top + m_client.Width();
        r.bottom = m_client.bottom - m_client.Width();
    } else {
        r.left = m_client.left + m_client.Height();
        r.right = m_client.right - m_client.Height();
    }
    if (r.IsRectEmpty())
        r.SetRectEmpty();
    *rect = r;
}

int COurScrollBar::ThumbLength()
{
    CRect track;
    GetTrackRect(&track);
    const int trackLength = m_orientation ? track.Height() : track.Width();
    const long long range = static_cast<long long>(m_si.nMax) - m_si.nMin + 1;
    int length = trackLength;
    if (m_si.nMax > m_si.nMin && range > 0)
        length = std::min<long long>(
            static_cast<long long>(static_cast<double>(m_si.nPage) / static_cast<double>(range) * trackLength + 0.5),
            trackLength);
    return std::min(std::max(length, GripLength()), std::max(trackLength, 0));
}

void COurScrollBar::GetThumbRect(RECT* rect)
{
    CRect track;
    GetTrackRect(&track);
    const int trackLength = m_orientation ? track.Height() : track.Width();
    const int length = ThumbLength();
    const int p = m_state == kThumbDrag ? m_si.nTrackPos : m_si.nPos;
    const long long denominator = static_cast<long long>(m_si.nMax) - m_si.nPage - m_si.nMin + 1;
    int offset = 0;
    if (m_si.nMin != m_si.nMax && denominator > 0)
        offset = static_cast<int>(std::trunc(static_cast<double>(p) / static_cast<double>(denominator) *
                                                 (trackLength - length) + 0.5));
    // A thumb lengthened to the grip is shifted back inside the track.
    offset = std::clamp(offset, 0, std::max(trackLength - length, 0));
    CRect r = track;
    if (m_orientation) {
        r.top = track.top + offset;
        r.bottom = r.top + length;
    } else {
        r.left = track.left + offset;
        r.right = r.left + length;
    }
    *rect = r;
}

void COurScrollBar::GetCentreHandleRect(RECT* out, const RECT* thumb)
{
    const CRect t(*thumb);
    const int grip = GripLength();
    const CPoint c = t.CenterPoint();
    *out = CRect(c.x - grip / 2, c.y - grip / 2, c.x - grip / 2 + grip, c.y - grip / 2 + grip);
}

void COurScrollBar::GetLeadingHandleRect(RECT* rect)
{
    CRect thumb;
    GetThumbRect(&thumb);
    CRect r = thumb;
    if (m_orientation) {
        r.top = std::max(thumb.top - 6, thumb.top);
        r.bottom = std::min(r.top + 12, thumb.bottom);
    } else {
        r.left = std::max(thumb.left - 6, thumb.left);
        r.right = std::min(r.left + 12, thumb.right);
    }
    *rect = r;
}

void COurScrollBar::GetTrailingHandleRect(RECT* rect)
{
    CRect thumb;
    GetThumbRect(&thumb);
    CRect r = thumb;
    if (m_orientation) {
        r.bottom = std::min(thumb.bottom + 6, thumb.bottom);
        r.top = std::max(r.bottom - 12, thumb.top);
    } else {
        r.right = std::min(thumb.right + 6, thumb.right);
        r.left = std::max(r.right - 12, thumb.left);
    }
    *rect = r;
}

CRect COurScrollBar::GetMonitorRect(POINT point)
{
    MONITORINFO info{sizeof(MONITORINFO), {}, {}, 0};
    if (GetMonitorInfoA(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST), &info))
        return info.rcMonitor;
    return CRect(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

int COurScrollBar::HitTest(UINT, int x, int y)
{
    const CPoint p(x, y);
    // With a page larger than the range there is nothing to step through.
    const bool pageFits = static_cast<long long>(m_si.nPage) <= m_si.nMax;
    CRect r;
    GetFirstButtonRect(&r);
    if (pageFits && r.PtInRect(p))
        return kButton;
    GetSecondButtonRect(&r);
    if (pageFits && r.PtInRect(p))
        return kButton;
    CRect thumb;
    GetThumbRect(&thumb);
    if (m_zoomHandles) {
        GetCentreHandleRect(&r, &thumb);
        if (r.PtInRect(p) && (!m_orientation || pageFits))
            return m_orientation ? kVerticalHandle : kHorizontalHandle;
    }
    if (thumb.PtInRect(p))
        return kThumb;
    GetTrackRect(&r);
    return r.PtInRect(p) ? kTrack : kNowhere;
}

CPoint COurScrollBar::ThumbCentre()
{
    CRect thumb;
    GetThumbRect(&thumb);
    return thumb.CenterPoint();
}

// ---------------------------------------------------------------------------
// Messages.
LRESULT COurScrollBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case SBM_SETPOS: {
        const int old = m_si.nPos;
        m_si.nPos = static_cast<int>(wParam);
        if (lParam) {
            InvalidateRect(nullptr, TRUE);
            UpdateWindow();
        }
        return old == m_si.nPos ? 0 : old;
    }
    case SBM_GETPOS:
        return m_si.nPos;
    case SBM_SETRANGE:
    case SBM_SETRANGEREDRAW: {
        const int old = m_si.nPos;
        m_si.nMin = static_cast<int>(wParam);
        m_si.nMax = static_cast<int>(lParam);
        m_si.nPos = std::clamp(m_si.nPos, m_si.nMin, std::max(m_si.nMin, m_si.nMax));
        if (message == SBM_SETRANGEREDRAW)
            Redraw();
        return old == m_si.nPos ? 0 : old;
    }
    case SBM_GETRANGE:
        if (wParam)
            *reinterpret_cast<int*>(wParam) = m_si.nMin;
        if (lParam)
            *reinterpret_cast<int*>(lParam) = m_si.nMax;
        return 0;
    case SBM_SETSCROLLINFO: {
        const auto* si = reinterpret_cast<const SCROLLINFO*>(lParam);
        if (!si)
            return m_si.nPos;
        if (si->fMask & SIF_RANGE) {
            m_si.nMin = si->nMin;
            m_si.nMax = si->nMax;
        }
        if (si->fMask & SIF_PAGE)
            m_si.nPage = si->nPage;
        if (si->fMask & SIF_POS)
            m_si.nPos = si->nPos;
        if (si->fMask & SIF_TRACKPOS)
            m_si.nTrackPos = si->nTrackPos;
        m_si.cbSize = sizeof(SCROLLINFO);
        m_si.fMask = SIF_ALL;
        if (wParam)
            Redraw();
        return m_si.nPos;
    }
    case SBM_GETSCROLLINFO: {
        auto* si = reinterpret_cast<SCROLLINFO*>(lParam);
        if (!si)
            return FALSE;
        mvui::ReadScrollInfo(m_si, *si, si->fMask);
        return TRUE;
    }
    case WM_ERASEBKGND:
        return TRUE;
    case WM_NCHITTEST:
        return HTCLIENT;
    default:
        return CWnd::WindowProc(message, wParam, lParam);
    }
}

void COurScrollBar::OnSize(UINT type, int cx, int cy)
{
    GetClientRect(&m_client);
    CWnd::OnSize(type, cx, cy);
}

void COurScrollBar::OnPaint()
{
    CPaintDC dc(this);
    GetClientRect(&m_client);
    // Drawn off screen and copied in one block, so the bar never flickers.
    CDC mem;
    mem.CreateCompatibleDC(&dc);
    CBitmap image;
    image.CreateCompatibleBitmap(&dc, std::max<LONG>(m_client.Width(), 1), std::max<LONG>(m_client.Height(), 1));
    CBitmap* old = mem.SelectObject(&image);
    DrawBackground(&mem);
    DrawThumb(&mem);
    DrawButtons(&mem);
    dc.BitBlt(0, 0, m_client.Width(), m_client.Height(), &mem, 0, 0, SRCCOPY);
    mem.SelectObject(old);
}

void COurScrollBar::Redraw()
{
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void COurScrollBar::Notify(UINT code, int position)
{
    if (m_parent && IsWindow(m_parent->m_hWnd))
        m_parent->SendMessage(m_orientation ? WM_VSCROLL : WM_HSCROLL,
                              MAKEWPARAM(static_cast<WORD>(code), static_cast<WORD>(position)),
                              reinterpret_cast<LPARAM>(m_hWnd));
}

BOOL COurScrollBar::PageStep(CPoint point)
{
    if (HitTest(0, point.x, point.y) != kTrack)
        return FALSE;
    CRect thumb;
    GetThumbRect(&thumb);
    const int leading = m_orientation ? thumb.top : thumb.left;
    Notify(Along(point) < leading ? SB_PAGEUP : SB_PAGEDOWN, 0);
    Redraw();
    return TRUE;
}

BOOL COurScrollBar::LineStep(CPoint point)
{
    if (HitTest(0, point.x, point.y) != kButton)
        return FALSE;
    CRect thumb;
    GetThumbRect(&thumb);
    const int leading = m_orientation ? thumb.top : thumb.left;
    Notify(Along(point) < leading ? SB_LINEUP : SB_LINEDOWN, 0);
    Redraw();
    return TRUE;
}

void COurScrollBar::ComputeZoomAnchor()
{
    if (!m_target)
        return;
    const int m = Along(ThumbCentre());
    const int p = m_target->GetPosition();
    m_zoomAnchor = p + m_target->PixelsToUnits(m);
    const int length = m_orientation ? m_client.Height() : m_client.Width();
    m_zoomFraction = length > 0 ? static_cast<double>(m) / length : 0.0;
    if (!m_orientation && static_cast<long long>(p) + m_si.nPage >= static_cast<long long>(m_si.nMax))
        m_zoomAnchor -= static_cast<int>(p + static_cast<long long>(m_si.nPage) - m_si.nMax);
}

void COurScrollBar::OnLButtonDown(UINT flags, CPoint point)
{
    if (m_target)
        m_target->SetKeepInRange(1);
    switch (HitTest(flags, point.x, point.y)) {
    case kThumb: {
        CRect thumb;
        GetThumbRect(&thumb);
        m_dragOffset = (m_orientation ? thumb.top : thumb.left) - Along(point);
        m_si.nTrackPos = m_si.nPos;
        m_state = kThumbDrag;
        SetCapture();
        break;
    }
    case kTrack:
        m_state = kRepeating;
        SetCapture();
        PageStep(point);
        SetTimer(kPageTimer, 500);
        break;
    case kButton:
        m_state = kRepeating;
        SetCapture();
        LineStep(point);
        SetTimer(kLineTimer, 500);
        break;
    case kVerticalHandle:
    case kHorizontalHandle:
        if (!m_zoomHandles)
            break;
        ComputeZoomAnchor();
        m_state = m_orientation ? kVerticalZoom : kHorizontalZoom;
        m_dragOffset = 0;
        SetCapture();
        g_displayCount = ShowCursor(FALSE);
        m_pointerHidden = true;
        if (m_parent && IsWindow(m_parent->m_hWnd))
            m_parent->SendMessage(ZoomModeOnMessage(), reinterpret_cast<WPARAM>(static_cast<IZoomTime*>(this)), 0);
        break;
    default: break;
    }
}

void COurScrollBar::OnTimer(UINT_PTR id)
{
    if (id != kPageTimer && id != kLineTimer) {
        CScrollBar::OnTimer(id);
        return;
    }
    KillTimer(id);
    POINT cursor{};
    GetCursorPos(&cursor);
    ScreenToClient(&cursor);
    if (id == kPageTimer ? PageStep(cursor) : LineStep(cursor))
        SetTimer(id, 100);
}

void COurScrollBar::OnMouseMove(UINT flags, CPoint point)
{
    if (m_state == kThumbDrag) {
        CRect track;
        GetTrackRect(&track);
        const int trackLength = m_orientation ? track.Height() : track.Width();
        const int travel = trackLength - ThumbLength();
        const int edge = std::clamp(Along(point) + m_dragOffset - (m_orientation ? track.top : track.left), 0,
                                    std::max(travel, 0));
        const double ratio = travel > 0 ? static_cast<double>(edge) / travel : 0.0;
        m_si.nTrackPos = std::clamp(
            static_cast<int>(std::trunc((static_cast<double>(m_si.nMax) - m_si.nPage + 1) * ratio + 0.5)), 0,
            std::max(m_si.nMax, 0));
        Notify(SB_THUMBTRACK, m_si.nTrackPos);
        Redraw();
        return;
    }
    if (m_state == kVerticalZoom || m_state == kHorizontalZoom) {
        ::SetCursor(LoadCursor(nullptr, IDC_SIZENS));
        ZoomDrag(point);
        return;
    }
    CScrollBar::OnMouseMove(flags, point);
}

BOOL COurScrollBar::OnSetCursor(CWnd* wnd, UINT hitCode, UINT message)
{
    if (wnd == this && hitCode == HTCLIENT && m_state == kIdle && m_zoomHandles) {
        POINT cursor{};
        GetCursorPos(&cursor);
        ScreenToClient(&cursor);
        const int part = HitTest(0, cursor.x, cursor.y);
        if (part == kVerticalHandle || part == kHorizontalHandle) {
            ::SetCursor(LoadCursor(nullptr, IDC_SIZEALL));
            return TRUE;
        }
    }
    return CScrollBar::OnSetCursor(wnd, hitCode, message);
}

void COurScrollBar::ZoomDrag(CPoint point)
{
    if (!m_target)
        return;
    if (m_lastPoint.x == -1 && m_lastPoint.y == -1)
        m_lastPoint = ThumbCentre();
    const int across = Across(point) - Across(m_lastPoint);
    const int along = Along(point) - Along(m_lastPoint);
    if (std::abs(across) > std::abs(along)) {
        CRect track;
        GetTrackRect(&track);
        const int trackLength = m_orientation ? track.Height() : track.Width();
        const int delta = m_orientation ? static_cast<int>(across * 1.75) : across;
        const int length = std::min(ThumbLength() + delta, trackLength);
        double zoom;
        if (length > 0 && trackLength > 0)
            zoom = m_target->GetFitZoom(static_cast<int>(
                std::trunc((length + 0.5) / trackLength * (static_cast<double>(m_si.nMax) - m_si.nMin))));
        else
            zoom = 1.01 * m_target->GetZoom();
        m_target->SetZoomAround(static_cast<float>(zoom), m_zoomAnchor, static_cast<float>(m_zoomFraction), TRUE);
    } else if (auto* rows = dynamic_cast<CVScrollMgr*>(m_target)) {
        ComputeZoomAnchor();
        rows->ScrollIntoView(along, FALSE);
    } else if (auto* time = dynamic_cast<CHScrollMgr<long>*>(m_target)) {
        const BYTE thumb = SB_THUMBTRACK;
        const int position = std::clamp(time->GetPosition() + time->PixelsToUnits(along), 0, time->GetTotal());
        time->HandleScroll(&thumb, position, time->GetExtent(), time->GetTotal());
        ComputeZoomAnchor();
        time->ScrollTo(0);
    }
    m_lastPoint = point;
    // The hidden pointer goes back to the thumb so the drag never runs out of screen.
    CPoint screen = point;
    ClientToScreen(&screen);
    const CRect monitor = GetMonitorRect(screen);
    const bool atEdge = m_orientation ? screen.x >= monitor.right - 1 : screen.y >= monitor.bottom - 1;
    if (Across(point) % 2 == 0 || atEdge) {
        CPoint centre = ThumbCentre();
        m_lastPoint = centre;
        ClientToScreen(&centre);
        SetCursorPos(centre.x, centre.y);
    }
}

void COurScrollBar::EndZoomMode()
{
    // The pointer shows again and the parent hears the end, once per drag.
    if (!m_pointerHidden)
        return;
    m_pointerHidden = false;
    do
        g_displayCount = ShowCursor(TRUE);
    while (g_displayCount < 0);
    if (m_parent && IsWindow(m_parent->m_hWnd))
        m_parent->SendMessage(ZoomModeOffMessage(), 0, 0);
}

void COurScrollBar::OnLButtonUp(UINT, CPoint)
{
    if (GetCapture() == this) {
        KillTimer(kPageTimer);
        KillTimer(kLineTimer);
        if (m_state == kVerticalZoom || m_state == kHorizontalZoom) {
            m_lastPoint = CPoint(-1, -1);
            CPoint centre = ThumbCentre();
            ClientToScreen(&centre);
            SetCursorPos(centre.x, centre.y);
            EndZoomMode();
        }
        m_state = kIdle;
        ReleaseCapture();
        Redraw();
    }
    m_state = kIdle;
    m_dragOffset = 0;
    if (m_target)
        m_target->SetKeepInRange(0);
}

void COurScrollBar::OnCaptureChanged(CWnd* newCapture)
{
    if (newCapture != this && m_state != kIdle) {
        // A drag that loses the mouse ends as a release would.
        KillTimer(kPageTimer);
        KillTimer(kLineTimer);
        m_lastPoint = CPoint(-1, -1);
        EndZoomMode();
        m_state = kIdle;
        m_dragOffset = 0;
        if (m_target)
            m_target->SetKeepInRange(0);
        Redraw();
    }
    CScrollBar::OnCaptureChanged(newCapture);
}

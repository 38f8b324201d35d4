#include "uikit/CVScrollMgr.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/InputState.h"

CVScrollMgr::CVScrollMgr(int rowUnit, int zoom, int minZoom, int maxZoom)
    : m_zoom(zoom), m_maxZoom(maxZoom), m_minZoom(minZoom), m_rowUnit(rowUnit)
{
}

int CVScrollMgr::UnitsToPixels(int units)
{
    return mvscroll::ToInt(static_cast<long double>(static_cast<long long>(m_rowUnit) * m_zoom * units / 10));
}

int CVScrollMgr::PixelsToUnits(int pixels)
{
    const long long divisor = static_cast<long long>(m_rowUnit) * m_zoom;
    return divisor == 0 ? 0 : mvscroll::ToInt(static_cast<long double>(static_cast<long long>(pixels) * 10 / divisor));
}

double CVScrollMgr::GetFitZoom(int total)
{
    if (total <= 0 || m_rowUnit == 0)
        return m_maxZoom;
    const long long fit = static_cast<long long>(m_extent) * 10 / (static_cast<long long>(m_rowUnit) * total);
    return static_cast<double>(std::clamp<long long>(fit, m_minZoom, std::max(m_minZoom, m_maxZoom)));
}

int CVScrollMgr::Attach(CWnd* wnd)
{
    if (CScrollMgr::Attach(wnd))
        return 1;
    CRect client;
    wnd->GetClientRect(&client);
    m_extent = client.Height();
    ScrollTo(0);
    return 0;
}

void CVScrollMgr::ScrollTo(int end)
{
    const int page = PixelsToUnits(m_extent);
    SCROLLINFO si{28, SIF_RANGE | SIF_PAGE | SIF_POS, 0, m_total, static_cast<UINT>(std::max(page, 0)), 0, 0};
    if (end != 0)
        m_position = std::max(end - page, 0);
    else
        m_position = std::clamp(m_position, 0, std::max(m_total - page, 0));
    si.nPos = m_position;
    UpdateBars(&si, 0);
    RedrawAll();
}

void CVScrollMgr::UpdateBars(const SCROLLINFO* info, int dy)
{
    for (CWnd* wnd : m_windows) {
        if (info) {
            SCROLLINFO copy = *info;
            wnd->SetScrollInfo(SB_VERT, &copy, TRUE);
        }
        wnd->ScrollWindow(0, dy);
        WINDOWPLACEMENT placement{};
        placement.length = sizeof(placement);
        if (wnd->GetWindowPlacement(&placement) && placement.showCmd == SW_SHOWNORMAL) {
            const CRect normal(placement.rcNormalPosition);
            wnd->PostMessage(WM_SIZE, 0, MAKELPARAM(normal.Width(), normal.Height()));
        }
    }
}

BOOL CVScrollMgr::HandleScroll(const BYTE* code, int thumb, int newExtent, int newTotal)
{
    const int oldExtent = m_extent, oldTotal = m_total, oldPosition = m_position;
    const int oldPage = PixelsToUnits(oldExtent);
    const int newPage = PixelsToUnits(newExtent);
    m_extent = newExtent;
    m_total = newTotal;
    if (code)
        ApplyScrollCode(*code, thumb, 1, oldPage, newPage, m_total);
    m_position = std::max(std::min(m_position, m_total - oldPage), 0);
    if (m_extent == oldExtent && m_total == oldTotal && m_position == oldPosition)
        return FALSE;
    ScrollTo(0);
    return TRUE;
}

BOOL CVScrollMgr::EnsureVisible(int row, BOOL allowBeyond)
{
    if (!allowBeyond)
        row = std::min(row, m_total);
    const int page = PixelsToUnits(m_extent);
    const BYTE thumb = SB_THUMBTRACK;
    if (row > m_position + page) {
        HandleScroll(&thumb, row - page, m_extent, std::max(m_total, row));
        return TRUE;
    }
    if (row < m_position) {
        const int top = std::max(row, 0);
        HandleScroll(&thumb, top, m_extent, std::max(m_total, page + top));
        return TRUE;
    }
    return FALSE;
}

void CVScrollMgr::ScrollIntoView(int delta, BOOL allowBeyond)
{
    if (delta > 0)
        EnsureVisible(m_position + PixelsToUnits(m_extent) + delta, allowBeyond);
    else
        EnsureVisible(m_position + delta, allowBeyond);
}

void CVScrollMgr::ApplyZoom(float zoom, int end, BOOL update)
{
    const int old = m_zoom;
    m_zoom = std::clamp(mvscroll::ToInt(zoom), m_minZoom, std::max(m_minZoom, m_maxZoom));
    if (m_zoom != old && update)
        ScrollTo(end);
}

void CVScrollMgr::SetZoom(float zoom)
{
    ApplyZoom(zoom, 0, TRUE);
}

void CVScrollMgr::SetZoomKeepEnd(float zoom)
{
    ApplyZoom(zoom, m_position + PixelsToUnits(m_extent), TRUE);
}

void CVScrollMgr::SetZoomAround(float zoom, int anchor, float fraction, BOOL update)
{
    ApplyZoom(zoom, 0, FALSE);
    const int page = PixelsToUnits(m_extent);
    m_position = std::clamp(anchor - mvscroll::ToInt(static_cast<long double>(page) * fraction), 0,
                            std::max(m_total, 0));
    if (update)
        ScrollTo(0);
}

void CVScrollMgr::ZoomIn()
{
    const int old = m_zoom;
    if (GetKeyState(VK_SHIFT) < 0 && m_zoom < m_maxZoom)
        m_zoom = m_maxZoom;
    else if (m_zoom < m_maxZoom)
        m_zoom = static_cast<int>(std::ceil(std::min<double>(m_maxZoom, m_zoom * 1.25)));
    if (m_zoom != old)
        ScrollTo(0);
}

void CVScrollMgr::ZoomOut()
{
    const int old = m_zoom;
    if (GetKeyState(VK_SHIFT) < 0 && m_zoom > m_minZoom)
        m_zoom = m_minZoom;
    else if (m_zoom > m_minZoom)
        m_zoom = static_cast<int>(std::floor(std::max<double>(m_minZoom, m_zoom * 0.8)));
    if (m_zoom != old)
        ScrollTo(0);
}

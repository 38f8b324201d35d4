#include "uikit/CHScrollMgr.h"

#include <algorithm>

#include "platform/ui/InputState.h"

namespace {

struct SharedPen {
    CPen* pen = nullptr;
    int users = 0;
};

SharedPen& Pen()
{
    static SharedPen shared;
    return shared;
}

}  // namespace

template <class T>
CHScrollMgr<T>::CHScrollMgr(float zoom, int minZoom, int maxZoom)
    : m_zoom(zoom), m_maxZoom(maxZoom), m_minZoom(minZoom == 0 ? 1e-8f : static_cast<float>(minZoom))
{
    if (Pen().users++ == 0)
        Pen().pen = new CPen(PS_SOLID, 0, RGB(0xC0, 0xC0, 0xC0));
}

template <class T>
CHScrollMgr<T>::~CHScrollMgr()
{
    if (--Pen().users == 0) {
        delete Pen().pen;
        Pen().pen = nullptr;
    }
}

template <class T>
CPen* CHScrollMgr<T>::GetPositionPen()
{
    return Pen().pen;
}

template <class T>
int CHScrollMgr<T>::UnitsToPixels(int units)
{
    return mvscroll::ToInt(static_cast<long double>(m_zoom) * units / m_unitsPerBeat + 0.5L);
}

template <class T>
int CHScrollMgr<T>::PixelsToUnits(int pixels)
{
    const int scaled = static_cast<int>(static_cast<unsigned>(m_unitsPerBeat) * static_cast<unsigned>(pixels));
    return mvscroll::ToInt(static_cast<long double>(scaled) / m_zoom + 0.5L);
}

template <class T>
double CHScrollMgr<T>::GetFitZoom(int total)
{
    // No range yet (a new song): nothing to fit, and nothing to divide by.
    if (total <= 0)
        return m_maxZoom;
    return std::min(static_cast<double>(m_unitsPerBeat) / total, static_cast<double>(m_maxZoom));
}

template <class T>
float CHScrollMgr<T>::ClampZoom(float zoom) const
{
    return std::clamp(zoom, m_minZoom, std::max(m_minZoom, static_cast<float>(m_maxZoom)));
}

template <class T>
int CHScrollMgr<T>::Attach(CWnd* wnd)
{
    if (CScrollMgr::Attach(wnd))
        return 1;
    CRect client;
    wnd->GetClientRect(&client);
    m_extent = client.Width();
    UpdateBars();
    return 0;
}

template <class T>
void CHScrollMgr<T>::UpdateBars()
{
    const int page = PixelsToUnits(m_extent);
    SCROLLINFO si{28, SIF_RANGE | SIF_PAGE | SIF_POS, 0, m_total, static_cast<UINT>(std::max(page, 0)), 0, 0};
    if (m_keepInRange)
        m_position = std::clamp(m_position, 0, std::max(m_total - page, 0));
    si.nPos = m_position;
    for (CWnd* wnd : m_windows)
        wnd->SetScrollInfo(SB_HORZ, &si, TRUE);
    RedrawAll();
}

template <class T>
BOOL CHScrollMgr<T>::HandleScroll(const BYTE* code, int thumb, int newExtent, int newTotal)
{
    const int oldExtent = m_extent, oldTotal = m_total, oldPosition = m_position;
    const int oldPage = PixelsToUnits(oldExtent);
    m_extent = newExtent;
    m_total = newTotal;
    if (code)
        ApplyScrollCode(*code, thumb, m_unitsPerBeat, oldPage, oldPage, m_total);
    if (!m_keepInRange)
        m_position = std::max(std::min(m_position, m_total - oldPage), 0);
    if (m_extent == oldExtent && m_total == oldTotal && m_position == oldPosition)
        return FALSE;
    UpdateBars();
    return TRUE;
}

template <class T>
void CHScrollMgr<T>::ScrollTo(int end)
{
    if (m_keepInRange) {
        const int page = PixelsToUnits(m_extent);
        if (end != 0)
            m_position = std::max(end - page, 0);
        else
            m_position = std::clamp(m_position, 0, std::max(m_total - page, 0));
    }
    UpdateBars();
}

template <class T>
void CHScrollMgr<T>::ScrollLinkedViews(const SCROLLINFO* info, int dx)
{
    for (CWnd* wnd : m_windows) {
        if (info) {
            SCROLLINFO copy = *info;
            wnd->SetScrollInfo(SB_HORZ, &copy, TRUE);
        }
        wnd->ScrollWindow(dx, 0);
    }
}

template <class T>
void CHScrollMgr<T>::SetZoom(float zoom)
{
    const float z = ClampZoom(zoom);
    if (z == m_zoom)
        return;
    m_zoom = z;
    UpdateBars();
}

template <class T>
void CHScrollMgr<T>::SetZoomKeepEnd(float zoom)
{
    const int end = std::min(m_position + PixelsToUnits(m_extent), m_total);
    const float z = ClampZoom(zoom);
    if (z == m_zoom)
        return;
    m_zoom = z;
    if (m_keepInRange) {
        if (end != 0)
            m_position = std::max(end - PixelsToUnits(m_extent), 0);
        else
            m_position = std::clamp(m_position, 0, std::max(m_total - PixelsToUnits(m_extent), 0));
    }
    UpdateBars();
}

template <class T>
void CHScrollMgr<T>::SetZoomAround(float zoom, int anchor, float fraction, BOOL update)
{
    m_zoom = ClampZoom(zoom);
    const int page = PixelsToUnits(m_extent);
    m_position = std::clamp(anchor - mvscroll::ToInt(static_cast<long double>(page) * fraction), 0,
                            std::max(m_total, 0));
    if (update)
        UpdateBars();
}

template <class T>
void CHScrollMgr<T>::ZoomIn()
{
    const float old = m_zoom;
    const float maxZoom = static_cast<float>(m_maxZoom);
    if (GetKeyState(VK_SHIFT) < 0 && m_zoom < maxZoom)
        m_zoom = maxZoom;
    else if (m_zoom < maxZoom)
        m_zoom = std::min(m_zoom * 1.05f, maxZoom);
    if (m_zoom != old)
        UpdateBars();
}

template <class T>
void CHScrollMgr<T>::ZoomOut()
{
    const float old = m_zoom;
    if (GetKeyState(VK_SHIFT) < 0 && m_zoom > m_minZoom)
        m_zoom = m_minZoom;
    else if (m_zoom > m_minZoom)
        m_zoom = std::max(m_zoom * 0.95f, m_minZoom);
    // Zooming out never shows more than the whole range.
    if (m_total > 0) {
        const float fit = static_cast<float>(GetFitZoom(m_total));
        if (m_zoom < fit)
            m_zoom = fit;
    }
    if (m_zoom != old)
        UpdateBars();
}

template class CHScrollMgr<long>;

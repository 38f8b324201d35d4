#include "uikit/CZoomedFader.h"

#include <algorithm>

#include "platform/ui/CDC.h"
#include "platform/ui/Monitor.h"
#include "platform/ui/SystemMetrics.h"
#include "uikit/CZoomFader.h"
#include "uikit/WindowClass.h"

CZoomedFader::CZoomedFader(CZoomFader* fader) : m_fader(fader) {}

bool CZoomedFader::Horizontal() const
{
    return m_fader->WorksHorizontally();
}

CSize CZoomedFader::PopupSize() const
{
    if (Horizontal())
        return CSize(200, 40);
    return CSize(std::max(50, m_fontHeight / 2 * m_fader->GetLabel().GetLength()), 200);
}

CRect CZoomedFader::TrackRect() const
{
    if (Horizontal())
        return CRect(15, 20, 15 + 168, 27);
    const int band = m_fontHeight + 2;
    return CRect(15, 15 + band, 25, 15 + band + 185 - 2 * band);
}

float CZoomedFader::ValueAt(CPoint point) const
{
    const CRect track = TrackRect();
    const double f = Horizontal() ? static_cast<double>(point.x - track.left) / std::max<LONG>(track.Width(), 1)
                                  : static_cast<double>(track.bottom - point.y) / std::max<LONG>(track.Height(), 1);
    return m_fader->Limit(m_fader->FractionToValue(static_cast<float>(std::clamp(f, 0.0, 1.0))));
}

CRect CZoomedFader::KeepInside(CRect rect) const
{
    CRect parent;
    CWnd* owner = m_fader->GetParent() ? m_fader->GetParent() : m_fader;
    owner->GetWindowRect(&parent);
    MONITORINFO info{sizeof(MONITORINFO), {}, {}, 0};
    CRect monitor(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    if (GetMonitorInfoA(MonitorFromPoint(parent.CenterPoint(), MONITOR_DEFAULTTONEAREST), &info))
        monitor = info.rcMonitor;
    return PushInside(rect, monitor);
}

CRect CZoomedFader::PushInside(CRect rect, const CRect& bounds)
{
    rect.OffsetRect(std::max<LONG>(0, bounds.left - rect.left) - std::max<LONG>(0, rect.right - bounds.right),
                    std::max<LONG>(0, bounds.top - rect.top) - std::max<LONG>(0, rect.bottom - bounds.bottom));
    return rect;
}

CRect CZoomedFader::PointerClip() const
{
    CRect r;
    GetWindowRect(&r);
    return r;
}

BOOL CZoomedFader::Open(POINT at)
{
    const char* cls = RegisterWindowClassOnce(WindowClass(), CS_DBLCLKS, nullptr, 0);
    const CSize size = PopupSize();
    if (!CreateEx(0, cls, m_fader->GetLabel(), WS_POPUP, CRect(at, size), nullptr, 0))
        return FALSE;
    SetOwner(m_fader);
    ShowWindow(SW_SHOW);
    return IsWindow(m_hWnd);
}

int CZoomedFader::OnCreate(CREATESTRUCT* cs)
{
    if (CWnd::OnCreate(cs) == -1)
        return -1;
    CRect r(cs->x, cs->y, cs->x + cs->cx, cs->y + cs->cy);
    r = KeepInside(r);
    MoveWindow(&r, FALSE);
    const CRect clip = PointerClip();
    ClipCursor(&clip);
    SetCapture();
    SetFocus();
    return 0;
}

void CZoomedFader::Report(WORD code)
{
    if (IsWindow(m_fader->m_hWnd))
        m_fader->PostMessage(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID()), code),
                             reinterpret_cast<LPARAM>(m_hWnd));
}

void CZoomedFader::Finish(WORD code)
{
    if (m_finished)
        return;
    m_finished = true;
    ClipCursor(nullptr);
    if (GetCapture() == this)
        ReleaseCapture();
    Report(code);
}

void CZoomedFader::OnPaint()
{
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    m_fader->DrawScale(&dc, client, TrackRect(), Horizontal(), true);
    CFont* old = dc.SelectObject(CZoomFader::SharedFont());
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(GetSysColor(COLOR_BTNTEXT));
    dc.TextOut(3, 2, m_fader->GetLabel());
    if (old)
        dc.SelectObject(old);
    if (m_firstPaint) {
        // The pointer starts on the thumb.
        m_firstPaint = false;
        const CRect track = TrackRect();
        const double f = std::clamp(m_fader->ValueToFraction(), 0.0, 1.0);
        CPoint thumb = Horizontal() ? CPoint(track.left + static_cast<int>(f * track.Width()), track.CenterPoint().y)
                                    : CPoint(track.CenterPoint().x, track.bottom - static_cast<int>(f * track.Height()));
        ClientToScreen(&thumb);
        SetCursorPos(thumb.x, thumb.y);
    }
}

void CZoomedFader::OnMouseMove(UINT, CPoint point)
{
    ::SetCursor(LoadCursor(nullptr, Horizontal() ? IDC_SIZEWE : IDC_SIZENS));
    if (m_finished)
        return;
    m_fader->SetValue(ValueAt(point), FALSE);
    Invalidate(FALSE);
    Report(CZoomFader::kChanged);
    Report(CZoomFader::kHover);
}

void CZoomedFader::OnLButtonUp(UINT, CPoint)
{
    Finish(CZoomFader::kPressEnded);
}

void CZoomedFader::OnRButtonUp(UINT, CPoint)
{
    Finish(CZoomFader::kPressEnded);
}

void CZoomedFader::OnKeyDown(UINT vk, UINT repeat, UINT flags)
{
    if (vk == VK_ESCAPE)
        Finish(CZoomFader::kCancelled);
    else
        CWnd::OnKeyDown(vk, repeat, flags);
}

void CZoomedFader::OnCancelMode()
{
    Finish(CZoomFader::kCancelled);
}

void CZoomedFader::OnCaptureChanged(CWnd* newCapture)
{
    if (newCapture != this)
        Finish(CZoomFader::kCancelled);
    CWnd::OnCaptureChanged(newCapture);
}

#include "uikit/CJogFader.h"

#include <algorithm>

#include "platform/ui/SystemMetrics.h"
#include "uikit/CZoomFader.h"

float CJogFader::ValueAt(CPoint point) const
{
    CRect client;
    GetClientRect(&client);
    const double span = std::max<LONG>(client.bottom - client.top, 1);
    const double v = (client.bottom - point.y) / span * (m_fader->ScaleMax() - m_fader->ScaleMin()) + m_fader->ScaleMin();
    return m_fader->Limit(static_cast<float>(v));
}

CRect CJogFader::KeepInside(CRect rect) const
{
    const CRect screen(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    return PushInside(rect, screen);
}

CRect CJogFader::PointerClip() const
{
    CRect window;
    GetWindowRect(&window);
    const CRect track = TrackRect();
    const int x = window.left + track.CenterPoint().x;
    return CRect(x - 3, window.top, x + 3, window.bottom);
}

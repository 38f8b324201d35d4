#include "uikit/CNWSpinner.h"

#include <cstdlib>

#include "platform/ui/InputState.h"
#include "uikit/CBitmapCache.h"
#include "uikit/CNWControlSite.h"

namespace {
constexpr double kRest = 0.5;
constexpr double kUp = 1.0;
constexpr double kDown = 0.0;
}  // namespace

CNWSpinner::CNWSpinner(CNWControlSite* site, UINT bitmapId, UINT disabledBitmapId)
    : CNWControl(site), m_bitmapId(bitmapId), m_disabledId(disabledBitmapId)
{
    m_value = kRest;
    m_look.alignment = NWA_ALIGN_LEFT;
    if (m_bitmapId)
        g_bitmapCache.AddRef(m_bitmapId);
    if (m_disabledId)
        g_bitmapCache.AddRef(m_disabledId);
    m_rect = CRect(CPoint(0, 0), CachedSize(bitmapId));
    SetPosition(CPoint(0, 0), false);
}

CNWSpinner::~CNWSpinner()
{
    if (m_bitmapId)
        g_bitmapCache.Release(m_bitmapId);
    if (m_disabledId)
        g_bitmapCache.Release(m_disabledId);
}

void CNWSpinner::SetPosition(POINT point, bool redraw)
{
    CNWControl::SetPosition(point, redraw);
    m_arrow = m_rect;
    m_arrow.left = m_rect.left + (m_rect.right - m_rect.left) * 2 / 3;
}

void CNWSpinner::Step(double to)
{
    SetValue(to, true);
    SetValue(kRest, false);
}

void CNWSpinner::OnLButtonDown(UINT flags, POINT point)
{
    m_pressValue = m_value;
    CNWControl::OnLButtonDown(flags, point);
}

void CNWSpinner::OnMouseMove(UINT flags, POINT point)
{
    if (m_tracking) {
        const int dy = point.y - m_pressPoint.y;
        if (dy < -1 || dy > 1) {
            m_dragging = true;
            Step(dy < 0 ? kUp : kDown);
            POINT back = m_pressPoint;
            m_site->ClientToScreen(&back);
            SetCursorPos(back.x, back.y);
        }
    }
    m_currentPoint = point;
}

void CNWSpinner::OnLButtonUp(UINT flags, POINT point)
{
    if (m_editable && !m_dragging && m_arrow.PtInRect(point))
        Step(point.y > (m_rect.top + m_rect.bottom) / 2 ? kDown : kUp);
    m_dragging = false;
    CNWControl::OnLButtonUp(flags, point);
}

void CNWSpinner::OnLButtonDblClk(UINT flags, POINT point)
{
    CNWControl::OnLButtonDblClk(flags, point);
    m_pressValue = m_value;
    m_tracking = false;
    m_dragging = false;
    if (m_editable && !m_arrow.PtInRect(point)) {
        m_site->OnControlClicked(this, flags);
        // The gesture ends here, once: the release that follows finds it closed.
        EndGesture();
    }
}

void CNWSpinner::OnRButtonUp(UINT flags, POINT point)
{
    RunContextMenu(point);
    CNWControl::OnRButtonUp(flags, point);
}

int CNWSpinner::OnKeyAction(int code)
{
    if (!m_editable)
        return 0;
    switch (code) {
    case 0:
    case 2:
    case 4:
        SetValue(m_minimum, true);
        break;
    case 1:
    case 3:
    case 5:
        SetValue(m_maximum, true);
        break;
    case 6:
        m_site->OnControlClicked(this, 0);
        return 1;
    default:
        return 0;
    }
    // Back to rest: the middle of the range, wherever the range lies.
    SetValue(m_minimum + (m_maximum - m_minimum) * 0.5, false);
    return 1;
}

void CNWSpinner::Draw(CDC* dc)
{
    if (!m_enabled || !dc->RectVisible(&m_rect))
        return;
    BlitCached(dc, !m_editable && m_disabledId ? m_disabledId : m_bitmapId, m_rect, 0, 0);
    if (m_look.showText)
        DrawCaption(dc, m_text);
    DrawHoverAndFocus(dc);
    m_dirty = false;
}

void CNWSpinner::DrawFocus(CDC* dc)
{
    DrawFrame(dc, false);
}

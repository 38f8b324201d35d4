#include "uikit/CNWBitmapKnob.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "platform/ui/InputState.h"
#include "uikit/CBitmapCache.h"
#include "uikit/CNWControlSite.h"
#include "uikit/core/AbbreviateText.h"

CNWBitmapKnob::CNWBitmapKnob(CNWControlSite* site, UINT bitmapId, int columns, int rows, int width, int height)
    : CNWControl(site), m_bitmapId(bitmapId), m_columns(std::max(1, columns)), m_rows(rows == 2 ? 2 : 1)
{
    if (m_bitmapId)
        g_bitmapCache.AddRef(m_bitmapId);
    MeasureFrames();
    m_rect = CRect(0, 0, width == -1 ? m_frameWidth : width, height == -1 ? m_frameHeight : height);
    LayoutKnob();
}

CNWBitmapKnob::~CNWBitmapKnob()
{
    if (m_bitmapId)
        g_bitmapCache.Release(m_bitmapId);
}

void CNWBitmapKnob::MeasureFrames()
{
    const CSize size = CachedSize(m_bitmapId);
    m_frameWidth = size.cx / m_columns;
    m_frameHeight = size.cy / m_rows;
}

void CNWBitmapKnob::SetBitmap(UINT bitmapId)
{
    if (bitmapId)
        g_bitmapCache.AddRef(bitmapId);
    if (m_bitmapId)
        g_bitmapCache.Release(m_bitmapId);
    m_bitmapId = bitmapId;
    MeasureFrames();
    LayoutKnob();
    Invalidate();
}

void CNWBitmapKnob::LayoutKnob()
{
    const int left = m_rect.left + static_cast<int>((m_rect.Width() - m_frameWidth + 1) / 2);
    m_image = CRect(left, m_rect.top, left + m_frameWidth, m_rect.top + m_frameHeight);
    m_caption = m_rect;
    m_caption.top = m_image.bottom;
}

void CNWBitmapKnob::SetSize(SIZE size)
{
    CNWControl::SetSize(size);
    LayoutKnob();
}

void CNWBitmapKnob::SetPosition(POINT point, bool redraw)
{
    CNWControl::SetPosition(point, redraw);
    LayoutKnob();
}

int CNWBitmapKnob::FrameIndex() const
{
    const double range = m_maximum - m_minimum;
    if (range == 0.0)
        return 0;
    const double index = (m_value - m_minimum) / range * (m_columns - 1) + 0.5;
    return std::clamp(static_cast<int>(std::floor(index)), 0, m_columns - 1);
}

void CNWBitmapKnob::Draw(CDC* dc)
{
    if (!m_enabled || !dc->RectVisible(&m_rect))
        return;
    const bool lit = m_rows == 2 && (m_selected || (m_hover && m_look.hotTracking));
    BlitCached(dc, m_bitmapId, m_image, FrameIndex() * m_frameWidth, lit ? m_frameHeight : 0);
    if (m_look.showText && !m_text.IsEmpty()) {
        CFont* old = dc->SelectObject(LabelFont());
        CString shown = m_text;
        const int width = m_caption.Width();
        if (dc->GetTextExtent(shown).cx > width) {
            TEXTMETRIC tm{};
            dc->GetTextMetrics(&tm);
            int budget = tm.tmAveCharWidth > 0 ? width / tm.tmAveCharWidth : 0;
            budget = std::min(budget, m_text.GetLength());
            for (; budget > 0; --budget) {
                std::vector<char> out(static_cast<std::size_t>(budget) + 1, '\0');
                AbbreviateText(m_text, m_text.GetLength(), out.data(), budget, '\0');
                shown = CString(out.data());
                if (dc->GetTextExtent(shown).cx <= width)
                    break;
            }
            if (budget == 0)
                shown.Empty();
        }
        dc->SetTextColor(m_look.text1);
        dc->SetBkMode(TRANSPARENT);
        CRect r = m_caption;
        dc->DrawText(shown, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        dc->SelectObject(old);
    }
    if (m_focused && m_look.focusMark)
        DrawFocus(dc);
    m_dirty = false;
}

void CNWBitmapKnob::DrawFocus(CDC* dc)
{
    DrawFrame(dc, false);
}

void CNWBitmapKnob::OnLButtonDown(UINT flags, POINT point)
{
    m_pressValue = m_value;
    CNWControl::OnLButtonDown(flags, point);
    m_site->ShowControlCursor(false);
    if (m_look.valueTip)
        ShowValueTip(CPoint(m_rect.left, m_rect.bottom));
}

void CNWBitmapKnob::OnMouseMove(UINT flags, POINT point)
{
    if (m_tracking) {
        const int dy = m_pressPoint.y - point.y;
        const double change = std::abs(dy) * GetDragSensitivity() / 128.0 * (m_maximum - m_minimum);
        const double next = std::clamp(m_value + (dy < 0 ? -change : change), m_minimum, m_maximum);
        SetValue(next, true);
        if (m_look.valueTip)
            UpdateValueTip(nullptr);
        if (point.y != m_pressPoint.y) {
            POINT back = m_pressPoint;
            m_site->ClientToScreen(&back);
            SetCursorPos(back.x, back.y);
        }
    }
    m_currentPoint = point;
}

void CNWBitmapKnob::OnLButtonUp(UINT flags, POINT point)
{
    CNWControl::OnLButtonUp(flags, point);
    m_site->ShowControlCursor(true);
    if (m_look.valueTip)
        HideValueTip();
}

void CNWBitmapKnob::OnLButtonDblClk(UINT flags, POINT point)
{
    CNWControl::OnLButtonDblClk(flags, point);
    m_tracking = false;
    m_pressValue = m_value;
}

void CNWBitmapKnob::OnRButtonUp(UINT flags, POINT point)
{
    m_pressPoint = point;
    m_menuOpen = true;
    RunContextMenu(point);
    m_menuOpen = false;
    CNWControl::OnRButtonUp(flags, point);
}

#include "uikit/CCpuMeter.h"

#include <algorithm>

CCpuMeter::CCpuMeter(CNWControlSite* site)
    : CNWBitmap(site, kBackground), m_litPen(PS_SOLID, 2, RGB(60, 90, 37)), m_darkPen(PS_SOLID, 2, RGB(130, 195, 81))
{
}

CCpuMeter::~CCpuMeter()
{
    m_litPen.DeleteObject();
    m_darkPen.DeleteObject();
}

void CCpuMeter::Draw(CDC* dc)
{
    if (!m_enabled || !dc->RectVisible(&m_rect))
        return;
    CNWBitmap::Draw(dc);
    const float load = std::min(1.0f, m_load ? m_load() : 0.0f);
    m_value = load;
    const int lit = std::min(m_segments, static_cast<int>(load * 10.0f + 0.5f));
    const int left = m_rect.left + 23;
    const int top = m_rect.top + 3;
    const int bottom = m_rect.top + 12;
    CPen* old = dc->SelectObject(&m_litPen);
    for (int i = 0; i < m_segments; ++i) {
        dc->SelectObject(i < lit ? &m_litPen : &m_darkPen);
        dc->MoveTo(left + i * m_step, top);
        dc->LineTo(left + i * m_step, bottom);
    }
    dc->SelectObject(old);
    m_toolTipText.Format("%d", static_cast<int>(load * 100.0f + 0.5f));
    dc->SetTextColor(RGB(60, 90, 37));
    dc->SetBkMode(TRANSPARENT);
    CRect r = m_rect;
    r.right -= 3;
    dc->DrawText(m_toolTipText, &r, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    m_dirty = false;
}

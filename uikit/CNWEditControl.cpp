#include "uikit/CNWEditControl.h"

#include "uikit/CNWControlSite.h"

CNWEditControl::CNWEditControl(CNWControlSite* site) : CNWControl(site)
{
    m_value = 0.0;
    m_look.clickInput = FALSE;
}

void CNWEditControl::OnLButtonDblClk(UINT flags, POINT point)
{
    CNWControl::OnLButtonDblClk(flags, point);
    if (m_editable)
        m_site->OnControlClicked(this, flags);
}

void CNWEditControl::Draw(CDC* dc)
{
    if (!m_enabled || !dc->RectVisible(&m_rect))
        return;
    dc->FillSolidRect(&m_rect, m_look.background1);
    CFont* old = dc->SelectObject(ControlFont());
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(m_editable ? m_look.text1 : m_look.disabledText);
    CRect r = m_rect;
    dc->DrawText(m_text, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    dc->SelectObject(old);
    m_dirty = false;
}

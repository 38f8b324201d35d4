#include "uikit/CNWToggleControl.h"

#include "uikit/CNWControlSite.h"

CNWToggleControl::CNWToggleControl(CNWControlSite* site, int mode) : CNWControl(site), m_mode(mode)
{
    m_value = 0.0;
}

bool CNWToggleControl::IsOn() const
{
    return m_value >= 0.5 * (m_maximum - m_minimum);
}

void CNWToggleControl::SetCheck(bool on, bool notify)
{
    if (!notify || m_look.clickInput)
        SetValue(on ? 1.0 : 0.0, notify);
}

void CNWToggleControl::OnLButtonDown(UINT flags, POINT point)
{
    if (m_mode == kSwitchOnPress && m_editable) {
        SetCheck(m_value < 0.5, true);
        m_site->OnControlClicked(this, flags);
    }
    Invalidate();
    CNWControl::OnLButtonDown(flags, point);
}

void CNWToggleControl::OnLButtonUp(UINT flags, POINT point)
{
    if (m_mode == kSwitchOnRelease && m_editable) {
        SetCheck(m_value < 0.5, true);
        if (m_rect.PtInRect(point))
            m_site->OnControlClicked(this, flags);
    }
    Invalidate();
    CNWControl::OnLButtonUp(flags, point);
}

void CNWToggleControl::OnRButtonUp(UINT flags, POINT point)
{
    RunContextMenu(point);
    // The press set tracking; a menu does not leave the control in a drag.
    CNWControl::OnRButtonUp(flags, point);
}

int CNWToggleControl::OnKeyAction(int code)
{
    if (!m_editable)
        return 0;
    const bool on = IsOn();
    switch (code) {
    case 0:
    case 2:
    case 4:
        SetCheck(false, true);
        if (on)
            m_site->OnControlClicked(this, 0);
        return 1;
    case 1:
    case 3:
    case 5:
        SetCheck(true, true);
        if (!on)
            m_site->OnControlClicked(this, 0);
        return 1;
    case 6:
        SetCheck(!on, true);
        m_site->OnControlClicked(this, 0);
        return 1;
    default:
        return 0;
    }
}

#include "uikit/CNWDropTarget.h"

int CNWDropTarget::AddControl(CNWControl* control)
{
    return m_controls.Add(control) ? 1 : 0;
}

void CNWDropTarget::RemoveAllControls()
{
    m_controls.RemoveAll();
    m_highlighted = nullptr;
}

void CNWDropTarget::Highlight(CNWControl* control)
{
    if (control == m_highlighted)
        return;
    if (m_highlighted)
        m_highlighted->SetDropHighlight(false);
    m_highlighted = control;
    if (m_highlighted)
        m_highlighted->SetDropHighlight(true);
}

DROPEFFECT CNWDropTarget::OnDragEnter(CWnd* window, COleDataObject* data, DWORD keyState, CPoint point)
{
    m_accepting = false;
    for (int i = 0; i < m_controls.GetCount() && !m_accepting; ++i) {
        POINT p = point;
        m_accepting = ControlAt(i)->OnDragEnter(&p, data);
    }
    return OnDragOver(window, data, keyState, point);
}

DROPEFFECT CNWDropTarget::OnDragOver(CWnd*, COleDataObject* data, DWORD keyState, CPoint point)
{
    if (!m_accepting)
        return DROPEFFECT_NONE;
    for (int i = 0; i < m_controls.GetCount(); ++i) {
        POINT p = point;
        if (ControlAt(i)->OnDragOver(&p, data)) {
            Highlight(ControlAt(i));
            return (keyState & MK_CONTROL) ? DROPEFFECT_COPY : DROPEFFECT_MOVE;
        }
    }
    Highlight(nullptr);
    return DROPEFFECT_NONE;
}

BOOL CNWDropTarget::OnDrop(CWnd*, COleDataObject* data, DROPEFFECT effect, CPoint point)
{
    for (int i = 0; i < m_controls.GetCount(); ++i) {
        POINT p = point;
        if (ControlAt(i)->OnDrop(&p, data, effect)) {
            Highlight(nullptr);
            return TRUE;
        }
    }
    return FALSE;
}

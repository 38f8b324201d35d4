// Passes drag and drop over a host window to the windowless controls
// registered with it: on entering it notes whether any control accepts the
// data; over a point the first control that takes it there is highlighted
// and the effect is copy with Ctrl held, move otherwise; a drop goes to the
// first control that takes it. Controls are asked in the order they were
// registered, so what the user sees does not depend on where they lie in
// memory. The target does not own its controls. UI thread only.
#pragma once

#include "platform/ui/GdiTypes.h"
#include "uikit/CNWControl.h"
#include "uikit/core/CPtrSet.h"

constexpr DROPEFFECT DROPEFFECT_NONE = 0, DROPEFFECT_COPY = 1, DROPEFFECT_MOVE = 2, DROPEFFECT_SCROLL = 0x80000000;

class CWnd;

class CNWDropTarget {
public:
    CNWDropTarget() = default;
    virtual ~CNWDropTarget() = default;

    // 1 when added, 0 when the control was there already.
    int AddControl(CNWControl* control);
    void RemoveAllControls();

    virtual DROPEFFECT OnDragEnter(CWnd* window, COleDataObject* data, DWORD keyState, CPoint point);
    virtual DROPEFFECT OnDragOver(CWnd* window, COleDataObject* data, DWORD keyState, CPoint point);
    virtual BOOL OnDrop(CWnd* window, COleDataObject* data, DROPEFFECT effect, CPoint point);

    CNWControl* GetHighlighted() const { return m_highlighted; }
    int GetControlCount() const { return m_controls.GetCount(); }

private:
    CNWControl* ControlAt(int index) const { return static_cast<CNWControl*>(m_controls.GetAt(index)); }
    void Highlight(CNWControl* control);

    bool m_accepting = false;
    CPtrSet m_controls;
    CNWControl* m_highlighted = nullptr;
};

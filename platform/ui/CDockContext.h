// The drag engine of a control bar: it moves a bar to another dock bar or
// out into a mini dock frame, and resizes a floating bar's frame. This base
// keeps what every dock context shares: the drag rectangles, the flip and
// force-frame flags that the keys set during a drag (Shift flips the bar's
// orientation, Control keeps it from docking), the most recently used dock
// and float places, and toggling between them. The drag itself is the
// derived context's. UI thread only.
#pragma once

#include "platform/ui/CControlBar.h"

class CDC;

class CDockContext {
public:
    explicit CDockContext(CControlBar* bar);
    virtual ~CDockContext();
    CDockContext(const CDockContext&) = delete;
    CDockContext& operator=(const CDockContext&) = delete;

    virtual void StartDrag(CPoint screen) {}
    virtual void StartResize(int hitCode, CPoint screen) {}
    // A docked bar floats at its last float place; a floating one returns
    // to its last dock place (or the first side it may dock to).
    virtual void ToggleDocking();
    // The platform's key handling during a drag: Shift and Control.
    void OnKey(int vk, BOOL down);

    CControlBar* m_pBar;
    CFrameWnd* m_pDockSite;
    DWORD m_dwDockStyle = 0;
    DWORD m_dwOverDockStyle = 0;
    DWORD m_dwStyle = 0;
    CPoint m_ptLast;
    CRect m_rectDragHorz, m_rectDragVert, m_rectFrameDragHorz, m_rectFrameDragVert;
    CRect m_rectLast;
    CSize m_sizeLast;
    BOOL m_bDitherLast = FALSE;
    BOOL m_bFlip = FALSE;
    BOOL m_bForceFrame = FALSE;
    BOOL m_bDragging = FALSE;
    int m_nHitTest = 0;
    UINT m_uMRUDockID = 0;
    CRect m_rectMRUDockPos;
    DWORD m_dwMRUFloatStyle = 0;
    CPoint m_ptMRUFloatPos;

protected:
    // Feedback in screen coordinates on the dock site's window: removes the
    // rectangle drawn before and draws `rect` (none when null) with a border
    // of `border`, in the halftone pattern when `dither`, else in white.
    void DrawDragRect(const CRect* rect, CSize border, BOOL dither);
};

// The drag engine of a sizing bar: it runs the whole drag of a bar from one
// dock bar to another or out into a floating mini frame, showing where the
// bar would land (the row it would join, or the new row it would open), and
// the live resize of a floating bar's mini frame. Shift flips the bar's
// orientation and Control keeps it from docking while the drag runs;
// Escape, the right button or a lost capture cancel and leave the bar where
// it was. UI thread only.
#pragma once

#include "platform/ui/CDockContext.h"

class CDockBar;

class CDockContextEx : public CDockContext {
public:
    explicit CDockContextEx(CControlBar* bar);

    void StartDrag(CPoint screen) override;
    void StartResize(int hitCode, CPoint screen) override;

    // Where the bar would land in a horizontal and in a vertical dock bar (screen).
    CRect m_rectPreviewHorz;
    CRect m_rectPreviewVert;

private:
    static bool Filter(MSG& msg, void* context);
    bool OnLoopMessage(const MSG& msg);
    // Runs the loop until the button is released (TRUE) or the drag is cancelled.
    BOOL Track();
    void CancelLoop();
    void Move(CPoint screen);
    void Stretch(CPoint screen);
    void EndDrag();
    void EndResize();
    void CommitResize();
    DWORD DockStyleUnderCursor();
    void ComputePreview(CDockBar* dock);
    void DrawFeedback();

    enum LoopEnd { Running, Released, Cancelled };
    LoopEnd m_end = Running;
    CDockBar* m_pTargetDock = nullptr;
    CRect m_rectRequest, m_rectActual;
    CPoint m_ptResizeStart;
};

// A sizing bar with a gripper and a close square while it is docked: two
// raised lines along the reserved strip, and an 11-pixel close square at
// the strip's head whose press and release hide the bar. The square shows
// hot under the cursor and pushed while the button is down, as read at each
// command-update pass. A floating bar shows neither (its mini frame has its
// own caption). UI thread only.
#pragma once

#include "uikit/CSizingControlBar.h"

class CSizingControlBarG : public CSizingControlBar {
public:
    CSizingControlBarG();

    void OnUpdateCmdUI(CFrameWnd* target, BOOL disableIfNoHandler) override;
    void PaintGripper(CDC* dc, const CRect& clientRect) override;
    void ComputeClientRect(CRect& rect, UINT dockBarId) override;
    virtual BOOL ShowsGripper() const;

    int gripperWidth = 12;
    BOOL closePushed = FALSE;
    BOOL closeHot = FALSE;
    CPoint closePos;  // the close square's top-left, from the window's top-left

protected:
    static constexpr int kCloseSize = 11;
    LRESULT OnNcHitTest(CPoint screen) override;
    void OnNcLButtonUp(UINT hitCode, CPoint screen) override;
    // The close square in window coordinates.
    CRect CloseRect() const;
    void PaintCloseButton(CDC* dc);
};

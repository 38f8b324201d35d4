// A gripper bar whose gripper is a caption: an 11-pixel band in the active
// caption colour while the keyboard focus is inside the bar (else the
// inactive one), a gradient when the system draws gradient captions, with
// the bar's title in it (turned upright in a band along the left edge). The
// close square is drawn but has no hit area of its own, so a press there
// drags the bar like the rest of the caption. UI thread only.
#pragma once

#include "platform/win/CString.h"
#include "uikit/CSizingControlBarG.h"

class CSizingControlBarCF : public CSizingControlBarG {
public:
    CSizingControlBarCF();

    void OnUpdateCmdUI(CFrameWnd* target, BOOL disableIfNoHandler) override;
    void PaintGripper(CDC* dc, const CRect& clientRect) override;

    BOOL captionActive = FALSE;
    CString captionFont;

protected:
    LRESULT OnNcHitTest(CPoint screen) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};

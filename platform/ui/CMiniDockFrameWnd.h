// The small frame a floating control bar lives in: a pop-up with a thin
// sizing border and a small caption of our own that carries the bar's title
// and a close square. Its one dock bar (AFX_IDW_DOCKBAR_FLOAT) holds the
// bar. A press on the caption drags the bar, a press on the border resizes
// it through the bar's dock context, a double click on the caption docks it
// again, and the close square hides it. The dock site owns the frame and
// closes it once its bar has left. UI thread only.
#pragma once

#include "platform/ui/CDockBar.h"
#include "platform/ui/CFrameWnd.h"

// Mini frame styles: MFS_4THICKFRAME sizes by the four sides only, without
// the corners.
constexpr DWORD MFS_4THICKFRAME = 0x0200;

class CMiniDockFrameWnd : public CFrameWnd {
public:
    CMiniDockFrameWnd();

    BOOL Create(CFrameWnd* dockSite, DWORD barStyle);
    // Sizes the frame around its bar's floating size.
    void RecalcLayout(BOOL notify = TRUE) override;
    // Grows a client rectangle (screen coordinates) by the frame's border and caption.
    static void CalcBorders(CRect& rect);
    // The bar that floats here, null once it has gone.
    CControlBar* GetBar() const;
    // Called by the dock bar when its bar left: the frame hides and asks its
    // dock site to close it later (the drag that took the bar may still be
    // running in one of the frame's handlers).
    void OnBarLeft();

    CDockBar m_wndDockBar{TRUE};
    DWORD m_dwMiniStyle = MFS_4THICKFRAME;

protected:
    void OnNcCalcSize(BOOL calcValidRects, NCCALCSIZE_PARAMS* params) override;
    LRESULT OnNcHitTest(CPoint screen) override;
    void OnNcPaint() override;
    void OnNcLButtonDown(UINT hitCode, CPoint screen) override;
    void OnNcLButtonUp(UINT hitCode, CPoint screen) override;
    void OnNcLButtonDblClk(UINT hitCode, CPoint screen) override;
    void OnClose() override;

private:
    CRect CloseSquare() const;  // window coordinates
    CFrameWnd* m_pDockSite = nullptr;
};

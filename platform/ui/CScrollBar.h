// A scroll-bar control: a child window that keeps one SCROLLINFO, answers
// the scroll-bar control messages (SBM_...) and tells its parent about
// presses with WM_HSCROLL or WM_VSCROLL (SBS_VERT), the bar's handle in
// lParam. A press on the track before the thumb pages up, after it pages
// down. The position is kept within [nMin, nMax - nPage + 1], as Windows
// keeps a standard bar's. UI thread only.
#pragma once

#include "platform/ui/CWnd.h"
#include "platform/ui/ScrollInfo.h"

class CScrollBar : public CWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);

    BOOL SetScrollInfo(LPSCROLLINFO info, BOOL redraw = TRUE);
    BOOL GetScrollInfo(LPSCROLLINFO info, UINT mask = SIF_ALL);
    int GetScrollPos();
    int SetScrollPos(int pos, BOOL redraw = TRUE);
    void SetScrollRange(int minPos, int maxPos, BOOL redraw = TRUE);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnPaint() override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    // The thumb, in client coordinates.
    CRect ThumbRect() const;
    bool IsVertical() const { return (GetStyle() & SBS_VERT) != 0; }

    SCROLLINFO m_info{sizeof(SCROLLINFO), 0, 0, 0, 0, 0, 0};
};

namespace mvui {
// Applies the fields the mask names, keeps the position in the range as a
// standard bar does and returns it.
int ApplyScrollInfo(SCROLLINFO& bar, const SCROLLINFO& given);
// Copies the fields `mask` names from the bar.
void ReadScrollInfo(const SCROLLINFO& bar, SCROLLINFO& out, UINT mask);
}  // namespace mvui

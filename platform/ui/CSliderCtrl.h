// The trackbar ("msctls_trackbar32"): a position within a range, moved by a
// press or drag on the channel (WM_HSCROLL or, with TBS_VERT, WM_VSCROLL to
// the parent: TB_THUMBTRACK while dragging, TB_ENDTRACK at the end) and by
// the arrow keys (line size) and Page Up/Down (page size). A vertical bar
// has its minimum at the top, as the common control does. UI thread only.
#pragma once

#include "platform/ui/CControlWnd.h"

constexpr DWORD TBS_HORZ = 0x0, TBS_AUTOTICKS = 0x1, TBS_VERT = 0x2, TBS_NOTICKS = 0x10;
constexpr UINT TBM_GETPOS = 0x0400, TBM_GETRANGEMIN = 0x0401, TBM_GETRANGEMAX = 0x0402,
               TBM_SETPOS = 0x0405, TBM_SETRANGE = 0x0406, TBM_SETRANGEMIN = 0x0407,
               TBM_SETRANGEMAX = 0x0408, TBM_SETTICFREQ = 0x0414, TBM_SETPAGESIZE = 0x0415,
               TBM_GETPAGESIZE = 0x0416, TBM_SETLINESIZE = 0x0417, TBM_GETLINESIZE = 0x0418;
constexpr WORD TB_LINEUP = 0, TB_LINEDOWN = 1, TB_PAGEUP = 2, TB_PAGEDOWN = 3, TB_THUMBPOSITION = 4,
               TB_THUMBTRACK = 5, TB_TOP = 6, TB_BOTTOM = 7, TB_ENDTRACK = 8;

class CSliderCtrl : public CControlWnd {
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
    void SetRange(int minimum, int maximum, BOOL redraw = FALSE);
    int GetRangeMin() const { return m_min; }
    int GetRangeMax() const { return m_max; }
    // Clamped into the range; tells the parent nothing.
    void SetPos(int pos);
    int GetPos() const { return m_pos; }
    void SetLineSize(int size) { m_line = size; }
    int GetLineSize() const { return m_line; }
    void SetPageSize(int size) { m_page = size; }
    int GetPageSize() const { return m_page; }
    void SetTicFreq(int frequency);
    int GetTicFreq() const { return m_ticFreq; }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    void OnCaptureChanged(CWnd* newCapture) override;
    void OnKeyDown(UINT vk, UINT repeat, UINT flags) override;

private:
    bool Vertical() const { return (GetStyle() & TBS_VERT) != 0; }
    // The channel's pixel span along the bar, and the position at a point.
    void Span(int& first, int& last) const;
    int PosAt(CPoint point) const;
    void Notify(WORD code);

    int m_min = 0;
    int m_max = 100;
    int m_pos = 0;
    int m_line = 1;
    int m_page = 20;
    int m_ticFreq = 1;
    bool m_dragging = false;
};

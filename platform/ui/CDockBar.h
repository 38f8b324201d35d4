// A dock bar: the strip along one side of a frame (or the one inside a mini
// dock frame) that holds docked control bars in rows. Its array holds bar
// pointers; a null entry ends a row, the first entry is always a null, and
// entries below 0x10000 are placeholders that the layout skips. UI thread only.
#pragma once

#include <vector>

#include "platform/ui/CControlBar.h"

class CDockBar : public CControlBar {
public:
    explicit CDockBar(BOOL floating = FALSE);

    BOOL Create(CWnd* parent, DWORD style, UINT id);
    // Bars side by side along a row at their docked (or, floating, their
    // last floating) sizes, rows one after the other.
    CSize CalcFixedLayout(BOOL stretch, BOOL horizontal) override;

    // Takes the bar in: at the row and place `rect` (screen coordinates)
    // points at, or at the end of the last row; removes it from its former
    // dock bar (closing a mini frame left empty). A row is opened by
    // appending a null entry first.
    void DockControlBar(CControlBar* bar, LPCRECT rect = nullptr);
    // Takes the bar out of the array; an empty row goes with it.
    void RemoveControlBar(CControlBar* bar);
    // The bar at an entry, null for a row end or a placeholder.
    CControlBar* GetDockedControlBar(int index) const;
    int FindBar(const CControlBar* bar) const;
    int GetDockedCount() const;
    int GetDockedVisibleCount() const;
    BOOL IsHorizontal() const { return (m_dwStyle & CBRS_ORIENT_HORZ) != 0; }

    std::vector<void*> m_arrBars;
    BOOL m_bFloating;
    // Where the frame lets the bar lay out; empty means the frame's client area.
    CRect m_rectLayout;

protected:
    // Where a bar dropped at `rect` (client coordinates) enters the array.
    int Insert(CControlBar* bar, const CRect& rect, CPoint mid);
};

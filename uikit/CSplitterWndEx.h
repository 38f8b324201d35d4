// The frames' splitter: bars painted in one colour (the system face colour
// while the colour is 0x10101), thin one-pixel bars on request, cells marked
// to be painted as solid blocks, shared scroll bars hidden while the layout
// is recomputed, bars that can be locked in place, and bars that resize the
// panes live while they are dragged (no inverted tracker line).
//
// Two hooks, both the owning frame and never owned: the layout hook places
// the panes itself after the base layout and asks for the scroll-bar sizes;
// the double-click hook hears double-clicks with their hit code.
// UI thread only.
#pragma once

#include <set>
#include <utility>

#include "platform/ui/CSplitterWnd.h"

class CSplitterWndEx : public CSplitterWnd {
public:
    class IRecalcLayoutHook {
    public:
        virtual void OnRecalcLayout(CSplitterWndEx* splitter) = 0;
        virtual int GetHScrollBarHeight() = 0;
        virtual int GetVScrollBarWidth() = 0;

    protected:
        ~IRecalcLayoutHook() = default;
    };
    class IDoubleClickHook {
    public:
        virtual void OnSplitterDoubleClick(int hit) = 0;

    protected:
        ~IDoubleClickHook() = default;
    };

    static constexpr COLORREF kSystemFace = 0x10101;

    CSplitterWndEx(IRecalcLayoutHook* layoutHook, IDoubleClickHook* doubleClickHook, BOOL paintMarkedBorder,
                   BOOL locked);

    void SetThinBars();
    COLORREF GetBarColor() const;
    void SetBarColor(COLORREF colour) { m_barColor = colour; }
    BOOL IsBarMarked(int row, int column) const;
    void SetBarMarked(int row, int column, BOOL marked);
    void SetLocked(BOOL locked) { m_locked = locked; }
    BOOL IsLocked() const { return m_locked; }

    void RecalcLayout() override;
    void GetInsideRect(CRect& rect) const override;
    virtual void DrawRowBars(CDC* dc, int limit);
    virtual void DrawColumnBars(CDC* dc, int limit);
    virtual void ShowScrollBars(BOOL show);
    virtual int GetVScrollWidth() const;
    virtual int GetHScrollHeight() const;

protected:
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    void DrawAllSplitBars(CDC* dc, int cxInside, int cyInside) override;
    void OnDrawSplitter(CDC* dc, ESplitType type, const CRect& rect) override;
    // Bars move the panes themselves while they are dragged.
    void OnInvertTracker(const CRect&) override {}

    void OnPaint() override;
    BOOL OnMouseWheel(UINT flags, short delta, CPoint screen) override;
    void OnLButtonDblClk(UINT flags, CPoint point) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    BOOL OnSetCursor(CWnd* wnd, UINT hitCode, UINT message) override;
    void OnMouseMove(UINT flags, CPoint point) override;

private:
    IRecalcLayoutHook* m_layoutHook;
    IDoubleClickHook* m_doubleClickHook;
    BOOL m_paintMarkedBorder;
    CPoint m_lastDragPoint{-1, -1};
    std::set<std::pair<int, int>> m_markedCells;
    BOOL m_locked;
    COLORREF m_barColor = kSystemFace;
};

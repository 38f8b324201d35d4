// The time axis: a scroll manager in ticks (960 to the quarter note) with a
// zoom in pixels per quarter note between a minimum (a given 0 becomes 1e-8)
// and a maximum. With keep-in-range set, every change keeps the page inside
// [0, total]; without it, scrolling may leave the page short of the end.
//
// Every manager shares one pen (solid, width 0, light grey) that time views
// select to draw position lines in XOR mode; the first manager makes it, the
// last one frees it. UI thread only.
#pragma once

#include "platform/ui/CPen.h"
#include "uikit/CScrollMgr.h"

template <class T>
class CHScrollMgr : public CScrollMgr {
public:
    CHScrollMgr(float zoom, int minZoom, int maxZoom);
    ~CHScrollMgr() override;

    int Attach(CWnd* wnd) override;
    void SetZoom(float zoom) override;
    void SetZoomKeepEnd(float zoom) override;
    void SetZoomAround(float zoom, int anchor, float fraction, BOOL update) override;
    void ZoomIn() override;
    void ZoomOut() override;
    BOOL CanZoomIn() override { return m_zoom < static_cast<float>(m_maxZoom); }
    BOOL CanZoomOut() override { return m_minZoom < m_zoom; }
    double GetZoom() override { return m_zoom; }
    double GetMinZoom() override { return m_minZoom; }
    int GetMaxZoom() override { return m_maxZoom; }
    void SetKeepInRange(int keep) override { m_keepInRange = keep; }
    double GetFitZoom(int total) override;
    int UnitsToPixels(int units) override;
    int PixelsToUnits(int pixels) override;

    // The answer to WM_HSCROLL and to size changes: a scroll code (null for
    // none, codes above SB_BOTTOM change nothing), the thumb position, the
    // new client width and total. TRUE when anything changed.
    BOOL HandleScroll(const BYTE* code, int thumb, int newExtent, int newTotal);
    // With keep-in-range only: a non-zero `end` becomes the end of the page,
    // 0 just keeps the page inside the range. The bars follow in any case.
    void ScrollTo(int end);
    // Hands every window the bar state and moves its pixels by dx (auto-scroll while dragging).
    void ScrollLinkedViews(const SCROLLINFO* info, int dx);

    int GetKeepInRange() const { return m_keepInRange; }
    int GetExtent() const { return m_extent; }
    int GetTotal() const { return m_total; }
    int GetPage() { return PixelsToUnits(m_extent); }
    static CPen* GetPositionPen();

protected:
    // Builds the bar state, clamps the position when keep-in-range is set,
    // gives it to every window's horizontal bar and repaints them.
    void UpdateBars();
    float ClampZoom(float zoom) const;

    int m_keepInRange = 0;
    int m_unitsPerBeat = 960;
    int m_extent = 1;  // pixels
    int m_total = 0;   // units
    float m_zoom;
    int m_maxZoom;
    float m_minZoom;
};

extern template class CHScrollMgr<long>;

// The row axis: a scroll manager in rows, with an integer zoom in tenths
// (a row is rowUnit pixels at zoom 10) between a minimum and a maximum.
// Every change ends with the bars of all windows updated, their pixels
// moved and, for windows shown normally, a posted WM_SIZE so that each view
// lays itself out again. UI thread only.
#pragma once

#include "uikit/CScrollMgr.h"

class CVScrollMgr : public CScrollMgr {
public:
    CVScrollMgr(int rowUnit, int zoom, int minZoom, int maxZoom);

    int Attach(CWnd* wnd) override;
    void SetZoom(float zoom) override;
    void SetZoomKeepEnd(float zoom) override;
    void SetZoomAround(float zoom, int anchor, float fraction, BOOL update) override;
    void ZoomIn() override;
    void ZoomOut() override;
    BOOL CanZoomIn() override { return m_zoom < m_maxZoom; }
    BOOL CanZoomOut() override { return m_minZoom < m_zoom; }
    double GetZoom() override { return m_zoom; }
    double GetMinZoom() override { return m_minZoom; }
    int GetMaxZoom() override { return m_maxZoom; }
    void SetKeepInRange(int) override {}
    double GetFitZoom(int total) override;
    int UnitsToPixels(int units) override;
    int PixelsToUnits(int pixels) override;
    // A non-zero `end` becomes the end of the page; 0 keeps the page in the range.
    virtual void ScrollTo(int end);

    // WM_VSCROLL and size changes; TRUE when anything changed.
    BOOL HandleScroll(const BYTE* code, int thumb, int newExtent, int newTotal);
    // Scrolls so that the row shows; TRUE when it scrolled. Without
    // `allowBeyond` the row is first limited to the total.
    BOOL EnsureVisible(int row, BOOL allowBeyond);
    void ScrollIntoView(int delta, BOOL allowBeyond);
    void UpdateBars(const SCROLLINFO* info, int dy);
    void ApplyZoom(float zoom, int end, BOOL update);

    int GetExtent() const { return m_extent; }
    int GetTotal() const { return m_total; }
    int GetPage() { return PixelsToUnits(m_extent); }

private:
    int m_zoom;
    int m_maxZoom;
    int m_minZoom;
    int m_total = 1;
    int m_rowUnit;
    int m_extent = 0;
};

// The time axis with a zoom relative to the window width (window widths per
// quarter note): resizing a window keeps the same musical span in view.
// Only the unit conversions differ from CHScrollMgr; a width of 0 counts
// as 1. UI thread only.
#pragma once

#include "uikit/CHScrollMgr.h"

template <class T>
class CHScrollZoomMgr : public CHScrollMgr<T> {
public:
    CHScrollZoomMgr(float zoom, int minZoom, int maxZoom) : CHScrollMgr<T>(zoom, minZoom, maxZoom) {}

    int UnitsToPixels(int units) override;
    int PixelsToUnits(int pixels) override;
};

extern template class CHScrollZoomMgr<long>;

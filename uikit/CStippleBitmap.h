// A stipple: a rectangle filled with a dot pattern anchored to an origin, so
// the dots line up however the rectangle is cut (selections, disabled
// areas), or, in style 2, with a translucent colour.
//   style 0  checkerboard of single pixels (period 2 x 2)
//   style 1  sparse dots: every third pixel of every second row, the start
//            advancing by one on each drawn row (period 3 x 2)
//   style 2  solid colour blended at `opacity` (0..255)
// Styles 0 and 1 invert the destination through the colour at the dots only.
// UI thread only.
#pragma once

#include "platform/ui/CDC.h"

class CStippleBitmap {
public:
    // A tile of width x height (at least one period), made for `dc`.
    CStippleBitmap(CDC* dc, int width, int height, int xOrigin, int yOrigin, int style, int opacity,
                   COLORREF colour);
    ~CStippleBitmap();
    CStippleBitmap(const CStippleBitmap&) = delete;
    CStippleBitmap& operator=(const CStippleBitmap&) = delete;

    void Draw(CDC* dc, const RECT& rect);

private:
    int m_width;
    int m_height;
    int m_xOrigin;
    int m_yOrigin;
    int m_xPeriod;
    int m_yPeriod;
    CBitmap m_tile;
    int m_style;
    int m_opacity;
    COLORREF m_colour;
};

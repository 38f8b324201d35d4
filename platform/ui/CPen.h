// A pen: style, width and colour. A width of 0 or 1 draws one-pixel lines.
#pragma once

#include "platform/ui/CGdiObject.h"

constexpr int PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_DASHDOT = 3, PS_NULL = 5,
              PS_INSIDEFRAME = 6;

class CPen : public CGdiObject {
public:
    CPen() : CGdiObject(Pen) {}
    CPen(int style, int width, COLORREF colour) : CGdiObject(Pen) { CreatePen(style, width, colour); }

    BOOL CreatePen(int style, int width, COLORREF colour)
    {
        m_style = style;
        m_width = width;
        m_colour = colour;
        m_created = true;
        return TRUE;
    }
    int Style() const { return m_style; }
    int Width() const { return m_width; }
    COLORREF Colour() const { return m_colour; }

private:
    int m_style = PS_SOLID;
    int m_width = 1;
    COLORREF m_colour = 0;
};

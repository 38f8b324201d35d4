// A brush: solid colour, hatch, an 8 x 8 (or any size) pattern bitmap, or none.
// A pattern brush tiles from the device context's brush origin.
#pragma once

#include <memory>

#include "platform/ui/CBitmap.h"
#include "platform/ui/CGdiObject.h"

constexpr int BS_SOLID = 0, BS_NULL = 1, BS_HATCHED = 2, BS_PATTERN = 3;
constexpr int HS_HORIZONTAL = 0, HS_VERTICAL = 1, HS_FDIAGONAL = 2, HS_BDIAGONAL = 3,
              HS_CROSS = 4, HS_DIAGCROSS = 5;

class CBrush : public CGdiObject {
public:
    CBrush() : CGdiObject(Brush) {}
    explicit CBrush(COLORREF colour) : CGdiObject(Brush) { CreateSolidBrush(colour); }

    BOOL CreateSolidBrush(COLORREF colour);
    BOOL CreateHatchBrush(int hatch, COLORREF colour);
    BOOL CreatePatternBrush(const CBitmap* bitmap);
    BOOL CreateNullBrush();
    BOOL CreateSysColorBrush(int index);

    int Style() const { return m_style; }
    COLORREF Colour() const { return m_colour; }
    int Hatch() const { return m_hatch; }
    const CBitmap& Pattern() const { return m_pattern; }

private:
    int m_style = BS_SOLID;
    COLORREF m_colour = 0;
    int m_hatch = 0;
    CBitmap m_pattern;
};

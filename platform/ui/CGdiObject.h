// GDI objects are small values: a pen, a brush, a font, a bitmap or a region
// is its description (and, for a bitmap or region, shared pixel or area data).
// A device context keeps its own copy of what is selected into it, so an
// object deleted while selected never leaves the context pointing at
// nothing. Stock objects are shared, never deleted. UI thread only.
#pragma once

#include "platform/ui/GdiTypes.h"

class CGdiObject {
public:
    enum Kind { None, Pen, Brush, Font, Bitmap, Region };

    explicit CGdiObject(Kind kind) : m_kind(kind) {}
    virtual ~CGdiObject() = default;

    Kind GetKind() const { return m_kind; }
    // TRUE while the object holds a created description.
    bool IsCreated() const { return m_created; }
    // Forgets the description; a stock object stays as it is.
    virtual BOOL DeleteObject();

    bool m_stock = false;

protected:
    Kind m_kind;
    bool m_created = false;
};

// Stock object indices.
constexpr int WHITE_BRUSH = 0, LTGRAY_BRUSH = 1, GRAY_BRUSH = 2, DKGRAY_BRUSH = 3,
              BLACK_BRUSH = 4, NULL_BRUSH = 5, HOLLOW_BRUSH = 5, WHITE_PEN = 6, BLACK_PEN = 7,
              NULL_PEN = 8, ANSI_VAR_FONT = 12, SYSTEM_FONT = 13, DEFAULT_GUI_FONT = 17;
// The shared stock object; null for an unknown index.
CGdiObject* GetStockObject(int index);

// Saves chosen attributes of a device context and puts them back when it
// goes out of scope, so a drawing routine may change them freely. The flags
// pick what is kept: 0x1 background colour, 0x2 text colour, 0x4 background
// mode, 0x8 pen, 0x10 brush, 0x20 bitmap, 0x40 font, 0x100 ROP2, 0x200
// stretch-blit mode, 0x400 mapping mode (the layer draws in one mapping
// mode only, so there is nothing to keep). Lives on the stack for one
// drawing routine; UI thread only.
#pragma once

#include "platform/ui/CDC.h"

class CAutoDCRestorer {
public:
    enum : UINT {
        kBkColor = 0x1,
        kTextColor = 0x2,
        kBkMode = 0x4,
        kPen = 0x8,
        kBrush = 0x10,
        kBitmap = 0x20,
        kFont = 0x40,
        kRop2 = 0x100,
        kStretchMode = 0x200,
        kMapMode = 0x400
    };

    CAutoDCRestorer(CDC* dc, UINT flags);
    virtual ~CAutoDCRestorer();
    CAutoDCRestorer(const CAutoDCRestorer&) = delete;
    CAutoDCRestorer& operator=(const CAutoDCRestorer&) = delete;

private:
    UINT m_flags;
    CDC* m_dc;
    COLORREF m_bkColor = 0, m_textColor = 0;
    int m_bkMode = 0, m_rop2 = 0, m_stretchMode = 0;
    CPen* m_pen = nullptr;
    CBrush* m_brush = nullptr;
    CBitmap* m_bitmap = nullptr;
    CFont* m_font = nullptr;
};

#include "uikit/CAutoDCRestorer.h"

CAutoDCRestorer::CAutoDCRestorer(CDC* dc, UINT flags) : m_flags(dc ? flags : 0), m_dc(dc)
{
    if (m_flags & kBkColor)
        m_bkColor = dc->GetBkColor();
    if (m_flags & kTextColor)
        m_textColor = dc->GetTextColor();
    if (m_flags & kBkMode)
        m_bkMode = dc->GetBkMode();
    if (m_flags & kPen)
        m_pen = dc->GetCurrentPen();
    if (m_flags & kBrush)
        m_brush = dc->GetCurrentBrush();
    if (m_flags & kBitmap)
        m_bitmap = dc->GetCurrentBitmap();
    if (m_flags & kFont)
        m_font = dc->GetCurrentFont();
    if (m_flags & kRop2)
        m_rop2 = dc->GetROP2();
    if (m_flags & kStretchMode) {
        m_stretchMode = dc->SetStretchBltMode(COLORONCOLOR);
        dc->SetStretchBltMode(m_stretchMode);
    }
}

CAutoDCRestorer::~CAutoDCRestorer()
{
    if (m_flags & kBkColor)
        m_dc->SetBkColor(m_bkColor);
    if (m_flags & kTextColor)
        m_dc->SetTextColor(m_textColor);
    if (m_flags & kBkMode)
        m_dc->SetBkMode(m_bkMode);
    // Nothing was selected by the caller before: the stock objects come back.
    if (m_flags & kPen)
        m_dc->SelectObject(m_pen ? m_pen : static_cast<CPen*>(GetStockObject(BLACK_PEN)));
    if (m_flags & kBrush)
        m_dc->SelectObject(m_brush ? m_brush : static_cast<CBrush*>(GetStockObject(WHITE_BRUSH)));
    if ((m_flags & kBitmap) && m_bitmap)
        m_dc->SelectObject(m_bitmap);
    if ((m_flags & kFont) && m_font)
        m_dc->SelectObject(m_font);
    if (m_flags & kRop2)
        m_dc->SetROP2(m_rop2);
    if (m_flags & kStretchMode)
        m_dc->SetStretchBltMode(m_stretchMode);
}

#include "platform/ui/CBrush.h"

#include "platform/ui/SystemMetrics.h"

BOOL CBrush::CreateSolidBrush(COLORREF colour)
{
    m_style = BS_SOLID;
    m_colour = colour;
    m_created = true;
    return TRUE;
}

BOOL CBrush::CreateHatchBrush(int hatch, COLORREF colour)
{
    m_style = BS_HATCHED;
    m_hatch = hatch;
    m_colour = colour;
    m_created = true;
    return TRUE;
}

BOOL CBrush::CreatePatternBrush(const CBitmap* bitmap)
{
    if (!bitmap || !bitmap->Data())
        return FALSE;
    m_style = BS_PATTERN;
    m_pattern = *bitmap;
    m_created = true;
    return TRUE;
}

BOOL CBrush::CreateNullBrush()
{
    m_style = BS_NULL;
    m_created = true;
    return TRUE;
}

BOOL CBrush::CreateSysColorBrush(int index)
{
    return CreateSolidBrush(GetSysColor(index));
}

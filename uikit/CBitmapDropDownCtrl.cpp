#include "uikit/CBitmapDropDownCtrl.h"

CBitmapDropDownCtrl::CBitmapDropDownCtrl(CNWControlSite* site, UINT bitmapId, UINT pressedBitmapId)
    : CDropDownCtrl(site), m_normal(LoadOwnBitmap(bitmapId)), m_pressed(pressedBitmapId ? LoadOwnBitmap(pressedBitmapId) : CBitmap())
{
    m_rect = CRect(CPoint(0, 0), m_normal.Data() ? m_normal.GetSize() : CSize());
    Layout();
}

CBitmapDropDownCtrl::~CBitmapDropDownCtrl()
{
    m_normal.DeleteObject();
    m_pressed.DeleteObject();
}

void CBitmapDropDownCtrl::Draw(CDC* dc)
{
    if (!m_enabled || !dc->RectVisible(&m_rect))
        return;
    BlitOwnBitmap(dc, m_value >= 0.5 && m_pressed.Data() ? m_pressed : m_normal, m_rect);
    DrawTextAndArrow(dc);
    m_dirty = false;
}

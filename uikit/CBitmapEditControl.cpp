#include "uikit/CBitmapEditControl.h"

CBitmapEditControl::CBitmapEditControl(CNWControlSite* site, UINT bitmapId)
    : CNWEditControl(site), m_bitmap(LoadOwnBitmap(bitmapId))
{
    m_rect = CRect(CPoint(0, 0), m_bitmap.Data() ? m_bitmap.GetSize() : CSize());
}

CBitmapEditControl::~CBitmapEditControl()
{
    m_bitmap.DeleteObject();
}

void CBitmapEditControl::SetTextInsets(int left, int top, int right, int bottom)
{
    m_insets = CRect(left, top, right, bottom);
    Invalidate();
}

void CBitmapEditControl::Draw(CDC* dc)
{
    if (!m_enabled || !dc->RectVisible(&m_rect))
        return;
    BlitOwnBitmap(dc, m_bitmap, m_rect);
    CFont* old = dc->SelectObject(ControlFont());
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(m_editable ? m_look.text1 : m_look.disabledText);
    CRect r = m_rect;
    r.OffsetRect(m_look.textMargin, 0);
    r.DeflateRect(m_insets.left, m_insets.top, m_insets.right, m_insets.bottom);
    dc->DrawText(m_text, &r, AlignmentFormat());
    dc->SelectObject(old);
    m_dirty = false;
}

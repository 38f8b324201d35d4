#include "uikit/COurFlatScrollBar.h"

#include "platform/ui/CDC.h"

namespace {

// Copies a bitmap into a rectangle, stretched to fit; FALSE without one.
BOOL CopyBitmap(CDC* dc, const CBitmap& bitmap, const CRect& rect)
{
    if (!bitmap.IsCreated())
        return FALSE;
    CDC mem;
    mem.CreateCompatibleDC(dc);
    CBitmap copy = bitmap;
    mem.SelectObject(&copy);
    const CSize size = bitmap.GetSize();
    return dc->StretchBlt(rect.left, rect.top, rect.Width(), rect.Height(), &mem, 0, 0, size.cx, size.cy, SRCCOPY);
}

}  // namespace

void COurFlatScrollBar::DrawBackground(CDC* dc)
{
    dc->FillSolidRect(&m_client, m_backgroundColor);
    CBrush frame(m_frameColor);
    dc->FrameRect(&m_client, &frame);
}

void COurFlatScrollBar::DrawThumb(CDC* dc)
{
    if (!IsWindowEnabled())
        return;
    CRect thumb;
    GetThumbRect(&thumb);
    CRect face = thumb;
    face.DeflateRect(1, 1);
    dc->FillSolidRect(&face, m_thumbColor);
    if (!m_zoomHandles)
        return;
    CRect handle;
    GetCentreHandleRect(&handle, &thumb);
    if (!CopyBitmap(dc, m_grip, handle))
        dc->FillSolidRect(&handle, 0xFF0000);
}

void COurFlatScrollBar::DrawButtons(CDC* dc)
{
    CRect buttons[2];
    GetFirstButtonRect(&buttons[0]);
    GetSecondButtonRect(&buttons[1]);
    const CBitmap* bitmaps[2] = {&m_firstButton, &m_secondButton};
    CBrush frame(0xFF00FF);
    for (int i = 0; i < 2; ++i) {
        if (buttons[i].IsRectEmpty())
            continue;
        if (!CopyBitmap(dc, *bitmaps[i], buttons[i]))
            dc->FillSolidRect(&buttons[i], m_thumbColor);
        dc->FrameRect(&buttons[i], &frame);
    }
}

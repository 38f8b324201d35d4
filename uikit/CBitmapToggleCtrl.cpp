#include "uikit/CBitmapToggleCtrl.h"

#include "platform/ui/CDC.h"

CBitmapToggleCtrl::~CBitmapToggleCtrl()
{
    FreeBitmaps();
}

BOOL CBitmapToggleCtrl::LoadBitmaps(UINT upId, UINT downId, UINT focusId, UINT disabledId)
{
    LoadInto(m_up, upId);
    LoadInto(m_down, downId);
    LoadInto(m_focus, focusId);
    LoadInto(m_disabled, disabledId);
    const BOOL loaded = CBitmapButton::LoadBitmaps(upId, downId, focusId, disabledId);
    if (loaded && IsWindow(m_hWnd))
        SizeToContent();
    return loaded;
}

void CBitmapToggleCtrl::FreeBitmaps()
{
    for (CBitmap* b : {&m_up, &m_down, &m_focus, &m_disabled})
        b->DeleteObject();
}

void CBitmapToggleCtrl::SetOn(BOOL on)
{
    m_on = on ? TRUE : FALSE;
    Invalidate(FALSE);
}

void CBitmapToggleCtrl::DrawItem(LPDRAWITEMSTRUCT item)
{
    CDC* dc = CDC::FromHandle(item->hDC);
    const CBitmap& face = m_on ? m_down : m_up;
    const CRect r(item->rcItem);
    if (face.IsCreated()) {
        CDC mem;
        mem.CreateCompatibleDC(dc);
        CBitmap copy = face;
        mem.SelectObject(&copy);
        dc->BitBlt(r.left, r.top, r.Width(), r.Height(), &mem, 0, 0, SRCCOPY);
    }
    if (item->itemState & ODS_FOCUS) {
        CRect focus = r;
        focus.DeflateRect(1, 1);
        dc->DrawFocusRect(&focus);
    }
}

void CBitmapToggleCtrl::OnLButtonDown(UINT flags, CPoint point)
{
    SetOn(!m_on);
    CBitmapButton::OnLButtonDown(flags, point);
}

void CBitmapToggleCtrl::OnLButtonDblClk(UINT flags, CPoint point)
{
    SendMessage(WM_LBUTTONDOWN, flags, MAKELPARAM(point.x, point.y));
}

void CBitmapToggleCtrl::OnKeyDown(UINT vk, UINT repeat, UINT flags)
{
    if (vk == VK_SPACE)
        SetOn(!m_on);
    CBitmapButton::OnKeyDown(vk, repeat, flags);
}

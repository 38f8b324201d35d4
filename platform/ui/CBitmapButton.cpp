#include "platform/ui/CBitmapButton.h"

#include "platform/ui/BitmapResources.h"
#include "platform/ui/CDC.h"
#include "platform/ui/SystemMetrics.h"

void CBitmapButton::LoadInto(CBitmap& bitmap, UINT id)
{
    bitmap.DeleteObject();
    if (id != 0)
        if (HBITMAP handle = LoadBitmapA(nullptr, id))
            bitmap.Attach(handle);
}

BOOL CBitmapButton::Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CWnd::Create(nullptr, text, style | BS_OWNERDRAW, rect, parent, id);
}

BOOL CBitmapButton::LoadBitmaps(UINT upId, UINT downId, UINT focusId, UINT disabledId)
{
    LoadInto(m_bitmap, upId);
    LoadInto(m_bitmapSel, downId);
    LoadInto(m_bitmapFocus, focusId);
    LoadInto(m_bitmapDisabled, disabledId);
    if (IsWindow(m_hWnd))
        ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW);
    return m_bitmap.IsCreated();
}

void CBitmapButton::SizeToContent()
{
    if (!m_bitmap.IsCreated())
        return;
    const CSize size = m_bitmap.GetSize();
    SetWindowPos(nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CBitmapButton::DrawItem(LPDRAWITEMSTRUCT item)
{
    CDC* dc = CDC::FromHandle(item->hDC);
    const CBitmap* bitmap = &m_bitmap;
    if ((item->itemState & ODS_SELECTED) && m_bitmapSel.IsCreated())
        bitmap = &m_bitmapSel;
    else if ((item->itemState & ODS_FOCUS) && m_bitmapFocus.IsCreated())
        bitmap = &m_bitmapFocus;
    else if ((item->itemState & ODS_DISABLED) && m_bitmapDisabled.IsCreated())
        bitmap = &m_bitmapDisabled;
    if (!bitmap->IsCreated())
        return;
    CDC mem;
    mem.CreateCompatibleDC(dc);
    CBitmap copy = *bitmap;
    mem.SelectObject(&copy);
    const CRect r(item->rcItem);
    dc->BitBlt(r.left, r.top, r.Width(), r.Height(), &mem, 0, 0, SRCCOPY);
}

void CBitmapButton::OnPaint()
{
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    dc.FillSolidRect(&client, GetSysColor(COLOR_BTNFACE));
    UINT state = 0;
    if (m_down)
        state |= ODS_SELECTED;
    if (GetFocus() == this)
        state |= ODS_FOCUS;
    if (!IsWindowEnabled())
        state |= ODS_DISABLED;
    DRAWITEMSTRUCT item{ODT_BUTTON, GetDlgCtrlID(), 0, ODA_DRAWENTIRE, state, m_hWnd,
                        reinterpret_cast<HDC>(&dc), client, 0};
    DrawItem(&item);
}

void CBitmapButton::Click()
{
    if (CWnd* parent = GetParent())
        parent->PostMessage(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID()), BN_CLICKED),
                            reinterpret_cast<LPARAM>(m_hWnd));
}

void CBitmapButton::OnLButtonDown(UINT, CPoint)
{
    SetFocus();
    SetCapture();
    m_down = TRUE;
    Invalidate(FALSE);
}

void CBitmapButton::OnMouseMove(UINT flags, CPoint point)
{
    if (GetCapture() != this || !(flags & MK_LBUTTON))
        return;
    CRect client;
    GetClientRect(&client);
    const BOOL down = client.PtInRect(point);
    if (down != m_down) {
        m_down = down;
        Invalidate(FALSE);
    }
}

void CBitmapButton::OnLButtonUp(UINT, CPoint point)
{
    if (GetCapture() != this)
        return;
    ReleaseCapture();
    CRect client;
    GetClientRect(&client);
    m_down = FALSE;
    Invalidate(FALSE);
    if (client.PtInRect(point))
        Click();
}

void CBitmapButton::OnKeyDown(UINT vk, UINT repeat, UINT flags)
{
    if (vk == VK_SPACE)
        Click();
    else
        CWnd::OnKeyDown(vk, repeat, flags);
}

void CBitmapButton::OnCancelMode()
{
    if (GetCapture() == this)
        ReleaseCapture();
    m_down = FALSE;
    Invalidate(FALSE);
}

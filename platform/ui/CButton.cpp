#include "platform/ui/CButton.h"

#include "platform/ui/CBrush.h"
#include "platform/ui/CDC.h"
#include "platform/ui/CPen.h"
#include "platform/ui/SystemMetrics.h"

namespace {
constexpr int kBox = 13;  // check box and radio circle size
}

BOOL CButton::Create(LPCSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateControl("Button", text, style, rect, parent, id);
}

int CButton::GetCheck() const
{
    return m_check;
}

void CButton::SetCheck(int check)
{
    if (m_check == check)
        return;
    m_check = check;
    Invalidate();
}

bool CButton::IsRadio() const
{
    const DWORD type = ButtonType();
    return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

LRESULT CButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case BM_GETCHECK: return m_check;
    case BM_SETCHECK: SetCheck(static_cast<int>(wParam)); return 0;
    case BM_CLICK: Click(); return 0;
    case WM_GETDLGCODE: {
        switch (ButtonType()) {
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON: return DLGC_BUTTON | DLGC_RADIOBUTTON;
        case BS_DEFPUSHBUTTON: return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        case BS_PUSHBUTTON: return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        case BS_GROUPBOX: return DLGC_STATIC;
        default: return DLGC_BUTTON;
        }
    }
    default: return CControlWnd::WindowProc(message, wParam, lParam);
    }
}

void CButton::Click()
{
    const HWND self = m_hWnd;
    switch (ButtonType()) {
    case BS_AUTOCHECKBOX: SetCheck(m_check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED); break;
    case BS_AUTO3STATE: SetCheck((m_check + 1) % 3); break;
    case BS_AUTORADIOBUTTON: {
        // The group: back to its first window (the one with WS_GROUP), then
        // forward to the next group.
        CWnd* first = this;
        while (!(first->GetStyle() & WS_GROUP) && first->GetWindow(GW_HWNDPREV))
            first = first->GetWindow(GW_HWNDPREV);
        for (CWnd* w = first; w; w = w->GetWindow(GW_HWNDNEXT)) {
            if (w != first && (w->GetStyle() & WS_GROUP))
                break;
            if (w != this && (w->SendMessage(WM_GETDLGCODE) & DLGC_RADIOBUTTON))
                w->SendMessage(BM_SETCHECK, BST_UNCHECKED);
        }
        if (IsWindow(self))
            SetCheck(BST_CHECKED);
        break;
    }
    default: break;
    }
    if (IsWindow(self))
        NotifyParent(BN_CLICKED);
}

void CButton::OnLButtonDown(UINT, CPoint)
{
    if (ButtonType() == BS_GROUPBOX)
        return;
    SetFocus();
    SetCapture();
    m_tracking = true;
    m_pushed = true;
    Invalidate();
}

void CButton::OnMouseMove(UINT, CPoint point)
{
    if (!m_tracking)
        return;
    CRect r;
    GetClientRect(&r);
    const bool inside = r.PtInRect(point) != 0;
    if (inside != m_pushed) {
        m_pushed = inside;
        Invalidate();
    }
}

void CButton::OnLButtonUp(UINT, CPoint point)
{
    if (!m_tracking)
        return;
    CRect r;
    GetClientRect(&r);
    const bool inside = r.PtInRect(point) != 0;
    m_tracking = false;
    m_pushed = false;
    ReleaseCapture();
    Invalidate();
    if (inside)
        Click();
}

void CButton::OnLButtonDblClk(UINT flags, CPoint point)
{
    if (IsRadio() || ButtonType() == BS_OWNERDRAW) {
        NotifyParent(BN_DOUBLECLICKED);
        return;
    }
    OnLButtonDown(flags, point);
}

void CButton::OnCaptureChanged(CWnd*)
{
    if (!m_tracking)
        return;
    m_tracking = false;
    m_pushed = false;
    Invalidate();
}

void CButton::OnKeyDown(UINT vk, UINT, UINT)
{
    if (vk == VK_SPACE)
        Click();
}

BOOL CButton::OnEraseBkgnd(CDC*)
{
    return TRUE;  // the paint covers everything
}

void CButton::OnPaint()
{
    CPaintDC dc(this);
    Draw(dc);
}

void CButton::Draw(CDC& dc)
{
    CRect r;
    GetClientRect(&r);
    const bool enabled = IsWindowEnabled() != 0;
    dc.FillSolidRect(&r, GetSysColor(COLOR_BTNFACE));
    dc.SelectObject(ControlFont());
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    const CString text = GetWindowText();
    const DWORD type = ButtonType();
    switch (type) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE:
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON: {
        const int top = r.top + (r.Height() - kBox) / 2;
        CRect box(r.left, top, r.left + kBox, top + kBox);
        const COLORREF fill = GetSysColor(m_pushed || !enabled ? COLOR_BTNFACE : COLOR_WINDOW);
        if (IsRadio()) {
            CBrush brush(fill);
            CPen pen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
            CBrush* oldBrush = dc.SelectObject(&brush);
            CPen* oldPen = dc.SelectObject(&pen);
            dc.Ellipse(&box);
            if (m_check == BST_CHECKED) {
                CBrush dot(GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
                dc.SelectObject(&dot);
                CRect inner = box;
                inner.DeflateRect(4, 4);
                dc.Ellipse(&inner);
                dc.SelectObject(&brush);
            }
            dc.SelectObject(oldBrush);
            dc.SelectObject(oldPen);
        } else {
            dc.DrawEdge(&box, EDGE_SUNKEN, BF_RECT);
            CRect inner = box;
            inner.DeflateRect(2, 2);
            dc.FillSolidRect(&inner, fill);
            if (m_check != BST_UNCHECKED) {
                const COLORREF mark = GetSysColor(m_check == BST_INDETERMINATE || !enabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT);
                // A tick of three strokes, as wide as the box allows.
                for (int i = 0; i < 3; ++i) {
                    dc.FillSolidRect(inner.left + 1 + i, inner.top + 3 + i, 1, 3, mark);
                    dc.FillSolidRect(inner.left + 4 + i, inner.top + 4 - i, 1, 3, mark);
                }
                dc.FillSolidRect(inner.left + 7, inner.top + 1, 1, 3, mark);
            }
        }
        CRect label(box.right + 4, r.top, r.right, r.bottom);
        dc.DrawText(text, &label, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
        break;
    }
    case BS_GROUPBOX: {
        const CSize extent = dc.GetTextExtent(text);
        CRect frame(r.left, r.top + extent.cy / 2, r.right, r.bottom);
        dc.DrawEdge(&frame, EDGE_ETCHED, BF_RECT);
        if (!text.IsEmpty()) {
            CRect label(r.left + 8, r.top, r.left + 12 + extent.cx, r.top + extent.cy);
            dc.FillSolidRect(&label, GetSysColor(COLOR_BTNFACE));
            label.left += 2;
            dc.DrawText(text, &label, DT_LEFT | DT_TOP | DT_SINGLELINE);
        }
        break;
    }
    default: {
        CRect face = r;
        if (type == BS_DEFPUSHBUTTON) {
            CBrush black(GetSysColor(COLOR_WINDOWFRAME));
            dc.FrameRect(&face, &black);
            face.DeflateRect(1, 1);
        }
        dc.DrawEdge(&face, m_pushed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
        CRect label = r;
        if (m_pushed)
            label.OffsetRect(1, 1);
        dc.DrawText(text, &label, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        if (GetFocus() == this) {
            CRect focus = face;
            focus.DeflateRect(3, 3);
            dc.DrawFocusRect(&focus);
        }
        break;
    }
    }
}

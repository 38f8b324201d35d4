#include "uikit/CChkBit.h"

#include <algorithm>

#include "platform/ui/BitmapResources.h"
#include "platform/ui/CDC.h"
#include "platform/ui/CFrameWnd.h"
#include "platform/ui/SystemMetrics.h"
#include "uikit/CHeldLoop.h"
#include "uikit/WindowClass.h"

CChkBit::CChkBit(UINT resourceId, UINT commandId)
    : m_resourceId(resourceId), m_plainCursor(LoadCursor(nullptr, IDC_ARROW)),
      m_faceColor(GetSysColor(COLOR_BTNFACE)), m_commandId(commandId)
{
}

BOOL CChkBit::Create(const char* text, DWORD style, const RECT& rect, CWnd* parent, UINT id, UINT bitmapId,
                     UINT extraId)
{
    m_bitmapId = bitmapId;
    m_extraId = extraId;
    // The border is the button's own drawing, not the window's frame.
    m_bordered = (style & WS_BORDER) != 0;
    const char* cls = RegisterWindowClassOnce(kClassName, CS_DBLCLKS, LoadCursor(nullptr, IDC_ARROW), 0);
    return CWnd::Create(cls, text, style & ~WS_BORDER, rect, parent, id);
}

void CChkBit::SetCursors(HCURSOR ctrlCursor, HCURSOR shiftCursor)
{
    m_ctrlCursor = ctrlCursor;
    m_shiftCursor = shiftCursor;
}

bool CChkBit::IsCheckStyle() const
{
    switch (GetStyle() & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_RADIOBUTTON:
    case BS_3STATE:
    case BS_AUTO3STATE:
    case BS_AUTORADIOBUTTON: return true;
    default: return false;
    }
}

void CChkBit::SetCheck(BOOL check)
{
    check = check ? TRUE : FALSE;
    if (check == m_checked)
        return;
    m_checked = m_pressed = check;
    if (m_blink) {
        m_blinkPhase = 1;
        if (check)
            SetTimer(kBlinkTimer, 250);
        else
            KillTimer(kBlinkTimer);
    }
    Invalidate(FALSE);
}

void CChkBit::Post(WORD code)
{
    CWnd* target = GetOwner() ? GetOwner() : GetParent();
    if (target)
        target->PostMessage(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID()), code),
                            reinterpret_cast<LPARAM>(m_hWnd));
}

bool CChkBit::PointerInside() const
{
    POINT cursor{};
    GetCursorPos(&cursor);
    ScreenToClient(&cursor);
    CRect client;
    GetClientRect(&client);
    return client.PtInRect(cursor);
}

LRESULT CChkBit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case BM_GETCHECK:
    case BM_GETSTATE: return m_checked;
    case BM_SETCHECK: SetCheck(wParam != 0); return 0;
    case BM_SETSTATE:
        if ((wParam & 3) == 1)
            SetCheck(TRUE);
        else if ((wParam & 3) == 0)
            SetCheck(FALSE);
        return 0;
    case WM_SETFONT:
        m_font = reinterpret_cast<CFont*>(wParam);
        if (lParam)
            Invalidate(FALSE);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(m_font);
    case WM_SETTEXT:
    case WM_ENABLE: {
        const LRESULT r = CWnd::WindowProc(message, wParam, lParam);
        Invalidate(FALSE);
        return r;
    }
    case WM_IDLEUPDATECMDUI: {
        CWnd* target = GetOwner() ? GetOwner() : GetParent();
        auto* frame = dynamic_cast<CFrameWnd*>(target);
        if (!frame && target)
            frame = dynamic_cast<CFrameWnd*>(target->GetTopLevelParent());
        if (frame) {
            CChkBitCmdUI state(this);
            state.m_nID = GetDlgCtrlID();
            frame->OnCmdMsg(state.m_nID, CN_UPDATE_COMMAND_UI, &state);
        }
        return 0;
    }
    default: return CWnd::WindowProc(message, wParam, lParam);
    }
}

void CChkBit::Press()
{
    SetCapture();
    m_dblClicked = FALSE;
    m_checkAtPress = m_checked;
    m_pressed = TRUE;
    Invalidate(FALSE);
}

void CChkBit::OnLButtonDown(UINT, CPoint)
{
    if (!m_repeat) {
        Press();
        return;
    }
    const HWND self = m_hWnd;
    SetCapture();
    m_pressed = TRUE;
    m_repeating = true;
    Invalidate(FALSE);
    UpdateWindow();
    CHeldLoop::Run(
        500, 50,
        [&] { return IsWindow(self) && GetCapture() == this && GetKeyState(VK_LBUTTON) < 0 && PointerInside(); },
        [&] {
            Post(BN_CLICKED);
            return true;
        });
    if (!IsWindow(self))
        return;
    if (GetCapture() == this)
        ReleaseCapture();
    m_pressed = FALSE;
    Invalidate(FALSE);
}

void CChkBit::OnMouseMove(UINT flags, CPoint point)
{
    if ((flags & MK_SHIFT) && m_shiftCursor)
        ::SetCursor(m_shiftCursor);
    else if ((flags & MK_CONTROL) && m_ctrlCursor)
        ::SetCursor(m_ctrlCursor);
    else
        ::SetCursor(m_plainCursor);
    if (GetCapture() == this && (flags & MK_LBUTTON) && !m_repeat) {
        CRect client;
        GetClientRect(&client);
        const BOOL pressed = client.PtInRect(point) ? !m_checkAtPress : m_checkAtPress;
        if (pressed != m_pressed) {
            m_pressed = pressed;
            Invalidate(FALSE);
        }
    }
}

void CChkBit::OnLButtonUp(UINT, CPoint point)
{
    if (m_dblClicked) {
        m_dblClicked = FALSE;
        return;
    }
    if (m_repeating) {
        m_repeating = false;
        return;
    }
    if (m_repeat || GetCapture() != this)
        return;
    ReleaseCapture();
    CRect client;
    GetClientRect(&client);
    if (!client.PtInRect(point)) {
        // Dragged out: the press is dropped.
        m_pressed = m_checked;
        Invalidate(FALSE);
        return;
    }
    if (IsCheckStyle())
        SetCheck(!m_checked);
    else
        m_pressed = FALSE;
    Post(BN_CLICKED);
    Invalidate(FALSE);
}

void CChkBit::OnLButtonDblClk(UINT, CPoint)
{
    if (m_commandId == 0)
        Press();
    if (!m_pressed)
        Post(BN_CLICKED);
    Post(BN_DOUBLECLICKED);
    m_dblClicked = m_pressed = m_checked = TRUE;
    if (GetCapture() == this)
        ReleaseCapture();
    Invalidate(FALSE);
}

void CChkBit::OnCancelMode()
{
    if (GetCapture() != this)
        return;
    ReleaseCapture();
    if (!m_repeat) {
        m_pressed = m_checkAtPress;
        Invalidate(FALSE);
    }
}

void CChkBit::OnRButtonDown(UINT, CPoint)
{
    SetCapture();
}

void CChkBit::OnRButtonUp(UINT, CPoint)
{
    if (GetCapture() != this)
        return;
    ReleaseCapture();
    CWnd* parent = GetParent();
    if (parent)
        parent->PostMessage(WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID()), kRightClick),
                            reinterpret_cast<LPARAM>(m_hWnd));
}

void CChkBit::OnTimer(UINT_PTR id)
{
    if (id != kBlinkTimer) {
        CWnd::OnTimer(id);
        return;
    }
    m_blinkPhase = (m_blinkPhase + 1) % 4;
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void CChkBit::DrawFace(CDC* dc, const CRect& client)
{
    if (m_resourceId != 1) {
        const UINT id = m_checked && m_extraId ? m_extraId : m_bitmapId;
        HBITMAP handle = LoadBitmapA(nullptr, id);
        if (!handle)
            return;  // a missing bitmap leaves the plain face
        CBitmap bitmap;
        bitmap.Attach(handle);
        const CSize size = bitmap.GetSize();
        CRect target(CPoint(client.left + (client.Width() - size.cx) / 2, client.top + (client.Height() - size.cy) / 2),
                     size);
        if (size.cx > client.Width() || size.cy > client.Height())
            target = client;
        CDC mem;
        mem.CreateCompatibleDC(dc);
        mem.SelectObject(&bitmap);
        // The top-left pixel's colour is the transparent key.
        dc->TransparentBlt(target.left, target.top, target.Width(), target.Height(), &mem, 0, 0, size.cx, size.cy,
                           mem.GetPixel(0, 0));
        return;
    }
    CRect text = client;
    text.DeflateRect(4, 0);
    if (m_pressed)
        text.OffsetRect(1, 0);
    const DWORD align = GetStyle() & BS_CENTER;
    UINT format = DT_SINGLELINE | DT_VCENTER;
    format |= align == BS_LEFT ? DT_LEFT : align == BS_RIGHT ? DT_RIGHT : align == BS_CENTER ? DT_CENTER : DT_CENTER;
    CFont* old = m_font ? dc->SelectObject(m_font) : nullptr;
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(GetSysColor(IsWindowEnabled() ? COLOR_BTNTEXT : COLOR_BTNSHADOW));
    dc->DrawText(GetWindowText(), &text, format);
    if (old)
        dc->SelectObject(old);
}

void CChkBit::OnPaint()
{
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    COLORREF back = m_faceColor;
    if (m_checked && m_pressed)
        back = GetSysColor(m_dblClicked ? COLOR_BTNSHADOW : COLOR_BTNHIGHLIGHT);
    dc.FillSolidRect(&client, back);
    // Blinking, a checked button shows an empty face one phase in four.
    if (!(m_blink && m_checked && m_blinkPhase == 0))
        DrawFace(&dc, client);
    if (m_bordered) {
        CRect edge = client;
        dc.DrawEdge(&edge, m_pressed ? BDR_SUNKENOUTER : BDR_RAISEDOUTER, BF_RECT | BF_SOFT);
    }
}

void CChkBitCmdUI::Enable(BOOL on)
{
    CCmdUI::Enable(on);
    m_button->EnableWindow(on);
}

void CChkBitCmdUI::SetCheck(int check)
{
    CCmdUI::SetCheck(check);
    m_button->SetCheck(check != 0);
}

void CChkBitCmdUI::SetText(const char* text)
{
    CCmdUI::SetText(text);
    m_button->SetWindowText(text);
}

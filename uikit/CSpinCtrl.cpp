#include "uikit/CSpinCtrl.h"

#include <algorithm>

#include "platform/sync/Time.h"
#include "platform/ui/CDC.h"
#include "platform/ui/InputState.h"
#include "platform/ui/SystemMetrics.h"
#include "platform/win/MulDiv.h"
#include "uikit/DrawHelpers.h"

namespace {
constexpr char kClassName[] = "CC:SpinCtrl";
constexpr DWORD kFirstRepeat = 500;
constexpr DWORD kRepeat = 50;
// How often the loop looks at the pointer and the buttons between steps.
constexpr DWORD kPoll = 2;

// Mouse messages are taken off the queue, not dispatched, while a press runs.
bool EatMouse(MSG& msg, void*)
{
    return msg.message >= WM_MOUSEMOVE && msg.message <= WM_MOUSEWHEEL;
}

bool ButtonsDown()
{
    return GetKeyState(VK_LBUTTON) < 0 || GetKeyState(VK_RBUTTON) < 0;
}
}  // namespace

CSpinCtrl::CSpinCtrl(CWnd* buddy) : m_buddy(buddy) {}

BOOL CSpinCtrl::Create(const RECT& rect, CWnd* parent, UINT id)
{
    WNDCLASSA wc{};
    if (!GetClassInfoA(nullptr, kClassName, &wc)) {
        wc.lpszClassName = kClassName;
        AfxRegisterClass(&wc);
    }
    return CreateEx(0, kClassName, "", WS_CHILD | WS_VISIBLE | WS_BORDER, rect, parent, id);
}

CSpinCtrl::Zone CSpinCtrl::ZoneAt(POINT p) const
{
    for (Zone z : {Top, Middle, Bottom})
        if (ZoneRect(z).PtInRect(p))
            return z;
    return None;
}

CRect CSpinCtrl::ZoneRect(Zone zone) const
{
    CRect c;
    GetClientRect(&c);
    const int band = MulDiv(c.Height(), 2, 5);
    switch (zone) {
    case Top: return CRect(c.left, c.top, c.right, c.top + band);
    case Middle: return CRect(c.left, c.top + band, c.right, c.bottom - band);
    case Bottom: return CRect(c.left, c.bottom - band, c.right, c.bottom);
    default: return CRect();
    }
}

LRESULT CSpinCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_GETDLGCODE)
        return DLGC_STATIC;
    if (message == WM_ENABLE) {
        Invalidate();
        return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

void CSpinCtrl::OnLButtonDown(UINT, CPoint point)
{
    Press(point, false);
}

void CSpinCtrl::OnRButtonDown(UINT, CPoint point)
{
    Press(point, true);
}

void CSpinCtrl::Send(UINT code)
{
    m_buddy->SendMessage(WM_VSCROLL, MAKEWPARAM(static_cast<WORD>(code), 0), reinterpret_cast<LPARAM>(m_hWnd));
}

void CSpinCtrl::Press(CPoint point, bool right)
{
    if (GetCapture() || !m_buddy || !IsWindow(m_buddy->GetSafeHwnd()) || !m_buddy->IsWindowEnabled())
        return;
    const Zone zone = ZoneAt(point);
    if (zone == None)
        return;
    const CRect zoneRect = ZoneRect(zone);
    {
        CClientDC dc(this);
        dc.InvertRect(&zoneRect);
    }
    CWnd* focused = GetFocus();
    m_buddy->SetFocus();
    m_buddy->UpdateWindow();
    if (focused && IsWindow(focused->GetSafeHwnd()))
        focused->UpdateWindow();
    SetCapture();
    m_pressed = true;

    const HWND self = m_hWnd;
    const HWND buddy = m_buddy->GetSafeHwnd();
    mvui::PushMessageFilter(EatMouse, nullptr);
    int steps = 0;
    DWORD deadline = GetTickCount();
    while (IsWindow(self) && GetCapture() == this && IsWindow(buddy) && m_buddy->IsWindowEnabled() && ButtonsDown()) {
        const DWORD now = GetTickCount();
        if (static_cast<int>(now - deadline) >= 0) {
            POINT at{};
            GetCursorPos(&at);
            ScreenToClient(&at);
            if (zone == Middle) {
                if (at.y != point.y) {
                    Send(at.y < point.y ? (right ? SB_PAGEUP : SB_LINEUP) : (right ? SB_PAGEDOWN : SB_LINEDOWN));
                    m_buddy->UpdateWindow();
                    POINT back{at.x, point.y};
                    ClientToScreen(&back);
                    SetCursorPos(back.x, back.y);
                }
                deadline = now + kPoll;
            } else if (ZoneAt(at) == zone) {
                // Steps pause while the pointer is out of the zone where the press began.
                Send(zone == Top ? (right ? SB_PAGEUP : SB_LINEUP) : (right ? SB_PAGEDOWN : SB_LINEDOWN));
                deadline = now + (++steps == 1 ? kFirstRepeat : kRepeat);
            } else {
                deadline = now + kPoll;
            }
        }
        mvui::PumpMessages();
        Sleep(kPoll);
    }
    mvui::PopMessageFilter();
    if (!IsWindow(self))
        return;
    m_pressed = false;
    if (CWnd* parent = GetParent())
        parent->PostMessage(RegisterWindowMessageA("spinctrl_dropped"), IsWindow(buddy) ? m_buddy->GetDlgCtrlID() : 0, 0);
    if (GetCapture() == this)
        ReleaseCapture();
    if (IsWindow(buddy))
        m_buddy->SetFocus();
    CClientDC dc(this);
    dc.InvertRect(&zoneRect);
}

BOOL CSpinCtrl::OnSetCursor(CWnd* wnd, UINT hitCode, UINT message)
{
    POINT at{};
    GetCursorPos(&at);
    ScreenToClient(&at);
    const bool sizing = m_pressed || ZoneAt(at) == Middle;
    ::SetCursor(LoadCursor(nullptr, sizing ? IDC_SIZENS : IDC_ARROW));
    return TRUE;
}

void CSpinCtrl::OnNcPaint()
{
    if (!(GetStyle() & WS_BORDER))
        return;
    CWindowDC dc(this);
    CRect r;
    GetWindowRect(&r);
    r.OffsetRect(-r.left, -r.top);
    DrawSunkenFrame(&dc, r);
}

void CSpinCtrl::OnPaint()
{
    CPaintDC dc(this);
    CRect c;
    GetClientRect(&c);
    dc.FillSolidRect(&c, GetSysColor(COLOR_BTNFACE));
    const COLORREF ink = IsWindowEnabled() ? RGB(0, 0, 0) : RGB(128, 128, 128);
    for (Zone z : {Top, Middle, Bottom}) {
        const CRect r = ZoneRect(z);
        DrawRaisedFrame(&dc, r);
        const CPoint m = r.CenterPoint();
        const int half = std::max(1, std::min(r.Width(), r.Height()) / 4);
        dc.FillSolidRect(m.x - half, m.y, 2 * half + 1, 1, ink);  // the stroke of every zone
        if (z == Top)
            dc.FillSolidRect(m.x, m.y - half, 1, 2 * half + 1, ink);  // the plus's upright
    }
}

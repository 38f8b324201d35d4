#include "platform/ui/CToolTipCtrl.h"

#include <algorithm>
#include <cstring>

#include "platform/res/Resources.h"
#include "platform/ui/CDC.h"
#include "platform/ui/SystemMetrics.h"

namespace {
TOOLINFO ToolOf(CWnd* window, UINT_PTR toolId, LPCRECT rect)
{
    TOOLINFO ti{};
    ti.cbSize = sizeof(ti);
    ti.hwnd = window ? window->GetSafeHwnd() : nullptr;
    ti.uId = toolId;
    if (rect)
        ti.rect = *rect;
    return ti;
}

constexpr UINT_PTR kShowTimer = 1;
constexpr UINT_PTR kPopTimer = 2;
// Space between the text and the tip's frame.
constexpr int kPadX = 4;
constexpr int kPadY = 2;
}  // namespace

BOOL CToolTipCtrl::Create(CWnd* owner, DWORD style)
{
    m_owner = owner ? owner->GetSafeHwnd() : nullptr;
    return CreateEx(0, nullptr, "", WS_POPUP | WS_BORDER | style, CRect(0, 0, 0, 0), nullptr, 0);
}

BOOL CToolTipCtrl::AddTool(CWnd* window, LPCSTR text, LPCRECT rect, UINT_PTR toolId)
{
    TOOLINFO ti = ToolOf(window, toolId, rect);
    ti.lpszText = const_cast<LPSTR>(text ? text : LPSTR_TEXTCALLBACK);
    return static_cast<BOOL>(SendMessage(TTM_ADDTOOL, 0, reinterpret_cast<LPARAM>(&ti)));
}

void CToolTipCtrl::DelTool(CWnd* window, UINT_PTR toolId)
{
    TOOLINFO ti = ToolOf(window, toolId, nullptr);
    SendMessage(TTM_DELTOOL, 0, reinterpret_cast<LPARAM>(&ti));
}

void CToolTipCtrl::SetToolRect(CWnd* window, UINT_PTR toolId, LPCRECT rect)
{
    TOOLINFO ti = ToolOf(window, toolId, rect);
    SendMessage(TTM_NEWTOOLRECT, 0, reinterpret_cast<LPARAM>(&ti));
}

void CToolTipCtrl::RelayEvent(MSG* msg)
{
    SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
}

void CToolTipCtrl::Activate(BOOL activate)
{
    SendMessage(TTM_ACTIVATE, activate, 0);
}

void CToolTipCtrl::SetDelayTime(WPARAM which, int milliseconds)
{
    SendMessage(TTM_SETDELAYTIME, which, MAKELPARAM(milliseconds, 0));
}

void CToolTipCtrl::Pop()
{
    SendMessage(TTM_POP, 0, 0);
}

bool CToolTipCtrl::GetCurrentTool(TOOLINFO* tool) const
{
    if (!m_current)
        return false;
    for (const Tool& t : m_tools)
        if (t.info.hwnd == m_currentOwner && t.info.uId == m_currentId) {
            if (tool)
                *tool = t.info;
            return true;
        }
    return false;
}

CToolTipCtrl::Tool* CToolTipCtrl::Find(HWND owner, UINT_PTR id)
{
    for (Tool& t : m_tools)
        if (t.info.hwnd == owner && t.info.uId == id)
            return &t;
    return nullptr;
}

// The tool under a relayed mouse message: a child window tool covers its
// whole window, a rectangle tool its rectangle of its window.
CToolTipCtrl::Tool* CToolTipCtrl::ToolAt(const MSG& msg)
{
    const CPoint pt(msg.lParam);
    for (Tool& t : m_tools) {
        if (t.info.uFlags & TTF_IDISHWND) {
            if (reinterpret_cast<HWND>(t.info.uId) == msg.hwnd)
                return &t;
        } else if (t.info.hwnd == msg.hwnd && CRect(t.info.rect).PtInRect(pt)) {
            return &t;
        }
    }
    return nullptr;
}

CString CToolTipCtrl::TextOf(Tool& tool)
{
    const LPSTR text = tool.info.lpszText;
    if (text == LPSTR_TEXTCALLBACK) {
        NMTTDISPINFO info{};
        info.hdr.hwndFrom = m_hWnd;
        info.hdr.idFrom = tool.info.uId;
        info.hdr.code = TTN_NEEDTEXT;
        info.uFlags = tool.info.uFlags;
        info.lParam = tool.info.lParam;
        ::SendMessage(tool.info.hwnd, WM_NOTIFY, tool.info.uId, reinterpret_cast<LPARAM>(&info));
        info.szText[sizeof(info.szText) - 1] = '\0';
        if (!info.lpszText)
            return CString(info.szText);
        if (IS_INTRESOURCE(info.lpszText)) {
            char buffer[256];
            LoadStringA(info.hinst, static_cast<UINT>(reinterpret_cast<UINT_PTR>(info.lpszText)), buffer, sizeof(buffer));
            return CString(buffer);
        }
        return CString(info.lpszText);
    }
    if (text && IS_INTRESOURCE(text)) {
        char buffer[256];
        LoadStringA(tool.info.hinst, static_cast<UINT>(reinterpret_cast<UINT_PTR>(text)), buffer, sizeof(buffer));
        return CString(buffer);
    }
    return tool.text;
}

void CToolTipCtrl::Show()
{
    KillTimer(kShowTimer);
    Tool* tool = m_current ? Find(m_currentOwner, m_currentId) : nullptr;
    if (!tool || !m_active)
        return;
    const CString text = TextOf(*tool);
    if (text.IsEmpty())
        return;
    CSize extent;
    {
        CClientDC dc(this);
        dc.SelectStockObject(DEFAULT_GUI_FONT);
        extent = dc.GetTextExtent(text);
    }
    const int width = extent.cx + 2 * kPadX + 2;
    const int height = extent.cy + 2 * kPadY + 2;
    POINT at{};
    GetCursorPos(&at);
    int x = at.x;
    int y = at.y + GetSystemMetrics(SM_CYCURSOR);
    const int screenW = GetSystemMetrics(SM_CXSCREEN);
    const int screenH = GetSystemMetrics(SM_CYSCREEN);
    x = std::max(0, std::min(x, screenW - width));
    if (y + height > screenH)
        y = at.y - height;  // no room below the pointer: above it instead
    y = std::max(0, y);
    SetWindowText(text);
    SetWindowPos(nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    Invalidate();
    if (m_autoPopDelay > 0)
        SetTimer(kPopTimer, static_cast<UINT>(m_autoPopDelay));
}

LRESULT CToolTipCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case TTM_ACTIVATE:
        m_active = wParam != 0;
        if (!m_active)
            Pop();
        return 0;
    case TTM_SETDELAYTIME: {
        const int ms = static_cast<SHORT>(LOWORD(lParam));
        if (wParam == TTDT_INITIAL) m_initialDelay = std::max(0, ms);
        else if (wParam == TTDT_AUTOPOP) m_autoPopDelay = std::max(0, ms);
        else if (wParam == TTDT_RESHOW) m_reshowDelay = std::max(0, ms);
        else if (wParam == TTDT_AUTOMATIC) {
            m_initialDelay = ms < 0 ? 500 : ms;
            m_autoPopDelay = 10 * m_initialDelay;
            m_reshowDelay = m_initialDelay / 5;
        }
        return 0;
    }
    case TTM_ADDTOOL: {
        const auto* ti = reinterpret_cast<const TOOLINFO*>(lParam);
        if (!ti)
            return FALSE;
        Tool tool{*ti, CString()};
        if (ti->lpszText && ti->lpszText != LPSTR_TEXTCALLBACK && !IS_INTRESOURCE(ti->lpszText)) {
            tool.text = ti->lpszText;
            tool.info.lpszText = nullptr;
        }
        if (Tool* old = Find(ti->hwnd, ti->uId))
            *old = tool;
        else
            m_tools.push_back(tool);
        return TRUE;
    }
    case TTM_DELTOOL: {
        const auto* ti = reinterpret_cast<const TOOLINFO*>(lParam);
        if (!ti)
            return 0;
        if (m_current && m_currentOwner == ti->hwnd && m_currentId == ti->uId)
            Pop();
        std::erase_if(m_tools, [ti](const Tool& t) { return t.info.hwnd == ti->hwnd && t.info.uId == ti->uId; });
        return 0;
    }
    case TTM_NEWTOOLRECT: {
        const auto* ti = reinterpret_cast<const TOOLINFO*>(lParam);
        if (Tool* t = ti ? Find(ti->hwnd, ti->uId) : nullptr)
            t->info.rect = ti->rect;
        return 0;
    }
    case TTM_GETTOOLCOUNT:
        return GetToolCount();
    case TTM_POP:
        KillTimer(kShowTimer);
        KillTimer(kPopTimer);
        m_current = false;
        if (IsWindowVisible())
            ShowWindow(SW_HIDE);
        return 0;
    case TTM_UPDATE:
        if (m_current && IsWindowVisible())
            Show();
        return 0;
    case TTM_RELAYEVENT: {
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        if (!msg || !m_active)
            return 0;
        switch (msg->message) {
        case WM_MOUSEMOVE: {
            Tool* tool = ToolAt(*msg);
            const bool same = tool && m_current && tool->info.hwnd == m_currentOwner && tool->info.uId == m_currentId;
            if (same)
                return 0;
            const bool wasShown = IsWindowVisible() != FALSE;
            Pop();
            if (tool) {
                m_current = true;
                m_currentOwner = tool->info.hwnd;
                m_currentId = tool->info.uId;
                SetTimer(kShowTimer, static_cast<UINT>(wasShown ? m_reshowDelay : m_initialDelay));
            }
            return 0;
        }
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
        case WM_MOUSELEAVE:
            Pop();
            return 0;
        default:
            return 0;
        }
    }
    default:
        return CWnd::WindowProc(message, wParam, lParam);
    }
}

void CToolTipCtrl::OnTimer(UINT_PTR id)
{
    if (id == kShowTimer) {
        Show();
    } else if (id == kPopTimer) {
        KillTimer(kPopTimer);
        if (IsWindowVisible())
            ShowWindow(SW_HIDE);
    } else {
        CWnd::OnTimer(id);
    }
}

void CToolTipCtrl::OnPaint()
{
    CPaintDC dc(this);
    CRect r;
    GetClientRect(&r);
    dc.FillSolidRect(&r, GetSysColor(COLOR_INFOBK));
    dc.SelectStockObject(DEFAULT_GUI_FONT);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(GetSysColor(COLOR_INFOTEXT));
    r.DeflateRect(kPadX, kPadY);
    dc.DrawText(GetWindowText(), &r, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

#include "uikit/CSubclassWnd.h"

#include "uikit/CSubclassWndMap.h"

namespace {
// The message being handled now, for Default(); saved and restored around
// each message, so a nested message leaves the outer one's record intact.
MSG g_current{};
}  // namespace

CSubclassWnd::~CSubclassWnd()
{
    HookWindow(nullptr);
}

BOOL CSubclassWnd::HookWindow(CWnd* window)
{
    if (m_window) {
        CSubclassWndMap::Instance().Remove(this);
        m_window = nullptr;
        m_hwnd = nullptr;
        m_oldProc = nullptr;
    }
    if (window && IsWindow(window->m_hWnd))
        CSubclassWndMap::Instance().Add(window, this);
    return TRUE;
}

LRESULT CSubclassWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_next)
        return m_next->WindowProc(message, wParam, lParam);
    return CallWindowProcA(m_oldProc, m_hwnd, message, wParam, lParam);
}

LRESULT CSubclassWnd::Default()
{
    return CSubclassWnd::WindowProc(g_current.message, g_current.wParam, g_current.lParam);
}

LRESULT CSubclassWnd::HookProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const MSG saved = g_current;
    g_current = MSG{hwnd, message, wParam, lParam, 0, 0, 0};
    CSubclassWndMap& map = CSubclassWndMap::Instance();
    LRESULT result = 0;
    if (message == WM_NCDESTROY) {
        // Every hook leaves first; the window's own procedure then sees its last message.
        CSubclassWnd* newest = map.Lookup(hwnd);
        const WNDPROC own = newest ? newest->m_oldProc : nullptr;
        map.RemoveAll(hwnd);
        if (own)
            result = CallWindowProcA(own, hwnd, message, wParam, lParam);
    } else if (CSubclassWnd* hook = map.Lookup(hwnd)) {
        result = hook->WindowProc(message, wParam, lParam);
    }
    g_current = saved;
    return result;
}

#include "uikit/CSubclassWndMap.h"

#include "uikit/CSubclassWnd.h"

CSubclassWndMap& CSubclassWndMap::Instance()
{
    static CSubclassWndMap map;
    return map;
}

void CSubclassWndMap::Add(CWnd* window, CSubclassWnd* hook)
{
    const HWND hwnd = window->m_hWnd;
    CSubclassWnd* newest = Lookup(hwnd);
    hook->m_window = window;
    hook->m_hwnd = hwnd;
    hook->m_next = newest;
    if (newest) {
        hook->m_oldProc = newest->m_oldProc;
    } else {
        hook->m_oldProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CSubclassWnd::HookProc)));
    }
    m_newest[hwnd] = hook;
}

void CSubclassWndMap::Remove(CSubclassWnd* hook)
{
    auto it = m_newest.find(hook->m_hwnd);
    if (it == m_newest.end())
        return;
    if (it->second == hook) {
        if (hook->m_next) {
            it->second = hook->m_next;
        } else {
            m_newest.erase(it);
            if (IsWindow(hook->m_hwnd))
                SetWindowLongPtrA(hook->m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(hook->m_oldProc));
        }
    } else {
        for (CSubclassWnd* h = it->second; h; h = h->m_next) {
            if (h->m_next == hook) {
                h->m_next = hook->m_next;
                break;
            }
        }
    }
    hook->m_next = nullptr;
}

void CSubclassWndMap::RemoveAll(HWND hwnd)
{
    while (CSubclassWnd* hook = Lookup(hwnd))
        hook->HookWindow(nullptr);
}

CSubclassWnd* CSubclassWndMap::Lookup(HWND hwnd) const
{
    auto it = m_newest.find(hwnd);
    return it == m_newest.end() ? nullptr : it->second;
}

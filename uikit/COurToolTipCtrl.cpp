#include "uikit/COurToolTipCtrl.h"

#include <cstring>

#include "platform/res/Resources.h"
#include "uikit/core/ResString.h"

namespace {
constexpr UINT kNoOwnerZOrder = 0x0200;  // SWP_NOOWNERZORDER
}

void COurToolTipCtrl::KeepOnTop()
{
    SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | kNoOwnerZOrder);
}

BOOL COurToolTipCtrl::AddToolFromString(CWnd* window, UINT stringId)
{
    const CString whole = LoadResString(stringId);
    const int lineBreak = whole.Find('\n');
    const CString tip = lineBreak < 0 ? whole : whole.Mid(lineBreak + 1);
    return AddTool(window, static_cast<LPCSTR>(tip));
}

BOOL COurToolTipCtrl::AddTool(CWnd* window, LPCSTR text)
{
    if (!window)
        return FALSE;
    CWnd* parent = window->GetParent();
    TOOLINFO ti{};
    ti.cbSize = sizeof(ti);
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = parent ? parent->GetSafeHwnd() : nullptr;
    ti.uId = reinterpret_cast<UINT_PTR>(window->GetSafeHwnd());
    ti.hinst = AfxGetResourceHandle();
    ti.lpszText = const_cast<LPSTR>(text);
    return static_cast<BOOL>(SendMessage(TTM_ADDTOOL, 0, reinterpret_cast<LPARAM>(&ti)));
}

BOOL COurToolTipCtrl::AddTool(CWnd* window, LPCSTR textIdOrCallback, LPCRECT rect, UINT_PTR toolId)
{
    if (!window)
        return FALSE;
    TOOLINFO ti{};
    ti.cbSize = sizeof(ti);
    ti.uFlags = TTF_SUBCLASS;
    ti.hwnd = window->GetSafeHwnd();
    ti.uId = toolId;
    if (rect)
        ti.rect = *rect;
    ti.hinst = AfxGetResourceHandle();
    ti.lpszText = const_cast<LPSTR>(textIdOrCallback);
    return static_cast<BOOL>(SendMessage(TTM_ADDTOOL, 0, reinterpret_cast<LPARAM>(&ti)));
}

BOOL COurToolTipCtrl::AddTool(CWnd* window, UINT textId, LPCRECT rect, UINT_PTR toolId)
{
    return AddTool(window, MAKEINTRESOURCE(textId), rect, toolId);
}

int COurToolTipCtrl::OnCreate(CREATESTRUCT* cs)
{
    const int result = CToolTipCtrl::OnCreate(cs);
    if (result == -1)
        return -1;
    Activate(TRUE);
    KeepOnTop();
    return result;
}

void COurToolTipCtrl::OnSize(UINT type, int cx, int cy)
{
    CToolTipCtrl::OnSize(type, cx, cy);
    KeepOnTop();
}

LRESULT COurToolTipCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = CToolTipCtrl::WindowProc(message, wParam, lParam);
    if (message == WM_ENABLE) {
        Activate(TRUE);
        KeepOnTop();
    }
    return result;
}

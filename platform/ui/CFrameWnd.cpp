#include "platform/ui/CFrameWnd.h"

#include "platform/ui/CCmdUI.h"
#include "platform/ui/CMenu.h"
#include "platform/ui/CView.h"
#include "platform/ui/CWinApp.h"

namespace {
// The frame's own message for a delayed layout.
constexpr UINT kDelayedLayout = WM_USER + 0x3F0;
}

CView* CFrameWnd::GetActiveView() const
{
    return dynamic_cast<CView*>(FromHandle(m_activeView));
}

void CFrameWnd::SetActiveView(CView* view)
{
    m_activeView = view ? view->m_hWnd : nullptr;
}

CDocument* CFrameWnd::GetActiveDocument() const
{
    CView* v = GetActiveView();
    return v ? v->GetDocument() : nullptr;
}

void CFrameWnd::SetAccelerators(const ACCEL* table, int count)
{
    m_accel.assign(table, table + std::max(0, count));
}

void CFrameWnd::RecalcLayout(BOOL)
{
    m_layoutPending = false;
    if (CView* v = GetActiveView()) {
        CRect r;
        GetClientRect(&r);
        v->MoveWindow(&r);
    }
}

void CFrameWnd::DelayRecalcLayout(BOOL)
{
    if (m_layoutPending)
        return;
    m_layoutPending = true;
    PostMessage(kDelayedLayout);
}

BOOL CFrameWnd::PreTranslateMessage(MSG* msg)
{
    if (!m_accel.empty() && TranslateAccelerator(m_hWnd, m_accel.data(), static_cast<int>(m_accel.size()), msg))
        return TRUE;
    return CWnd::PreTranslateMessage(msg);
}

BOOL CFrameWnd::OnCmdMsg(UINT id, int code, void* extra)
{
    if (CView* v = GetActiveView(); v && v->OnCmdMsg(id, code, extra))
        return TRUE;
    if (CWnd::OnCmdMsg(id, code, extra))
        return TRUE;
    CWinApp* app = AfxGetApp();
    return app && app->OnCmdMsg(id, code, extra);
}

void CFrameWnd::UpdateMenu(CMenu* menu)
{
    if (!menu)
        return;
    const int count = menu->GetMenuItemCount();
    for (int i = 0; i < count; ++i) {
        if (CMenu* sub = menu->GetSubMenu(i)) {
            UpdateMenu(sub);
            continue;
        }
        const UINT id = menu->GetMenuItemID(i);
        if (id == 0 || id == static_cast<UINT>(-1))
            continue;
        CCmdUI ui;
        ui.m_nID = id;
        ui.m_nIndex = static_cast<UINT>(i);
        ui.m_pMenu = menu;
        if (!OnCmdMsg(id, CN_UPDATE_COMMAND_UI, &ui) || !ui.m_bHandled)
            continue;
        menu->EnableMenuItem(static_cast<UINT>(i), MF_BYPOSITION | (ui.m_bEnabled ? MF_ENABLED : MF_GRAYED));
        menu->CheckMenuItem(static_cast<UINT>(i), MF_BYPOSITION | (ui.m_nCheck ? MF_CHECKED : MF_UNCHECKED));
        if (!ui.m_strText.IsEmpty())
            menu->ModifyMenu(static_cast<UINT>(i), MF_BYPOSITION | (menu->GetMenuState(i, MF_BYPOSITION) & ~MF_POPUP),
                             id, ui.m_strText);
    }
}

BOOL CFrameWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == kDelayedLayout) {
        if (m_layoutPending)
            RecalcLayout();
        *result = 0;
        return TRUE;
    }
    if (message == WM_INITMENUPOPUP) {
        UpdateMenu(reinterpret_cast<CMenu*>(wParam));
        *result = 0;
        return TRUE;
    }
    return CWnd::OnWndMsg(message, wParam, lParam, result);
}

void CFrameWnd::OnSize(UINT type, int cx, int cy)
{
    CWnd::OnSize(type, cx, cy);
    RecalcLayout();
}

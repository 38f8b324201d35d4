#include "platform/ui/CFrameWnd.h"

#include <algorithm>

#include "platform/ui/CCmdUI.h"
#include "platform/ui/CCreateContext.h"
#include "platform/ui/CDockBar.h"
#include "platform/ui/CDockContext.h"
#include "platform/ui/CDockState.h"
#include "platform/ui/CMiniDockFrameWnd.h"
#include "platform/ui/CSplitterWnd.h"
#include "platform/ui/CMenu.h"
#include "platform/ui/CView.h"
#include "platform/ui/CWinApp.h"

namespace {
// The frame's own messages: a delayed layout, closing emptied mini frames.
constexpr UINT kDelayedLayout = WM_USER + 0x3F0;
constexpr UINT kCloseMiniFrames = WM_USER + 0x3F1;
// The sides in the order the frame lays them out.
constexpr UINT kSides[4] = {AFX_IDW_DOCKBAR_TOP, AFX_IDW_DOCKBAR_BOTTOM, AFX_IDW_DOCKBAR_LEFT,
                            AFX_IDW_DOCKBAR_RIGHT};
constexpr DWORD kSideStyles[4] = {CBRS_ALIGN_TOP, CBRS_ALIGN_BOTTOM, CBRS_ALIGN_LEFT, CBRS_ALIGN_RIGHT};
}

BOOL CFrameWnd::CreateFrame(DWORD style, const RECT& rect, CWnd* parent, CCreateContext* context, UINT id)
{
    return CreateEx(0, nullptr, nullptr, style, rect, parent, id, context);
}

int CFrameWnd::OnCreate(CREATESTRUCT* cs)
{
    if (CWnd::OnCreate(cs) == -1)
        return -1;
    auto* context = static_cast<CCreateContext*>(cs ? cs->lpCreateParams : nullptr);
    if (context && !OnCreateClient(cs, context))
        return -1;
    return 0;
}

BOOL CFrameWnd::OnCreateClient(CREATESTRUCT*, CCreateContext* context)
{
    if (!context || !context->m_pNewViewClass)
        return TRUE;
    std::unique_ptr<CView> view(context->m_pNewViewClass());
    if (!view)
        return FALSE;
    view->m_pDocument = context->m_pCurrentDoc;
    CRect client;
    GetClientRect(&client);
    if (!view->CreateEx(0, nullptr, nullptr, WS_CHILD | WS_VISIBLE, client, this, AFX_IDW_PANE_FIRST))
        return FALSE;
    SetActiveView(view.get());
    m_ownedView = std::move(view);
    return TRUE;
}

void CFrameWnd::InitialUpdateFrame(CDocument*, BOOL visible)
{
    if (CView* v = GetActiveView())
        v->OnInitialUpdate();
    if (visible)
        ShowWindow(SW_SHOW);
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
    RepositionBars(FALSE);
}

CRect CFrameWnd::RepositionBars(BOOL query)
{
    CRect r;
    GetClientRect(&r);
    for (int i = 0; i < 4; ++i) {
        CDockBar* dock = GetDockBar(kSides[i]);
        if (!dock)
            continue;
        const bool horz = i < 2;
        dock->m_rectLayout = r;
        dock->m_bLayoutQuery = query;
        CSize size = dock->CalcFixedLayout(TRUE, horz);
        dock->m_bLayoutQuery = FALSE;
        CRect place = r;
        if (horz) {
            size.cy = std::min<int>(size.cy, r.Height());
            if (i == 0) { place.bottom = r.top + size.cy; r.top += size.cy; }
            else { place.top = r.bottom - size.cy; r.bottom -= size.cy; }
        } else {
            size.cx = std::min<int>(size.cx, r.Width());
            if (i == 2) { place.right = r.left + size.cx; r.left += size.cx; }
            else { place.left = r.right - size.cx; r.right -= size.cx; }
        }
        if (!query)
            dock->MoveWindow(&place);
    }
    if (!query) {
        CWnd* view = GetDlgItem(AFX_IDW_PANE_FIRST);
        if (!view)
            view = GetActiveView();
        if (view)
            view->MoveWindow(&r);
    }
    return r;
}

void CFrameWnd::EnableDocking(DWORD dockStyle, const std::function<CDockBar*()>& make)
{
    for (int i = 0; i < 4; ++i) {
        if (!(dockStyle & kSideStyles[i]) || GetDockBar(kSides[i]))
            continue;
        std::unique_ptr<CDockBar> dock(make ? make() : new CDockBar(FALSE));
        dock->m_pDockSite = this;
        if (!dock->Create(this, WS_VISIBLE | WS_CLIPSIBLINGS | kSideStyles[i], kSides[i]))
            continue;
        m_dockBars.push_back(std::move(dock));
    }
}

void CFrameWnd::AddControlBar(CControlBar* bar)
{
    if (bar && std::find(m_listControlBars.begin(), m_listControlBars.end(), bar) == m_listControlBars.end())
        m_listControlBars.push_back(bar);
}

void CFrameWnd::RemoveControlBar(CControlBar* bar)
{
    std::erase(m_listControlBars, bar);
}

CControlBar* CFrameWnd::GetControlBar(UINT id) const
{
    for (CControlBar* b : m_listControlBars)
        if (b->GetDlgCtrlID() == id && !dynamic_cast<CDockBar*>(b))
            return b;
    return nullptr;
}

CDockBar* CFrameWnd::GetDockBar(UINT id) const
{
    for (const auto& d : m_dockBars)
        if (d->GetDlgCtrlID() == id)
            return d.get();
    return nullptr;
}

void CFrameWnd::DockControlBar(CControlBar* bar, UINT dockBarId, LPCRECT rect)
{
    CDockBar* dock = dockBarId ? GetDockBar(dockBarId) : nullptr;
    for (int i = 0; !dock && i < 4; ++i)
        if (bar && (bar->m_dwDockStyle & kSideStyles[i]))
            dock = GetDockBar(kSides[i]);
    DockControlBar(bar, dock, rect);
}

void CFrameWnd::DockControlBar(CControlBar* bar, CDockBar* dockBar, LPCRECT rect)
{
    if (!bar || !dockBar)
        return;
    dockBar->DockControlBar(bar, rect);
    if (!bar->IsWindowVisible() && bar->IsVisible())
        bar->ShowWindow(SW_SHOW);
    DelayRecalcLayout();
}

CMiniDockFrameWnd* CFrameWnd::CreateFloatingFrame(DWORD style)
{
    auto mini = std::make_unique<CMiniDockFrameWnd>();
    if (!mini->Create(this, style))
        return nullptr;
    m_miniFrames.push_back(std::move(mini));
    return m_miniFrames.back().get();
}

void CFrameWnd::FloatControlBar(CControlBar* bar, CPoint point, DWORD style)
{
    if (!bar)
        return;
    CMiniDockFrameWnd* mini = nullptr;
    if (bar->m_pDockBar && bar->m_pDockBar->m_bFloating)
        mini = dynamic_cast<CMiniDockFrameWnd*>(bar->m_pDockBar->GetParent());
    if (!mini) {
        mini = CreateFloatingFrame(bar->m_dwStyle | (bar->m_dwDockStyle & CBRS_FLOAT_MULTI));
        if (!mini)
            return;
        mini->m_wndDockBar.DockControlBar(bar);
    }
    bar->SetBarStyle((bar->m_dwStyle & ~CBRS_ALIGN_ANY) | CBRS_FLOATING | (style & CBRS_ALIGN_ANY) |
                     (style & CBRS_SIZE_DYNAMIC));
    CRect w;
    mini->GetWindowRect(&w);
    mini->MoveWindow(point.x, point.y, w.Width(), w.Height());
    mini->RecalcLayout();
    if (bar->IsVisible()) {
        bar->ShowWindow(SW_SHOW);
        mini->ShowWindow(SW_SHOW);
    }
    DelayRecalcLayout();
}

void CFrameWnd::ShowControlBar(CControlBar* bar, BOOL show, BOOL delay)
{
    if (!bar)
        return;
    if (delay) {
        bar->DelayShow(show);
        DelayRecalcLayout();
    } else {
        bar->SetWindowPos(nullptr, 0, 0, 0, 0,
                          SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE |
                              (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
        bar->DelayShow(show);
        RecalcLayout(FALSE);
    }
    if (bar->IsFloating())
        if (CWnd* mini = bar->m_pDockBar->GetParent())
            mini->ShowWindow(show ? SW_SHOW : SW_HIDE);
}

DWORD CFrameWnd::CanDock(CRect rect, DWORD dockStyle, CDockBar** dockBar)
{
    dockStyle &= CBRS_ALIGN_ANY | CBRS_FLOAT_MULTI;
    if (dockBar)
        *dockBar = nullptr;
    for (const auto& d : m_dockBars) {
        if (!d->IsWindowVisible() || !(d->m_dwStyle & dockStyle & CBRS_ALIGN_ANY))
            continue;
        CRect bar;
        d->GetWindowRect(&bar);
        // An empty side still catches a drop on its one-pixel line.
        if (bar.Width() == 0) bar.right++;
        if (bar.Height() == 0) bar.bottom++;
        CRect meet;
        if (meet.IntersectRect(bar, rect)) {
            if (dockBar)
                *dockBar = d.get();
            return d->m_dwStyle & dockStyle;
        }
    }
    return 0;
}

void CFrameWnd::CloseEmptyMiniFrames()
{
    if (m_closePending)
        return;
    m_closePending = true;
    PostMessage(kCloseMiniFrames);
}

void CFrameWnd::GetDockState(CDockState& state) const
{
    state.Clear();
    for (CControlBar* bar : m_listControlBars) {
        if (dynamic_cast<CDockBar*>(bar) || !bar->m_pDockBar)
            continue;
        CControlBarInfo info;
        info.m_nBarID = bar->GetDlgCtrlID();
        info.m_bVisible = bar->IsVisible();
        info.m_bFloating = bar->IsFloating();
        info.m_bHorz = (bar->m_dwStyle & CBRS_ORIENT_HORZ) != 0;
        CRect r;
        if (info.m_bFloating) {
            bar->m_pDockBar->GetParent()->GetWindowRect(&r);
        } else {
            bar->GetWindowRect(&r);
            bar->m_pDockBar->ScreenToClient(&r);
        }
        info.m_pointPos = r.TopLeft();
        if (CDockContext* c = bar->m_pDockContext) {
            info.m_uMRUDockID = c->m_uMRUDockID;
            info.m_rectMRUDockPos = c->m_rectMRUDockPos;
            info.m_dwMRUFloatStyle = c->m_dwMRUFloatStyle;
            info.m_ptMRUFloatPos = c->m_ptMRUFloatPos;
        }
        state.m_arrBarInfo.push_back(info);
    }
    for (UINT side : kSides) {
        CDockBar* dock = GetDockBar(side);
        if (!dock)
            continue;
        CDockBarInfo info;
        info.m_nDockBarID = side;
        for (std::size_t i = 0; i < dock->m_arrBars.size(); ++i) {
            if (dock->m_arrBars[i] == nullptr) {
                if (info.m_arrBarID.empty() || info.m_arrBarID.back() != 0)
                    info.m_arrBarID.push_back(0);
            } else if (CControlBar* b = dock->GetDockedControlBar(static_cast<int>(i))) {
                info.m_arrBarID.push_back(b->GetDlgCtrlID());
            }
        }
        if (info.m_arrBarID.empty() || info.m_arrBarID.back() != 0)
            info.m_arrBarID.push_back(0);
        state.m_arrDockBars.push_back(std::move(info));
    }
}

BOOL CFrameWnd::SetDockState(const CDockState& state)
{
    // Every bar the state names must be one of ours, and every side it
    // fills must exist; otherwise the frame keeps the layout it has.
    for (const CControlBarInfo& info : state.m_arrBarInfo)
        if (!GetControlBar(info.m_nBarID))
            return FALSE;
    for (const CDockBarInfo& d : state.m_arrDockBars)
        if (!GetDockBar(d.m_nDockBarID))
            return FALSE;
    for (const CDockBarInfo& d : state.m_arrDockBars) {
        CDockBar* dock = GetDockBar(d.m_nDockBarID);
        bool newRow = false;
        for (std::size_t i = 1; i < d.m_arrBarID.size(); ++i) {
            if (d.m_arrBarID[i] == 0) {
                newRow = true;
                continue;
            }
            CControlBar* bar = GetControlBar(d.m_arrBarID[i]);
            if (bar->m_pDockBar)
                bar->m_pDockBar->RemoveControlBar(bar);
            if (newRow && dock->m_arrBars.size() > 1)
                dock->m_arrBars.push_back(nullptr);
            newRow = false;
            dock->DockControlBar(bar);
        }
    }
    for (const CControlBarInfo& info : state.m_arrBarInfo) {
        CControlBar* bar = GetControlBar(info.m_nBarID);
        if (info.m_bFloating) {
            FloatControlBar(bar, state.ScalePoint(info.m_pointPos), info.m_bHorz ? CBRS_ALIGN_TOP : CBRS_ALIGN_LEFT);
        } else {
            CRect r;
            bar->GetWindowRect(&r);
            bar->MoveWindow(info.m_pointPos.x, info.m_pointPos.y, r.Width(), r.Height());
        }
        if (CDockContext* c = bar->m_pDockContext) {
            c->m_uMRUDockID = info.m_uMRUDockID;
            c->m_rectMRUDockPos = info.m_rectMRUDockPos;
            c->m_dwMRUFloatStyle = info.m_dwMRUFloatStyle;
            c->m_ptMRUFloatPos = state.ScalePoint(info.m_ptMRUFloatPos);
        }
        ShowControlBar(bar, info.m_bVisible, FALSE);
    }
    RecalcLayout();
    return TRUE;
}

CFrameWnd::CFrameWnd() = default;

CFrameWnd::~CFrameWnd()
{
    // The dock bars and mini frames go with the frame's window, before
    // their objects do.
    if (FromHandle(m_hWnd) == this)
        DestroyWindow();
}

void CFrameWnd::OnDestroy()
{
    for (CControlBar* bar : m_listControlBars) {
        bar->m_pDockSite = nullptr;
        bar->m_pDockBar = nullptr;
    }
    m_listControlBars.clear();
    for (auto& mini : m_miniFrames)
        mini->DestroyWindow();
    CWnd::OnDestroy();
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
    if (message == kCloseMiniFrames) {
        m_closePending = false;
        std::erase_if(m_miniFrames, [](const std::unique_ptr<CMiniDockFrameWnd>& m) { return !m->GetBar(); });
        *result = 0;
        return TRUE;
    }
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

#include "uikit/CViewBar.h"

#include "platform/ui/CDockContext.h"
#include "platform/ui/CView.h"
#include "platform/ui/CWinApp.h"

namespace {
// Registered as the program loads, before any window can send them.
const UINT g_toggleDocking = RegisterWindowMessageA("vb_toggledocking");
const UINT g_startDragging = RegisterWindowMessageA("vb_startdragging");
}  // namespace

UINT CViewBar::ToggleDockingMessage()
{
    return g_toggleDocking;
}

UINT CViewBar::StartDraggingMessage()
{
    return g_startDragging;
}

CViewBar::CViewBar() : hostedFrame(std::make_unique<CFrameWnd>()) {}

CViewBar::~CViewBar()
{
    if (FromHandle(m_hWnd) == this)
        DestroyWindow();
}

BOOL CViewBar::CreateViewBar(CWnd* parent, std::function<CView*()> viewClass, CCreateContext* context,
                             LPCSTR title, DWORD style, UINT id)
{
    if (context) {
        createContext = *context;
    } else {
        auto* frame = dynamic_cast<CFrameWnd*>(AfxGetMainWnd());
        createContext.m_pCurrentFrame = frame;
        createContext.m_pCurrentDoc = frame ? frame->GetActiveDocument() : nullptr;
    }
    createContext.m_pNewViewClass = std::move(viewClass);
    return Create(title, parent, id, style);
}

void CViewBar::InitialUpdateFrame(CDocument* document, BOOL visible)
{
    if (IsFloating() && hostedFrame)
        hostedFrame->InitialUpdateFrame(document, visible);
}

int CViewBar::OnCreate(CREATESTRUCT* cs)
{
    if (CSizingControlBarCF::OnCreate(cs) == -1)
        return -1;
    if (!hostedFrame || !hostedFrame->CreateFrame(WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, CRect(), this, &createContext))
        return -1;
    return 0;
}

void CViewBar::OnSize(UINT type, int cx, int cy)
{
    CSizingControlBarCF::OnSize(type, cx, cy);
    if (hostedFrame && hostedFrame->GetSafeHwnd()) {
        CRect client;
        GetClientRect(&client);
        hostedFrame->MoveWindow(&client);
    }
}

BOOL CViewBar::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message != g_toggleDocking && message != g_startDragging)
        return CSizingControlBarCF::OnWndMsg(message, wParam, lParam, result);
    *result = 0;
    if (!m_pDockBar || !m_pDockContext)
        return TRUE;
    if (message == g_toggleDocking) {
        m_pDockContext->ToggleDocking();
    } else {
        CPoint at(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        ClientToScreen(&at);
        m_pDockContext->StartDrag(at);
    }
    return TRUE;
}

#include "platform/ui/CControlBar.h"

#include "platform/ui/ButtonMessages.h"
#include "platform/ui/CDockBar.h"
#include "platform/ui/CDockContext.h"
#include "platform/ui/CFrameWnd.h"

CControlBar::CControlBar() = default;

CControlBar::~CControlBar()
{
    if (m_pDockSite)
        m_pDockSite->RemoveControlBar(this);
    if (m_pDockBar)
        m_pDockBar->RemoveControlBar(this);
}

CSize CControlBar::CalcFixedLayout(BOOL stretch, BOOL horizontal)
{
    CSize size(stretch && horizontal ? 32767 : 0, stretch && !horizontal ? 32767 : 0);
    CRect inside;
    CalcInsideRect(inside, horizontal);
    size.cy -= inside.Height();
    size.cx -= inside.Width();
    return size;
}

CSize CControlBar::CalcDynamicLayout(int, DWORD mode)
{
    return CalcFixedLayout((mode & LM_STRETCH) != 0, (mode & LM_HORZ) != 0);
}

void CControlBar::CalcInsideRect(CRect& rect, BOOL) const
{
    if (m_dwStyle & CBRS_BORDER_LEFT) rect.left += 2;
    if (m_dwStyle & CBRS_BORDER_TOP) rect.top += 2;
    if (m_dwStyle & CBRS_BORDER_RIGHT) rect.right -= 2;
    if (m_dwStyle & CBRS_BORDER_BOTTOM) rect.bottom -= 2;
}

void CControlBar::SetBarStyle(DWORD style)
{
    if (m_dwStyle == style)
        return;
    const DWORD old = m_dwStyle;
    m_dwStyle = style;
    OnBarStyleChange(old, style);
}

CDockContext* CControlBar::CreateDockContext()
{
    return new CDockContext(this);
}

void CControlBar::EnableDocking(DWORD dockStyle)
{
    m_dwDockStyle = dockStyle;
    if (!m_context) {
        m_context.reset(CreateDockContext());
        m_pDockContext = m_context.get();
    }
    if (!GetOwner())
        SetOwner(GetParent());
}

BOOL CControlBar::IsFloating() const
{
    return m_pDockBar && m_pDockBar->m_bFloating;
}

BOOL CControlBar::IsVisible() const
{
    if (m_delay == DelayShowing)
        return TRUE;
    return m_delay != DelayHide && (GetStyle() & WS_VISIBLE);
}

void CControlBar::DelayShow(BOOL show)
{
    const BOOL now = (GetStyle() & WS_VISIBLE) != 0;
    m_delay = (show != FALSE) == (now != FALSE) ? NoDelay : show ? DelayShowing : DelayHide;
}

BOOL CControlBar::RecalcDelayShow()
{
    if (m_delay != NoDelay) {
        const BOOL show = m_delay == DelayShowing;
        m_delay = NoDelay;
        SetWindowPos(nullptr, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE |
                         (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
    }
    return (GetStyle() & WS_VISIBLE) != 0;
}

CFrameWnd* CControlBar::GetDockingFrame() const
{
    return m_pDockSite;
}

int CControlBar::OnCreate(CREATESTRUCT* cs)
{
    if (CWnd::OnCreate(cs) == -1)
        return -1;
    if (!m_pDockSite) {
        m_pDockSite = dynamic_cast<CFrameWnd*>(GetParent());
        if (m_pDockSite)
            m_pDockSite->AddControlBar(this);
    }
    return 0;
}

void CControlBar::OnDestroy()
{
    if (m_pDockBar)
        m_pDockBar->RemoveControlBar(this);
    m_pDockBar = nullptr;
    CWnd::OnDestroy();
}

BOOL CControlBar::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_IDLEUPDATECMDUI) {
        OnUpdateCmdUI(m_pDockSite, static_cast<BOOL>(wParam));
        *result = 0;
        return TRUE;
    }
    return CWnd::OnWndMsg(message, wParam, lParam, result);
}

#include "platform/ui/CMiniDockFrameWnd.h"

#include "platform/ui/CBrush.h"
#include "platform/ui/CDC.h"
#include "platform/ui/CDockContext.h"
#include "platform/ui/SystemMetrics.h"

namespace {
int Border()
{
    return 1 + GetSystemMetrics(SM_CXDLGFRAME);
}
int Caption()
{
    return GetSystemMetrics(SM_CYSMCAPTION);
}
}  // namespace

CMiniDockFrameWnd::CMiniDockFrameWnd() = default;

BOOL CMiniDockFrameWnd::Create(CFrameWnd* dockSite, DWORD barStyle)
{
    m_pDockSite = dockSite;
    if (!CreateEx(WS_EX_TOOLWINDOW, nullptr, "", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME,
                  CRect(0, 0, 100, 100), nullptr, 0))
        return FALSE;
    SetOwner(dockSite);
    if (!m_wndDockBar.Create(this, WS_VISIBLE | CBRS_ALIGN_TOP | (barStyle & CBRS_FLOAT_MULTI),
                             AFX_IDW_DOCKBAR_FLOAT))
        return FALSE;
    m_wndDockBar.m_pDockSite = dockSite;
    return TRUE;
}

CControlBar* CMiniDockFrameWnd::GetBar() const
{
    for (int i = 0; i < static_cast<int>(m_wndDockBar.m_arrBars.size()); ++i)
        if (CControlBar* b = m_wndDockBar.GetDockedControlBar(i))
            return b;
    return nullptr;
}

void CMiniDockFrameWnd::CalcBorders(CRect& rect)
{
    rect.InflateRect(Border(), Border());
    rect.top -= Caption();
}

void CMiniDockFrameWnd::RecalcLayout(BOOL)
{
    CControlBar* bar = GetBar();
    if (!bar)
        return;
    const CSize size = m_wndDockBar.CalcFixedLayout(FALSE, TRUE);
    CRect w;
    GetWindowRect(&w);
    CRect c(CPoint(w.left + Border(), w.top + Border() + Caption()), size);
    CalcBorders(c);
    if (c != w)
        MoveWindow(&c);
    m_wndDockBar.MoveWindow(0, 0, size.cx, size.cy);
    SetWindowText(bar->GetWindowText());
}

void CMiniDockFrameWnd::OnBarLeft()
{
    if (GetBar())
        return;
    ShowWindow(SW_HIDE);
    if (m_pDockSite)
        m_pDockSite->CloseEmptyMiniFrames();
}

void CMiniDockFrameWnd::OnNcCalcSize(BOOL, NCCALCSIZE_PARAMS* params)
{
    CRect& r = reinterpret_cast<CRect&>(params->rgrc[0]);
    r.DeflateRect(Border(), Border());
    r.top += Caption();
}

CRect CMiniDockFrameWnd::CloseSquare() const
{
    CRect w;
    GetWindowRect(&w);
    const int size = Caption() - 4;
    return CRect(w.Width() - Border() - size - 2, Border() + 2, w.Width() - Border() - 2, Border() + 2 + size);
}

LRESULT CMiniDockFrameWnd::OnNcHitTest(CPoint screen)
{
    CRect w;
    GetWindowRect(&w);
    if (!w.PtInRect(screen))
        return HTNOWHERE;
    const CPoint p(screen.x - w.left, screen.y - w.top);
    const int b = Border();
    const bool left = p.x < b, right = p.x >= w.Width() - b, top = p.y < b, bottom = p.y >= w.Height() - b;
    const bool corners = !(m_dwMiniStyle & MFS_4THICKFRAME);
    if (corners && (left || right) && (top || bottom))
        return top ? (left ? HTTOPLEFT : HTTOPRIGHT) : (left ? HTBOTTOMLEFT : HTBOTTOMRIGHT);
    if (left) return HTLEFT;
    if (right) return HTRIGHT;
    if (top) return HTTOP;
    if (bottom) return HTBOTTOM;
    if (p.y < b + Caption())
        return CloseSquare().PtInRect(p) ? HTCLOSE : HTCAPTION;
    return HTCLIENT;
}

// Our caption: a small band in the caption colour with the bar's title in
// the small-caption font and the close square at its right end.
void CMiniDockFrameWnd::OnNcPaint()
{
    CWindowDC dc(this);
    CRect w;
    GetWindowRect(&w);
    w.OffsetRect(-w.left, -w.top);
    dc.FillSolidRect(&w, GetSysColor(COLOR_BTNFACE));
    dc.Draw3dRect(&w, GetSysColor(COLOR_3DLIGHT), GetSysColor(COLOR_3DDKSHADOW));
    CRect inner = w;
    inner.DeflateRect(1, 1);
    dc.Draw3dRect(&inner, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW));
    const bool active = ::GetForegroundWindow() == m_hWnd;
    CRect band(Border(), Border(), w.right - Border(), Border() + Caption());
    dc.FillSolidRect(&band, GetSysColor(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION));
    CRect close = CloseSquare();
    dc.DrawFrameControl(&close, DFC_CAPTION, DFCS_CAPTIONCLOSE);
    mvui::DrawCaptionTitle(dc, GetWindowText(), CRect(band.left + 3, band.top, close.left - 2, band.bottom), active);
}

void CMiniDockFrameWnd::OnNcLButtonDown(UINT hitCode, CPoint screen)
{
    CControlBar* bar = GetBar();
    if (!bar || !bar->m_pDockContext)
        return;
    if (hitCode == HTCAPTION) {
        SetForegroundWindow();
        bar->m_pDockContext->StartDrag(screen);
    } else if (hitCode >= HTLEFT && hitCode <= HTBOTTOMRIGHT) {
        bar->m_pDockContext->StartResize(static_cast<int>(hitCode), screen);
    }
}

void CMiniDockFrameWnd::OnNcLButtonUp(UINT hitCode, CPoint)
{
    if (hitCode == HTCLOSE)
        OnClose();
}

void CMiniDockFrameWnd::OnNcLButtonDblClk(UINT hitCode, CPoint)
{
    if (hitCode != HTCAPTION)
        return;
    if (CControlBar* bar = GetBar(); bar && bar->m_pDockContext)
        bar->m_pDockContext->ToggleDocking();
}

void CMiniDockFrameWnd::OnClose()
{
    if (CControlBar* bar = GetBar(); bar && m_pDockSite)
        m_pDockSite->ShowControlBar(bar, FALSE, FALSE);
}

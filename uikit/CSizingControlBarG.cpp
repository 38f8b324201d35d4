#include "uikit/CSizingControlBarG.h"

#include "platform/ui/CDC.h"
#include "platform/ui/CFont.h"
#include "platform/ui/CFrameWnd.h"
#include "platform/ui/SystemMetrics.h"
#include "platform/win/MulDiv.h"

CSizingControlBarG::CSizingControlBarG()
{
    barStyle |= SCBS_SHOWEDGES | SCBS_SIZECHILD;
}

BOOL CSizingControlBarG::ShowsGripper() const
{
    return !IsFloating();
}

void CSizingControlBarG::ComputeClientRect(CRect& rect, UINT id)
{
    CSizingControlBar::ComputeClientRect(rect, id);
    if (!ShowsGripper())
        return;
    CRect w;
    GetWindowRect(&w);
    if (CWnd* parent = GetParent())
        parent->ScreenToClient(&w);
    CPoint at;
    if (id == AFX_IDW_DOCKBAR_TOP || id == AFX_IDW_DOCKBAR_BOTTOM) {
        rect.left += gripperWidth;
        at = CPoint(rect.left - 13, rect.top);
    } else {
        rect.top += gripperWidth;
        at = CPoint(rect.right - 12, rect.top - 13);
    }
    closePos = CPoint(at.x - w.left, at.y - w.top);
}

CRect CSizingControlBarG::CloseRect() const
{
    return CRect(closePos, CSize(kCloseSize, kCloseSize));
}

LRESULT CSizingControlBarG::OnNcHitTest(CPoint screen)
{
    const LRESULT hit = CSizingControlBar::OnNcHitTest(screen);
    if (hit != HTCLIENT || !ShowsGripper())
        return hit;
    CRect w;
    GetWindowRect(&w);
    return CloseRect().PtInRect(CPoint(screen.x - w.left, screen.y - w.top)) ? HTCLOSE : hit;
}

void CSizingControlBarG::OnNcLButtonUp(UINT hitCode, CPoint screen)
{
    if (hitCode == HTCLOSE && m_pDockSite)
        m_pDockSite->ShowControlBar(this, FALSE, FALSE);
    else
        CSizingControlBar::OnNcLButtonUp(hitCode, screen);
}

void CSizingControlBarG::OnUpdateCmdUI(CFrameWnd*, BOOL)
{
    if (!ShowsGripper())
        return;
    CPoint cursor;
    GetCursorPos(&cursor);
    const BOOL over = OnNcHitTest(cursor) == HTCLOSE;
    const BOOL down = GetKeyState(VK_LBUTTON) < 0;
    const BOOL pushed = over && down, hot = over && !down;
    if (pushed != closePushed || hot != closeHot) {
        closePushed = pushed;
        closeHot = hot;
        RedrawWindow(nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
    }
}

void CSizingControlBarG::PaintCloseButton(CDC* dc)
{
    const CRect square = CloseRect();
    if (closePushed)
        dc->Draw3dRect(&square, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
    else if (closeHot)
        dc->Draw3dRect(&square, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW));
    // The cross at 6 points, whatever the display's resolution.
    const int dpi = GetDisplayCaps(LOGPIXELSY);
    CFont glyph;
    if (!glyph.CreatePointFont(MulDiv(60, 96, dpi > 0 ? dpi : 96), "Marlett"))
        return;
    CFont* old = dc->SelectObject(&glyph);
    const int mode = dc->SetBkMode(TRANSPARENT);
    const COLORREF colour = dc->SetTextColor(GetSysColor(COLOR_BTNTEXT));
    dc->TextOut(square.left + 2, square.top + 2, "r", 1);
    dc->SetTextColor(colour);
    dc->SetBkMode(mode);
    dc->SelectObject(old);
}

void CSizingControlBarG::PaintGripper(CDC* dc, const CRect& client)
{
    if (!ShowsGripper())
        return;
    CRect grip = client;
    grip.DeflateRect(1, 1);
    const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT), shadow = GetSysColor(COLOR_BTNSHADOW);
    if (IsHorzDocked()) {
        // Two upright lines in the strip at the left, below the close square.
        const int top = closePos.y + 14;
        const int x = client.left - gripperWidth + 2;
        dc->Draw3dRect(x, top, 3, grip.bottom - top, light, shadow);
        dc->Draw3dRect(x + 6, top, 3, grip.bottom - top, light, shadow);
    } else {
        // Two lying lines in the strip at the top, up to the close square.
        const int y = client.top - gripperWidth + 2;
        const int right = closePos.x - 3;
        dc->Draw3dRect(grip.left, y, right - grip.left, 3, light, shadow);
        dc->Draw3dRect(grip.left, y + 6, right - grip.left, 3, light, shadow);
    }
    PaintCloseButton(dc);
}

#include "platform/ui/CDockContext.h"

#include "platform/ui/CBitmap.h"
#include "platform/ui/CBrush.h"
#include "platform/ui/CDC.h"
#include "platform/ui/CDockBar.h"
#include "platform/ui/CFrameWnd.h"

CDockContext::CDockContext(CControlBar* bar) : m_pBar(bar), m_pDockSite(bar ? bar->m_pDockSite : nullptr) {}

CDockContext::~CDockContext() = default;

void CDockContext::OnKey(int vk, BOOL down)
{
    if (vk == VK_CONTROL)
        m_bForceFrame = down;
    else if (vk == VK_SHIFT)
        m_bFlip = down;
}

void CDockContext::ToggleDocking()
{
    m_pDockSite = m_pBar->m_pDockSite;
    if (!m_pDockSite)
        return;
    if (m_pBar->IsFloating()) {
        // Back to the last dock place, or the first side the bar may use.
        CDockBar* dock = m_uMRUDockID ? m_pDockSite->GetDockBar(m_uMRUDockID) : nullptr;
        if (dock && !m_rectMRUDockPos.IsRectEmpty()) {
            CRect r = m_rectMRUDockPos;
            dock->ClientToScreen(&r);
            m_pDockSite->DockControlBar(m_pBar, dock, &r);
        } else {
            m_pDockSite->DockControlBar(m_pBar, m_uMRUDockID);
        }
    } else {
        CPoint at = m_ptMRUFloatPos;
        if (at.x == 0 && at.y == 0) {
            CRect w;
            m_pBar->GetWindowRect(&w);
            at = w.TopLeft();
        }
        m_pDockSite->FloatControlBar(m_pBar, at, m_dwMRUFloatStyle ? m_dwMRUFloatStyle : CBRS_ALIGN_TOP);
    }
    m_pDockSite->RecalcLayout();
}

// Raster feedback: each rectangle's border is inverted with the halftone
// pattern, so drawing the same rectangle again takes it away.
void CDockContext::DrawDragRect(const CRect* rect, CSize border, BOOL dither)
{
    if (!m_pDockSite)
        return;
    CWindowDC dc(m_pDockSite);
    CRect site;
    m_pDockSite->GetWindowRect(&site);
    static const WORD pattern[8] = {0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA};
    CBitmap bits;
    bits.CreateBitmap(8, 8, 1, 1, pattern);
    CBrush halftone;
    halftone.CreatePatternBrush(&bits);
    CBrush white(RGB(255, 255, 255));
    auto frame = [&](const CRect& r, CSize b, BOOL d) {
        if (r.IsRectEmpty() || (b.cx == 0 && b.cy == 0))
            return;
        CRect local = r;
        local.OffsetRect(-site.left, -site.top);
        dc.SelectObject(d ? &halftone : &white);
        dc.PatBlt(local.left, local.top, local.Width(), b.cy, PATINVERT);
        dc.PatBlt(local.left, local.bottom - b.cy, local.Width(), b.cy, PATINVERT);
        dc.PatBlt(local.left, local.top + b.cy, b.cx, local.Height() - 2 * b.cy, PATINVERT);
        dc.PatBlt(local.right - b.cx, local.top + b.cy, b.cx, local.Height() - 2 * b.cy, PATINVERT);
    };
    frame(m_rectLast, m_sizeLast, m_bDitherLast);
    if (rect) {
        frame(*rect, border, dither);
        m_rectLast = *rect;
        m_sizeLast = border;
        m_bDitherLast = dither;
    } else {
        m_rectLast.SetRectEmpty();
        m_sizeLast = CSize();
    }
    m_pDockSite->Invalidate(FALSE);
}

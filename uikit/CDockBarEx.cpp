#include "uikit/CDockBarEx.h"

#include <algorithm>

#include "platform/ui/CDockContext.h"
#include "platform/ui/CFrameWnd.h"
#include "platform/ui/SystemMetrics.h"

CDockBarEx::CDockBarEx(BOOL floating) : CDockBar(floating) {}

CSize CDockBarEx::CalcFixedLayout(BOOL stretch, BOOL horizontal)
{
    CSize result(stretch && horizontal ? 32767 : 0, stretch && !horizontal ? 32767 : 0);
    const CSize border(2 * GetSystemMetrics(SM_CXBORDER), 2 * GetSystemMetrics(SM_CYBORDER));
    CPoint pos(-border.cx, -border.cy);
    int rowThickness = 0;
    const bool place = !m_bLayoutQuery;
    for (int i = 0; i < static_cast<int>(m_arrBars.size()); ++i) {
        CControlBar* bar = GetDockedControlBar(i);
        if (bar && bar->IsVisible()) {
            const DWORD barStyle = bar->m_dwStyle;
            DWORD mode = LM_VERTDOCK;
            if (bar->IsFloating() && (barStyle & CBRS_SIZE_DYNAMIC))
                mode = LM_HORZ | LM_MRUWIDTH;
            else if (barStyle & CBRS_ORIENT_HORZ)
                mode = LM_HORZ | LM_HORZDOCK;
            const CSize size = bar->CalcDynamicLayout(-1, mode);
            CRect r(pos, size);
            CRect current;
            bar->GetWindowRect(&current);
            ScreenToClient(&current);
            if (horizontal && !m_bFloating && current.left > r.left)
                r.OffsetRect(current.left - r.left, 0);
            if (!horizontal && current.top > r.top)
                r.OffsetRect(0, current.top - r.top);
            if (place && r != current) {
                if (!m_bFloating && !bar->IsFloating() && bar->m_pDockContext)
                    bar->m_pDockContext->m_rectMRUDockPos = r;
                bar->MoveWindow(&r);
            }
            if (horizontal) {
                pos.x = r.left + size.cx - border.cx;
                rowThickness = std::max<int>(rowThickness, size.cy);
            } else {
                pos.y = r.top + size.cy - border.cy;
                rowThickness = std::max<int>(rowThickness, size.cx);
            }
        }
        if (bar && place)
            bar->RecalcDelayShow();
        if (m_arrBars[i] == nullptr && rowThickness != 0) {
            if (horizontal) {
                pos.y += rowThickness - border.cy;
                result.cx = std::max<int>(result.cx, pos.x);
                result.cy = std::max<int>(result.cy, pos.y);
                pos.x = -border.cx;
            } else {
                pos.x += rowThickness - border.cx;
                result.cx = std::max<int>(result.cx, pos.x);
                result.cy = std::max<int>(result.cy, pos.y);
                pos.y = -border.cy;
            }
            rowThickness = 0;
        }
    }
    CRect inside;
    CalcInsideRect(inside, horizontal);
    if (!(stretch && horizontal))
        result.cx -= inside.Width();
    if (!(stretch && !horizontal))
        result.cy -= inside.Height();
    return result;
}

#include "platform/ui/CProgressCtrl.h"

#include <algorithm>

#include "platform/ui/CDC.h"
#include "platform/ui/SystemMetrics.h"

BOOL CProgressCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateControl("msctls_progress32", "", style, rect, parent, id);
}

void CProgressCtrl::SetRange32(int lower, int upper)
{
    m_lower = lower;
    m_upper = std::max(lower, upper);
    m_pos = std::clamp(m_pos, m_lower, m_upper);
    Invalidate();
}

int CProgressCtrl::SetPos(int pos)
{
    const int old = m_pos;
    m_pos = std::clamp(pos, m_lower, m_upper);
    Invalidate();
    return old;
}

int CProgressCtrl::StepIt()
{
    // Stepping past the end wraps to the start, as the common control does.
    const int old = m_pos;
    int next = m_pos + m_step;
    if (next > m_upper)
        next = m_lower + (next - m_upper);
    SetPos(next);
    return old;
}

LRESULT CProgressCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case PBM_SETRANGE: {
        const int old = MAKELPARAM(m_lower, m_upper);
        SetRange32(LOWORD(lParam), HIWORD(lParam));
        return old;
    }
    case PBM_SETRANGE32: {
        const int old = MAKELPARAM(m_lower, m_upper);
        SetRange32(static_cast<int>(wParam), static_cast<int>(lParam));
        return old;
    }
    case PBM_GETRANGE: return wParam ? m_lower : m_upper;
    case PBM_SETPOS: return SetPos(static_cast<int>(wParam));
    case PBM_DELTAPOS: return SetPos(m_pos + static_cast<int>(wParam));
    case PBM_SETSTEP: { const int old = m_step; m_step = static_cast<int>(wParam); return old; }
    case PBM_STEPIT: return StepIt();
    case PBM_GETPOS: return m_pos;
    default: return CControlWnd::WindowProc(message, wParam, lParam);
    }
}

BOOL CProgressCtrl::OnEraseBkgnd(CDC*)
{
    return TRUE;
}

void CProgressCtrl::OnPaint()
{
    CPaintDC dc(this);
    CRect r;
    GetClientRect(&r);
    dc.FillSolidRect(&r, GetSysColor(COLOR_BTNFACE));
    dc.DrawEdge(&r, BDR_SUNKENOUTER, BF_RECT);
    CRect inside = r;
    inside.DeflateRect(2, 2);
    if (m_upper == m_lower || inside.IsRectEmpty())
        return;
    const int filled = static_cast<int>(static_cast<long long>(m_pos - m_lower) * inside.Width() / (m_upper - m_lower));
    const int block = std::max(2, inside.Height() * 2 / 3);
    for (int x = 0; x < filled; x += block + 2)
        dc.FillSolidRect(inside.left + x, inside.top, std::min(block, filled - x), inside.Height(),
                         GetSysColor(COLOR_HIGHLIGHT));
}

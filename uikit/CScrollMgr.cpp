#include "uikit/CScrollMgr.h"

#include <algorithm>
#include <climits>

CScrollMgr::~CScrollMgr() = default;

int CScrollMgr::Attach(CWnd* wnd)
{
    return m_windows.insert(wnd).second ? 0 : 1;
}

HRESULT CScrollMgr::Detach(CWnd* wnd)
{
    return m_windows.erase(wnd) ? S_OK : E_UNEXPECTED;
}

void CScrollMgr::RedrawAll()
{
    for (CWnd* wnd : m_windows)
        wnd->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CScrollMgr::ApplyScrollCode(BYTE code, int thumb, int line, int testPage, int stepPage, int total)
{
    switch (code) {
    case SB_LINEUP:
        if (m_position > 0)
            m_position = std::max(m_position - line, 0);
        break;
    case SB_LINEDOWN:
        if (m_position + testPage < total)
            m_position += line;
        break;
    case SB_PAGEUP:
        if (testPage <= m_position)
            m_position -= stepPage;
        else if (m_position > 0)
            m_position = 0;
        break;
    case SB_PAGEDOWN:
        if (m_position + testPage < total)
            m_position += stepPage;
        else
            m_position = total;
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: m_position = std::max(thumb, 0); break;
    case SB_TOP: m_position = 0; break;
    case SB_BOTTOM: m_position = total; break;
    default: break;
    }
}

namespace mvscroll {
int ToInt(long double value)
{
    if (!(value == value))
        return 0;
    if (value >= static_cast<long double>(INT_MAX))
        return INT_MAX;
    if (value <= static_cast<long double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(value);
}
}  // namespace mvscroll

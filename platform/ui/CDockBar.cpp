#include "platform/ui/CDockBar.h"

#include <algorithm>

#include "platform/ui/CFrameWnd.h"
#include "platform/ui/CMiniDockFrameWnd.h"

namespace {
bool IsPlaceholder(void* entry)
{
    return reinterpret_cast<std::uintptr_t>(entry) < 0x10000;
}
}  // namespace

CDockBar::CDockBar(BOOL floating) : m_bFloating(floating)
{
    m_arrBars.push_back(nullptr);
}

BOOL CDockBar::Create(CWnd* parent, DWORD style, UINT id)
{
    m_dwStyle = style & CBRS_ALL;
    return CreateEx(0, nullptr, nullptr, (style & ~CBRS_ALL) | WS_CHILD | WS_CLIPCHILDREN, CRect(), parent, id);
}

CControlBar* CDockBar::GetDockedControlBar(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_arrBars.size()) || IsPlaceholder(m_arrBars[index]))
        return nullptr;
    return static_cast<CControlBar*>(m_arrBars[index]);
}

int CDockBar::FindBar(const CControlBar* bar) const
{
    for (int i = 0; i < static_cast<int>(m_arrBars.size()); ++i)
        if (m_arrBars[i] == bar)
            return i;
    return -1;
}

int CDockBar::GetDockedCount() const
{
    int n = 0;
    for (int i = 0; i < static_cast<int>(m_arrBars.size()); ++i)
        n += GetDockedControlBar(i) != nullptr;
    return n;
}

int CDockBar::GetDockedVisibleCount() const
{
    int n = 0;
    for (int i = 0; i < static_cast<int>(m_arrBars.size()); ++i)
        if (CControlBar* b = GetDockedControlBar(i); b && b->IsVisible())
            ++n;
    return n;
}

int CDockBar::Insert(CControlBar* bar, const CRect& rect, CPoint mid)
{
    const bool horz = IsHorizontal();
    int after = 0, thickness = 0, total = 0;
    int pos = 0;
    for (; pos < static_cast<int>(m_arrBars.size()); ++pos) {
        CControlBar* b = GetDockedControlBar(pos);
        if (b && b->IsVisible()) {
            CRect r;
            b->GetWindowRect(&r);
            ScreenToClient(&r);
            thickness = std::max(thickness, horz ? r.Height() : r.Width() - 1);
            if (horz ? rect.left > r.left : rect.top > r.top)
                after = pos;
        } else if (m_arrBars[pos] == nullptr) {
            total += thickness - 2;
            thickness = 0;
            if ((horz ? mid.y : mid.x) < total) {
                if (pos == 0)
                    m_arrBars.insert(m_arrBars.begin() + after + 1, nullptr);
                break;
            }
            after = pos;
        }
    }
    m_arrBars.insert(m_arrBars.begin() + after + 1, bar);
    return after + 1;
}

void CDockBar::DockControlBar(CControlBar* bar, LPCRECT rect)
{
    if (!bar)
        return;
    CDockBar* old = bar->m_pDockBar;
    if (old)
        old->RemoveControlBar(bar);
    if (rect) {
        CRect r(*rect);
        ScreenToClient(&r);
        Insert(bar, r, r.CenterPoint());
    } else if (m_arrBars.size() == 1) {
        m_arrBars.push_back(bar);
    } else {
        // At the end of the last row.
        if (m_arrBars.back() != nullptr)
            m_arrBars.push_back(nullptr);
        m_arrBars.insert(m_arrBars.end() - 1, bar);
    }
    if (m_arrBars.back() != nullptr)
        m_arrBars.push_back(nullptr);
    const DWORD style = bar->m_dwStyle;
    bar->m_pDockBar = this;
    bar->SetParent(this);
    DWORD next = (style & ~(CBRS_ALIGN_ANY | CBRS_FLOATING)) | (m_dwStyle & CBRS_ALIGN_ANY);
    if (m_bFloating)
        next = (style & ~CBRS_ALIGN_ANY) | CBRS_FLOATING | (style & CBRS_ALIGN_ANY);
    bar->SetBarStyle(next);
    CRect place;
    if (rect) {
        place = *rect;
        ScreenToClient(&place);
    } else {
        bar->GetWindowRect(&place);
        place.OffsetRect(-place.left, -place.top);
    }
    bar->MoveWindow(&place);
    if (old && old != this)
        if (auto* mini = dynamic_cast<CMiniDockFrameWnd*>(old->GetParent()))
            mini->OnBarLeft();
}

void CDockBar::RemoveControlBar(CControlBar* bar)
{
    const int pos = FindBar(bar);
    if (pos <= 0)
        return;
    m_arrBars.erase(m_arrBars.begin() + pos);
    // An emptied row goes with its bar.
    if (pos < static_cast<int>(m_arrBars.size()) && m_arrBars[pos - 1] == nullptr && m_arrBars[pos] == nullptr)
        m_arrBars.erase(m_arrBars.begin() + pos);
    if (bar->m_pDockBar == this)
        bar->m_pDockBar = nullptr;
}

CSize CDockBar::CalcFixedLayout(BOOL stretch, BOOL horizontal)
{
    CSize result = CControlBar::CalcFixedLayout(stretch, horizontal);
    CPoint pt(0, 0);
    int rowThickness = 0;
    for (int i = 0; i < static_cast<int>(m_arrBars.size()); ++i) {
        CControlBar* bar = GetDockedControlBar(i);
        if (bar && bar->IsVisible()) {
            const DWORD mode = m_bFloating ? (LM_HORZ | LM_MRUWIDTH)
                               : horizontal ? (LM_HORZ | LM_HORZDOCK) : LM_VERTDOCK;
            const CSize size = bar->CalcDynamicLayout(-1, mode);
            if (!m_bLayoutQuery)
                bar->MoveWindow(pt.x, pt.y, size.cx, size.cy);
            if (horizontal) {
                pt.x += size.cx;
                rowThickness = std::max<int>(rowThickness, size.cy);
            } else {
                pt.y += size.cy;
                rowThickness = std::max<int>(rowThickness, size.cx);
            }
            result.cx = std::max<int>(result.cx, horizontal ? pt.x : rowThickness);
            result.cy = std::max<int>(result.cy, horizontal ? rowThickness : pt.y);
        } else if (!bar && m_arrBars[i] == nullptr && rowThickness) {
            if (horizontal) {
                pt.y += rowThickness;
                pt.x = 0;
            } else {
                pt.x += rowThickness;
                pt.y = 0;
            }
            rowThickness = 0;
        }
    }
    return result;
}

#include "uikit/CSizingControlBar.h"

#include <algorithm>
#include <string>

#include "platform/registry/Profile.h"
#include "platform/ui/CBitmap.h"
#include "platform/ui/CBrush.h"
#include "platform/ui/CDC.h"
#include "platform/ui/CDockBar.h"
#include "platform/ui/CFrameWnd.h"
#include "platform/ui/CMiniDockFrameWnd.h"
#include "platform/ui/CSplitterWnd.h"
#include "platform/ui/CWinApp.h"
#include "platform/ui/SystemMetrics.h"
#include "uikit/CDockContextEx.h"

int CSizingControlBar::s_marginHorz = 0;
int CSizingControlBar::s_marginVert = 0;

namespace {

constexpr char kClassName[] = "MvSizingControlBar";

bool IsHorzId(UINT id)
{
    return id == AFX_IDW_DOCKBAR_TOP || id == AFX_IDW_DOCKBAR_BOTTOM;
}
bool IsVertId(UINT id)
{
    return id == AFX_IDW_DOCKBAR_LEFT || id == AFX_IDW_DOCKBAR_RIGHT;
}

BOOL ReadDragFullWindows()
{
    BOOL full = TRUE;
    SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &full, 0);
    return full;
}

template <class F>
void ForEachSizingBar(CFrameWnd* frame, F act)
{
    if (!frame)
        return;
    for (CControlBar* bar : frame->ControlBars())
        if (auto* s = dynamic_cast<CSizingControlBar*>(bar))
            act(*s);
}

// The main view of the frame, AFX_IDW_PANE_FIRST.
CWnd* MainView(CFrameWnd* frame)
{
    return frame ? frame->GetDlgItem(AFX_IDW_PANE_FIRST) : nullptr;
}

}  // namespace

CSizingControlBar::CSizingControlBar() = default;

void CSizingControlBar::SetMaximizeMargins(int horizontal, int vertical)
{
    s_marginHorz = horizontal;
    s_marginVert = vertical;
}

BOOL CSizingControlBar::Create(LPCSTR title, CWnd* parent, UINT id, DWORD style)
{
    m_dwStyle = style & CBRS_ALL;
    WNDCLASSA wc{CS_DBLCLKS, LoadCursor(nullptr, IDC_ARROW), COLOR_BTNFACE + 1, kClassName};
    AfxRegisterClass(&wc);
    return CreateEx(0, kClassName, title, (style & ~CBRS_ALL) | WS_CLIPCHILDREN, CRect(), parent, id);
}

BOOL CSizingControlBar::Create(LPCSTR title, CWnd* parent, CSize defaultSize, BOOL, UINT id, DWORD style)
{
    sizeHorz = sizeVert = sizeFloat = defaultSize;
    return Create(title, parent, id, style);
}

CDockContext* CSizingControlBar::CreateDockContext()
{
    return new CDockContextEx(this);
}

void CSizingControlBar::EnableDocking(DWORD dockStyle)
{
    CControlBar::EnableDocking(dockStyle);
}

int CSizingControlBar::OnCreate(CREATESTRUCT* cs)
{
    if (CControlBar::OnCreate(cs) == -1)
        return -1;
    dragFullWindows = ReadDragFullWindows();
    return 0;
}

void CSizingControlBar::OnSettingChange(UINT flags, LPCSTR section)
{
    CControlBar::OnSettingChange(flags, section);
    dragFullWindows = ReadDragFullWindows();
}

// ---------------------------------------------------------------------------
// Saved sizes.

void CSizingControlBar::LoadSizes(LPCSTR profileName)
{
    const std::string section = std::string(profileName ? profileName : "") + "-SCBar-" + std::to_string(GetDlgCtrlID());
    struct Entry {
        const char* name;
        LONG* value;
        LONG minimum;
    } entries[] = {{"sizeHorzCX", &sizeHorz.cx, minHorz.cx},   {"sizeHorzCY", &sizeHorz.cy, minHorz.cy},
                   {"sizeVertCX", &sizeVert.cx, minVert.cx},   {"sizeVertCY", &sizeVert.cy, minVert.cy},
                   {"sizeFloatCX", &sizeFloat.cx, minFloat.cx}, {"sizeFloatCY", &sizeFloat.cy, minFloat.cy}};
    for (Entry& e : entries) {
        const int stored = static_cast<int>(GetProfileIntA(section.c_str(), e.name, *e.value));
        *e.value = std::max<LONG>(stored, e.minimum);
    }
}

void CSizingControlBar::SaveSizes(LPCSTR profileName)
{
    const std::string section = std::string(profileName ? profileName : "") + "-SCBar-" + std::to_string(GetDlgCtrlID());
    WriteProfileInt(section.c_str(), "sizeHorzCX", sizeHorz.cx);
    WriteProfileInt(section.c_str(), "sizeHorzCY", sizeHorz.cy);
    WriteProfileInt(section.c_str(), "sizeVertCX", sizeVert.cx);
    WriteProfileInt(section.c_str(), "sizeVertCY", sizeVert.cy);
    WriteProfileInt(section.c_str(), "sizeFloatCX", sizeFloat.cx);
    WriteProfileInt(section.c_str(), "sizeFloatCY", sizeFloat.cy);
}

void CSizingControlBar::LoadAllBarStates(CFrameWnd* frame, LPCSTR profileName)
{
    ForEachSizingBar(frame, [profileName](CSizingControlBar& bar) { bar.LoadSizes(profileName); });
}

void CSizingControlBar::SaveAllBarStates(CFrameWnd* frame, LPCSTR profileName)
{
    ForEachSizingBar(frame, [profileName](CSizingControlBar& bar) { bar.SaveSizes(profileName); });
}

// ---------------------------------------------------------------------------
// Rows.

void CSizingControlBar::RowRange(int& first, int& last) const
{
    first = last = -1;
    if (!m_pDockBar)
        return;
    const int self = m_pDockBar->FindBar(this);
    if (self < 0)
        return;
    first = self;
    while (first > 0 && m_pDockBar->m_arrBars[first - 1] != nullptr)
        --first;
    last = self;
    const int size = static_cast<int>(m_pDockBar->m_arrBars.size());
    while (last + 1 < size && m_pDockBar->m_arrBars[last + 1] != nullptr)
        ++last;
}

std::vector<CSizingControlBar*> CSizingControlBar::RowBars(int* self) const
{
    std::vector<CSizingControlBar*> bars;
    if (self)
        *self = -1;
    int first, last;
    RowRange(first, last);
    for (int i = first; first >= 0 && i <= last; ++i) {
        auto* bar = dynamic_cast<CSizingControlBar*>(m_pDockBar->GetDockedControlBar(i));
        if (!bar || !bar->IsVisible())
            continue;
        if (bar == this && self)
            *self = static_cast<int>(bars.size());
        bars.push_back(bar);
    }
    return bars;
}

CSize CSizingControlBar::CalcFixedLayout(BOOL stretch, BOOL horizontal)
{
    if (stretch)
        return horizontal ? CSize(32767, sizeHorz.cy) : CSize(sizeVert.cx, 32767);
    if (!m_pDockBar)
        return horizontal ? sizeHorz : sizeVert;
    if (!m_pDockBar->m_bLayoutQuery) {
        int first, last;
        RowRange(first, last);
        for (int i = first; first >= 0 && i <= last; ++i)
            if (auto* bar = dynamic_cast<CSizingControlBar*>(m_pDockBar->GetDockedControlBar(i)))
                bar->RecalcDelayShow();
    }
    CRect layout = m_pDockBar->m_rectLayout;
    if (layout.IsRectEmpty() && m_pDockSite)
        m_pDockSite->GetClientRect(&layout);
    const int available = horizontal ? layout.Width() + 2 : layout.Height() - 2;
    const std::vector<CSizingControlBar*> row = RowBars();
    if (IsVisible() && !IsFloating() && relayoutPending && !row.empty() && row.front() == this)
        if (FitRow(available))
            RealignRow();
    relayoutPending = FALSE;
    return horizontal ? CSize(std::max(sizeHorz.cx, minHorz.cx), std::max(sizeHorz.cy, minHorz.cy))
                      : CSize(std::max(sizeVert.cx, minVert.cx), std::max(sizeVert.cy, minVert.cy));
}

CSize CSizingControlBar::CalcDynamicLayout(int length, DWORD mode)
{
    if (mode & (LM_HORZDOCK | LM_VERTDOCK)) {
        if (length == -1)
            relayoutPending = TRUE;
        return CControlBar::CalcDynamicLayout(length, mode);
    }
    if (!(mode & (LM_MRUWIDTH | LM_COMMIT))) {
        CDockContext* ctx = m_pDockContext;
        const int hit = ctx ? ctx->m_nHitTest : 0;
        CWnd* mini = IsFloating() && m_pDockBar ? m_pDockBar->GetParent() : nullptr;
        if (mini && ctx && !ctx->m_bDragging &&
            (hit == HTTOPLEFT || hit == HTTOPRIGHT || hit == HTBOTTOMLEFT || hit == HTBOTTOMRIGHT)) {
            CPoint cursor;
            GetCursorPos(&cursor);
            CRect frame, bar;
            mini->GetWindowRect(&frame);
            GetWindowRect(&bar);
            const bool left = hit == HTTOPLEFT || hit == HTBOTTOMLEFT;
            const bool top = hit == HTTOPLEFT || hit == HTTOPRIGHT;
            sizeFloat.cx = left ? bar.Width() - (cursor.x - frame.left) : bar.Width() + (cursor.x - frame.right);
            sizeFloat.cy = top ? bar.Height() - (cursor.y - frame.top) : bar.Height() + (cursor.y - frame.bottom);
            // The far edge stays; the near one never passes the minimum size.
            if (left)
                ctx->m_rectFrameDragHorz.left = std::min<int>(cursor.x, frame.right - minFloat.cx - (frame.Width() - bar.Width()));
            if (top)
                ctx->m_rectFrameDragHorz.top = std::min<int>(cursor.y, frame.bottom - minFloat.cy - (frame.Height() - bar.Height()));
        } else if (mode & LM_LENGTHY) {
            sizeFloat.cy = length;
        } else {
            sizeFloat.cx = length;
        }
    }
    sizeFloat.cx = std::max(sizeFloat.cx, minFloat.cx);
    sizeFloat.cy = std::max(sizeFloat.cy, minFloat.cy);
    return sizeFloat;
}

BOOL CSizingControlBar::FitRow(int available)
{
    const BOOL horz = IsHorzDocked();
    int first, last;
    RowRange(first, last);
    if (first < 0)
        return FALSE;
    const int self = m_pDockBar->FindBar(this);
    auto& arr = m_pDockBar->m_arrBars;
    int minTotal = 2, used = 0, thickness = 0, entries = 0;
    for (int i = first; i <= last; ++i)
        if (CControlBar* b = m_pDockBar->GetDockedControlBar(i); b && b->IsVisible())
            ++entries;
    const int dockedVisible = m_pDockBar->GetDockedVisibleCount();
    std::vector<CSizingControlBar*> bars;
    for (int i = first; i <= last; ++i) {
        CControlBar* b = m_pDockBar->GetDockedControlBar(i);
        if (!b || !b->IsVisible())
            continue;
        auto* sb = dynamic_cast<CSizingControlBar*>(b);
        CRect w;
        b->GetWindowRect(&w);
        const int plainLength = horz ? w.Width() : w.Height();
        minTotal += (sb ? sb->MinLength(horz) : plainLength) - 2;
        if (minTotal > available) {
            if (i < self) {
                arr.insert(arr.begin() + i + 1, nullptr);
                return FALSE;
            }
            if (i == self) {
                Length(horz) = MinLength(horz);
                return TRUE;
            }
            arr.insert(arr.begin() + i, nullptr);
            break;
        }
        if (!sb) {
            available -= plainLength - 2;
            continue;
        }
        if (sb->orientationChanged) {
            if (horz)
                sb->sizeHorz.cx = sb->sizeVert.cx;
            else
                sb->sizeVert.cy = sb->sizeHorz.cy;
        } else if (sb->dockChanged) {
            sb->Length(horz) = horz ? sb->sizeFloat.cx : sb->sizeFloat.cy;
        }
        used += sb->Length(horz) - 2;
        if (sb->dockChanged && dockedVisible != 1 && entries > 1) {
            // A bar just dropped into a busy row takes the row's thickness.
        } else if (sb->dockChanged && !sb->orientationChanged && !sb->keepLength) {
            thickness = std::max<int>(thickness, horz ? std::min(sb->sizeHorz.cy, sb->sizeFloat.cy)
                                                      : std::min(sb->sizeHorz.cx, sb->sizeFloat.cx));
        } else {
            thickness = std::max<int>(thickness, sb->Thickness(horz));
        }
        sb->dockChanged = FALSE;
        sb->orientationChanged = FALSE;
        bars.push_back(sb);
    }
    if (thickness)
        for (CSizingControlBar* b : bars)
            b->Thickness(horz) = thickness;
    int diff = available - used;
    if (bars.size() == 1) {
        bars.front()->keepLength = FALSE;
        bars.front()->Length(horz) += diff;
        return TRUE;
    }
    // One pixel per bar and pass; bars that keep their length join only
    // once the others cannot take more.
    for (int stage = 0; stage < 2 && diff != 0; ++stage) {
        bool changed = true;
        while (diff != 0 && changed) {
            changed = false;
            for (CSizingControlBar* b : bars) {
                if (diff == 0)
                    break;
                if (stage == 0 && b->keepLength)
                    continue;
                if (diff < 0 && b->Length(horz) <= b->MinLength(horz))
                    continue;
                const int step = diff > 0 ? 1 : -1;
                b->Length(horz) += step;
                diff -= step;
                changed = true;
            }
        }
        for (CSizingControlBar* b : bars)
            b->keepLength = FALSE;
    }
    return TRUE;
}

// The dock bar's layout starts a horizontal row at -2 and a vertical one at
// -2 too (its offset 0 less the overlap); each bar is compared with the
// place it would be given, so a row in place is left alone and the layout
// settles.
void CSizingControlBar::RealignRow()
{
    if (!m_pDockBar)
        return;
    const BOOL horz = IsHorzDocked();
    int first, last;
    RowRange(first, last);
    int offset = horz ? -2 : 0;
    bool moved = false;
    CRect dock;
    m_pDockBar->GetWindowRect(&dock);
    for (int i = first; first >= 0 && i <= last; ++i) {
        CControlBar* b = m_pDockBar->GetDockedControlBar(i);
        if (!b || !b->IsVisible())
            continue;
        CRect r;
        b->GetWindowRect(&r);
        r.OffsetRect(-dock.left, -dock.top);
        if (auto* sb = dynamic_cast<CSizingControlBar*>(b))
            r = CRect(r.TopLeft(), horz ? sb->sizeHorz : sb->sizeVert);
        const int place = horz ? offset : offset - 2;
        if ((horz ? r.left : r.top) != place) {
            if (!horz)
                r.OffsetRect(0, place - r.top);
            else
                r.OffsetRect(place - r.left, dockBarId == AFX_IDW_DOCKBAR_TOP ? -2 : 0);
            b->MoveWindow(&r);
            moved = true;
        }
        offset += (horz ? r.Width() : r.Height()) - 2;
    }
    if (moved && m_pDockSite)
        m_pDockSite->DelayRecalcLayout();
}

// ---------------------------------------------------------------------------
// Non-client area.

void CSizingControlBar::ComputeClientRect(CRect& rect, UINT id)
{
    rect.DeflateRect(3, 5, 3, 3);
    if (IsHorzId(id) || IsVertId(id))
        rect.DeflateRect(2, 0, 2, 2);
    switch (id) {
    case AFX_IDW_DOCKBAR_TOP: barStyle |= SCBS_EDGEBOTTOM; break;
    case AFX_IDW_DOCKBAR_LEFT: barStyle |= SCBS_EDGERIGHT; break;
    case AFX_IDW_DOCKBAR_RIGHT: barStyle |= SCBS_EDGELEFT; break;
    case AFX_IDW_DOCKBAR_BOTTOM: barStyle |= SCBS_EDGETOP; break;
    default: break;
    }
    if (barStyle & SCBS_SHOWEDGES) {
        if (barStyle & SCBS_EDGELEFT) rect.left += edgeWidth;
        if (barStyle & SCBS_EDGETOP) rect.top += edgeWidth;
        if (barStyle & SCBS_EDGERIGHT) rect.right -= edgeWidth;
        if (barStyle & SCBS_EDGEBOTTOM) rect.bottom -= edgeWidth;
    }
}

void CSizingControlBar::OnNcCalcSize(BOOL, NCCALCSIZE_PARAMS* params)
{
    if (IsFloating() && m_pDockBar)
        if (auto* mini = dynamic_cast<CMiniDockFrameWnd*>(m_pDockBar->GetParent());
            mini && (mini->m_dwMiniStyle & MFS_4THICKFRAME)) {
            mini->m_dwMiniStyle &= ~MFS_4THICKFRAME;
            m_pDockBar->ModifyStyle(0, WS_CLIPCHILDREN);
        }
    barStyle &= ~SCBS_EDGEALL;
    if (!IsFloating()) {
        int self = -1;
        const std::vector<CSizingControlBar*> row = RowBars(&self);
        const bool horz = IsHorzDocked();
        if (self > 0)
            barStyle |= horz ? SCBS_EDGELEFT : SCBS_EDGETOP;
        if (self >= 0 && self + 1 < static_cast<int>(row.size()))
            barStyle |= horz ? SCBS_EDGERIGHT : SCBS_EDGEBOTTOM;
    }
    CRect r(params->rgrc[0]);
    ComputeClientRect(r, dockBarId);
    params->rgrc[0] = r;
}

// An edge's strip in screen coordinates; empty when the bar has no such edge.
CRect CSizingControlBar::EdgeStrip(int hit) const
{
    if (!(barStyle & SCBS_SHOWEDGES))
        return CRect();
    const DWORD bit = hit == HTLEFT ? SCBS_EDGELEFT : hit == HTRIGHT ? SCBS_EDGERIGHT
                      : hit == HTTOP ? SCBS_EDGETOP : hit == HTBOTTOM ? SCBS_EDGEBOTTOM : 0;
    if (!(barStyle & bit))
        return CRect();
    CRect w;
    GetWindowRect(&w);
    w.DeflateRect(1, 1);
    const int size = edgeWidth + 3;
    CRect s = w;
    switch (hit) {
    case HTLEFT: s.right = s.left + size; break;
    case HTRIGHT: s.left = s.right - size; break;
    case HTTOP: s.bottom = s.top + size; break;
    default: s.top = s.bottom - size; break;
    }
    const bool sideEdge = hit == HTLEFT || hit == HTRIGHT;
    if (sideEdge && IsHorzDocked())
        s.DeflateRect(0, edgeWidth);
    if (!sideEdge && !IsHorzDocked())
        s.DeflateRect(edgeWidth, 0);
    return s;
}

LRESULT CSizingControlBar::OnNcHitTest(CPoint screen)
{
    if (IsFloating())
        return HTCLIENT;
    for (int hit : {HTLEFT, HTTOP, HTRIGHT, HTBOTTOM})
        if (EdgeStrip(hit).PtInRect(screen))
            return hit;
    return HTCLIENT;
}

void CSizingControlBar::OnNcPaint()
{
    CWindowDC dc(this);
    CRect w;
    GetWindowRect(&w);
    const CPoint origin = w.TopLeft();
    CRect whole(0, 0, w.Width(), w.Height());
    const CPoint clientAt = GetClientOffset();
    CRect client;
    GetClientRect(&client);
    client.OffsetRect(clientAt);
    dc.ExcludeClipRect(&client);
    dc.FillSolidRect(&whole, GetSysColor(COLOR_BTNFACE));
    for (int hit : {HTLEFT, HTTOP, HTRIGHT, HTBOTTOM}) {
        CRect s = EdgeStrip(hit);
        if (s.IsRectEmpty())
            continue;
        s.OffsetRect(-origin.x, -origin.y);
        dc.Draw3dRect(&s, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW));
    }
    PaintGripper(&dc, client);
}

// ---------------------------------------------------------------------------
// Docking changes.

void CSizingControlBar::OnWindowPosChanging(WINDOWPOS* pos)
{
    pos->flags |= SWP_FRAMECHANGED;
    const bool showing = (pos->flags & SWP_SHOWWINDOW) && !(GetStyle() & WS_VISIBLE);
    CControlBar::OnWindowPosChanging(pos);
    CWnd* parent = GetParent();
    const UINT next = parent && dynamic_cast<CDockBar*>(parent) ? parent->GetDlgCtrlID() : 0;
    const UINT before = dockBarId;
    dockBarId = next;
    if (!AfxGetMainWnd())
        return;
    const bool changed = next != before;
    if (changed) {
        dockChanged = TRUE;
        if ((IsHorzId(next) && IsVertId(before)) || (IsVertId(next) && IsHorzId(before)))
            orientationChanged = TRUE;
    }
    if (!keepLength) {
        if (next == AFX_IDW_DOCKBAR_FLOAT && before == AFX_IDW_DOCKBAR_FLOAT && dockChanged) {
            keepLength = TRUE;
        } else if (!IsFloating() && showing && !changed && m_pDockBar) {
            CRect c;
            m_pDockBar->GetClientRect(&c);
            const BOOL horz = IsHorzDocked();
            keepLength = Length(horz) < (horz ? c.Width() : c.Height());
        } else if (!changed) {
            keepLength = dockChanged && orientationChanged;
        }
    }
    if (showing && !IsFloating() && m_pDockBar && m_pDockBar->GetDockedVisibleCount() == 0)
        if (CWnd* view = MainView(m_pDockSite)) {
            CRect v;
            view->GetWindowRect(&v);
            if (IsHorzDocked() && sizeHorz.cy > v.Height())
                sizeHorz.cy = v.Height() - 30;
            if (IsVertDocked() && sizeVert.cx > v.Width())
                sizeVert.cx = v.Width() - 30;
        }
}

void CSizingControlBar::OnBarStyleChange(DWORD oldStyle, DWORD newStyle)
{
    dockChanged = (oldStyle & CBRS_FLOATING) && (newStyle & ~CBRS_FLOATING);
}

// ---------------------------------------------------------------------------
// Mouse.

BOOL CSizingControlBar::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_SETTEXT) {
        *result = Default();
        if (IsFloating() && m_pDockBar)
            if (auto* mini = dynamic_cast<CMiniDockFrameWnd*>(m_pDockBar->GetParent())) {
                mini->m_wndDockBar.SetWindowText(reinterpret_cast<LPCSTR>(lParam));
                mini->DelayRecalcLayout();
            }
        return TRUE;
    }
    return CControlBar::OnWndMsg(message, wParam, lParam, result);
}

void CSizingControlBar::OnCaptureChanged(CWnd* newCapture)
{
    if (tracking && newCapture != this)
        EndEdgeDrag();
    CControlBar::OnCaptureChanged(newCapture);
}

void CSizingControlBar::OnLButtonUp(UINT flags, CPoint point)
{
    if (tracking)
        EndEdgeDrag();
    else
        CControlBar::OnLButtonUp(flags, point);
}

void CSizingControlBar::OnRButtonDown(UINT flags, CPoint point)
{
    if (tracking)
        EndEdgeDrag();
    else
        CControlBar::OnRButtonDown(flags, point);
}

void CSizingControlBar::OnMouseMove(UINT flags, CPoint point)
{
    if (tracking) {
        ClientToScreen(&point);
        DragEdgeTo(point);
    } else {
        CControlBar::OnMouseMove(flags, point);
    }
}

void CSizingControlBar::OnNcLButtonDown(UINT hitCode, CPoint screen)
{
    if (!tracking && !IsFloating() && hitCode >= HTLEFT && hitCode <= HTBOTTOMRIGHT)
        BeginEdgeDrag(static_cast<int>(hitCode), screen);
}

void CSizingControlBar::OnLButtonDown(UINT flags, CPoint point)
{
    if (m_pDockBar && m_pDockContext) {
        ClientToScreen(&point);
        m_pDockContext->StartDrag(point);
    } else {
        CControlBar::OnLButtonDown(flags, point);
    }
}

void CSizingControlBar::OnLButtonDblClk(UINT flags, CPoint point)
{
    if (m_pDockBar && m_pDockContext)
        m_pDockContext->ToggleDocking();
    else
        CControlBar::OnLButtonDblClk(flags, point);
}

void CSizingControlBar::OnSize(UINT type, int cx, int cy)
{
    CControlBar::OnSize(type, cx, cy);
    if (barStyle & SCBS_SIZECHILD)
        if (CWnd* child = GetWindow(GW_CHILD))
            child->MoveWindow(0, 0, cx, cy);
}

// ---------------------------------------------------------------------------
// Edge drags.

void CSizingControlBar::BeginEdgeDrag(int hit, CPoint screen)
{
    SetCapture();
    if (!dragFullWindows && m_pDockSite)
        m_pDockSite->RedrawWindow(nullptr, nullptr, RDW_ALLCHILDREN | RDW_UPDATENOW);
    trackEdge = hit;
    tracking = TRUE;
    const bool sideEdge = hit == HTLEFT || hit == HTRIGHT;
    trackPos = sideEdge ? screen.x : screen.y;
    const CRect strip = EdgeStrip(hit);
    trackOffset = trackPos - (sideEdge ? (strip.left + strip.right) / 2 : (strip.top + strip.bottom) / 2);
    trackMin = trackMax = trackPos;
    m_otherRow.clear();

    const BOOL horz = IsHorzDocked();
    int self = -1;
    std::vector<CSizingControlBar*> row = RowBars(&self);
    CRect mine;
    GetWindowRect(&mine);
    // Bars of the neighbouring row that touch this edge.
    if (horz && !sideEdge && m_pDockBar && m_pDockBar->GetDockedVisibleCount() > 1)
        for (int i = 0; i < static_cast<int>(m_pDockBar->m_arrBars.size()); ++i) {
            auto* b = dynamic_cast<CSizingControlBar*>(m_pDockBar->GetDockedControlBar(i));
            if (!b || !b->IsVisible() || std::find(row.begin(), row.end(), b) != row.end())
                continue;
            CRect r;
            b->GetWindowRect(&r);
            if ((hit == HTTOP && std::abs(r.bottom - mine.top) <= 4) ||
                (hit == HTBOTTOM && std::abs(r.top - mine.bottom) <= 4))
                m_otherRow.push_back(b);
        }
    m_dragBars = row;
    std::erase(m_dragBars, this);
    m_dragBars.insert(m_dragBars.end(), m_otherRow.begin(), m_otherRow.end());
    m_dragBars.push_back(this);

    const bool alongRow = (horz && sideEdge) || (IsVertDocked() && !sideEdge);
    if (!m_otherRow.empty()) {
        int otherSpare = 1 << 30;
        for (CSizingControlBar* b : m_otherRow)
            otherSpare = std::min<int>(otherSpare, b->sizeHorz.cy - b->minHorz.cy);
        const int ownSpare = sizeHorz.cy - minHorz.cy;
        if (hit == HTTOP) {
            trackMin = trackPos - otherSpare;
            trackMax = trackPos + ownSpare;
        } else {
            trackMin = trackPos - ownSpare;
            trackMax = trackPos + otherSpare;
        }
    } else if (alongRow) {
        // Bars on each side of the boundary may give up their length down
        // to their minimum.
        const bool startEdge = hit == HTLEFT || hit == HTTOP;
        const int before = startEdge ? self - 1 : self;
        for (int i = 0; i < static_cast<int>(row.size()); ++i) {
            const int spare = row[i]->Length(horz) - row[i]->MinLength(horz);
            if (i <= before)
                trackMin -= spare;
            else
                trackMax += spare;
        }
    } else {
        int minThickness = 0;
        for (CSizingControlBar* b : row)
            minThickness = std::max(minThickness, b->MinThickness(horz));
        const int spare = Thickness(horz) - minThickness;
        int room = 0;
        if (m_pDockSite) {
            const CRect view = m_pDockSite->RepositionBars(TRUE);
            room = std::max(0, horz ? view.Height() - s_marginVert : view.Width() - s_marginHorz);
        }
        if (hit == HTTOP || hit == HTLEFT) {
            trackMin = trackPos - room;
            trackMax = trackPos + spare;
        } else {
            trackMin = trackPos - spare;
            trackMax = trackPos + room;
        }
    }
    InvertEdgeTracker();
}

void CSizingControlBar::DragEdgeTo(CPoint screen)
{
    const bool sideEdge = trackEdge == HTLEFT || trackEdge == HTRIGHT;
    const int at = std::clamp(sideEdge ? screen.x : screen.y, trackMin, trackMax);
    if (at == trackPos)
        return;
    InvertEdgeTracker();
    const int d = at - trackPos;
    trackPos = at;
    const BOOL horz = IsHorzDocked();
    const bool startEdge = trackEdge == HTLEFT || trackEdge == HTTOP;
    const bool alongRow = (horz && sideEdge) || (IsVertDocked() && !sideEdge);
    if (!m_otherRow.empty()) {
        const int own = startEdge ? -d : d;
        for (CSizingControlBar* b : m_dragBars)
            if (std::find(m_otherRow.begin(), m_otherRow.end(), b) == m_otherRow.end())
                b->sizeHorz.cy = std::max(b->sizeHorz.cy + own, b->minHorz.cy);
        for (CSizingControlBar* b : m_otherRow)
            b->sizeHorz.cy = std::max(b->sizeHorz.cy - own, b->minHorz.cy);
    } else if (!alongRow) {
        const int thickness = Thickness(horz) + (startEdge ? -d : d);
        for (CSizingControlBar* b : RowBars())
            b->Thickness(horz) = thickness;
    } else {
        int self = -1;
        std::vector<CSizingControlBar*> row = RowBars(&self);
        const int before = startEdge ? self - 1 : self;
        const int after = before + 1;
        if (before >= 0 && after < static_cast<int>(row.size())) {
            // The bar on the growing side gains; the other side gives,
            // nearest bar first, each down to its minimum.
            int need = std::abs(d);
            const int grow = d > 0 ? before : after;
            const int step = d > 0 ? 1 : -1;
            int given = 0;
            for (int i = d > 0 ? after : before; need > 0 && i >= 0 && i < static_cast<int>(row.size()); i += step) {
                const int take = std::min(need, row[i]->Length(horz) - row[i]->MinLength(horz));
                row[i]->Length(horz) -= take;
                need -= take;
                given += take;
            }
            row[grow]->Length(horz) += given;
        }
    }
    InvertEdgeTracker();
    if (dragFullWindows && m_pDockSite)
        m_pDockSite->DelayRecalcLayout();
}

void CSizingControlBar::EndEdgeDrag()
{
    InvertEdgeTracker();
    tracking = FALSE;
    if (GetCapture() == this)
        ReleaseCapture();
    if (m_pDockSite)
        m_pDockSite->DelayRecalcLayout();
}

void CSizingControlBar::InvertEdgeTracker()
{
    if (dragFullWindows || !m_pDockSite)
        return;
    CRect strip = EdgeStrip(trackEdge);
    const bool sideEdge = trackEdge == HTLEFT || trackEdge == HTRIGHT;
    const bool alongRow = (IsHorzDocked() && sideEdge) || (IsVertDocked() && !sideEdge);
    if (!alongRow && m_pDockBar) {
        CRect dock;
        m_pDockBar->GetWindowRect(&dock);
        if (sideEdge) { strip.top = dock.top + 1; strip.bottom = dock.bottom - 1; }
        else { strip.left = dock.left + 1; strip.right = dock.right - 1; }
    }
    const int shift = trackPos - trackOffset - (sideEdge ? (strip.left + strip.right) / 2 : (strip.top + strip.bottom) / 2);
    if (sideEdge)
        strip.OffsetRect(shift, 0);
    else
        strip.OffsetRect(0, shift);
    CRect site;
    m_pDockSite->GetWindowRect(&site);
    strip.OffsetRect(-site.left, -site.top);
    static const WORD pattern[8] = {0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA};
    CBitmap bits;
    bits.CreateBitmap(8, 8, 1, 1, pattern);
    CBrush halftone;
    halftone.CreatePatternBrush(&bits);
    CWindowDC dc(m_pDockSite);
    dc.SelectObject(&halftone);
    dc.PatBlt(strip.left, strip.top, strip.Width(), strip.Height(), PATINVERT);
    m_pDockSite->Invalidate(FALSE);
}

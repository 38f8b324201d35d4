#include "uikit/CDockContextEx.h"

#include <algorithm>
#include <vector>

#include "platform/ui/CDockBar.h"
#include "platform/ui/CFrameWnd.h"
#include "platform/ui/CMiniDockFrameWnd.h"
#include "platform/ui/CSplitterWnd.h"
#include "platform/ui/SystemMetrics.h"
#include "uikit/CSizingControlBar.h"

namespace {

// Moves `r` by the least amount that puts `p` inside it.
void MoveToContain(CRect& r, CPoint p)
{
    if (p.x < r.left) r.OffsetRect(p.x - r.left, 0);
    else if (p.x >= r.right) r.OffsetRect(p.x - r.right + 1, 0);
    if (p.y < r.top) r.OffsetRect(0, p.y - r.top);
    else if (p.y >= r.bottom) r.OffsetRect(0, p.y - r.bottom + 1);
}

// What a mini frame adds around its bar.
CRect Borders()
{
    CRect r;
    CMiniDockFrameWnd::CalcBorders(r);
    return r;
}

}  // namespace

CDockContextEx::CDockContextEx(CControlBar* bar) : CDockContext(bar) {}

bool CDockContextEx::Filter(MSG& msg, void* context)
{
    return static_cast<CDockContextEx*>(context)->OnLoopMessage(msg);
}

bool CDockContextEx::OnLoopMessage(const MSG& msg)
{
    if (m_end != Running)
        return false;
    auto screenPoint = [&] {
        CPoint p(msg.lParam);
        if (CWnd* w = CWnd::FromHandle(msg.hwnd))
            w->ClientToScreen(&p);
        return p;
    };
    switch (msg.message) {
    case WM_MOUSEMOVE:
        if (m_bDragging)
            Move(screenPoint());
        else
            Stretch(screenPoint());
        return true;
    case WM_KEYDOWN:
        if (msg.wParam == VK_ESCAPE) {
            m_end = Cancelled;
            return true;
        }
        if (m_bDragging) {
            OnKey(static_cast<int>(msg.wParam), TRUE);
            Move(m_ptLast);
        }
        return true;
    case WM_KEYUP:
        if (m_bDragging) {
            OnKey(static_cast<int>(msg.wParam), FALSE);
            Move(m_ptLast);
        }
        return true;
    case WM_LBUTTONUP:
        if (m_bDragging)
            Move(screenPoint());
        else
            Stretch(screenPoint());
        m_end = Released;
        return true;
    case WM_RBUTTONDOWN:
        m_end = Cancelled;
        return true;
    default:
        return false;
    }
}

BOOL CDockContextEx::Track()
{
    if (GetCapture())
        return FALSE;
    const HWND bar = m_pBar->m_hWnd;
    m_pBar->SetCapture();
    m_end = Running;
    // Pending paint first, so the feedback is drawn over what is current.
    if (m_pDockSite)
        m_pDockSite->RedrawWindow(nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    mvui::PushMessageFilter(&CDockContextEx::Filter, this);
    while (m_end == Running && IsWindow(bar) && GetCapture() == m_pBar->m_hWnd)
        mvui::WaitAndPumpMessages();
    mvui::PopMessageFilter();
    if (m_end == Running)
        m_end = Cancelled;  // the capture went elsewhere
    const bool released = m_end == Released && IsWindow(bar);
    CancelLoop();
    return released;
}

void CDockContextEx::CancelLoop()
{
    DrawDragRect(nullptr, CSize(), FALSE);
    if (GetCapture() == m_pBar->m_hWnd)
        ReleaseCapture();
}

// ---------------------------------------------------------------------------
// Drag.

void CDockContextEx::StartDrag(CPoint screen)
{
    m_pDockSite = m_pBar->m_pDockSite;
    if (!m_pDockSite || GetCapture())
        return;
    m_bDragging = TRUE;
    m_nHitTest = 0;
    m_bForceFrame = GetKeyState(VK_CONTROL) < 0;
    m_bFlip = GetKeyState(VK_SHIFT) < 0;
    m_dwDockStyle = m_pBar->m_dwDockStyle;
    m_dwStyle = m_pBar->m_dwStyle & CBRS_ALIGN_ANY;
    CRect w;
    m_pBar->GetWindowRect(&w);
    const CPoint at = w.TopLeft();
    if (m_pBar->m_dwStyle & CBRS_SIZE_DYNAMIC) {
        m_rectDragHorz = CRect(at, m_pBar->CalcDynamicLayout(0, LM_HORZ | LM_HORZDOCK));
        m_rectDragVert = CRect(at, m_pBar->CalcDynamicLayout(0, LM_VERTDOCK));
        const CSize floating = m_pBar->CalcDynamicLayout(0, LM_HORZ | LM_MRUWIDTH);
        m_rectFrameDragHorz = m_rectFrameDragVert = CRect(at, floating);
    } else {
        const CSize horz = m_pBar->CalcFixedLayout(FALSE, TRUE);
        const CSize vert = m_pBar->CalcFixedLayout(FALSE, FALSE);
        m_rectDragHorz = CRect(at, horz);
        m_rectDragVert = CRect(at, vert);
        // The rectangle of the other orientation is centred on the cursor.
        CRect& other = (m_dwStyle & CBRS_ORIENT_HORZ) ? m_rectDragVert : m_rectDragHorz;
        other.OffsetRect(screen.x - other.CenterPoint().x, screen.y - other.CenterPoint().y);
        m_rectFrameDragHorz = m_rectDragHorz;
        m_rectFrameDragVert = m_rectDragVert;
    }
    CMiniDockFrameWnd::CalcBorders(m_rectFrameDragHorz);
    CMiniDockFrameWnd::CalcBorders(m_rectFrameDragVert);
    for (CRect* r : {&m_rectDragHorz, &m_rectDragVert, &m_rectFrameDragHorz, &m_rectFrameDragVert})
        MoveToContain(*r, screen);
    m_ptLast = screen;
    m_dwOverDockStyle = m_bForceFrame ? 0 : DockStyleUnderCursor();
    DrawFeedback();
    if (Track())
        EndDrag();
    m_bDragging = FALSE;
}

void CDockContextEx::Move(CPoint screen)
{
    const CPoint d = screen - m_ptLast;
    for (CRect* r : {&m_rectDragHorz, &m_rectDragVert, &m_rectFrameDragHorz, &m_rectFrameDragVert})
        r->OffsetRect(d.x, d.y);
    m_ptLast = screen;
    m_dwOverDockStyle = m_bForceFrame ? 0 : DockStyleUnderCursor();
    DrawFeedback();
}

DWORD CDockContextEx::DockStyleUnderCursor()
{
    auto shrunk = [this](CRect r) {
        r.DeflateRect(20, 20);
        // A bar thinner than 40 pixels keeps a line at its centre.
        if (r.Width() < 1) {
            r.left = r.CenterPoint().x;
            r.right = r.left + 1;
        }
        if (r.Height() < 1) {
            r.top = r.CenterPoint().y;
            r.bottom = r.top + 1;
        }
        MoveToContain(r, m_ptLast);
        return r;
    };
    const CRect horz = shrunk(m_rectDragHorz), vert = shrunk(m_rectDragVert);
    bool horzFirst = (m_dwStyle & CBRS_ORIENT_HORZ) != 0;
    if (m_bFlip)
        horzFirst = !horzFirst;
    CDockBar* dock = nullptr;
    DWORD found = horzFirst ? m_pDockSite->CanDock(horz, m_dwDockStyle & ~CBRS_ORIENT_VERT, &dock)
                            : m_pDockSite->CanDock(vert, m_dwDockStyle & ~CBRS_ORIENT_HORZ, &dock);
    if (!found && !m_bFlip) {
        // Either orientation, when both copies agree.
        for (DWORD orient : {CBRS_ORIENT_HORZ, CBRS_ORIENT_VERT}) {
            CDockBar* a = nullptr;
            CDockBar* b = nullptr;
            const DWORD style = (m_dwDockStyle & ~CBRS_ALIGN_ANY) | (m_dwDockStyle & orient);
            const DWORD byHorz = m_pDockSite->CanDock(horz, style, &a);
            const DWORD byVert = m_pDockSite->CanDock(vert, style, &b);
            if (byHorz && byHorz == byVert) {
                found = byHorz;
                dock = a;
                break;
            }
        }
    }
    m_pTargetDock = found ? dock : nullptr;
    if (m_pTargetDock)
        ComputePreview(m_pTargetDock);
    return found;
}

// Where the bar would land in `dock`, in screen coordinates.
void CDockContextEx::ComputePreview(CDockBar* dock)
{
    const bool horz = dock->IsHorizontal();
    CRect preview = horz ? m_rectDragHorz : m_rectDragVert;
    CRect dockRect;
    dock->GetWindowRect(&dockRect);
    // The rows as extents across the dock bar.
    std::vector<std::pair<int, int>> rows;
    for (int i = 0; i < static_cast<int>(dock->m_arrBars.size()); ++i) {
        CControlBar* b = dock->GetDockedControlBar(i);
        if (!b || !b->IsVisible())
            continue;
        CRect r;
        b->GetWindowRect(&r);
        const int lo = horz ? r.top : r.left, hi = horz ? r.bottom : r.right;
        const bool covered = std::any_of(rows.begin(), rows.end(),
                                         [&](const auto& row) { return lo >= row.first && hi <= row.second; });
        if (!covered)
            rows.emplace_back(lo, hi);
    }
    const int centre = horz ? preview.CenterPoint().y : preview.CenterPoint().x;
    const auto row = std::find_if(rows.begin(), rows.end(),
                                  [&](const auto& r) { return centre >= r.first && centre < r.second; });
    const int dragThickness = horz ? preview.Height() : preview.Width();
    if (row != rows.end()) {
        if (horz) { preview.top = row->first; preview.bottom = row->second; }
        else { preview.left = row->first; preview.right = row->second; }
    } else if (horz) {
        preview.top = dockRect.top;
        preview.bottom = dockRect.Height() ? dockRect.bottom : dockRect.top + dragThickness;
    } else {
        preview.left = dockRect.left;
        preview.right = dockRect.Width() ? dockRect.right : dockRect.left + dragThickness;
    }
    const int visible = dock->GetDockedVisibleCount();
    if (visible == 0) {
        if (horz) { preview.left = dockRect.left; preview.right = dockRect.right; }
        else { preview.top = dockRect.top; preview.bottom = dockRect.bottom; }
    }
    CRect client;
    m_pDockSite->GetClientRect(&client);
    m_pDockSite->ClientToScreen(&client);
    if (horz && preview.bottom > client.bottom)
        preview.OffsetRect(0, client.bottom - preview.bottom);
    if (!horz && preview.right > client.right)
        preview.OffsetRect(client.right - preview.right, 0);
    const bool onlySelf = visible == 1 && m_pBar->m_pDockBar == dock && m_pBar->IsVisible();
    if (row == rows.end() && visible > 0 && !onlySelf) {
        // A new row: a strip beside the rows, across the whole dock bar.
        const UINT id = dock->GetDlgCtrlID();
        if (horz) {
            preview.left = dockRect.left;
            preview.right = dockRect.right;
            if (id == AFX_IDW_DOCKBAR_TOP) { preview.top = dockRect.bottom; preview.bottom = preview.top + dragThickness; }
            else { preview.bottom = dockRect.top; preview.top = preview.bottom - dragThickness; }
        } else {
            preview.top = dockRect.top;
            preview.bottom = dockRect.bottom;
            if (id == AFX_IDW_DOCKBAR_LEFT) { preview.left = dockRect.right; preview.right = preview.left + dragThickness; }
            else { preview.right = dockRect.left; preview.left = preview.right - dragThickness; }
        }
    }
    (horz ? m_rectPreviewHorz : m_rectPreviewVert) = preview;
}

void CDockContextEx::DrawFeedback()
{
    if (m_dwOverDockStyle && m_pTargetDock) {
        const CRect r = m_pTargetDock->IsHorizontal() ? m_rectPreviewHorz : m_rectPreviewVert;
        DrawDragRect(&r, CSize(2, 2), FALSE);
        return;
    }
    bool horz = (m_dwStyle & CBRS_ORIENT_HORZ) != 0;
    if (m_bFlip)
        horz = !horz;
    const CRect& frame = horz ? m_rectFrameDragHorz : m_rectFrameDragVert;
    DrawDragRect(&frame, CSize(GetSystemMetrics(SM_CXFRAME) - 1, GetSystemMetrics(SM_CYFRAME) - 1), TRUE);
}

void CDockContextEx::EndDrag()
{
    if (m_dwOverDockStyle && m_pTargetDock) {
        CDockBar* dock = m_pTargetDock;
        CRect preview = dock->IsHorizontal() ? m_rectPreviewHorz : m_rectPreviewVert;
        if (dock->IsHorizontal() && dock->GetDockedVisibleCount() == 0)
            if (CWnd* view = m_pDockSite->GetDlgItem(AFX_IDW_PANE_FIRST)) {
                CRect v;
                view->GetWindowRect(&v);
                if (preview.Height() > v.Height()) {
                    preview.bottom = preview.top + v.Height() - 30;
                    if (auto* sizing = dynamic_cast<CSizingControlBar*>(m_pBar))
                        sizing->sizeHorz.cy = preview.Height();
                }
            }
        const UINT id = dock->GetDlgCtrlID();
        if (id >= AFX_IDW_DOCKBAR_TOP && id <= AFX_IDW_DOCKBAR_BOTTOM) {
            m_uMRUDockID = id;
            m_rectMRUDockPos = preview;
            dock->ScreenToClient(&m_rectMRUDockPos);
        }
        m_pDockSite->DockControlBar(m_pBar, dock, &preview);
        m_pDockSite->RecalcLayout();
        return;
    }
    const bool horzAligned = (m_dwStyle & CBRS_ORIENT_HORZ) != 0;
    const bool vertical = !(m_pBar->m_dwStyle & CBRS_SIZE_DYNAMIC) && (horzAligned == (m_bFlip != FALSE));
    DWORD style = vertical ? CBRS_ALIGN_LEFT : CBRS_ALIGN_TOP;
    style |= m_dwDockStyle & CBRS_FLOAT_MULTI;
    const CRect& frame = vertical ? m_rectFrameDragVert : m_rectFrameDragHorz;
    m_dwMRUFloatStyle = style;
    m_ptMRUFloatPos = frame.TopLeft();
    m_pDockSite->FloatControlBar(m_pBar, frame.TopLeft(), style);
}

// ---------------------------------------------------------------------------
// Resize of a floating frame.

void CDockContextEx::StartResize(int hitCode, CPoint screen)
{
    m_pDockSite = m_pBar->m_pDockSite;
    if (!m_pDockSite || !m_pBar->m_pDockBar || GetCapture())
        return;
    CWnd* mini = m_pBar->m_pDockBar->GetParent();
    m_bDragging = FALSE;
    m_nHitTest = hitCode;
    m_ptLast = m_ptResizeStart = screen;
    m_dwDockStyle = m_pBar->m_dwDockStyle;
    CRect w;
    mini->GetWindowRect(&w);
    const CSize size = m_pBar->CalcDynamicLayout(0, LM_HORZ | LM_MRUWIDTH);
    CRect frame(w.TopLeft(), size);
    CMiniDockFrameWnd::CalcBorders(frame);
    frame.OffsetRect(w.left - frame.left, w.top - frame.top);
    m_rectRequest = m_rectActual = m_rectFrameDragHorz = frame;
    if (Track())
        EndResize();
    m_nHitTest = 0;
}

void CDockContextEx::Stretch(CPoint screen)
{
    const CPoint d = screen - m_ptLast;
    const int hit = m_nHitTest;
    const bool left = hit == HTLEFT || hit == HTTOPLEFT || hit == HTBOTTOMLEFT;
    const bool right = hit == HTRIGHT || hit == HTTOPRIGHT || hit == HTBOTTOMRIGHT;
    const bool top = hit == HTTOP || hit == HTTOPLEFT || hit == HTTOPRIGHT;
    const bool bottom = hit == HTBOTTOM || hit == HTBOTTOMLEFT || hit == HTBOTTOMRIGHT;
    if (left) m_rectRequest.left += d.x;
    if (right) m_rectRequest.right += d.x;
    if (top) m_rectRequest.top += d.y;
    if (bottom) m_rectRequest.bottom += d.y;
    const CRect borders = Borders();
    CSize size;
    if (top || bottom)
        size = m_pBar->CalcDynamicLayout(std::max(0, m_rectRequest.Height() - borders.Height()), LM_LENGTHY | LM_HORZ);
    else
        size = m_pBar->CalcDynamicLayout(std::max(0, m_rectRequest.Width() - borders.Width()), LM_HORZ);
    const CSize outer(size.cx + borders.Width(), size.cy + borders.Height());
    CRect frame;
    if (left && !bottom)
        frame = CRect(m_rectActual.right - outer.cx, m_rectActual.bottom - outer.cy, m_rectActual.right, m_rectActual.bottom);
    else if (top && right)
        frame = CRect(m_rectActual.left, m_rectActual.bottom - outer.cy, m_rectActual.left + outer.cx, m_rectActual.bottom);
    else if (top && !right && !left)
        frame = CRect(m_rectActual.right - outer.cx, m_rectActual.bottom - outer.cy, m_rectActual.right, m_rectActual.bottom);
    else if (bottom && left)
        frame = CRect(m_rectActual.right - outer.cx, m_rectActual.top, m_rectActual.right, m_rectActual.top + outer.cy);
    else {
        frame = CRect(m_rectActual.TopLeft(), outer);
        const CRect desktop(GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                            GetSystemMetrics(SM_XVIRTUALSCREEN) + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                            GetSystemMetrics(SM_YVIRTUALSCREEN) + GetSystemMetrics(SM_CYVIRTUALSCREEN));
        CRect meet;
        if (!meet.IntersectRect(frame, desktop))
            frame = m_rectActual;
    }
    m_rectActual = frame;
    if (screen != m_ptLast) {
        m_ptLast = screen;
        CommitResize();
        if (d.x > 0 || d.y > 0)
            mvui::PumpMessages();
    }
}

void CDockContextEx::CommitResize()
{
    m_pBar->CalcDynamicLayout(m_rectActual.Width() - Borders().Width(), LM_HORZ | LM_COMMIT);
    m_pDockSite->FloatControlBar(m_pBar, m_rectActual.TopLeft(),
                                 CBRS_ALIGN_TOP | CBRS_SIZE_DYNAMIC | (m_dwDockStyle & CBRS_FLOAT_MULTI));
    m_pBar->UpdateWindow();
}

void CDockContextEx::EndResize()
{
    CommitResize();
}

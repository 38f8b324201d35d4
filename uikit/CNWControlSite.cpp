#include "uikit/CNWControlSite.h"

#include <algorithm>
#include <cstdio>

#include "platform/ui/CMenu.h"
#include "platform/ui/CWnd.h"
#include "platform/ui/InputState.h"
#include "uikit/CMouseTip.h"
#include "uikit/CNWControl.h"
#include "uikit/COurToolTipCtrl.h"

namespace {
bool HostExists(CWnd* wnd)
{
    return wnd && IsWindow(wnd->GetSafeHwnd());
}
}  // namespace

CNWControlSite::CNWControlSite() = default;

CNWControlSite::~CNWControlSite()
{
    m_mouseTip.reset();
    if (m_toolTip && IsWindow(m_toolTip->GetSafeHwnd()))
        m_toolTip->DestroyWindow();
    m_focus = nullptr;
    m_hover = nullptr;
    m_controls.clear();
    m_tabs.clear();
}

void CNWControlSite::InvalidateAll()
{
    if (CWnd* wnd = GetWnd(); HostExists(wnd))
        wnd->Invalidate(TRUE);
}

void CNWControlSite::ClientToScreen(POINT* point)
{
    if (CWnd* wnd = GetWnd(); HostExists(wnd) && point)
        wnd->ClientToScreen(point);
}

void CNWControlSite::ScreenToClient(POINT* point)
{
    if (CWnd* wnd = GetWnd(); HostExists(wnd) && point)
        wnd->ScreenToClient(point);
}

void CNWControlSite::RecalcLayout()
{
    LayoutControls();
}

void CNWControlSite::EditControlInPlace(CProperty* property, LPCRECT rect, BOOL* accepted)
{
    RunInPlaceEdit(property, rect, accepted);
}

void CNWControlSite::OnControlContextMenu(CNWControl* control, POINT point, CMenu* menu)
{
    OnControlMenu(control, point, menu);
}

void CNWControlSite::OnControlClicked(CNWControl* control, UINT)
{
    OnControlActivated(control);
}

void CNWControlSite::OnControlUpdateRequest(CNWControl* control)
{
    UpdateControl(control);
}

void CNWControlSite::OnControlValueChanged(CNWControl* control)
{
    OnControlStep(control);
}

void CNWControlSite::OnBeginEdit(CNWControl* control)
{
    OnControlBeginEdit(control);
}

void CNWControlSite::OnEndEdit(CNWControl* control)
{
    OnControlEndEdit(control);
}

void CNWControlSite::GetControlsRect(RECT* rect)
{
    if (!rect)
        return;
    CRect all;
    for (CNWControl* c : m_controls)
        all.UnionRect(all, c->GetRect());
    *rect = all;
}

void CNWControlSite::UpdateAllControls()
{
    for (CNWControl* c : m_controls)
        c->RequestUpdate();
}

void CNWControlSite::PaintControls(CDC* dc)
{
    if (!dc)
        return;
    for (CNWControl* c : m_controls) {
        const CRect r = c->GetRect();
        if (dc->RectVisible(&r))
            c->Draw(dc);
    }
}

// The first enabled tab control from `start`, stepping by `step` and
// wrapping once; null when none is enabled.
static CNWControl* FirstEligible(const std::vector<CNWControl*>& tabs, int start, int step)
{
    const int count = static_cast<int>(tabs.size());
    for (int i = 0; i < count; ++i) {
        CNWControl* c = tabs[static_cast<std::size_t>(((start + i * step) % count + count) % count)];
        if (c->IsEnabled())
            return c;
    }
    return nullptr;
}

void CNWControlSite::FocusNext()
{
    if (m_tabs.empty())
        return;
    if (!m_focus)
        m_focus = m_tabs.front();
    const int at = GetFocusIndex();
    CNWControl* found = FirstEligible(m_tabs, at < 0 ? 0 : at + 1, 1);
    // Nothing enabled: the focus stays within the tab list, on its first control.
    SetFocusControl(found ? found : m_tabs.front());
}

void CNWControlSite::FocusPrev()
{
    if (m_tabs.empty())
        return;
    if (!m_focus)
        m_focus = m_tabs.front();
    const int at = GetFocusIndex();
    CNWControl* found = FirstEligible(m_tabs, at < 0 ? static_cast<int>(m_tabs.size()) - 1 : at - 1, -1);
    SetFocusControl(found ? found : m_tabs.front());
}

void CNWControlSite::FocusAt(int index)
{
    if (m_tabs.empty())
        return;
    const int start = std::clamp(index, 0, static_cast<int>(m_tabs.size()) - 1);
    CNWControl* found = FirstEligible(m_tabs, start, 1);
    SetFocusControl(found ? found : m_tabs[static_cast<std::size_t>(start)]);
}

int CNWControlSite::GetFocusIndex()
{
    if (!m_focus)
        return -1;
    auto it = std::find(m_tabs.begin(), m_tabs.end(), m_focus);
    return it == m_tabs.end() ? -1 : static_cast<int>(it - m_tabs.begin());
}

int CNWControlSite::OnKeyAction(int code)
{
    return m_focus ? m_focus->OnKeyAction(code) : 0;
}

COurToolTipCtrl* CNWControlSite::GetToolTip()
{
    if (!m_toolTip) {
        CWnd* wnd = GetWnd();
        if (!HostExists(wnd))
            return nullptr;
        auto tip = std::make_unique<COurToolTipCtrl>();
        if (!tip->Create(wnd, TTS_ALWAYSTIP))
            return nullptr;
        m_toolTip = std::move(tip);
        AddTools();
    }
    return m_toolTip.get();
}

CMouseTip* CNWControlSite::GetMouseTip()
{
    if (!m_mouseTip) {
        auto tip = std::make_unique<CMouseTip>();
        if (!tip->Create())
            return nullptr;
        m_mouseTip = std::move(tip);
    }
    return m_mouseTip.get();
}

void CNWControlSite::ShowControlCursor(bool show)
{
    if (!show)
        m_cursorCount = ShowCursor(FALSE);
    else if (m_cursorCount < 0)
        m_cursorCount = ShowCursor(TRUE);
}

void CNWControlSite::OnCaptureChanged()
{
    while (m_cursorCount < 0)
        ShowControlCursor(true);
    while (m_cursorCount > 0)
        ShowControlCursor(false);
    if (m_mouseTip)
        m_mouseTip->Show(false);
    if (m_focus)
        m_focus->CancelTracking();
}

void CNWControlSite::InvalidateControl(CNWControl* control)
{
    CWnd* wnd = GetWnd();
    if (!control || !control->IsDirty() || !HostExists(wnd))
        return;
    CRect r = control->GetRect();
    r.InflateRect(2, 2);
    wnd->InvalidateRect(&r, TRUE);
}

void CNWControlSite::SetFocusControl(CNWControl* control, int)
{
    m_focus = control;
    ShowFocus(true);
}

void CNWControlSite::AddControl(CNWControl* control, bool tabStop)
{
    if (!control)
        return;
    m_controls.push_back(control);
    if (tabStop)
        m_tabs.push_back(control);
}

void CNWControlSite::RemoveAllControls()
{
    CWnd* wnd = GetWnd();
    const std::vector<CNWControl*> controls = m_controls;
    m_controls.clear();
    m_tabs.clear();
    m_focus = nullptr;
    m_hover = nullptr;
    for (CNWControl* c : controls) {
        if (m_toolTip && HostExists(wnd))
            m_toolTip->DelTool(wnd, static_cast<UINT_PTR>(c->GetId()));
        delete c;
    }
}

void CNWControlSite::RemoveControl(CNWControl* control)
{
    if (m_focus == control)
        m_focus = nullptr;
    if (m_hover == control)
        m_hover = nullptr;
    std::erase(m_controls, control);
    std::erase(m_tabs, control);
}

void CNWControlSite::AddTools()
{
    CWnd* wnd = GetWnd();
    if (!m_toolTip || !HostExists(wnd))
        return;
    for (CNWControl* c : m_controls) {
        const CRect r = c->GetRect();
        m_toolTip->AddTool(wnd, LPSTR_TEXTCALLBACK, &r, static_cast<UINT_PTR>(c->GetId()));
    }
}

bool CNWControlSite::SetFocusAt(POINT point)
{
    CNWControl* hit = HitTest(point);
    if (hit)
        SetFocusControl(hit);
    else
        m_focus = nullptr;
    return hit != nullptr;
}

CNWControl* CNWControlSite::FindControl(int id)
{
    for (CNWControl* c : m_controls)
        if (c->GetId() == id)
            return c;
    return nullptr;
}

CNWControl* CNWControlSite::HitTest(POINT point)
{
    for (CNWControl* c : m_controls)
        if (c->HitTest(point) == 1)
            return c;
    return nullptr;
}

void CNWControlSite::TrackHover(POINT point)
{
    if (m_hover && m_hover->IsTracking())
        return;
    CNWControl* now = HitTest(point);
    if (now == m_hover)
        return;
    if (!m_hover) {
        if (CWnd* wnd = GetWnd(); HostExists(wnd)) {
            TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, wnd->GetSafeHwnd(), 0};
            TrackMouseEvent(&track);
        }
    } else {
        m_hover->OnMouseLeave();
    }
    if (now)
        now->OnMouseEnter();
    m_hover = now;
}

void CNWControlSite::OnMouseLeave()
{
    if (m_hover)
        m_hover->OnMouseLeave();
    m_hover = nullptr;
}

void CNWControlSite::ShowFocus(bool hasFocus)
{
    for (CNWControl* c : m_controls) {
        if (c == m_focus)
            c->SetFocusState(hasFocus, true);
        else if (c->IsFocused())
            c->SetFocusState(false, true);
    }
}

bool CNWControlSite::NeedToolTipText(NMHDR* header)
{
    if (!header || header->code != TTN_NEEDTEXT)
        return false;
    auto* info = reinterpret_cast<NMTTDISPINFO*>(header);
    info->lpszText = nullptr;
    info->szText[0] = '\0';
    if (CNWControl* c = FindControl(static_cast<int>(header->idFrom))) {
        CString text;
        c->GetTipText(&text);
        std::snprintf(info->szText, sizeof(info->szText), "%.79s", text.GetString());
    }
    return true;
}

UINT TrackPopupMenuBelowControl(CNWControlSite* host, CNWControl* control, CMenu* menu)
{
    if (!host || !control || !menu)
        return 0;
    POINT at{control->GetRect().left, control->GetRect().bottom};
    host->ClientToScreen(&at);
    return static_cast<UINT>(
        menu->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, at.x, at.y, host->GetWnd()));
}

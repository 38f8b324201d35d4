#include "uikit/CNWHostStrip.h"

#include <string>

#include "platform/ui/CMenu.h"
#include "uikit/CNWControl.h"
#include "uikit/COurToolTipCtrl.h"
#include "uikit/CStripAutomationDoc.h"
#include "uikit/CStripParamOwner.h"
#include "uikit/core/ResString.h"

namespace {

constexpr UINT kRemoteControlString = 16501;
constexpr UINT kLatchString = 16841;

// The resource text, or the built-in one when the resources lack it.
const char* Text(UINT id, const char* builtIn)
{
    const char* text = LoadResString(id);
    return text && *text ? text : builtIn;
}

// The template's two "%s" in turn; the template comes from the resources,
// so it is never handed to a formatting function.
CString FillIn(const char* pattern, const CString& first, const CString& second)
{
    std::string out;
    int used = 0;
    for (const char* p = pattern; *p; ++p) {
        if (p[0] == '%' && p[1] == 's' && used < 2) {
            out += (used++ == 0 ? first : second).GetString();
            ++p;
        } else {
            out += *p;
        }
    }
    return CString(out.c_str());
}

}  // namespace

CNWHostStrip::CNWHostStrip(int stripIndex) : m_stripIndex(stripIndex) {}

CNWHostStrip::~CNWHostStrip()
{
    m_dropTarget.RemoveAllControls();
    RemoveAllControls();
    DestroyWindow();
}

int CNWHostStrip::OnCreate(CREATESTRUCT* cs)
{
    if (CWnd::OnCreate(cs) == -1)
        return -1;
    GetToolTip();  // made with the always-tip style, every control registered
    return 0;
}

BOOL CNWHostStrip::PreTranslateMessage(MSG* msg)
{
    if (COurToolTipCtrl* tip = ExistingToolTip())
        tip->RelayEvent(msg);
    return CWnd::PreTranslateMessage(msg);
}

BOOL CNWHostStrip::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_CONTEXTMENU) {
        // The strip's menus come from the right button's release.
        *result = 0;
        return TRUE;
    }
    if (message == WM_NOTIFY) {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header && header->code == TTN_NEEDTEXT) {
            OnToolTipNeedText(header, result);
            return TRUE;
        }
    }
    return CWnd::OnWndMsg(message, wParam, lParam, result);
}

void CNWHostStrip::OnToolTipNeedText(NMHDR* header, LRESULT* result)
{
    NeedToolTipText(header);
    if (result)
        *result = TRUE;
}

void CNWHostStrip::OnLButtonDown(UINT flags, CPoint point)
{
    SetCapture();
    if (SetFocusAt(point))
        GetFocusControl()->OnLButtonDown(flags, point);
}

void CNWHostStrip::OnLButtonUp(UINT flags, CPoint point)
{
    if (GetCapture() == this)
        ReleaseCapture();
    if (CNWControl* c = GetFocusControl())
        c->OnLButtonUp(flags, point);
}

bool CNWHostStrip::HandleLButtonDblClk(UINT flags, POINT point)
{
    const bool hit = SetFocusAt(point);
    if (hit)
        GetFocusControl()->OnLButtonDblClk(flags, point);
    CWnd::OnLButtonDblClk(flags, CPoint(point));
    return hit;
}

void CNWHostStrip::OnLButtonDblClk(UINT flags, CPoint point)
{
    HandleLButtonDblClk(flags, point);
}

void CNWHostStrip::OnMouseMove(UINT flags, CPoint point)
{
    TrackHover(point);
    if (CNWControl* c = GetFocusControl())
        c->OnMouseMove(flags, point);
}

void CNWHostStrip::OnRButtonUp(UINT flags, CPoint point)
{
    if (CNWControl* c = HitTest(point)) {
        c->OnRButtonUp(flags, point);
        return;
    }
    POINT screen = point;
    ClientToScreen(&screen);
    OnStripContextMenu(flags, screen);
    CWnd::OnRButtonUp(flags, point);
}

void CNWHostStrip::OnSize(UINT type, int cx, int cy)
{
    CWnd::OnSize(type, cx, cy);
    RecalcLayout();
}

void CNWHostStrip::SetHighlighted(bool highlighted)
{
    if (highlighted == m_highlighted)
        return;
    m_highlighted = highlighted;
    if (m_hWnd)
        Invalidate(TRUE);
}

WORD CNWHostStrip::GetAutomationTarget(const std::vector<DWORD>&, const std::vector<float>&)
{
    return kNoAutomationTarget;
}

void CNWHostStrip::OnControlContextMenu(CNWControl* control, POINT, CMenu* menu)
{
    if (!control || !menu)
        return;
    const int param = control->GetTag();
    if (param != -1)
        menu->AppendMenu(MF_STRING, kRemoteControl, Text(kRemoteControlString, "MIDI Remote Control..."));
    const std::vector<DWORD> params{static_cast<DWORD>(param)};
    const std::vector<float> values{static_cast<float>(control->GetValue())};
    const WORD target = GetAutomationTarget(params, values);
    CString pattern;
    if (target != kNoAutomationTarget && m_doc && m_doc->GetAutomationPattern(target, &pattern)) {
        CStripParamOwner* owner = GetParamOwner();
        const CString name = owner ? owner->GetParamName(param) : CString();
        const CString text = FillIn(Text(kLatchString, "Latch %s in \"%s\""), name, pattern);
        menu->AppendMenu(MF_STRING, kLatchAutomation, text);
    }
    if (menu->GetMenuItemCount() == 0)
        return;
    POINT at;
    if (control->IsMenuOpen()) {
        at = control->GetMenuPoint();
        at.x += 10;
        at.y += 5;
    } else {
        at = POINT{control->GetRect().left, control->GetRect().bottom};
    }
    ClientToScreen(&at);
    const UINT command =
        static_cast<UINT>(menu->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, at.x,
                                               at.y, this));
    if (command != 0)
        OnControlMenuCommand(static_cast<int>(command), control);
}

void CNWHostStrip::OnControlMenuCommand(int command, CNWControl* control)
{
    if (!control)
        return;
    const int param = control->GetTag();
    if (command == kRemoteControl) {
        CStripParamOwner* owner = GetParamOwner();
        if (!owner || param == -1)
            return;
        POINT at{control->GetRect().left, control->GetRect().top};
        ClientToScreen(&at);
        owner->OpenRemoteControl(param, at);
    } else if (command == kLatchAutomation) {
        const std::vector<DWORD> params{static_cast<DWORD>(param)};
        const std::vector<float> values{static_cast<float>(control->GetValue())};
        const WORD target = GetAutomationTarget(params, values);
        if (target != kNoAutomationTarget && m_doc)
            m_doc->RecordParamAutomation(target, params, values);
    }
}

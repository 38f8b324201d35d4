#include "uikit/CCellPropEditCtrl.h"

#include "platform/sync/Time.h"
#include "platform/ui/CDC.h"
#include "platform/ui/CFont.h"
#include "uikit/CSpinCtrl.h"
#include "uikit/core/CProperty.h"

namespace {

struct Hook {
    CCellPropEditCtrl::LoopHook fn = nullptr;
    void* context = nullptr;
};
Hook& TheHook()
{
    static Hook hook;
    return hook;
}

constexpr UINT WM_QUERYENDSESSION = 0x0011, WM_INITMENU = 0x0116;
constexpr UINT kLastKeyMessage = 0x108;

// Messages for another window that mean the user went elsewhere.
bool MeansElsewhere(const MSG& msg)
{
    const UINT m = msg.message;
    if (m >= WM_KEYDOWN && m <= kLastKeyMessage && m != WM_KEYUP && m != WM_CHAR)
        // The "+" and "-" characters' codes, as key codes, are other keys.
        return !(msg.wParam == 0x2B || msg.wParam == 0x2D);
    if (m >= WM_NCLBUTTONDOWN && m <= 0xA9)
        return true;
    return m == WM_LBUTTONDOWN || m == WM_MBUTTONDOWN || m == WM_RBUTTONDOWN || m == WM_SYSKEYDOWN ||
           m == WM_CLOSE || m == WM_DESTROY || m == WM_QUERYENDSESSION || m == WM_INITMENU;
}

}  // namespace

void CCellPropEditCtrl::SetLoopHook(LoopHook hook, void* context)
{
    TheHook() = Hook{hook, context};
}

CCellPropEditCtrl::CCellPropEditCtrl(CPropEditOwner* owner, CProperty* property, CNoteSource* noteSource)
    : CPropEditCtrl(owner, noteSource), m_property(property)
{
    // The cell editor writes into the property itself when the edit ends.
    m_commitOnFocusLoss = false;
    // It places the selection itself: all of the value, or the caret after a typed first character.
    SetSelectAllOnFocus(false);
}

bool CCellPropEditCtrl::Filter(MSG& msg, void* context)
{
    auto* self = static_cast<CCellPropEditCtrl*>(context);
    const HWND spin = self->GetSpin() ? self->GetSpin()->m_hWnd : nullptr;
    if (self->m_done || msg.hwnd == self->m_hWnd || (spin && msg.hwnd == spin))
        return false;
    if (MeansElsewhere(msg))
        self->End(true, 0, false);
    return false;  // it reaches its own window after the edit
}

void CCellPropEditCtrl::End(bool commit, int exitKey, bool ownKey)
{
    if (m_done)
        return;
    if (exitKey)
        m_exitKey = exitKey;
    if (commit && m_property && !m_property->ParseText(GetWindowText())) {
        if (ownKey) {
            SetSel(0, -1);  // stays open on a text the property cannot read
            return;
        }
        commit = false;
    }
    m_commit = commit;
    m_done = true;
}

int CCellPropEditCtrl::TrackEdit(CWnd* parent, const RECT& cell, UINT firstChar, int sizeMode, DWORD style,
                                 CFont* font)
{
    if (!parent || !m_property)
        return 0;
    parent->SendMessage(WM_CANCELMODE, 0, 0);
    m_multiLine = (style & ES_MULTILINE) != 0;
    m_done = m_commit = false;
    m_exitKey = 0;
    if (!Create(style | WS_CHILD | WS_CLIPSIBLINGS, cell, parent, 0))
        return 0;
    SetCell(cell);
    if (sizeMode == 1 || sizeMode == 2)
        FitToOwner(sizeMode == 2);
    CString start;
    m_property->FormatText(start);
    if (m_textLimit != -1)
        LimitText(m_textLimit);
    SetWindowText(start);
    SetFont(font);
    SetSel(0, -1);
    if (firstChar && m_property->IsValidChar(static_cast<int>(firstChar))) {
        const char text[2] = {static_cast<char>(firstChar), 0};
        SetWindowText(text);
        SetSel(1, 1);
    }
    ShowWindow(SW_SHOW);
    SetFocus();
    mvui::PushMessageFilter(&CCellPropEditCtrl::Filter, this);
    if (TheHook().fn)
        TheHook().fn(this, TheHook().context);
    while (!m_done && IsWindow(m_hWnd)) {
        mvui::PumpMessages();
        if (!m_done)
            Sleep(1);
    }
    mvui::PopMessageFilter();
    const CString finalText = GetWindowText();
    DestroyWindow();
    CRect dirty(cell);
    dirty.bottom += 2;
    if (IsWindow(parent->m_hWnd))
        parent->InvalidateRect(&dirty, TRUE);
    CString now;
    m_property->FormatText(now);
    return m_commit && now != start ? 1 : 0;
}

void CCellPropEditCtrl::OnKeyDown(UINT vk, UINT repeat, UINT flags)
{
    int start, end;
    GetSel(start, end);
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    switch (vk) {
    case VK_ESCAPE: End(false, VK_ESCAPE, true); return;
    case VK_TAB: End(true, VK_TAB, true); return;
    case VK_RETURN:
        if (!ctrl) {
            End(true, VK_RETURN, true);
        } else if (m_multiLine && m_property->IsText()) {
            ReplaceSel("\n");
        } else {
            End(true, kCtrlEnter, true);
        }
        return;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
        if (!m_multiLine) {
            const bool atStart = start == 0 && end == 0, atEnd = start == GetLength() && end == GetLength();
            if ((vk == VK_LEFT && atStart) || (vk == VK_RIGHT && atEnd) || vk == VK_UP || vk == VK_DOWN) {
                End(true, static_cast<int>(vk), true);
                return;
            }
        }
        break;
    default: break;
    }
    CPropEditCtrl::OnKeyDown(vk, repeat, flags);
}

void CCellPropEditCtrl::OnChar(UINT ch, UINT repeat, UINT flags)
{
    if ((ch == ' ' || ch == '-') && m_property->IsText() && !m_noSpaceExit) {
        End(true, static_cast<int>(ch), true);
        return;
    }
    if (ch == '\r' || ch == '\n' || ch == VK_TAB || ch == VK_ESCAPE)
        return;  // ended on the key press
    if (m_property->IsText()) {
        // A text takes every character it accepts as typed: brackets, plus
        // and minus are text here, not steps.
        if (ch == VK_BACK || m_property->IsValidChar(static_cast<int>(ch)))
            CEdit::OnChar(ch, repeat, flags);
        return;
    }
    CPropEditCtrl::OnChar(ch, repeat, flags);
}

void CCellPropEditCtrl::OnKillFocus(CWnd* newWnd)
{
    CPropEditCtrl::OnKillFocus(newWnd);
    End(false, 0, false);
}

void CCellPropEditCtrl::OnCancelMode()
{
    CPropEditCtrl::OnCancelMode();
    End(false, 0, false);
}

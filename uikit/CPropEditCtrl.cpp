#include "uikit/CPropEditCtrl.h"

#include <memory>

#include "platform/ui/ScrollInfo.h"
#include "uikit/CNoteSource.h"
#include "uikit/CPropEditOwner.h"
#include "uikit/core/CProperty.h"

namespace {

constexpr UINT_PTR kNoteTimer = 1;
constexpr UINT kNoteInterval = 200;
constexpr UINT VK_OEM_PLUS = 0xBB, VK_OEM_MINUS = 0xBD;

}  // namespace

bool CPropEditCtrl::s_editing = false;

CPropEditCtrl::CPropEditCtrl(CPropEditOwner* owner, CNoteSource* noteSource)
    : m_owner(owner), m_noteSource(noteSource), m_commitOnFocusLoss(owner != nullptr)
{
}

void CPropEditCtrl::Step(int scrollCode)
{
    switch (scrollCode) {
    case SB_LINEUP: StepKey('+'); break;
    case SB_LINEDOWN: StepKey('-'); break;
    case SB_PAGEUP: StepKey(']'); break;
    case SB_PAGEDOWN: StepKey('['); break;
    default: break;
    }
}

void CPropEditCtrl::StepKey(int key)
{
    if (!m_owner || !m_owner->IsEditorActive())
        return;
    std::unique_ptr<CProperty> property(m_owner->NewProperty());
    if (!property)
        return;
    property->ParseText(GetWindowText());
    property->HandleStepKey(key);
    CString text;
    property->FormatText(text);
    SetWindowText(text);
    SetSel(0, -1);
    if (m_notifyParentOnStep && GetParent()) {
        const UINT code = key == '+' ? SB_LINEUP : key == '-' ? SB_LINEDOWN : key == ']' ? SB_PAGEUP : SB_PAGEDOWN;
        GetParent()->SendMessage(WM_VSCROLL, MAKEWPARAM(code, 0), reinterpret_cast<LPARAM>(m_hWnd));
    }
}

void CPropEditCtrl::OnKeyDown(UINT vk, UINT repeat, UINT flags)
{
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    if (vk == VK_ADD) {
        StepKey('+');
    } else if (vk == VK_SUBTRACT) {
        StepKey('-');
    } else if ((vk == VK_OEM_PLUS && shift) || (vk == VK_OEM_MINUS && !shift)) {
        const char ch = vk == VK_OEM_PLUS ? '+' : '-';
        if (m_owner && m_owner->IsValidChar(ch)) {
            const char text[2] = {ch, 0};
            ReplaceSel(text);
        }
    } else {
        CEdit::OnKeyDown(vk, repeat, flags);
    }
}

void CPropEditCtrl::OnChar(UINT ch, UINT repeat, UINT flags)
{
    if (ch == VK_BACK) {
        CEdit::OnChar(ch, repeat, flags);
    } else if (ch == '+' || ch == '-') {
        // Handled on the key press.
    } else if (ch == '[' || ch == ']') {
        StepKey(static_cast<int>(ch));
    } else if (m_owner && m_owner->IsValidChar(static_cast<int>(ch))) {
        CEdit::OnChar(ch, repeat, flags);
    }
}

BOOL CPropEditCtrl::PreTranslateMessage(MSG* msg)
{
    // Before the main window's accelerators can take it.
    if (msg->message == WM_KEYDOWN && msg->hwnd == m_hWnd && msg->wParam == 'Z' && GetKeyState(VK_CONTROL) < 0) {
        if (m_undoAllowed)
            Undo();
        return TRUE;
    }
    return CEdit::PreTranslateMessage(msg);
}

BOOL CPropEditCtrl::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_VSCROLL) {
        Step(static_cast<int>(LOWORD(wParam)));
        *result = 0;
        return TRUE;
    }
    return CEdit::OnWndMsg(message, wParam, lParam, result);
}

void CPropEditCtrl::OnSetFocus(CWnd* oldWnd)
{
    s_editing = true;
    if (m_owner && m_owner->TakesLiveNotes() && m_noteSource) {
        m_noteSource->Prime();
        SetTimer(kNoteTimer, kNoteInterval);
    }
    CEdit::OnSetFocus(oldWnd);
    Invalidate(FALSE);
}

void CPropEditCtrl::OnKillFocus(CWnd* newWnd)
{
    s_editing = false;
    KillTimer(kNoteTimer);
    if (m_commitOnFocusLoss && m_owner) {
        std::unique_ptr<CProperty> property(m_owner->NewProperty());
        if (property && property->ParseText(GetWindowText())) {
            CString text;
            property->FormatText(text);
            SetWindowText(text);
        }
    }
    CEdit::OnKillFocus(newWnd);
    Invalidate(FALSE);
}

void CPropEditCtrl::OnTimer(UINT_PTR id)
{
    if (id != kNoteTimer || !m_owner || !m_noteSource || !m_owner->TakesLiveNotes()) {
        CEdit::OnTimer(id);
        return;
    }
    int note = 0;
    if (!m_noteSource->GetPlayedNote(&note))
        return;
    std::unique_ptr<CProperty> property(m_owner->NewProperty());
    if (!property)
        return;
    VARIANT v{};
    v.vt = VT_I4;
    v.lVal = note;
    if (!property->SetVariant(v))
        return;
    CString text;
    property->FormatText(text);
    SetWindowText(text);
    SetSel(0, -1);
}

#include "uikit/CPropEditCtrl.h"

#include <memory>

#include "platform/ui/CDC.h"
#include "platform/ui/ScrollInfo.h"
#include "platform/ui/SystemMetrics.h"
#include "uikit/CSpinCtrl.h"
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

CPropEditCtrl::~CPropEditCtrl()
{
    DestroyWindow();
}

void CPropEditCtrl::OnDestroy()
{
    if (m_spin && IsWindow(m_spin->GetSafeHwnd()))
        m_spin->DestroyWindow();
    m_spin.reset();
    CEdit::OnDestroy();
}

void CPropEditCtrl::FitToOwner(bool withSpin)
{
    CWnd* parent = GetParent();
    if (!parent)
        return;
    CRect rect = m_cell;
    const int spinWidth = withSpin ? GetSystemMetrics(SM_CXVSCROLL) : 0;
    rect.right -= spinWidth;
    CClientDC dc(parent);
    CGdiObject* old = dc.SelectStockObject(DEFAULT_GUI_FONT);
    const int minHeight = 3 * dc.GetTextExtent("Ag", 2).cy / 2;
    if (old)
        dc.SelectObject(static_cast<CFont*>(old));
    if (rect.Height() < minHeight) {
        const int centre = (rect.top + rect.bottom) / 2;
        rect.top = centre - minHeight / 2;
        rect.bottom = rect.top + minHeight;
        CRect client;
        parent->GetClientRect(&client);
        if (rect.top < client.top)
            rect.OffsetRect(0, client.top - rect.top);
        else if (rect.bottom > client.bottom)
            rect.OffsetRect(0, client.bottom - rect.bottom);
    }
    MoveWindow(rect.left, rect.top, rect.Width(), rect.Height());
    if (!withSpin)
        return;
    const CRect spinRect(rect.right, rect.top, rect.right + spinWidth, rect.bottom);
    if (!m_spin) {
        auto spin = std::make_unique<CSpinCtrl>(this);
        if (!spin->Create(spinRect, parent, 0))
            return;
        m_spin = std::move(spin);
        if (!IsWindowVisible())
            m_spin->ShowWindow(SW_HIDE);
    }
    m_spin->MoveWindow(spinRect.left, spinRect.top, spinRect.Width(), spinRect.Height());
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
    if (msg->message == WM_KEYDOWN && msg->hwnd == m_hWnd && GetKeyState(VK_CONTROL) < 0) {
        switch (msg->wParam) {
        case 'C': SendMessage(WM_COPY, 0, 0); return TRUE;
        case 'V': SendMessage(WM_PASTE, 0, 0); return TRUE;
        case 'X': SendMessage(WM_CUT, 0, 0); return TRUE;
        case 'Z':
            if (m_undoAllowed)
                SendMessage(WM_UNDO, 0, 0);
            return TRUE;
        default: break;
        }
    }
    return CEdit::PreTranslateMessage(msg);
}

BOOL CPropEditCtrl::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_SHOWWINDOW && m_spin) {
        // The spin shows without taking the activation.
        m_spin->ShowWindow(wParam ? SW_SHOW : SW_HIDE);
    }
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

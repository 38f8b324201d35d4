#include "platform/ui/CComboBox.h"

#include <algorithm>

#include "platform/ui/CDC.h"
#include "platform/ui/CListBox.h"
#include "platform/ui/SystemMetrics.h"

namespace {
constexpr int kMaxDroppedItems = 8;
}

// The dropped list: a pop-up list box below the face. It never takes the
// focus, which stays with the combo box; a click
// chooses an item and closes it.
class CComboBox::DropList : public CListBox {
public:
    explicit DropList(CComboBox* owner) : m_owner(owner) {}

protected:
    void OnLButtonDown(UINT, CPoint point) override
    {
        const int i = GetTopIndex() + (point.y - 2) / GetItemHeight();
        if (i >= 0 && i < GetCount()) {
            m_owner->SelectByUser(i);
            m_owner->CloseUp();
        }
    }
    void OnLButtonDblClk(UINT flags, CPoint point) override { OnLButtonDown(flags, point); }
    // The focus stays with the combo box; the choice shows all the same.
    bool HighlightsSelection() const override { return true; }

private:
    CComboBox* m_owner;
};

CComboBox::CComboBox() : CListControl(CBS_SORT) {}

CComboBox::~CComboBox() = default;

BOOL CComboBox::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateControl(kClassName, "", style, rect, parent, id);
}

void CComboBox::OnItemsChanged(bool selected)
{
    if (selected && m_list)
        m_list->SetCurSel(GetCurSel());
}

int CComboBox::SetDroppedWidth(int width)
{
    if (width < 0)
        return CB_ERR;
    m_droppedWidth = width;
    return width;
}

BOOL CComboBox::GetDroppedState() const
{
    return m_list != nullptr;
}

CListBox* CComboBox::GetDroppedList() const
{
    return m_list.get();
}

void CComboBox::ShowDropDown(BOOL show)
{
    if (!show) {
        CloseUp();
        return;
    }
    if (m_list)
        return;
    OnDropDown();
    NotifyParent(CBN_DROPDOWN);
    CRect face;
    GetWindowRect(&face);
    auto list = std::make_unique<DropList>(this);
    const int itemHeight = [this] {
        CClientDC dc(this);
        dc.SelectObject(ControlFont());
        TEXTMETRIC tm{};
        dc.GetTextMetrics(&tm);
        return tm.tmHeight + 2;
    }();
    const int shown = std::clamp(GetCount(), 1, kMaxDroppedItems);
    const CRect r(face.left, face.bottom, face.left + std::max<int>(face.Width(), m_droppedWidth),
                  face.bottom + shown * itemHeight + 4);
    // A window of its own, so it may reach past the dialog's edges.
    if (!list->CreateControl(CListBox::kClassName, "", WS_POPUP | WS_BORDER, r, nullptr, 0))
        return;
    for (int i = 0; i < GetCount(); ++i)
        list->SetItemData(list->AddString(m_items.Text(i)), m_items.Data(i));
    list->SetCurSel(GetCurSel());
    list->ShowWindow(SW_SHOW);
    m_list = std::move(list);
    Invalidate(FALSE);
}

void CComboBox::CloseUp()
{
    if (!m_list)
        return;
    std::unique_ptr<DropList> list = std::move(m_list);
    list->DestroyWindow();
    Invalidate(FALSE);
    NotifyParent(CBN_CLOSEUP);
}

void CComboBox::SelectByUser(int index)
{
    if (!m_items.IsValid(index) || index == GetCurSel())
        return;
    SetCurSel(index);
    NotifyParent(CBN_SELCHANGE);
}

BOOL CComboBox::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    switch (message) {
    case WM_GETDLGCODE: *result = DLGC_WANTARROWS | (m_list ? DLGC_WANTALLKEYS : 0); return TRUE;
    case CB_GETDROPPEDWIDTH: *result = m_droppedWidth; return TRUE;
    case CB_SETDROPPEDWIDTH: *result = SetDroppedWidth(static_cast<int>(wParam)); return TRUE;
    default: return CControlWnd::OnWndMsg(message, wParam, lParam, result);
    }
}

void CComboBox::OnLButtonDown(UINT, CPoint)
{
    if (GetFocus() != this)
        SetFocus();
    if (m_list)
        CloseUp();
    else
        ShowDropDown(TRUE);
}

void CComboBox::OnKeyDown(UINT vk, UINT, UINT)
{
    if (GetCount() == 0 && vk != VK_F4)
        return;
    const int last = GetCount() - 1;
    const int now = GetCurSel();
    switch (vk) {
    case VK_UP: SelectByUser(now < 0 ? 0 : std::max(0, now - 1)); break;
    case VK_DOWN: SelectByUser(now < 0 ? 0 : std::min(last, now + 1)); break;
    case VK_HOME: SelectByUser(0); break;
    case VK_END: SelectByUser(last); break;
    case VK_F4: ShowDropDown(!m_list); break;
    case VK_RETURN:
    case VK_ESCAPE: CloseUp(); break;
    default: break;
    }
}

void CComboBox::OnSysKeyDown(UINT vk, UINT repeat, UINT flags)
{
    if (vk == VK_DOWN || vk == VK_UP)
        ShowDropDown(!m_list);
    else
        CControlWnd::OnSysKeyDown(vk, repeat, flags);
}

void CComboBox::OnSetFocus(CWnd*)
{
    Invalidate(FALSE);
    NotifyParent(CBN_SETFOCUS);
}

void CComboBox::OnKillFocus(CWnd*)
{
    CloseUp();
    Invalidate(FALSE);
    NotifyParent(CBN_KILLFOCUS);
}

void CComboBox::OnDestroy()
{
    if (m_list) {
        m_list->DestroyWindow();
        m_list.reset();
    }
    CControlWnd::OnDestroy();
}

BOOL CComboBox::OnEraseBkgnd(CDC*)
{
    return TRUE;
}

void CComboBox::OnPaint()
{
    CPaintDC dc(this);
    CRect r;
    GetClientRect(&r);
    const bool enabled = IsWindowEnabled() != 0;
    const bool focused = GetFocus() == this;
    dc.FillSolidRect(&r, GetSysColor(enabled ? COLOR_WINDOW : COLOR_BTNFACE));
    dc.DrawEdge(&r, EDGE_SUNKEN, BF_RECT);
    CRect button(r.right - 2 - GetSystemMetrics(SM_CXVSCROLL), r.top + 2, r.right - 2, r.bottom - 2);
    dc.DrawFrameControl(&button, DFC_BUTTON, m_list ? DFCS_PUSHED : 0);
    // The drop-down arrow: a small filled triangle in the button's middle.
    const COLORREF arrow = GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
    const int cx = (button.left + button.right) / 2, cy = (button.top + button.bottom) / 2 - 1;
    for (int row = 0; row < 3; ++row)
        dc.FillSolidRect(cx - 3 + row, cy + row, 7 - 2 * row, 1, arrow);
    CRect text(r.left + 2, r.top + 2, button.left - 1, r.bottom - 2);
    dc.SelectObject(ControlFont());
    dc.SetBkMode(TRANSPARENT);
    if (focused && enabled && !m_list) {
        dc.FillSolidRect(&text, GetSysColor(COLOR_HIGHLIGHT));
        dc.SetTextColor(GetSysColor(COLOR_HIGHLIGHTTEXT));
    } else {
        dc.SetTextColor(GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    }
    if (GetCurSel() >= 0) {
        text.DeflateRect(2, 0);
        dc.DrawText(m_items.Text(GetCurSel()), &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
}

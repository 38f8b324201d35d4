#include "uikit/CDlgBindingTable.h"

#include "platform/ui/CButton.h"
#include "platform/ui/CEdit.h"
#include "uikit/CDlgItemCheckBox.h"
#include "uikit/CDlgItemEdit.h"
#include "uikit/CDlgItemRadioGroup.h"
#include "uikit/CDlgItemSlider.h"
#include "uikit/CDlgItemStatic.h"
#include "uikit/core/CProperty.h"

namespace {
constexpr WORD kListDoubleClick = 2;  // LBN_DBLCLK and CBN_DBLCLK
}

CDlgBindingTable::~CDlgBindingTable()
{
    Free();
}

bool CDlgBindingTable::Bind(int id, CProperty* property)
{
    return property && m_bound.emplace(id, property).second;
}

std::unique_ptr<CDlgItem> CDlgBindingTable::MakeItem(CWnd* control, CProperty* property)
{
    if (!control)
        return nullptr;
    char name[129];
    if (GetClassNameA(control->m_hWnd, name, sizeof name) == 0)
        return nullptr;
    const CString cls(name);
    if (cls.CompareNoCase("EDIT") == 0)
        return std::make_unique<CDlgItemEdit>(property);
    if (cls.CompareNoCase("BUTTON") == 0) {
        switch (control->GetStyle() & 15) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX: return std::make_unique<CDlgItemCheckBox>(property);
        case BS_AUTORADIOBUTTON: return std::make_unique<CDlgItemRadioGroup>(property);
        default: return nullptr;
        }
    }
    if (cls.CompareNoCase("msctls_trackbar32") == 0)
        return std::make_unique<CDlgItemSlider>(property);
    if (cls.CompareNoCase("Static") == 0)
        return std::make_unique<CDlgItemStatic>(property);
    return nullptr;
}

void CDlgBindingTable::Start(CWnd* dialog)
{
    Free();
    for (const auto& [id, property] : m_bound) {
        m_snapshots[id].reset(property->Clone());
        std::unique_ptr<CDlgItem> item = MakeItem(dialog->GetDlgItem(id), property);
        if (!item)
            continue;
        auto [it, inserted] = m_items.emplace(id, std::move(item));
        if (inserted)
            it->second->Attach(id, dialog, m_owner);
    }
}

void CDlgBindingTable::Exchange(CDataExchange* dx)
{
    if (dx->m_bSaveAndValidate) {
        for (const auto& [id, item] : m_items) {
            if (dynamic_cast<CDlgItemEdit*>(item.get()))
                dx->PrepareEditCtrl(id);
            else
                dx->PrepareCtrl(id);
            if (!item->Validate(id, dx->m_pDlgWnd, m_owner)) {
                dx->Fail();
                return;
            }
        }
    }
    for (const auto& [id, item] : m_items)
        item->Exchange(dx->m_bSaveAndValidate != 0, id, dx->m_pDlgWnd, m_owner);
}

void CDlgBindingTable::Restore()
{
    for (const auto& [id, snapshot] : m_snapshots)
        if (auto it = m_bound.find(id); it != m_bound.end() && snapshot)
            it->second->CopyFrom(snapshot.get());
}

void CDlgBindingTable::Free()
{
    m_items.clear();
    m_snapshots.clear();
}

void CDlgBindingTable::RouteDoubleClick(CWnd* dialog, WPARAM wParam, LPARAM lParam)
{
    CWnd* control = CWnd::FromHandle(reinterpret_cast<HWND>(lParam));
    if (!control || !dialog)
        return;
    const WORD code = HIWORD(wParam);
    const CString cls = control->GetClassName();
    const DWORD type = control->GetStyle() & 15;
    const bool list = code == kListDoubleClick && (cls.CompareNoCase("LISTBOX") == 0 || cls.CompareNoCase("COMBOBOX") == 0);
    const bool radio = code == BN_DOUBLECLICKED && cls.CompareNoCase("BUTTON") == 0 &&
                       (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON);
    if (!list && !radio)
        return;
    CWnd* ok = dialog->GetDlgItem(IDOK);
    if (ok && ok->IsWindowEnabled())
        dialog->PostMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok->m_hWnd));
}

#include "app/CVarDropDownComboBox.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/ui/CDC.h"
#include "platform/ui/SystemMetrics.h"

CVarDropDownComboBox* CVarDropDownComboBox::ReplaceDlgItem(CWnd* dialog, int id)
{
    auto* old = dialog ? static_cast<CComboBox*>(dialog->GetDlgItem(id)) : nullptr;
    if (!old)
        return nullptr;
    CRect r;
    old->GetWindowRect(&r);
    dialog->ScreenToClient(&r);
    const DWORD style = old->GetStyle();
    std::vector<std::pair<CString, DWORD_PTR>> items;
    for (int i = 0; i < old->GetCount(); ++i)
        items.emplace_back(old->GetLBText(i), old->GetItemData(i));
    const int selected = old->GetCurSel();
    old->DestroyWindow();
    auto* combo = new CVarDropDownComboBox;
    if (!combo->Create(style, r, dialog, static_cast<UINT>(id))) {
        delete combo;
        return nullptr;
    }
    combo->SetAutoDelete(true);
    for (const auto& [text, data] : items)
        combo->SetItemData(combo->AddString(text), data);
    combo->SetCurSel(selected);
    return combo;
}

void CVarDropDownComboBox::OnDropDown()
{
    CClientDC dc(this);
    dc.SelectObject(GetFont());
    int widest = 0;
    for (int i = 0; i < GetCount(); ++i)
        widest = std::max<int>(widest, dc.GetTextExtent(GetLBText(i)).cx);
    SetDroppedWidth(widest + GetSystemMetrics(SM_CXVSCROLL) + dc.GetTextExtent("0").cx);
}

#include "uikit/CDlgItemRadioGroup.h"

#include "platform/ui/CButton.h"
#include "uikit/core/CProperty.h"

std::vector<CWnd*> CDlgItemRadioGroup::Buttons(CWnd* first)
{
    std::vector<CWnd*> buttons;
    for (CWnd* w = first; w; w = w->GetWindow(GW_HWNDNEXT)) {
        if (w != first && (w->GetStyle() & WS_GROUP))
            break;
        if (w->SendMessage(WM_GETDLGCODE) & DLGC_RADIOBUTTON)
            buttons.push_back(w);
    }
    return buttons;
}

void CDlgItemRadioGroup::Exchange(bool save, int id, CWnd* dialog, DWORD)
{
    CWnd* first = dialog->GetDlgItem(id);
    if (!first)
        return;
    const std::vector<CWnd*> buttons = Buttons(first);
    if (save) {
        LONG index = -1;
        for (std::size_t i = 0; i < buttons.size(); ++i)
            if (buttons[i]->SendMessage(BM_GETCHECK) == BST_CHECKED) {
                index = static_cast<LONG>(i);
                break;
            }
        m_property->SetVariant(VariantFromI4(index));
    } else {
        const LONG index = IntegerOf(*m_property);
        for (std::size_t i = 0; i < buttons.size(); ++i)
            buttons[i]->SendMessage(BM_SETCHECK, static_cast<LONG>(i) == index ? BST_CHECKED : BST_UNCHECKED);
    }
}

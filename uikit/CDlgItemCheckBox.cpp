#include "uikit/CDlgItemCheckBox.h"

#include "platform/ui/CButton.h"
#include "uikit/core/CProperty.h"

void CDlgItemCheckBox::Exchange(bool save, int id, CWnd* dialog, DWORD)
{
    CWnd* box = dialog->GetDlgItem(id);
    if (!box)
        return;
    if (save)
        m_property->SetVariant(VariantFromI4(static_cast<LONG>(box->SendMessage(BM_GETCHECK))));
    else
        // A boolean's true is -1 as an integer: any value but 0 checks the box.
        box->SendMessage(BM_SETCHECK, IntegerOf(*m_property) != 0 ? BST_CHECKED : BST_UNCHECKED);
}

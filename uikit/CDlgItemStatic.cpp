#include "uikit/CDlgItemStatic.h"

#include "uikit/core/CProperty.h"

void CDlgItemStatic::Exchange(bool save, int id, CWnd* dialog, DWORD)
{
    CWnd* label = dialog->GetDlgItem(id);
    if (!label)
        return;
    if (save) {
        m_property->ParseText(label->GetWindowText());
    } else {
        CString text;
        m_property->FormatText(text);
        label->SetWindowText(text);
    }
}

#include "platform/ui/CPropertyPage.h"

BOOL CPropertyPage::OnApply()
{
    OnOK();
    m_modified = FALSE;
    return TRUE;
}

void CPropertyPage::OnReset()
{
    OnCancel();
    m_modified = FALSE;
}

BOOL CPropertyPage::CreatePage(CWnd* sheet)
{
    if (IsWindow(m_hWnd))
        return TRUE;
    if (!CreateDialogWindow(sheet))
        return FALSE;
    SendMessage(WM_INITDIALOG);
    return IsWindow(m_hWnd);
}

#include "platform/ui/CPropertyPage.h"

#include "platform/res/Resources.h"

CString CPropertyPage::GetCaption() const
{
    if (m_captionId)
        if (const char* text = mvres::FindStringResource(AfxGetResourceHandle(), m_captionId))
            return CString(text);
    const DialogTemplate* t = FindDialogTemplate(TemplateId());
    return t ? t->caption : CString();
}

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

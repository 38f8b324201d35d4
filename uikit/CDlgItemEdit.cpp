#include "uikit/CDlgItemEdit.h"

#include "platform/res/MessageBox.h"
#include "resources/MorvaneStrings.h"
#include "uikit/core/CProperty.h"
#include "uikit/core/ResString.h"

void CDlgItemEdit::Attach(int id, CWnd* dialog, DWORD)
{
    CWnd* edit = dialog->GetDlgItem(id);
    if (!edit)
        return;
    m_editCtrl = std::make_unique<CPropEditCtrl>(m_property);
    m_editCtrl->HookWindow(edit);
    if (m_property->CanStep())
        m_editCtrl->SetupStepButtons();
}

bool CDlgItemEdit::Validate(int id, CWnd* dialog, DWORD)
{
    CWnd* edit = dialog->GetDlgItem(id);
    if (!edit)
        return true;
    std::unique_ptr<CProperty> probe(m_property->Clone());
    const bool parsed = probe->ParseText(edit->GetWindowText());
    if (parsed)
        return true;
    CProperty* minimum = nullptr;
    CProperty* maximum = nullptr;
    if (m_property->GetLimits(&minimum, &maximum)) {
        std::unique_ptr<CProperty> low(minimum), high(maximum);
        CString lowText, highText, message;
        low->FormatText(lowText);
        high->FormatText(highText);
        message.Format(LoadResString(IDS_VALUE_RANGE), lowText.GetString(), highText.GetString());
        AfxMessageBox(message, MB_ICONEXCLAMATION);
    }
    return false;
}

void CDlgItemEdit::Exchange(bool save, int id, CWnd* dialog, DWORD)
{
    CWnd* edit = dialog->GetDlgItem(id);
    if (!edit)
        return;
    if (save) {
        m_property->ParseText(edit->GetWindowText());
    } else {
        CString text;
        m_property->FormatText(text);
        edit->SetWindowText(text);
    }
}

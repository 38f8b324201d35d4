#include "uikit/CDlgItemEdit.h"

#include <cstring>

#include "platform/res/MessageBox.h"
#include "resources/MorvaneStrings.h"
#include "uikit/core/CProperty.h"
#include "uikit/core/ResString.h"

namespace {

// A hook on the edit window that lets through only the characters the
// property accepts, and, with its step keys on, steps the value with '+',
// '-', ']' and '[' when the property does not take that key as a character.
// The property is not owned.
class CPropCharFilter : public CSubclassWnd {
public:
    CPropCharFilter(CProperty* property, bool stepKeys) : m_property(property), m_stepKeys(stepKeys) {}

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message != WM_CHAR || !m_property || wParam < 0x20 || m_property->IsValidChar(static_cast<int>(wParam)))
            return CSubclassWnd::WindowProc(message, wParam, lParam);
        const int key = static_cast<int>(wParam);
        if (m_stepKeys && key < 0x80 && std::strchr("+-][", key)) {
            // Steps what the control shows now, when it parses.
            CWnd* edit = HookedWindow();
            std::unique_ptr<CProperty> value(m_property->Clone());
            if (value->ParseText(edit->GetWindowText())) {
                value->HandleStepKey(key);
                CString text;
                value->FormatText(text);
                edit->SetWindowText(text);
            }
        }
        return 0;
    }

private:
    CProperty* m_property;
    bool m_stepKeys;
};

}  // namespace

void CDlgItemEdit::Attach(int id, CWnd* dialog, DWORD)
{
    CWnd* edit = dialog->GetDlgItem(id);
    if (!edit)
        return;
    m_editHook = std::make_unique<CPropCharFilter>(m_property, m_property->CanStep());
    m_editHook->HookWindow(edit);
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

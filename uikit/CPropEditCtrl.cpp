#include "uikit/CPropEditCtrl.h"

#include <cstring>
#include <memory>

#include "uikit/core/CProperty.h"

LRESULT CPropEditCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
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

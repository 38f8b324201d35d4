// What an update handler sets on a command's menu item, button or
// accelerator: enabled, checked, text. The frame asks before a command runs,
// so a command its handler disables never runs from any source.
// UI thread only.
#pragma once

#include "platform/win/CString.h"
#include "platform/win/WinTypes.h"

class CMenu;

class CCmdUI {
public:
    CCmdUI() = default;
    virtual ~CCmdUI() = default;

    virtual void Enable(BOOL on = TRUE)
    {
        m_bEnabled = on;
        m_bEnableChanged = TRUE;
    }
    virtual void SetCheck(int check = 1) { m_nCheck = check; }
    virtual void SetText(const char* text) { m_strText = text; }

    UINT m_nID = 0;
    UINT m_nIndex = 0;
    CMenu* m_pMenu = nullptr;
    BOOL m_bEnabled = TRUE;
    BOOL m_bEnableChanged = FALSE;
    int m_nCheck = 0;
    CString m_strText;
    // Set when some update handler answered for the id.
    BOOL m_bHandled = FALSE;
};

// What the window layer's common controls share: the dialog font they draw
// with, their notifications to the parent (WM_COMMAND with the control id
// and a code, the control's window as lParam), and, for a control a dialog
// template made, a window object that goes with its window. UI thread only.
#pragma once

#include "platform/ui/CFont.h"
#include "platform/ui/CWnd.h"

class CControlWnd : public CWnd {
public:
    // The window object is deleted once its window is gone (controls made
    // from a dialog template have no other owner).
    void SetAutoDelete(bool on) { m_autoDelete = on; }
    // Makes the control under its class name, registering the class (with
    // double clicks and the button face as background) the first time.
    BOOL CreateControl(LPCSTR className, LPCSTR text, DWORD style, const RECT& rect, CWnd* parent,
                       UINT id, DWORD exStyle = 0);
    // The font every control draws its text with.
    static CFont* ControlFont();

protected:
    void PostNcDestroy() override;
    // WM_COMMAND (control id, code) with this window as lParam, sent to the parent.
    void NotifyParent(WORD code);

private:
    bool m_autoDelete = false;
};

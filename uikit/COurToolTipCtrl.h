// The tool tip of the studio's frames, panels and control hosts: the
// platform's tool tip plus the ways the program registers tools (a child
// window with the tip half of a command prompt string, or a rectangle of a
// window with a text id or a callback), kept active and on top whenever it
// is created, enabled or sized. UI thread only.
#pragma once

#include "platform/ui/CToolTipCtrl.h"

class COurToolTipCtrl : public CToolTipCtrl {
public:
    // A command string holds the status-bar prompt, a line break and the
    // tip: only what follows the first line break is the tip; a string
    // without one is the tip as a whole.
    BOOL AddToolFromString(CWnd* window, UINT stringId);
    // A child window as a tool of its parent.
    BOOL AddTool(CWnd* window, LPCSTR text);
    // A rectangle of a window: the text is a string id (MAKEINTRESOURCE) of
    // the resource module or LPSTR_TEXTCALLBACK.
    BOOL AddTool(CWnd* window, LPCSTR textIdOrCallback, LPCRECT rect, UINT_PTR toolId);
    BOOL AddTool(CWnd* window, UINT textId, LPCRECT rect, UINT_PTR toolId);

    int OnCreate(CREATESTRUCT* cs) override;
    void OnSize(UINT type, int cx, int cy) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void KeepOnTop();
};

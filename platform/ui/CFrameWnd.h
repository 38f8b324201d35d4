// A frame: the window that holds a view, takes the keyboard accelerators
// before anyone else sees the key, and routes commands: the active view (and
// through it the document), the frame itself, then the application. A
// command whose update handler disables it runs neither from a menu nor from
// an accelerator; menus shown through the frame get their items enabled and
// checked by the update handlers first. UI thread only.
#pragma once

#include <vector>

#include "platform/ui/CWnd.h"

class CView;
class CDocument;
class CMenu;

class CFrameWnd : public CWnd {
public:
    CView* GetActiveView() const;
    void SetActiveView(CView* view);
    CDocument* GetActiveDocument() const;
    // The frame's accelerators, matched against WM_KEYDOWN before dispatch.
    void SetAccelerators(const ACCEL* table, int count);
    // Places the active view over the whole client area.
    virtual void RecalcLayout(BOOL notify = TRUE);
    // RecalcLayout once the queue runs, however often it is asked for.
    void DelayRecalcLayout(BOOL notify = TRUE);

    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnCmdMsg(UINT id, int code, void* extra) override;
    // Runs each item's update handler on a menu about to be shown.
    void UpdateMenu(CMenu* menu);

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnSize(UINT type, int cx, int cy) override;

private:
    HWND m_activeView = nullptr;
    std::vector<ACCEL> m_accel;
    bool m_layoutPending = false;
};

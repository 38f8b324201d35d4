// A hook on someone else's window: it sees the window's messages before the
// window does, without deriving from the window's class. Several hooks may
// sit on one window; the newest sees a message first, passing it on (the
// base WindowProc, or Default() from a handler) reaches the next older hook
// and finally the window's own procedure. A hook comes off with
// HookWindow(nullptr), with its destruction, or when its window is
// destroyed (all hooks leave before the window's own WM_NCDESTROY
// handling). UI thread only.
#pragma once

#include "platform/ui/CDocument.h"
#include "platform/ui/CWnd.h"

class CSubclassWndMap;

class CSubclassWnd : public CObject {
public:
    CSubclassWnd() = default;
    ~CSubclassWnd() override;
    CSubclassWnd(const CSubclassWnd&) = delete;
    CSubclassWnd& operator=(const CSubclassWnd&) = delete;

    // With a window: puts this hook on it (taking it off any other first).
    // With null: takes it off. TRUE.
    BOOL HookWindow(CWnd* window);
    BOOL IsHooked() const { return m_window != nullptr; }
    CWnd* HookedWindow() const { return m_window; }

    // Passes the message on: to the next older hook, else to the window's
    // own procedure.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Passes on the message being handled now.
    LRESULT Default();

private:
    friend class CSubclassWndMap;
    static LRESULT HookProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    CWnd* m_window = nullptr;
    HWND m_hwnd = nullptr;
    WNDPROC m_oldProc = nullptr;
    CSubclassWnd* m_next = nullptr;
};

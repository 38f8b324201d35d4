// A window: one object of ours over one Qt widget that covers the window
// rectangle, non-client frame included. Qt's events become the numbered
// messages the framework code handles, in the order Windows sends them, and
// every message goes through WindowProc to the virtual handlers below.
//
// A window's HWND is a token into the layer's table, never a pointer: a
// handle whose window has gone is refused (FromHandle gives null, messages
// to it do nothing and return 0), so a stale handle is never dereferenced.
//
// Every window keeps a persistent image of its whole rectangle. Device
// contexts draw into it at any time, inside or outside WM_PAINT; a Qt paint
// event only copies it to the screen.
//
// Threads: everything here is UI-thread only, except PostMessage (the
// member and the free function), which any thread may call: posted messages
// arrive on the UI thread in the order they were posted.
#pragma once

#include <memory>

#include "platform/ui/CCmdTarget.h"
#include "platform/ui/GdiTypes.h"
#include "platform/ui/InputState.h"
#include "platform/ui/ScrollInfo.h"
#include "platform/ui/WinUser.h"
#include "platform/win/CString.h"

class CDC;
class CScrollBar;
struct CWndImpl;

struct WINDOWPOS {
    HWND hwnd;
    HWND hwndInsertAfter;
    int x;
    int y;
    int cx;
    int cy;
    UINT flags;
};
struct NCCALCSIZE_PARAMS {
    RECT rgrc[3];
    WINDOWPOS* lppos;
};
struct CREATESTRUCTA {
    void* lpCreateParams;
    HWND hwndParent;
    UINT id;
    int cy;
    int cx;
    int y;
    int x;
    DWORD style;
    const char* lpszName;
    const char* lpszClass;
};
using CREATESTRUCT = CREATESTRUCTA;
// Where a window stands: shown or hidden, and its rectangle in its parent's
// client coordinates (the screen for a top window).
struct WINDOWPLACEMENT {
    UINT length;
    UINT flags;
    UINT showCmd;
    POINT ptMinPosition;
    POINT ptMaxPosition;
    RECT rcNormalPosition;
};

using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

class CWnd : public CCmdTarget {
public:
    CWnd();
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // Creates the window: `rect` is in the parent's client coordinates (screen
    // coordinates for a window without a parent). The class name picks the
    // class style (double clicks, background) registered with AfxRegisterClass;
    // null gives a class with double clicks and the window colour.
    virtual BOOL CreateEx(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style,
                          const RECT& rect, CWnd* parent, UINT id, void* param = nullptr);
    virtual BOOL Create(LPCSTR className, LPCSTR windowName, DWORD style, const RECT& rect,
                        CWnd* parent, UINT id);
    virtual BOOL DestroyWindow();
    // Stand-ins for a place in the z-order (SetWindowPos's first argument).
    static const CWnd wndTop, wndBottom, wndTopMost, wndNoTopMost;
    // Called after WM_NCDESTROY, when the handle is already stale.
    virtual void PostNcDestroy() {}

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }
    // The live window behind a handle; null for a null or stale handle.
    static CWnd* FromHandle(HWND hwnd);
    static CWnd* FromHandlePermanent(HWND hwnd) { return FromHandle(hwnd); }

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT Default();
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // Offered every queued message (input and posted) bound for this window
    // or a child before it is dispatched; TRUE eats it.
    virtual BOOL PreTranslateMessage(MSG* msg);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);

    // Geometry.
    void GetWindowRect(LPRECT rect) const;  // screen coordinates
    void GetClientRect(LPRECT rect) const;  // (0, 0, width, height) of the client area
    void ClientToScreen(LPPOINT point) const;
    void ClientToScreen(LPRECT rect) const;
    void ScreenToClient(LPPOINT point) const;
    void ScreenToClient(LPRECT rect) const;
    void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
    void MoveWindow(LPCRECT rect, BOOL repaint = TRUE);
    BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags);
    BOOL ShowWindow(int command);
    BOOL IsWindowVisible() const;
    BOOL EnableWindow(BOOL enable = TRUE);
    BOOL IsWindowEnabled() const;
    DWORD GetStyle() const;
    BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
    DWORD GetExStyle() const;
    BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT flags = 0);
    // The next (GW_HWNDNEXT) or previous sibling, the first child (GW_CHILD),
    // the first or last sibling; null when there is none.
    CWnd* GetWindow(UINT relation) const;
    CWnd* GetNextWindow(UINT relation = GW_HWNDNEXT) const { return GetWindow(relation); }
    // The class name the window was created with ("Edit", "Button", ...).
    CString GetClassName() const;
    // Makes this the active top window: the one before gets WM_NCACTIVATE
    // FALSE, this one TRUE.
    BOOL SetForegroundWindow();
    static CWnd* GetForegroundWindow();
    UINT GetDlgCtrlID() const;
    CWnd* GetParent() const;
    // Moves the window under another parent (a child stays a child): its
    // rectangle keeps its numbers, now in the new parent's client coordinates.
    // Returns the parent before; null when either window is gone.
    CWnd* SetParent(CWnd* newParent);
    CWnd* GetDlgItem(int id) const;
    CWnd* GetTopLevelParent() const;
    void SetWindowText(LPCSTR text);
    void GetWindowText(CString& text) const;
    CString GetWindowText() const;
    UINT GetClassStyle() const;
    // Offset of the client area's top-left corner within the window rectangle.
    CPoint GetClientOffset() const;

    // Painting.
    void Invalidate(BOOL erase = TRUE);
    void InvalidateRect(LPCRECT rect, BOOL erase = TRUE);
    void ValidateRect(LPCRECT rect);
    // Paints now what is invalid (frame, background, client).
    void UpdateWindow();
    BOOL RedrawWindow(LPCRECT rect = nullptr, void* region = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_ERASE);
    BOOL GetUpdateRect(LPRECT rect, BOOL erase = FALSE) const;

    // Input.
    CWnd* SetCapture();
    static CWnd* GetCapture();
    CWnd* SetFocus();
    static CWnd* GetFocus();
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc = nullptr);
    BOOL KillTimer(UINT_PTR id);

    // Handlers, with the framework's names. Each one not overridden does
    // what DefWindowProc does with its message.
    virtual int OnCreate(CREATESTRUCT* cs);
    virtual void OnDestroy();
    virtual void OnNcDestroy();
    virtual void OnSize(UINT type, int cx, int cy);
    virtual void OnPaint();
    virtual BOOL OnEraseBkgnd(CDC* dc);
    virtual void OnNcPaint();
    virtual void OnNcCalcSize(BOOL calcValidRects, NCCALCSIZE_PARAMS* params);
    virtual LRESULT OnNcHitTest(CPoint screen);
    virtual void OnNcLButtonDown(UINT hitCode, CPoint screen);
    virtual void OnNcLButtonUp(UINT hitCode, CPoint screen);
    virtual void OnNcLButtonDblClk(UINT hitCode, CPoint screen);
    virtual void OnNcRButtonDown(UINT hitCode, CPoint screen);
    virtual void OnNcMouseMove(UINT hitCode, CPoint screen);
    virtual BOOL OnSetCursor(CWnd* wnd, UINT hitCode, UINT message);
    virtual void OnMouseMove(UINT flags, CPoint point);
    virtual void OnLButtonDown(UINT flags, CPoint point);
    virtual void OnLButtonUp(UINT flags, CPoint point);
    virtual void OnLButtonDblClk(UINT flags, CPoint point);
    virtual void OnRButtonDown(UINT flags, CPoint point);
    virtual void OnRButtonUp(UINT flags, CPoint point);
    virtual void OnRButtonDblClk(UINT flags, CPoint point);
    virtual void OnMButtonDown(UINT flags, CPoint point);
    virtual void OnMButtonUp(UINT flags, CPoint point);
    virtual BOOL OnMouseWheel(UINT flags, short delta, CPoint screen);
    virtual void OnMouseLeave();
    virtual void OnCaptureChanged(CWnd* newCapture);
    virtual void OnCancelMode();
    virtual void OnTimer(UINT_PTR id);
    virtual void OnKeyDown(UINT vk, UINT repeat, UINT flags);
    virtual void OnKeyUp(UINT vk, UINT repeat, UINT flags);
    virtual void OnChar(UINT ch, UINT repeat, UINT flags);
    virtual void OnSysKeyDown(UINT vk, UINT repeat, UINT flags);
    virtual void OnSysKeyUp(UINT vk, UINT repeat, UINT flags);
    virtual void OnSetFocus(CWnd* oldWnd);
    virtual void OnKillFocus(CWnd* newWnd);
    virtual void OnClose();
    virtual void OnWindowPosChanging(WINDOWPOS* pos);
    virtual void OnSettingChange(UINT flags, LPCSTR section);

    // Scroll bars. A window's own bars keep their SCROLLINFO (they are not
    // drawn); where GetScrollBarCtrl names a bar control (a splitter's shared
    // bar for its panes) the calls go to that control instead.
    virtual CScrollBar* GetScrollBarCtrl(int bar) const;
    // Returns the position the bar keeps.
    int SetScrollInfo(int bar, LPSCROLLINFO info, BOOL redraw = TRUE);
    BOOL GetScrollInfo(int bar, LPSCROLLINFO info, UINT mask = SIF_ALL);
    int GetScrollPos(int bar);
    // Moves the client area's pixels by (dx, dy) and invalidates what they uncover.
    void ScrollWindow(int dx, int dy, LPCRECT rect = nullptr, LPCRECT clip = nullptr);
    BOOL GetWindowPlacement(WINDOWPLACEMENT* placement) const;
    // The owner gets a control's notifications; null for none (the parent then).
    CWnd* GetOwner() const;
    void SetOwner(CWnd* owner);
    // While locked the window paints nothing; unlocking repaints it whole.
    BOOL LockWindowUpdate();
    void UnlockWindowUpdate();

    CWndImpl* Impl() const { return m_impl.get(); }

protected:
    friend LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    friend LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // The message being handled, for Default().
    MSG m_currentMsg{};

private:
    std::unique_ptr<CWndImpl> m_impl;
};

// Registers a window class: its style (CS_DBLCLKS gives double clicks),
// cursor and background colour index + 1 (0 for none). Returns FALSE when a
// class of that name exists already.
struct WNDCLASSA {
    UINT style;
    HCURSOR hCursor;
    int backgroundColour;  // COLOR_... + 1, or 0 for no background
    LPCSTR lpszClassName;
};
BOOL AfxRegisterClass(const WNDCLASSA* wc);
BOOL GetClassInfoA(void* instance, LPCSTR className, WNDCLASSA* wc);

// Free forms over handles.
LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL IsWindow(HWND hwnd);
// A number of its own for each name (compared without regard to case), from
// 0xC000 upward; the same name gives the same number. 0 for an empty name.
UINT RegisterWindowMessageA(LPCSTR name);
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();
HWND GetCapture();
BOOL TrackMouseEvent(TRACKMOUSEEVENT* track);
BOOL TranslateAccelerator(HWND hwnd, const ACCEL* table, int count, MSG* msg);
// GWLP_WNDPROC, GWL_STYLE, GWL_EXSTYLE, GWL_ID. A window's procedure starts
// as the one that hands every message to its window object's WindowProc; a
// replacement procedure passes messages on with CallWindowProcA.
LONG_PTR GetWindowLongPtrA(HWND hwnd, int index);
LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value);
LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Copies the class name, NUL-terminated, into `buffer`; the length copied, 0 for a stale handle.
int GetClassNameA(HWND hwnd, LPSTR buffer, int size);
HWND GetForegroundWindow();

namespace mvui {
// Runs queued events (posted messages, timers, paint) until none is left.
void PumpMessages();
// Waits until an event arrives (input, a posted message, a timer), then
// runs what is queued: the step of a local modal loop.
void WaitAndPumpMessages();
// A caption's title as the layer's frames draw it: bold 11 pixels, in the
// caption text colour of the active or inactive state, cut with an ellipsis.
void DrawCaptionTitle(CDC& dc, LPCSTR text, const CRect& rect, bool active);
// Hands a message to a window as the queue would: pre-translation from the
// window up through its parents, then the window procedure.
void DispatchQueued(MSG& msg);
// Hook that sees every queued message before dispatch (a modal loop's
// message filter); it may look without eating (return false).
using MessageFilter = bool (*)(MSG& msg, void* context);
void PushMessageFilter(MessageFilter filter, void* context);
void PopMessageFilter();
}  // namespace mvui

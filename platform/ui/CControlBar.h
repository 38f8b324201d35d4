// A control bar: a window that docks along a side of its frame, in one of
// the frame's dock bars, or floats in a mini dock frame. It keeps its bar
// style (alignment, floating, sizing kind), the dock style (the sides it may
// dock to), the frame it docks in (its dock site), the dock bar that holds
// it and the dock context that drags it. Showing and hiding may be delayed
// until the frame's next layout. UI thread only.
#pragma once

#include <memory>

#include "platform/ui/CWnd.h"

class CDockBar;
class CDockContext;
class CFrameWnd;

// Bar styles.
constexpr DWORD CBRS_FLOATING = 0x0001, CBRS_SIZE_FIXED = 0x0002, CBRS_SIZE_DYNAMIC = 0x0004,
                CBRS_FLOAT_MULTI = 0x0040, CBRS_BORDER_LEFT = 0x0100, CBRS_BORDER_TOP = 0x0200,
                CBRS_BORDER_RIGHT = 0x0400, CBRS_BORDER_BOTTOM = 0x0800, CBRS_BORDER_ANY = 0x0F00,
                CBRS_ALIGN_LEFT = 0x1000, CBRS_ALIGN_TOP = 0x2000, CBRS_ALIGN_RIGHT = 0x4000,
                CBRS_ALIGN_BOTTOM = 0x8000, CBRS_ALIGN_ANY = 0xF000, CBRS_GRIPPER = 0x00400000,
                CBRS_ALL = 0x0040FFFF;
constexpr DWORD CBRS_ORIENT_HORZ = CBRS_ALIGN_TOP | CBRS_ALIGN_BOTTOM,
                CBRS_ORIENT_VERT = CBRS_ALIGN_LEFT | CBRS_ALIGN_RIGHT,
                CBRS_TOP = CBRS_ALIGN_TOP | CBRS_BORDER_BOTTOM,
                CBRS_BOTTOM = CBRS_ALIGN_BOTTOM | CBRS_BORDER_TOP,
                CBRS_LEFT = CBRS_ALIGN_LEFT | CBRS_BORDER_RIGHT,
                CBRS_RIGHT = CBRS_ALIGN_RIGHT | CBRS_BORDER_LEFT;
// Layout modes of CalcDynamicLayout.
constexpr DWORD LM_STRETCH = 0x01, LM_HORZ = 0x02, LM_MRUWIDTH = 0x04, LM_HORZDOCK = 0x08,
                LM_VERTDOCK = 0x10, LM_LENGTHY = 0x20, LM_COMMIT = 0x40;
// Control ids of the frame's dock bars.
constexpr UINT AFX_IDW_DOCKBAR_TOP = 59419, AFX_IDW_DOCKBAR_LEFT = 59420,
               AFX_IDW_DOCKBAR_RIGHT = 59421, AFX_IDW_DOCKBAR_BOTTOM = 59422,
               AFX_IDW_DOCKBAR_FLOAT = 59423;

class CControlBar : public CWnd {
public:
    CControlBar();
    ~CControlBar() override;

    // The bar's size: stretched to the frame's extent along `horizontal` or
    // at its own. The base gives the borders only.
    virtual CSize CalcFixedLayout(BOOL stretch, BOOL horizontal);
    virtual CSize CalcDynamicLayout(int length, DWORD mode);
    virtual void OnUpdateCmdUI(CFrameWnd* target, BOOL disableIfNoHandler) {}
    virtual void OnBarStyleChange(DWORD oldStyle, DWORD newStyle) {}

    DWORD GetBarStyle() const { return m_dwStyle; }
    void SetBarStyle(DWORD style);
    // Which sides the bar may dock to; creates the dock context the first time.
    virtual void EnableDocking(DWORD dockStyle);
    BOOL IsFloating() const;
    // Visible now, or to be shown at the next layout.
    BOOL IsVisible() const;
    // Shows or hides the bar at the frame's next layout.
    void DelayShow(BOOL show);
    // Applies a delayed show or hide now; FALSE when the bar will be hidden.
    BOOL RecalcDelayShow();
    // The borders of the bar style, taken off `rect`.
    virtual void CalcInsideRect(CRect& rect, BOOL horizontal) const;
    CFrameWnd* GetDockingFrame() const;

    DWORD m_dwStyle = 0;
    DWORD m_dwDockStyle = 0;
    CFrameWnd* m_pDockSite = nullptr;
    CDockBar* m_pDockBar = nullptr;
    CDockContext* m_pDockContext = nullptr;
    // Set while a frame asks for sizes without placing anything.
    BOOL m_bLayoutQuery = FALSE;

protected:
    // Creates the dock context; the base makes a plain CDockContext.
    virtual CDockContext* CreateDockContext();
    // The frame that creates the bar is its dock site and lists it.
    int OnCreate(CREATESTRUCT* cs) override;
    void OnDestroy() override;
    // WM_IDLEUPDATECMDUI, the frame's idle pass, reaches OnUpdateCmdUI.
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    enum DelayState { NoDelay, DelayHide, DelayShowing };
    DelayState m_delay = NoDelay;
    std::unique_ptr<CDockContext> m_context;
};

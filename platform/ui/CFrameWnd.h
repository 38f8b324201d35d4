// A frame: the window that holds a view, takes the keyboard accelerators
// before anyone else sees the key, and routes commands: the active view (and
// through it the document), the frame itself, then the application. A
// command whose update handler disables it runs neither from a menu nor from
// an accelerator; menus shown through the frame get their items enabled and
// checked by the update handlers first. UI thread only.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/ui/CWnd.h"

class CView;
class CDocument;
class CMenu;
class CControlBar;
class CDockBar;
class CDockState;
class CMiniDockFrameWnd;
struct CCreateContext;

class CFrameWnd : public CWnd {
public:
    CFrameWnd();
    ~CFrameWnd() override;
    // Creates the frame and, through OnCreateClient, its client: the view
    // the context names (AFX_IDW_PANE_FIRST), which the frame then owns.
    BOOL CreateFrame(DWORD style, const RECT& rect, CWnd* parent, CCreateContext* context, UINT id = 0);
    virtual BOOL OnCreateClient(CREATESTRUCT* cs, CCreateContext* context);
    // The active view's first update, then the frame shown when `visible`.
    void InitialUpdateFrame(CDocument* document, BOOL visible);

    CView* GetActiveView() const;
    void SetActiveView(CView* view);
    CDocument* GetActiveDocument() const;
    // The frame's accelerators, matched against WM_KEYDOWN before dispatch.
    void SetAccelerators(const ACCEL* table, int count);
    // Places the dock bars along the sides (top and bottom across the whole
    // width, left and right between them) and the main view (the child
    // AFX_IDW_PANE_FIRST, else the active view) in what is left.
    virtual void RecalcLayout(BOOL notify = TRUE);
    // The layout of the dock bars: with `query` nothing moves; the rectangle
    // the main view gets (client coordinates) is returned.
    CRect RepositionBars(BOOL query);

    // Docking. The frame creates a dock bar for each side in `dockStyle`
    // (from `make` when given, else a plain CDockBar) and lists its control
    // bars; bars dock into those dock bars or float in mini dock frames the
    // frame owns.
    void EnableDocking(DWORD dockStyle, const std::function<CDockBar*()>& make = {});
    void AddControlBar(CControlBar* bar);
    void RemoveControlBar(CControlBar* bar);
    const std::vector<CControlBar*>& ControlBars() const { return m_listControlBars; }
    CControlBar* GetControlBar(UINT id) const;
    // The dock bar of a side (AFX_IDW_DOCKBAR_TOP ...), null when none.
    CDockBar* GetDockBar(UINT id) const;
    // Docks the bar in the dock bar of `dockBarId` (or the first side its dock
    // style allows), at `rect` (screen coordinates) when given.
    void DockControlBar(CControlBar* bar, UINT dockBarId = 0, LPCRECT rect = nullptr);
    void DockControlBar(CControlBar* bar, CDockBar* dockBar, LPCRECT rect = nullptr);
    // Floats the bar in a mini dock frame whose top-left is `point` (screen);
    // `style` gives the alignment the bar takes there.
    void FloatControlBar(CControlBar* bar, CPoint point, DWORD style = CBRS_ALIGN_TOP_VALUE);
    void ShowControlBar(CControlBar* bar, BOOL show, BOOL delay);
    // The dock style of the first visible dock bar (allowed by `dockStyle`)
    // that `rect` (screen) touches, 0 for none; the dock bar through `dockBar`.
    DWORD CanDock(CRect rect, DWORD dockStyle, CDockBar** dockBar = nullptr);
    // Mini frames whose bar has left are closed when the queue runs.
    void CloseEmptyMiniFrames();
    // The dock state: where each bar is, docked or floating, shown or hidden.
    void GetDockState(CDockState& state) const;
    // Restores a dock state; FALSE (and nothing changed) when it does not fit
    // this frame's bars.
    BOOL SetDockState(const CDockState& state);
    // RecalcLayout once the queue runs, however often it is asked for.
    void DelayRecalcLayout(BOOL notify = TRUE);

    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnCmdMsg(UINT id, int code, void* extra) override;
    // Runs each item's update handler on a menu about to be shown.
    void UpdateMenu(CMenu* menu);

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnSize(UINT type, int cx, int cy) override;

    void OnDestroy() override;
    int OnCreate(CREATESTRUCT* cs) override;

private:
    std::unique_ptr<CView> m_ownedView;
    static constexpr DWORD CBRS_ALIGN_TOP_VALUE = 0x2000;
    CMiniDockFrameWnd* CreateFloatingFrame(DWORD style);
    HWND m_activeView = nullptr;
    std::vector<CControlBar*> m_listControlBars;
    std::vector<std::unique_ptr<CDockBar>> m_dockBars;
    std::vector<std::unique_ptr<CMiniDockFrameWnd>> m_miniFrames;
    bool m_closePending = false;
    std::vector<ACCEL> m_accel;
    bool m_layoutPending = false;
};

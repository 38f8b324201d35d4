// The ready-made host of windowless controls: a child window that is its
// own control site and owns a drop target for them. It routes the window's
// mouse messages to the controls, answers the tool tip with their texts,
// shows a highlight state and builds a control's context menu: "MIDI Remote
// Control..." (item 1) for a control with a parameter (tag not -1), and
// latching the control's value into automation (item 2) when the derived
// strip names an automation target for it and the document has or makes
// that target's automation pattern. Derived strips add their controls,
// layout, parameter owner and their own menu. UI thread only.
#pragma once

#include <vector>

#include "platform/ui/CWnd.h"
#include "uikit/CNWControlSite.h"
#include "uikit/CNWDropTarget.h"

class CStripAutomationDoc;
class CStripParamOwner;

class CNWHostStrip : public CWnd, public CNWControlSite {
public:
    static constexpr WORD kNoAutomationTarget = 0xFFFF;
    enum MenuCommand : UINT { kRemoteControl = 1, kLatchAutomation = 2 };

    explicit CNWHostStrip(int stripIndex);
    // Empties the drop target, deletes the controls and destroys the window.
    ~CNWHostStrip() override;

    virtual void SetStripTag(int tag) { m_stripTag = tag; }
    int GetStripTag() const { return m_stripTag; }
    int GetStripIndex() const { return m_stripIndex; }
    // Double click: the control hit gets it; whether one was hit.
    virtual bool HandleLButtonDblClk(UINT flags, POINT point);
    // Repaints the whole strip when the state changes.
    virtual void SetHighlighted(bool highlighted);
    bool IsHighlighted() const { return m_highlighted; }
    virtual void OnToolTipNeedText(NMHDR* header, LRESULT* result);
    // The derived strip's parameter owner; null when it has none.
    virtual CStripParamOwner* GetParamOwner() = 0;
    // The strip's own menu, from a right click off every control (screen point).
    virtual void OnStripContextMenu(UINT flags, POINT screenPoint) = 0;
    virtual void OnControlMenuCommand(int command, CNWControl* control);
    // The automation target of these parameter values; kNoAutomationTarget for none.
    virtual WORD GetAutomationTarget(const std::vector<DWORD>& params, const std::vector<float>& values);

    // The document the latch command writes into; not owned, may be null.
    void SetAutomationDoc(CStripAutomationDoc* doc) { m_doc = doc; }
    CNWDropTarget& GetDropTarget() { return m_dropTarget; }

    // Control site.
    CWnd* GetWnd() override { return m_hWnd ? this : nullptr; }
    void InvalidateAll() override { Invalidate(TRUE); }
    using CWnd::ClientToScreen;
    using CWnd::ScreenToClient;
    void ClientToScreen(POINT* point) override { CWnd::ClientToScreen(point); }
    void ScreenToClient(POINT* point) override { CWnd::ScreenToClient(point); }
    // A resize lays the controls out again (LayoutControls of the derived strip).
    int GetSiteIndex() override { return m_stripIndex; }
    void OnControlContextMenu(CNWControl* control, POINT point, CMenu* menu) override;
    using CNWControlSite::OnCaptureChanged;
    void OnMouseLeave() override { CNWControlSite::OnMouseLeave(); }

    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    int OnCreate(CREATESTRUCT* cs) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnLButtonUp(UINT flags, CPoint point) override;
    void OnLButtonDblClk(UINT flags, CPoint point) override;
    void OnMouseMove(UINT flags, CPoint point) override;
    void OnRButtonUp(UINT flags, CPoint point) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnCaptureChanged(CWnd*) override { CNWControlSite::OnCaptureChanged(); }

private:
    int m_stripTag = -1;
    int m_stripIndex;
    bool m_highlighted = false;
    CNWDropTarget m_dropTarget;
    CStripAutomationDoc* m_doc = nullptr;
};

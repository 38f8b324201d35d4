// The host side of the windowless controls: a window mixes this in as a
// second base and gets the list of its controls (in insertion order: paint
// order, and the first added wins a hit test), the tab order, the keyboard
// focus control, the control under the mouse, the tool tip and the value
// tip, and the routing of painting, hit tests, mouse and keys to controls.
//
// The site owns its controls (RemoveAllControls deletes them; RemoveControl
// only unlinks one). Controls report through the notifications below; a
// host overrides the ones it cares about, under these names or the other
// names of NWControlAliases.h. The host window routes its messages as
// follows:
//   left down: capture, SetFocusAt, the control's OnLButtonDown;
//   left up: release capture, the focus control's OnLButtonUp;
//   double click: SetFocusAt, the control's OnLButtonDblClk;
//   mouse move: TrackHover, the focus control's OnMouseMove;
//   right up: the control under the point gets OnRButtonUp;
//   capture lost: OnCaptureChanged(); mouse left: OnMouseLeave();
//   tool-tip text request: the control with the tool's id, its tip text cut
//   to 79 characters (NeedToolTipText); every message relayed to the tool tip.
// UI thread only.
#pragma once

#include <memory>
#include <vector>

#include "platform/ui/CDC.h"
#include "platform/ui/CommCtrl.h"
#include "uikit/NWControlAliases.h"

class CWnd;
class CNWControl;
class CMouseTip;
class COurToolTipCtrl;

class CNWControlSite : public CNWControlSiteNames {
public:
    CNWControlSite();
    // Destroys the value tip, clears focus and hover and frees the lists,
    // without deleting the controls (hosts call RemoveAllControls first).
    ~CNWControlSite() override;
    CNWControlSite(const CNWControlSite&) = delete;
    CNWControlSite& operator=(const CNWControlSite&) = delete;

    // The host window; null before it exists. The window operations below
    // act on it.
    virtual CWnd* GetWnd() = 0;
    // Invalidates the whole client area, erasing the background.
    virtual void InvalidateAll();
    virtual void ClientToScreen(POINT* point);
    virtual void ScreenToClient(POINT* point);
    // The host window was resized: place the controls (LayoutControls).
    virtual void RecalcLayout();
    // The host's ordinal, from 0 (shown from 1 in qualified names).
    virtual int GetSiteIndex() { return 0; }
    // Edits a property in place over a rectangle (RunInPlaceEdit).
    virtual void EditControlInPlace(CProperty* property, LPCRECT rect, BOOL* accepted);

    // Notifications from the controls.
    virtual void OnControlContextMenu(CNWControl* control, POINT point, CMenu* menu);
    virtual void OnControlClicked(CNWControl* control, UINT flags);
    virtual void OnControlUpdateRequest(CNWControl* control);
    virtual void OnControlValueChanged(CNWControl* control);
    virtual void OnBeginEdit(CNWControl* control);
    virtual void OnEndEdit(CNWControl* control);

    // Union of the control rectangles; empty without controls.
    virtual void GetControlsRect(RECT* rect);
    virtual void UpdateAllControls();
    // Draws the controls visible in the DC, in list order.
    virtual void PaintControls(CDC* dc);
    // Keyboard focus over the tab list's enabled controls, wrapping once.
    virtual void FocusNext();
    virtual void FocusPrev();
    virtual void FocusAt(int index);
    // The focus control's place in the tab list; -1 when none or not in it.
    virtual int GetFocusIndex();
    // Hands a key action (codes of CNWControl::OnKeyAction) to the focus control.
    virtual int OnKeyAction(int code);
    virtual const std::vector<CNWControl*>& GetControls() { return m_controls; }
    // Made on first use once the host window exists, with every control
    // registered; null before.
    virtual COurToolTipCtrl* GetToolTip();
    // The tool tip if it was made; never makes it.
    COurToolTipCtrl* ExistingToolTip() const { return m_toolTip.get(); }
    virtual CMouseTip* GetMouseTip();
    // Hides (false) or shows (true, only when this site hid it) the pointer.
    virtual void ShowControlCursor(bool show);
    // The capture went elsewhere: the pointer shows again, the value tip
    // hides and the focus control's gesture is cancelled.
    virtual void OnCaptureChanged();
    // Repaints a dirty control (its rectangle and 2 pixels around).
    virtual void InvalidateControl(CNWControl* control);
    virtual CNWControl* GetFocusControl() { return m_focus; }
    virtual void SetFocusControl(CNWControl* control, int unused = 0);
    virtual void AddControl(CNWControl* control, bool tabStop);
    virtual void RemoveAllControls();
    virtual void RemoveControl(CNWControl* control);
    // Registers every control with the tool tip: callback text, its
    // rectangle, its id as the tool id.
    virtual void AddTools();
    // The control at the point becomes the focus control (none: focus cleared).
    virtual bool SetFocusAt(POINT point);
    virtual CNWControl* FindControl(int id);
    // The first control in list order that the point hits.
    virtual CNWControl* HitTest(POINT point);
    virtual void TrackHover(POINT point);
    // The mouse left the host: the hover control is told and forgotten.
    virtual void OnMouseLeave();
    virtual void ShowFocus(bool hasFocus);

    // The id for a new control: 10 for the first, then one more each time.
    int NextControlId() { return m_nextId++; }
    CNWControl* GetHoverControl() const { return m_hover; }
    // The last result of the pointer's show counter this site caused.
    int GetCursorShowCount() const { return m_cursorCount; }
    // Answers a tool tip's TTN_NEEDTEXT: the text of the control whose id is
    // the tool id, cut to 79 characters and terminated. False when the
    // notification is not such a request.
    bool NeedToolTipText(NMHDR* header);

private:
    int m_nextId = 10;
    CNWControl* m_focus = nullptr;
    CNWControl* m_hover = nullptr;
    std::vector<CNWControl*> m_controls;
    std::vector<CNWControl*> m_tabs;
    std::unique_ptr<COurToolTipCtrl> m_toolTip;
    std::unique_ptr<CMouseTip> m_mouseTip;
    int m_cursorCount = 0;
};

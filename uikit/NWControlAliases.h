// Other names for the windowless controls' operations, as the shell's,
// pattern editor's and mixer views' code calls them. Each is a thin
// forward to the operation it names, so a host may override either name:
// the site's own notification calls its other names in turn (the first
// named here first), and a host that overrides one of them sees every call.
//
//   RecalcLayout            LayoutControls
//   EditControlInPlace      RunInPlaceEdit
//   OnControlContextMenu    OnControlMenu
//   OnControlClicked        OnControlActivated
//   OnControlUpdateRequest  UpdateControl
//   OnControlValueChanged   OnControlStep
//   OnBeginEdit             OnControlBeginEdit, then BeginEdit
//   OnEndEdit               OnControlEndEdit, then EndEdit
//   control GetMsSinceChange  GetElapsedSinceChange
//   control GetTag / SetTag   GetParamIndex / SetParamIndex
//   control SetSelected       SetRecentlyChanged (the highlighted look)
//   control Enable            SetVisible (a disabled control is neither drawn nor hit)
// UI thread only.
#pragma once

#include "platform/ui/GdiTypes.h"
#include "platform/win/WinTypes.h"

class CMenu;
class CNWControl;
class CNWControlSite;
class CProperty;

// Slots of a host under their other names; every one does nothing unless a
// host overrides it.
class CNWControlSiteNames {
public:
    virtual ~CNWControlSiteNames() = default;

    virtual void LayoutControls() {}
    // Edits the property in place over the rectangle; *accepted says whether
    // the user took the edit (nothing edits, and it stays FALSE, by default).
    virtual void RunInPlaceEdit(CProperty* property, LPCRECT rect, BOOL* accepted)
    {
        if (accepted)
            *accepted = FALSE;
    }
    virtual void OnControlMenu(CNWControl* control, POINT point, CMenu* menu) {}
    virtual void OnControlActivated(CNWControl* control) {}
    virtual void UpdateControl(CNWControl* control) {}
    virtual void OnControlStep(CNWControl* control) {}
    virtual void OnControlBeginEdit(CNWControl* control) { BeginEdit(control); }
    virtual void OnControlEndEdit(CNWControl* control) { EndEdit(control); }
    virtual void BeginEdit(CNWControl* control) {}
    virtual void EndEdit(CNWControl* control) {}
};

// Operations of a control under their other names.
class CNWControlNames {
public:
    virtual ~CNWControlNames() = default;

    virtual DWORD GetMsSinceChange() const = 0;
    virtual int GetTag() const = 0;
    virtual void SetTag(int tag) = 0;
    virtual void SetSelected(bool selected) = 0;
    virtual void Enable(bool enable) = 0;

    DWORD GetElapsedSinceChange() const { return GetMsSinceChange(); }
    int GetParamIndex() const { return GetTag(); }
    void SetParamIndex(int index) { SetTag(index); }
    void SetRecentlyChanged(bool on) { SetSelected(on); }
    void SetVisible(bool visible) { Enable(visible); }
};

// Shows `menu` just below the control (its bottom-left corner, in screen
// coordinates) and returns the chosen command, 0 for none.
UINT TrackPopupMenuBelowControl(CNWControlSite* host, CNWControl* control, CMenu* menu);

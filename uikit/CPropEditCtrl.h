// An edit box that edits one typed property in place: typed characters are
// filtered through the property, the keypad "+" and "-" and the "]" and "["
// characters step the value (the property's own steps), and, when the owner
// takes live notes, a note played on the note source fills a note value.
// With an owner, losing the focus writes the text back in the property's own
// form. While any property editor has the focus IsEditing() is true.
// UI thread only.
#pragma once

#include "platform/ui/CEdit.h"

class CPropEditOwner;
class CNoteSource;

class CPropEditCtrl : public CEdit {
public:
    CPropEditCtrl(CPropEditOwner* owner, CNoteSource* noteSource);

    // A spin-control step (SB_LINEUP, SB_LINEDOWN, SB_PAGEUP, SB_PAGEDOWN):
    // as the "+", "-", "]" and "[" keys.
    void Step(int scrollCode);
    // Steps with "+", "-", "]" or "[" when the owner reports the editor active.
    void StepKey(int key);
    void SetNotifyParentOnStep(bool notify) { m_notifyParentOnStep = notify; }
    void SetUndoAllowed(bool allowed) { m_undoAllowed = allowed; }
    static bool IsEditing() { return s_editing; }

    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    void OnKeyDown(UINT vk, UINT repeat, UINT flags) override;
    void OnChar(UINT ch, UINT repeat, UINT flags) override;
    void OnSetFocus(CWnd* oldWnd) override;
    void OnKillFocus(CWnd* newWnd) override;
    void OnTimer(UINT_PTR id) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    CPropEditOwner* m_owner;
    CNoteSource* m_noteSource;
    bool m_commitOnFocusLoss;
    bool m_notifyParentOnStep = false;
    bool m_undoAllowed = true;
    static bool s_editing;
};

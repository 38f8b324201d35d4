// An edit box that edits one typed property in place: typed characters are
// filtered through the property, the keypad "+" and "-" and the "]" and "["
// characters step the value (the property's own steps), and, when the owner
// takes live notes, a note played on the note source fills a note value.
// With an owner, losing the focus writes the text back in the property's own
// form. A spin control at its right, made by FitToOwner(true), steps it too
// and is shown and hidden with it. Ctrl+C, Ctrl+V, Ctrl+X and (unless
// undo is turned off) Ctrl+Z reach the edit ahead of any accelerator.
// While any property editor has the focus IsEditing() is true.
// UI thread only.
#pragma once

#include <memory>

#include "platform/ui/CEdit.h"

class CPropEditOwner;
class CNoteSource;
class CSpinCtrl;

class CPropEditCtrl : public CEdit {
public:
    CPropEditCtrl(CPropEditOwner* owner, CNoteSource* noteSource);
    ~CPropEditCtrl() override;

    // The cell the editor covers, in its parent's client coordinates.
    void SetCell(const RECT& cell) { m_cell = cell; }
    // Places the edit over the cell, at least one and a half text lines
    // high and kept inside the parent; with a spin control at its right.
    void FitToOwner(bool withSpin);
    CSpinCtrl* GetSpin() const { return m_spin.get(); }

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

    void OnDestroy() override;

    CPropEditOwner* m_owner;
    CRect m_cell;
    std::unique_ptr<CSpinCtrl> m_spin;
    CNoteSource* m_noteSource;
    bool m_commitOnFocusLoss;
    bool m_notifyParentOnStep = false;
    bool m_undoAllowed = true;
    static bool s_editing;
};

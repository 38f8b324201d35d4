// One user-visible undoable edit ("Insert Time Signature"): a named, ordered
// list of undo steps that the command owns. Undo walks the steps backwards,
// redo forwards; a walk that fails part-way puts back the steps it already
// walked, so a command is always either wholly done or wholly undone.
// UI thread only; no lock.
#pragma once

#include <vector>

#include "model/CUndoStep.h"
#include "platform/win/CString.h"
#include "platform/win/WinTypes.h"

class CUndoHistory;

class CCommand {
public:
    CCommand(const char* name, DWORD hint, BOOL updateViews, BOOL modifiesDocument);
    CCommand(const CCommand&) = delete;
    CCommand& operator=(const CCommand&) = delete;
    // Deletes every step (a step that holds an element object destroys it).
    virtual ~CCommand();

    virtual HRESULT Undo();
    virtual HRESULT Redo();
    // Takes ownership of the step on success; null gives E_INVALIDARG, a step
    // that cannot be stored E_FAIL (the caller keeps it then).
    virtual HRESULT AddStep(CUndoStep* step);
    // Hands the command to the history (CUndoHistory::AddCommand).
    virtual HRESULT Commit(CUndoHistory* history);
    // Undoes the steps made so far and deletes them; the command object stays.
    virtual HRESULT Abort();
    // Abort, then delete the command itself.
    virtual HRESULT AbortAndDelete();
    virtual DWORD GetHint() const { return m_hint; }
    virtual const char* GetName() const { return m_name.GetString(); }

    BOOL UpdatesViews() const { return m_updateViews; }
    BOOL ModifiesDocument() const { return m_modifiesDocument; }
    int GetStepCount() const { return static_cast<int>(m_steps.size()); }

protected:
    // Undo every step from the last to the first, stopping at the first
    // failure; with rollBack the steps undone before it are redone again.
    HRESULT UndoSteps(bool rollBack);
    HRESULT RedoSteps(bool rollBack);
    void DeleteSteps();

    BOOL m_modifiesDocument;
    BOOL m_updateViews;
    DWORD m_hint;
    CString m_name;

private:
    std::vector<CUndoStep*> m_steps;
};

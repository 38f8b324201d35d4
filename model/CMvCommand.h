// The project's command: a command that knows the song document (or none),
// lets nested edit operations join one open command, and refreshes the
// document's derived state after every commit, undo and redo.
//
// Ownership rules. Whoever gets a command from BeginProjectCommand ends that
// level with exactly one Commit or AbortAndDelete:
// - An inner level (the begin joined an open command) only leaves: Commit
//   returns S_FALSE, AbortAndDelete aborts the whole command (every step
//   undone, closed at every level) but never deletes it, because the outer
//   level still holds it. An aborted command takes no further steps.
// - The outermost level ends it: Commit hands it to the history or, when that
//   fails (or the command was aborted meanwhile), undoes it and deletes it;
//   either way the caller no longer owns it afterwards. AbortAndDelete
//   deletes it.
// A command that an operation was given by its caller is neither committed
// nor deleted by that operation.
//
// UI thread only; the open-command record has no lock.
#pragma once

#include "model/CCommand.h"
#include "model/ICommandDocument.h"

class CMvCommand : public CCommand {
public:
    CMvCommand(ICommandDocument* document, const char* name, DWORD hint, BOOL updateViews, BOOL modifiesDocument);
    ~CMvCommand() override;

    HRESULT Undo() override;
    HRESULT Redo() override;
    // E_ABORT once the command has been aborted.
    HRESULT AddStep(CUndoStep* step) override;
    HRESULT Commit(CUndoHistory* history) override;
    HRESULT Abort() override;
    HRESULT AbortAndDelete() override;

    // Sets the document's active container again without a command, which
    // tells the document-state listeners which channel or bus is active.
    HRESULT AnnounceActiveContainer();

    bool IsAborted() const { return m_aborted; }
    ICommandDocument* GetDocument() const { return m_document; }

    // The open-command record: the command that edits join, and how many
    // begun levels have not ended yet.
    static CMvCommand* GetOpenCommand();
    static int GetOpenDepth();

private:
    friend CMvCommand* BeginProjectCommand(ICommandDocument*, const char*, DWORD, BOOL, BOOL);

    void CloseIfOpen();
    HRESULT Refresh();
    HRESULT RecalcAndRefresh();
    HRESULT Walk(bool undo);
    HRESULT RollBackAndDelete(HRESULT failure);

    ICommandDocument* m_document;
    int m_levels = 0;  // begun levels that still hold this command
    bool m_aborted = false;
};

// Returns the open command, joining it when one is open (its name gets one
// trailing "+"; the new name, hint and flags are ignored), else a new command
// that becomes the open one. Null when no command can be allocated.
CMvCommand* BeginProjectCommand(ICommandDocument* document, const char* name, DWORD hint, BOOL updateViews,
                                BOOL modifiesDocument);

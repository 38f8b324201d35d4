// The command rules every editing operation follows. Given a command, the
// operation's steps join it and it stays open (a failure has aborted it; its
// beginner deletes it). Given none and asked to be undoable, the operation
// begins its own (or joins the open one), commits it to the process-wide
// history on success and aborts and deletes it on failure. Given none and not
// undoable, the change is applied directly and cannot be undone.
//
// updateViews is passed to a command the operation begins itself.
//
// The edit receives the command to submit its steps to (null for a direct
// change) and throws CHResultException on failure, as SubmitUndoStep does.
#pragma once

#include "model/CHResultException.h"
#include "model/CMvCommand.h"
#include "model/CUndoHistory.h"

template <class Edit>
HRESULT RunProjectEdit(CMvCommand* command, bool undoable, ICommandDocument* document, const char* name, DWORD hint,
                       Edit&& edit, BOOL updateViews = TRUE)
{
    CMvCommand* own = nullptr;
    if (command == nullptr && undoable) {
        own = BeginProjectCommand(document, name, hint, updateViews, TRUE);
        if (own == nullptr)
            return E_OUTOFMEMORY;
        command = own;
    }
    HRESULT hr = S_OK;
    try {
        edit(command);
    } catch (const CHResultException& e) {
        hr = e.Code();
    } catch (...) {
        hr = E_FAIL;
    }
    if (own == nullptr)
        return hr;
    if (FAILED(hr)) {
        own->AbortAndDelete();
        return hr;
    }
    return own->Commit(&CUndoHistory::Instance());
}

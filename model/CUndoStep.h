// One recorded change of an undoable container. A step is run once when the
// edit is made (Do), then owned by its project command, which undoes and
// redoes it. Each operation returns the HRESULT of the container call that
// decided it. UI thread only.
#pragma once

#include "platform/win/WinTypes.h"

class CUndoStep {
public:
    virtual ~CUndoStep() = default;

    virtual HRESULT Do() = 0;
    virtual HRESULT Undo() { return E_NOTIMPL; }
    virtual HRESULT Redo() { return E_NOTIMPL; }

    // Called only when a submission fails after Do succeeded and the change
    // was undone again: a pointer step gives the object it was handed back to
    // its submitter instead of destroying it, as it would had Do failed.
    virtual void ReturnToSubmitter() {}
};

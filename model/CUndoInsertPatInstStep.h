// The step that places a pattern instance on a channel timeline and keeps
// the document's active instance valid across undo and redo: undoing the
// placement of the active instance leaves none active, and redoing it makes
// active again what was active when it was undone. Without a document it is
// a plain insert. UI thread.
#pragma once

#include "model/CPatternInstance.h"
#include "model/CUndoInsertStep.h"
#include "model/ISongDocument.h"

class CUndoInsertPatInstStep : public CUndoInsertStep<int, CPatternInstance> {
public:
    CUndoInsertPatInstStep(ISongDocument* document, CUndoContainer<int, CPatternInstance>& timeline, int index,
                           const CPatternInstance& instance);

    HRESULT Undo() override;
    HRESULT Redo() override;

private:
    ISongDocument* m_document;
    DWORD m_instanceId;
    // The active instance when the step was last undone.
    DWORD m_remembered = ISongDocument::kNoInstance;
};

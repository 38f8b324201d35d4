// An effect chain as its undoable containers call it back: every change of
// the chain's effect map or order, made by an edit, an undo or a redo, goes
// through here so the engine stays consistent with the containers.
// W is the chain's wrapper pointer type. UI thread.
#pragma once

#include "uikit/core/CHeapCriticalSection.h"

template <class W>
class IChain {
public:
    // The lock the containers change under; null for a chain without one.
    virtual CHeapCriticalSection* GetLock() = 0;
    // Flags the chain for the next graph rebuild.
    virtual HRESULT MarkDirty() = 0;
    // A wrapper just entered the effect map, or just left it.
    virtual HRESULT OnFxAdded(W wrapper) = 0;
    virtual HRESULT OnFxRemoved(W wrapper) = 0;

protected:
    ~IChain() = default;
};

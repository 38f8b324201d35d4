// The interface of an undoable container: exactly four primitive operations
// by key. Every edit of the song and mixer model goes through these, so a
// class that derives from a container and overrides them (to lock, keep an
// order or recompute derived values) behaves the same on the first run of an
// edit, on undo and on redo.
//
// All four return S_OK on success, E_INVALIDARG for a key that is out of
// range, absent or (inserting into a map) already present, and E_POINTER for
// a null out-parameter of Get, which is checked before the key.
// No lock of its own: a holder that shares the container with another thread
// takes its lock in its overrides. Used on the UI thread.
#pragma once

#include "platform/win/WinTypes.h"

template <class K, class V>
class CUndoContainer {
public:
    virtual HRESULT Insert(const K& key, const V& value) = 0;
    virtual HRESULT Set(const K& key, const V& value) = 0;
    virtual HRESULT Remove(const K& key) = 0;
    virtual HRESULT Get(const K& key, V* out) = 0;

protected:
    // Vectors are never deleted through this interface; maps declare their
    // own virtual destructor.
    ~CUndoContainer() = default;
};

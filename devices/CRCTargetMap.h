// The undoable map of remote-control assignments: key to target. Besides
// storing, its insert, set and remove attach and detach the targets, so an
// undone assignment also leaves the input router without its message.
//
// UI thread (dialogs, undo and redo).
#pragma once

#include "devices/IRCTarget.h"
#include "model/CUndoMap.h"

template <class K, class T>
class CRCTargetMap : public CUndoMap<K, T*> {
public:
    using Base = CUndoMap<K, T*>;

    HRESULT Insert(const K& key, T* const& target) override
    {
        if (HRESULT hr = Base::Insert(key, target); FAILED(hr))
            return hr;
        if (target)
            target->Register();
        return S_OK;
    }

    HRESULT Set(const K& key, T* const& target) override
    {
        T* old = nullptr;
        if (FAILED(Base::Get(key, &old)) || !old)
            return E_FAIL;
        old->Unregister();
        Base::Set(key, target);
        if (target)
            target->Register();
        return S_OK;
    }

    HRESULT Remove(const K& key) override
    {
        T* old = nullptr;
        if (FAILED(Base::Get(key, &old)))
            return E_INVALIDARG;
        if (old)
            old->Unregister();
        return Base::Remove(key);
    }
};

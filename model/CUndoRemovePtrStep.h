// Removes an element object by pointer. The step holds (and so destroys when
// it is itself destroyed) the object exactly while it is out of the
// container: from Do on, until an undo puts it back. The flag changes only
// once the container call has succeeded.
#pragma once

#include "model/CUndoContainerStep.h"
#include "model/CUndoPtrTraits.h"

template <class K, class T>
class CUndoRemovePtrStep : public CUndoContainerStep<K, T*> {
public:
    CUndoRemovePtrStep(CUndoContainer<K, T*>& container, const K& key) : CUndoContainerStep<K, T*>(container, key) {}
    ~CUndoRemovePtrStep() override
    {
        if (m_held)
            CUndoPtrTraits<T>::Destroy(m_object);
    }

    HRESULT Do() override
    {
        HRESULT hr = this->m_container.Get(this->m_key, &m_object);
        if (FAILED(hr))
            return hr;
        return Redo();
    }
    HRESULT Undo() override
    {
        HRESULT hr = this->m_container.Insert(this->m_key, m_object);
        if (SUCCEEDED(hr))
            m_held = false;
        return hr;
    }
    HRESULT Redo() override
    {
        HRESULT hr = this->m_container.Remove(this->m_key);
        if (SUCCEEDED(hr))
            m_held = true;
        return hr;
    }

private:
    T* m_object = nullptr;
    bool m_held = false;
};

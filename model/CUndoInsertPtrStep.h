// Inserts an element object by pointer. The step holds (and so destroys when
// it is itself destroyed) the object exactly while it is out of the
// container: after an undo. The flag changes only once the container call has
// succeeded, so a failing undo or redo never leaves the step destroying an
// object that the container still has.
#pragma once

#include "model/CUndoContainerStep.h"
#include "model/CUndoPtrTraits.h"

template <class K, class T>
class CUndoInsertPtrStep : public CUndoContainerStep<K, T*> {
public:
    CUndoInsertPtrStep(CUndoContainer<K, T*>& container, const K& key, T* object)
        : CUndoContainerStep<K, T*>(container, key), m_object(object)
    {
    }
    ~CUndoInsertPtrStep() override
    {
        if (m_held)
            CUndoPtrTraits<T>::Destroy(m_object);
    }

    HRESULT Do() override { return this->m_container.Insert(this->m_key, m_object); }
    HRESULT Undo() override
    {
        HRESULT hr = this->m_container.Remove(this->m_key);
        if (SUCCEEDED(hr))
            m_held = true;
        return hr;
    }
    HRESULT Redo() override
    {
        HRESULT hr = this->m_container.Insert(this->m_key, m_object);
        if (SUCCEEDED(hr))
            m_held = false;
        return hr;
    }
    void ReturnToSubmitter() override { m_held = false; }

private:
    T* m_object;
    bool m_held = false;
};

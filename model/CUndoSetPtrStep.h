// Replaces the element object at a key by another. The step holds whichever
// of the two is out of the container: the old one after Do and Redo, the new
// one after Undo; before Do it holds neither, so a failed Do leaves the new
// object with its submitter.
#pragma once

#include "model/CUndoContainerStep.h"
#include "model/CUndoPtrTraits.h"

template <class K, class T>
class CUndoSetPtrStep : public CUndoContainerStep<K, T*> {
public:
    CUndoSetPtrStep(CUndoContainer<K, T*>& container, const K& key, T* newObject)
        : CUndoContainerStep<K, T*>(container, key), m_new(newObject)
    {
    }
    ~CUndoSetPtrStep() override
    {
        if (m_holdsOld)
            CUndoPtrTraits<T>::Destroy(m_old);
        if (m_holdsNew)
            CUndoPtrTraits<T>::Destroy(m_new);
    }

    HRESULT Do() override
    {
        HRESULT hr = this->m_container.Get(this->m_key, &m_old);
        if (FAILED(hr))
            return hr;
        return Redo();
    }
    HRESULT Undo() override { return Place(m_old, false); }
    HRESULT Redo() override { return Place(m_new, true); }
    void ReturnToSubmitter() override { m_holdsNew = false; }

private:
    HRESULT Place(T* object, bool newIn)
    {
        HRESULT hr = this->m_container.Set(this->m_key, object);
        if (SUCCEEDED(hr)) {
            m_holdsOld = newIn;
            m_holdsNew = !newIn;
        }
        return hr;
    }

    T* m_new;
    T* m_old = nullptr;
    bool m_holdsOld = false;
    bool m_holdsNew = false;
};

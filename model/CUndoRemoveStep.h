// Removes the value at a key, keeping a copy of it so that undo can put it
// back.
#pragma once

#include "model/CUndoContainerStep.h"

template <class K, class V>
class CUndoRemoveStep : public CUndoContainerStep<K, V> {
public:
    CUndoRemoveStep(CUndoContainer<K, V>& container, const K& key) : CUndoContainerStep<K, V>(container, key) {}

    HRESULT Do() override
    {
        HRESULT hr = this->m_container.Get(this->m_key, &m_value);
        if (FAILED(hr))
            return hr;
        return this->m_container.Remove(this->m_key);
    }
    HRESULT Undo() override { return this->m_container.Insert(this->m_key, m_value); }
    HRESULT Redo() override { return this->m_container.Remove(this->m_key); }

private:
    V m_value{};
};

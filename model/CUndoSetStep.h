// Replaces the value at a key, keeping the old value for undo.
#pragma once

#include "model/CUndoContainerStep.h"

template <class K, class V>
class CUndoSetStep : public CUndoContainerStep<K, V> {
public:
    CUndoSetStep(CUndoContainer<K, V>& container, const K& key, const V& value)
        : CUndoContainerStep<K, V>(container, key), m_new(value)
    {
    }

    HRESULT Do() override
    {
        HRESULT hr = this->m_container.Get(this->m_key, &m_old);
        if (FAILED(hr))
            return hr;
        return this->m_container.Set(this->m_key, m_new);
    }
    HRESULT Undo() override { return this->m_container.Set(this->m_key, m_old); }
    HRESULT Redo() override { return this->m_container.Set(this->m_key, m_new); }

private:
    V m_new;
    V m_old{};
};

// Inserts a copy of a value at a key; undo removes it again.
#pragma once

#include "model/CUndoContainerStep.h"

template <class K, class V>
class CUndoInsertStep : public CUndoContainerStep<K, V> {
public:
    CUndoInsertStep(CUndoContainer<K, V>& container, const K& key, const V& value)
        : CUndoContainerStep<K, V>(container, key), m_value(value)
    {
    }

    HRESULT Do() override { return this->m_container.Insert(this->m_key, m_value); }
    HRESULT Undo() override { return this->m_container.Remove(this->m_key); }
    HRESULT Redo() override { return Do(); }

private:
    V m_value;
};

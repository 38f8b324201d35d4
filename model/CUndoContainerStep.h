// The part every container step shares: the container it edits and the key.
#pragma once

#include "model/CUndoContainer.h"
#include "model/CUndoStep.h"

template <class K, class V>
class CUndoContainerStep : public CUndoStep {
public:
    CUndoContainerStep(CUndoContainer<K, V>& container, const K& key) : m_container(container), m_key(key) {}

protected:
    CUndoContainer<K, V>& m_container;
    K m_key;
};

// An effect chain's processing order: an undoable vector whose changes take
// the chain's lock (when it has one) and, once it is released, mark the
// chain dirty. UI thread.
#pragma once

#include "engine/mixer/IChain.h"
#include "model/CHeapLockGuard.h"
#include "model/CUndoVector.h"

template <class T>
class CFxOrdinalVect : public CUndoVector<T> {
public:
    explicit CFxOrdinalVect(IChain<T>* chain) : m_chain(chain) {}

    HRESULT Insert(const int& index, const T& value) override
    {
        return Changed(Locked([&] { return CUndoVector<T>::Insert(index, value); }));
    }
    HRESULT Set(const int& index, const T& value) override
    {
        return Changed(Locked([&] { return CUndoVector<T>::Set(index, value); }));
    }
    HRESULT Remove(const int& index) override
    {
        return Changed(Locked([&] { return CUndoVector<T>::Remove(index); }));
    }
    // The elements in order, for walking them. Audio thread: no allocation,
    // no blocking.
    const std::vector<T>& GetItems() { return this->Items(); }

private:
    HRESULT Changed(HRESULT hr) { return FAILED(hr) ? hr : m_chain->MarkDirty(); }
    template <class F>
    HRESULT Locked(F&& f)
    {
        CHeapLockGuard guard(m_chain->GetLock());
        return f();
    }

    IChain<T>* m_chain;
};

// An effect chain's set of wrappers (key = value = the wrapper): an undoable
// map whose changes take the chain's lock (when it has one), release it and
// then call the chain back, so an edit, an undo and a redo attach and detach
// the effect alike. An insert whose attach fails is taken back. Get is the
// plain map's. UI thread.
#pragma once

#include "engine/mixer/IChain.h"
#include "model/CHeapLockGuard.h"
#include "model/CUndoMap.h"

template <class K, class V>
class CFxMap : public CUndoMap<K, V> {
public:
    explicit CFxMap(IChain<V>* chain) : m_chain(chain) {}

    HRESULT Insert(const K& key, const V& value) override
    {
        HRESULT hr = Locked([&] { return CUndoMap<K, V>::Insert(key, value); });
        if (FAILED(hr))
            return hr;
        if (FAILED(hr = m_chain->OnFxAdded(value))) {
            // An element the chain could not attach does not stay: the step
            // that inserted it fails as a whole and its submitter still owns
            // the wrapper.
            Locked([&] { return CUndoMap<K, V>::Remove(key); });
            return hr;
        }
        return m_chain->MarkDirty();
    }
    HRESULT Set(const K& key, const V& value) override
    {
        const HRESULT hr = Locked([&] { return CUndoMap<K, V>::Set(key, value); });
        return FAILED(hr) ? hr : m_chain->MarkDirty();
    }
    HRESULT Remove(const K& key) override
    {
        V value{};
        HRESULT hr = Locked([&] {
            HRESULT r = CUndoMap<K, V>::Get(key, &value);
            return FAILED(r) ? r : CUndoMap<K, V>::Remove(key);
        });
        if (FAILED(hr))
            return hr;
        if (FAILED(hr = m_chain->OnFxRemoved(value)))
            return hr;
        return m_chain->MarkDirty();
    }

private:
    template <class F>
    HRESULT Locked(F&& f)
    {
        CHeapLockGuard guard(m_chain->GetLock());
        return f();
    }

    IChain<V>* m_chain;
};
